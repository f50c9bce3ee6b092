#pragma once
// The install folder, where the browser bridge finds the program when it has to
// start it: settings "Tallowmere", key "Path". An installation by the
// administrator records it for every user; one without that right, for its
// own user only.

#include <QSettings>
#include <QString>

namespace tallowmere {

inline constexpr const char* kSettingsName = "Tallowmere";
inline constexpr const char* kInstallPathKey = "Path";

// The recorded folder, the system's record first; empty when there is none.
inline QString readInstallPath()
{
    for (QSettings::Scope scope : {QSettings::SystemScope, QSettings::UserScope}) {
        const QString path = QSettings(scope, QLatin1String(kSettingsName)).value(QLatin1String(kInstallPathKey)).toString();
        if (!path.isEmpty())
            return path;
    }
    return {};
}

// Records the folder (system-wide when allowed, else for this user); an empty
// folder removes the record. False when nothing could be written.
inline bool writeInstallPath(const QString& folder)
{
    for (QSettings::Scope scope : {QSettings::SystemScope, QSettings::UserScope}) {
        QSettings settings(scope, QLatin1String(kSettingsName));
        if (!settings.isWritable())
            continue;
        if (folder.isEmpty())
            settings.remove(QLatin1String(kInstallPathKey));
        else
            settings.setValue(QLatin1String(kInstallPathKey), folder);
        settings.sync();
        if (settings.status() == QSettings::NoError)
            return true;
    }
    return false;
}

} // namespace tallowmere
