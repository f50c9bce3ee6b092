#include "AboutBox.h"
#include "Application.h"
#include "InstanceGuard.h"
#include "MainForm.h"
#include "content/WebEngineView.h"

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

    MainFormOptions options;
    if (argc > 1)
        options.captureString = QString::fromLocal8Bit(argv[1]);
    TForm_Main window(std::move(options));
    window.show();
    app.exec();
    return 0;
}
