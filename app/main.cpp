#include "AboutBox.h"
#include "Application.h"
#include "InstanceGuard.h"
#include "MainForm.h"
#include "capture/ServerSwitches.h"
#include "content/WebEngineView.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using namespace tallowmere;

int main(int argc, char** argv)
{
    // One copy per user: a second start ends at once, touching nothing.
    InstanceGuard guard;
    if (!guard.acquired())
        return 1;

    // Registering and unregistering the automation service need no display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const ServerSwitch serverRun = serverSwitch(arguments);
    if (serverRun == ServerSwitch::RegServer || serverRun == ServerSwitch::UnregServer) {
        QCoreApplication core(argc, argv);
        QString error;
        const bool done = serverRun == ServerSwitch::RegServer
                              ? registerServer(QCoreApplication::applicationFilePath(), &error)
                              : unregisterServer(&error);
        if (!done) {
            std::fprintf(stderr, "Tallowmere: %s\n", qPrintable(error));
            return 1;
        }
        return 0;
    }

    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr,
                     "Tallowmere needs a display. Start it from a desktop session, or under a virtual\n"
                     "display: xvfb-run -a %s\n", argv[0]);
        return 1;
    }
    // The web engine's sandbox cannot run as root.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    registerWebSchemes();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TApplication app(argc, argv);
    app.setWindowIcon(programIcon());

    // Every normal start keeps the bus able to start the program; a start by
    // the bus or the system does not register itself.
    if (serverRun == ServerSwitch::None)
        registerServer(QCoreApplication::applicationFilePath());

    MainFormOptions options;
    if (argc > 1)
        options.captureString = QString::fromLocal8Bit(argv[1]);
    TForm_Main window(std::move(options));
    window.show();
    if (!window.claimAutomationService())
        std::fprintf(stderr, "Tallowmere: the automation service %s is not available on the session bus; "
                             "captures from the browser start a second copy, which ends at once.\n", "Brambook.NewNode");
    app.exec();
    return 0;
}
