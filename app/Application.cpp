#include "Application.h"

#include <QMessageBox>
#include <exception>

namespace tallowmere {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Tallowmere"));
    setApplicationDisplayName(QStringLiteral("Tallowmere"));
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        QMessageBox::critical(activeWindow(), QStringLiteral("Tallowmere"), QString::fromLocal8Bit(e.what()));
    } catch (...) {
        QMessageBox::critical(activeWindow(), QStringLiteral("Tallowmere"), QStringLiteral("Unknown error"));
    }
    return false;
}

} // namespace tallowmere
