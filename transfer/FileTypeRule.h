#pragma once

#include <QString>

namespace tallowmere {

// How a file on disk is stored: its type code and its lower-cased extension.
struct FileType {
  int typeCode = 0;
  QString extension; // with its dot; empty when the file name has none
};

// Classifies a file by its extension alone, plus, for HTML pages, by which
// companion folder lies beside it (".files" wins over "_files"). The file's
// content is never read, so a missing file is classified all the same.
FileType fileTypeOf(const QString &path);

} // namespace tallowmere
