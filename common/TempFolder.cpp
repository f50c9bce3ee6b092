#include "TempFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace tallowmere {

namespace {

bool isPrivateDir(const QByteArray& path)
{
    struct stat st {};
    // lstat: a symbolic link planted under our name is never followed.
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode)
        && st.st_uid == ::getuid() && (st.st_mode & 0777) == 0700;
}

} // namespace

QString privateTempFolder(const QString& base)
{
    const QString root = base.isEmpty() ? QDir::tempPath() : base;
    const QString wanted = root + QStringLiteral("/Tallowmere-") + QString::number(::getuid());
    const QByteArray path = QFile::encodeName(wanted);
    if (::mkdir(path.constData(), 0700) == 0 || errno == EEXIST) {
        if (isPrivateDir(path))
            return wanted + QLatin1Char('/');
    }
    QByteArray pattern = QFile::encodeName(wanted + QStringLiteral("-XXXXXX"));
    if (::mkdtemp(pattern.data()))
        return QFile::decodeName(pattern) + QLatin1Char('/');
    return QString();
}

} // namespace tallowmere
