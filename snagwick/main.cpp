// snagwick: the native-messaging host of the capture extension, and its
// registration with the browsers (--register, --unregister).

#include "snagwick/HostManifests.h"
#include "snagwick/NativeHost.h"
#include "snagwick/newnodeImpl.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

using namespace tallowmere;

namespace {

bool readStdin(char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t got = ::read(STDIN_FILENO, data, size_t(size));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        size -= got;
    }
    return true;
}

void writeStdout(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString error;
    if (args.value(0) == QLatin1String("--register")) {
        const QStringList written = registerHost(QCoreApplication::applicationFilePath(), &error);
        for (const QString& path : written)
            std::printf("%s\n", qPrintable(path));
        if (written.isEmpty())
            std::fprintf(stderr, "snagwick: %s\n", qPrintable(error));
        return written.isEmpty() ? 1 : 0;
    }
    if (args.value(0) == QLatin1String("--unregister")) {
        for (const QString& path : unregisterHost(&error))
            std::printf("%s\n", qPrintable(path));
        if (!error.isEmpty())
            std::fprintf(stderr, "snagwick: %s\n", qPrintable(error));
        return error.isEmpty() ? 0 : 1;
    }
    // Started by a browser (which passes its own arguments): serve its messages.
    TnewnodeImpl bridge;
    return serveHostMessages(readStdin, writeStdout, [&bridge](const QVariantList& list, qint32 type, QString* why) {
        const qint32 result = bridge.addnode(list, type);
        *why = bridge.lastError();
        return result;
    });
}
