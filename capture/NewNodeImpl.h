#pragma once
// The automation object NewNode on the session bus (service Brambook.NewNode,
// object /NewNode, interface Brambook.INewNode, defined by
// Brambook.INewNode.xml). It keeps nothing of a capture: each call is handed to
// the main window's capture entry. Calls are served one at a time: a call that
// arrives while another one waits for the web view is answered once that one
// has been added, so two captures never share the window's state.

#include "capture/CaptureString.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QVariantList>

#include <deque>
#include <functional>

class QWidget;

namespace tallowmere {

class Prompter;

// The close warning while a call is being served.
inline constexpr const char* kServerWarningCaption = "COM Server Warning";
inline constexpr const char* kServerWarningText =
    "There are still active COM objects in this application.  One or more clients may have references to these "
    "objects, so manually closing this application may cause those client application(s) to fail.\n\n"
    "Are you sure you want to close this application?";

class TNewNodeImpl : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    using Capture = std::function<void(const CaptureRequest&)>;

    explicit TNewNodeImpl(Capture capture, QObject* parent = nullptr);
    ~TNewNodeImpl() override;

    // Registers the object and claims the service name. False when there is no
    // bus or the name is taken; the program then runs without the service.
    bool claim(const QDBusConnection& bus = QDBusConnection::sessionBus());
    // Gives the name and the object up again (at the end of a run).
    void release();
    bool claimed() const { return m_claimed; }

    // True while a call is being served or waits for its turn.
    bool serving() const { return m_serving || !m_waiting.empty(); }

    // Asked when the user closes the window. Without a call being served the
    // window may close (true). Otherwise the user is warned; on Yes the window
    // closes as soon as the calls have been served (closeAgain is run then),
    // so that no capture is cut off halfway. False: do not close now.
    bool approveClose(Prompter& prompter, QWidget* parent, std::function<void()> closeAgain);

    // The method as the bus calls it (through the generated adaptor).
    int AddNode(const QVariantList& pList, int pType);

private:
    struct Waiting {
        QDBusMessage call;
        CaptureRequest request;
    };
    // Runs one capture; an error text when the add operation failed.
    QString serve(const CaptureRequest& request);
    void serveWaiting();
    void afterServing();

    Capture m_capture;
    QDBusConnection m_bus;
    bool m_claimed = false;
    bool m_serving = false;
    std::deque<Waiting> m_waiting;
    std::function<void()> m_closeAgain;
};

} // namespace tallowmere
