#pragma once

#include <QString>

namespace tallowmere {

// The user's private temporary folder ("Tallowmere-<uid>" in the system's
// temporary folder, mode 0700), with a trailing "/". When that name is taken
// by anything but a real directory of this user with mode 0700, a fresh
// private folder is made instead. Empty when none can be made.
QString privateTempFolder(const QString& base = QString());

} // namespace tallowmere
