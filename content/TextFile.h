#pragma once

#include <QString>

class QPlainTextEdit;

namespace tallowmere {

// Loads a text file (UTF-8) into the editor, replacing what it held. When the
// file cannot be read the editor keeps its text and the result is false, with
// the reason in *reason.
bool loadTextFile(QPlainTextEdit* memo, const QString& path, QString* reason = nullptr);

} // namespace tallowmere
