#pragma once
// The native-messaging host manifests "snagwick.newnode.json" through which
// Chromium and Firefox find the host and know which extension may start it.

#include <QString>
#include <QStringList>

namespace tallowmere {

inline constexpr const char* kHostName = "snagwick.newnode";
// The capture extension in extension/: its Chromium id (from the key in its
// manifest) and its Firefox id.
inline constexpr const char* kChromiumExtensionId = "pkmhfhfakdjnpokpekhbkhgdfkfpfmmi";
inline constexpr const char* kFirefoxExtensionId = "snagwick@tallowmere";

// Where the manifests go for the current user: Chromium's under
// $XDG_CONFIG_HOME (default ~/.config), Firefox's under ~/.mozilla.
QString chromiumManifestPath();
QString firefoxManifestPath();

// Writes both manifests naming hostPath (made absolute). The paths written, or
// an error text in error and an empty list.
QStringList registerHost(const QString& hostPath, QString* error);
// Removes both; the paths that were removed. A manifest that could not be
// removed is named in error.
QStringList unregisterHost(QString* error);

} // namespace tallowmere
