// tallowmere-cli: maintenance commands for the archive.

#include "capture/InstallPath.h"
#include "store/Archive.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <functional>

namespace {

using namespace tallowmere;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void say(FILE* to, const QString& text)
{
    std::fputs(qPrintable(text + u'\n'), to);
}

struct Command {
    const char* name;
    const char* arguments;
    const char* summary;
    int maxArguments;
    std::function<int(const QStringList&)> run;
};

int init(const QStringList& args)
{
    const QString folder = args.isEmpty() ? QStringLiteral(".") : args.first();
    const QFileInfo dir(folder);
    if (!dir.isDir()) {
        say(stderr, QStringLiteral("tallowmere-cli: %1 is not a folder").arg(folder));
        return kExitFailed;
    }
    const QString path = QDir::cleanPath(QDir(dir.absoluteFilePath()).absoluteFilePath(QString::fromUtf8(kArchiveFileName)));
    try {
        createArchive(path);
    } catch (const EngineError& e) {
        say(stderr, QStringLiteral("tallowmere-cli: ") + e.message());
        return kExitFailed;
    }
    say(stdout, path);
    return kExitOk;
}

int setInstallPath(const QStringList& args)
{
    const QString folder = args.value(0).isEmpty() ? QString() : QFileInfo(args.value(0)).absoluteFilePath();
    if (!writeInstallPath(folder)) {
        say(stderr, QStringLiteral("tallowmere-cli: the install folder could not be recorded"));
        return kExitFailed;
    }
    return kExitOk;
}

const Command kCommands[] = {
    {"init", "[FOLDER]", "make an empty archive bbk.dat in FOLDER (default: the current folder)", 1, init},
    {"set-install-path", "[FOLDER]",
     "record FOLDER as the program's install folder for the browser bridge (none: remove the record)", 1,
     setInstallPath},
};

void usage(FILE* to)
{
    say(to, QStringLiteral("usage: tallowmere-cli COMMAND [ARGUMENTS]\n\ncommands:"));
    for (const Command& c : kCommands)
        say(to, QStringLiteral("  %1 %2\n      %3").arg(QLatin1String(c.name), QLatin1String(c.arguments), QLatin1String(c.summary)));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        usage(stderr);
        return kExitUsage;
    }
    const QString name = args.takeFirst();
    if (name == u"-h" || name == u"--help" || name == u"help") {
        usage(stdout);
        return kExitOk;
    }
    for (const Command& c : kCommands) {
        if (name != QLatin1String(c.name))
            continue;
        if (args.size() > c.maxArguments) {
            usage(stderr);
            return kExitUsage;
        }
        return c.run(args);
    }
    say(stderr, QStringLiteral("tallowmere-cli: unknown command %1").arg(name));
    usage(stderr);
    return kExitUsage;
}
