#include "transfer/FileTypeRule.h"

#include <QFileInfo>

namespace tallowmere {

FileType fileTypeOf(const QString &path) {
  // Only the file-name part counts: a dot in a folder name is not an extension.
  const int slash = path.lastIndexOf(QLatin1Char('/'));
  const int dot = path.lastIndexOf(QLatin1Char('.'));
  const bool hasExt = dot > slash;

  FileType result;
  result.extension = hasExt ? path.mid(dot).toLower() : QString();
  const QString &ext = result.extension;

  if (ext == QLatin1String(".html") || ext == QLatin1String(".htm")) {
    const QString stem = path.left(dot);
    if (QFileInfo(stem + QLatin1String(".files")).isDir())
      result.typeCode = 14;
    else if (QFileInfo(stem + QLatin1String("_files")).isDir())
      result.typeCode = 15;
    else
      result.typeCode = 12;
  } else if (ext == QLatin1String(".mht")) {
    result.typeCode = 9;
  } else if (ext == QLatin1String(".txt")) {
    result.typeCode = 4;
  } else {
    result.typeCode = 0;
  }
  return result;
}

} // namespace tallowmere
