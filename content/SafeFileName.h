#pragma once

#include <QString>

namespace tallowmere {

// A title used as the name of a file inside a chosen folder (shown items,
// export). The name never leads out of that folder: "/" and NUL become "_",
// and the names "." and ".." (and an empty title) become "_".
QString safeFileName(const QString& title);

} // namespace tallowmere
