#pragma once
// The automation-server switches of the program's command line, and the D-Bus
// activation file through which the session bus can start the program.

#include <QString>
#include <QStringList>

namespace tallowmere {

enum class ServerSwitch {
    None,          // a normal run: refresh the activation file, then run
    RegServer,     // write the activation file and end
    UnregServer,   // remove the activation file and end
    Automation,    // started by the bus: no self-registration
    Embedding,     // started by the system: no self-registration
};

// The switch among the arguments (without the program's own name): an argument
// that is "/" or "-" followed by the switch word, in any letter case.
// "REGSERVER" is looked for before "UNREGSERVER", and both before the others.
ServerSwitch serverSwitch(const QStringList& arguments);

// True when the argument is one of the switches above.
bool isServerSwitch(const QString& argument);

// The activation file "Brambook.NewNode.service" in the user's D-Bus services
// folder ($XDG_DATA_HOME/dbus-1/services, by default ~/.local/share/...).
QString activationFilePath();

// Writes the activation file: the bus starts programPath with "/Automation".
// False (and why, in error) when it cannot be written.
bool registerServer(const QString& programPath, QString* error = nullptr);
// Removes the activation file; true when it is gone.
bool unregisterServer(QString* error = nullptr);

} // namespace tallowmere
