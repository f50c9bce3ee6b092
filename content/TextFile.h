#pragma once

#include <QByteArray>
#include <QString>

class QPlainTextEdit;

namespace tallowmere {

// Reads a whole file (a text file, say). False when it cannot be read, with
// the reason in *reason.
bool readTextFile(const QString& path, QByteArray* bytes, QString* reason = nullptr);

// Loads a text file (UTF-8) into the editor, replacing what it held. When the
// file cannot be read the editor keeps its text and the result is false, with
// the reason in *reason.
bool loadTextFile(QPlainTextEdit* memo, const QString& path, QString* reason = nullptr);

// The text a text item stores for a file's bytes, without the editor: exactly
// what the editor gives back after loading them (every line break it knows
// becomes one, frame marks and line separators read as breaks, no-break spaces
// as spaces), with its lines joined by CR LF as stored texts are.
QString storedTextOf(const QByteArray& utf8);

} // namespace tallowmere
