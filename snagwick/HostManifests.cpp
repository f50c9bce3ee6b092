#include "snagwick/HostManifests.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace tallowmere {

namespace {

QString configHome()
{
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    return !config.isEmpty() && QDir::isAbsolutePath(config) ? config : QDir::homePath() + QStringLiteral("/.config");
}

QJsonObject manifest(const QString& hostPath)
{
    return {{QStringLiteral("name"), QLatin1String(kHostName)},
            {QStringLiteral("description"), QStringLiteral("Tallowmere capture bridge")},
            {QStringLiteral("path"), QFileInfo(hostPath).absoluteFilePath()},
            {QStringLiteral("type"), QStringLiteral("stdio")}};
}

bool writeJson(const QString& path, const QJsonObject& object, QString* error)
{
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(object).toJson());
        if (file.commit())
            return true;
    }
    *error = QStringLiteral("%1: %2").arg(path, file.errorString());
    return false;
}

} // namespace

QString chromiumManifestPath()
{
    return configHome() + QStringLiteral("/chromium/NativeMessagingHosts/") + QLatin1String(kHostName) + QStringLiteral(".json");
}

QString firefoxManifestPath()
{
    return QDir::homePath() + QStringLiteral("/.mozilla/native-messaging-hosts/") + QLatin1String(kHostName)
           + QStringLiteral(".json");
}

QStringList registerHost(const QString& hostPath, QString* error)
{
    QJsonObject chromium = manifest(hostPath);
    chromium.insert(QStringLiteral("allowed_origins"),
                    QJsonArray{QStringLiteral("chrome-extension://%1/").arg(QLatin1String(kChromiumExtensionId))});
    QJsonObject firefox = manifest(hostPath);
    firefox.insert(QStringLiteral("allowed_extensions"), QJsonArray{QLatin1String(kFirefoxExtensionId)});
    if (!writeJson(chromiumManifestPath(), chromium, error) || !writeJson(firefoxManifestPath(), firefox, error))
        return {};
    return {chromiumManifestPath(), firefoxManifestPath()};
}

QStringList unregisterHost(QString* error)
{
    QStringList removed;
    for (const QString& path : {chromiumManifestPath(), firefoxManifestPath()}) {
        QFile file(path);
        if (!file.exists())
            continue;
        if (!file.remove()) {
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
            continue;
        }
        removed << path;
    }
    return removed;
}

} // namespace tallowmere
