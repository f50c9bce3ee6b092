#include "capture/ServerSwitches.h"

#include "capture/CaptureString.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace tallowmere {

namespace {

bool isSwitch(const QString& argument, QLatin1String word)
{
    return argument.size() == word.size() + 1
        && (argument.startsWith(u'/') || argument.startsWith(u'-'))
        && argument.mid(1).compare(word, Qt::CaseInsensitive) == 0;
}

bool anyIs(const QStringList& arguments, QLatin1String word)
{
    for (const QString& a : arguments)
        if (isSwitch(a, word))
            return true;
    return false;
}

// The bus splits the Exec line like a shell: a path with blanks or quotes is
// written in single quotes.
QString execArgument(const QString& path)
{
    static const QString plain = QStringLiteral(
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+,:@%");
    bool quote = path.isEmpty();
    for (QChar c : path)
        if (!plain.contains(c))
            quote = true;
    if (!quote)
        return path;
    QString quoted = path;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

} // namespace

ServerSwitch serverSwitch(const QStringList& arguments)
{
    if (anyIs(arguments, QLatin1String("REGSERVER")))
        return ServerSwitch::RegServer;
    if (anyIs(arguments, QLatin1String("UNREGSERVER")))
        return ServerSwitch::UnregServer;
    if (anyIs(arguments, QLatin1String("AUTOMATION")))
        return ServerSwitch::Automation;
    if (anyIs(arguments, QLatin1String("EMBEDDING")))
        return ServerSwitch::Embedding;
    return ServerSwitch::None;
}

bool isServerSwitch(const QString& argument)
{
    return serverSwitch({argument}) != ServerSwitch::None;
}

QString activationFilePath()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || !QDir::isAbsolutePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/dbus-1/services/") + QLatin1String(kNewNodeService) + QStringLiteral(".service");
}

bool registerServer(const QString& programPath, QString* error)
{
    const QString path = activationFilePath();
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        const QString text = QStringLiteral("[D-BUS Service]\nName=%1\nExec=%2 /Automation\n")
                                 .arg(QLatin1String(kNewNodeService), execArgument(QFileInfo(programPath).absoluteFilePath()));
        file.write(text.toUtf8());
        if (file.commit())
            return true;
    }
    if (error)
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
    return false;
}

bool unregisterServer(QString* error)
{
    QFile file(activationFilePath());
    if (!file.exists() || file.remove())
        return true;
    if (error)
        *error = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
    return false;
}

} // namespace tallowmere
