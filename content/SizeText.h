#pragma once

#include <QString>

namespace tallowmere {

// A byte count as the status bar and the add confirmation show it:
// "n Bytes" below 1024, then "x.xx KB" below 1048576, else "x.xx MB", with the
// system's decimal separator.
QString sizeText(qint64 bytes);

} // namespace tallowmere
