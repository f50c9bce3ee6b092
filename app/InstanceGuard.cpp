#include "InstanceGuard.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tallowmere {

QString InstanceGuard::defaultFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QFile::decodeName(runtime)).exists())
        return QFile::decodeName(runtime);
    return QDir::tempPath();
}

InstanceGuard::InstanceGuard(const QString& folder)
{
    const QString dir = folder.isEmpty() ? defaultFolder() : folder;
    const QByteArray path = QFile::encodeName(dir + QStringLiteral("/BrambookMutex"));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    fd_ = fd;
}

InstanceGuard::~InstanceGuard()
{
    if (fd_ >= 0)
        ::close(fd_);  // closing drops the lock
}

} // namespace tallowmere
