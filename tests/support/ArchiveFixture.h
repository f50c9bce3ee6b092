#pragma once
// Small helpers for the store tests: a fresh archive in a temporary folder and
// the stock sqlcipher shell as an independent reader and writer.

#include "store/Archive.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace tallowmere::test {

// A temporary folder holding a fresh, empty archive.
struct ArchiveFolder {
    QTemporaryDir dir;
    QString path;

    ArchiveFolder() : path(dir.filePath(QString::fromUtf8(kArchiveFileName))) { createArchive(path); }
    std::shared_ptr<Connection> connect() const { return Connection::open(path); }
    // The folder, as a program folder is given: with a closing "/".
    QString folder() const { return dir.path() + u'/'; }
};

struct ShellResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs an SQL script in the sqlcipher shell on file, keyed like the archive
// unless another key is given.
inline ShellResult runShell(const QString& file, const QString& script,
                            const QString& key = QString::fromLatin1(kArchivePassword))
{
    QProcess shell;
    shell.start(QStringLiteral("sqlcipher"), {QStringLiteral("-batch"), file});
    if (!shell.waitForStarted())
        return {};
    const QString prologue = QStringLiteral("PRAGMA key = %1;\nPRAGMA cipher_page_size = %2;\n")
                                 .arg(quoted(key)).arg(kCipherPageSize);
    shell.write((prologue + script + u'\n').toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(60000);
    return {shell.exitCode(), QString::fromUtf8(shell.readAllStandardOutput()).trimmed(),
            QString::fromUtf8(shell.readAllStandardError()).trimmed()};
}

} // namespace tallowmere::test
