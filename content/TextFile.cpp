#include "content/TextFile.h"

#include <QFile>
#include <QPlainTextEdit>

namespace tallowmere {

bool loadTextFile(QPlainTextEdit* memo, const QString& path, QString* reason)
{
    QFile file(path);
    QByteArray bytes;
    bool ok = file.open(QIODevice::ReadOnly);
    if (ok) {
        bytes = file.readAll();
        ok = file.error() == QFileDevice::NoError;
    }
    if (!ok) {
        if (reason)
            *reason = file.errorString();
        return false;
    }
    if (memo)
        memo->setPlainText(QString::fromUtf8(bytes));
    return true;
}

} // namespace tallowmere
