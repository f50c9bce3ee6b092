#pragma once

#include <QApplication>

namespace tallowmere {

// An error that escapes an event handler is shown in an error box once, here,
// and the program goes on.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace tallowmere
