#include "capture/NewNodeImpl.h"

#include "common/Prompter.h"
#include "newnodeadaptor.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusSignature>
#include <QDBusVariant>
#include <QScopeGuard>
#include <QTimer>

#include <exception>

namespace tallowmere {

namespace {

enum class Element { Text, List, Other };

// What one element of pList is: text (or something that reads as text), a list
// (the form a two-dimensional array takes), or something that has no text.
Element classify(const QVariant& value, QString* text)
{
    const int type = value.userType();
    if (type == qMetaTypeId<QDBusVariant>())
        return classify(qvariant_cast<QDBusVariant>(value).variant(), text);
    if (type == qMetaTypeId<QDBusArgument>()) {
        const auto kind = qvariant_cast<QDBusArgument>(value).currentType();
        return kind == QDBusArgument::ArrayType ? Element::List : Element::Other;
    }
    if (type == QMetaType::QStringList || type == QMetaType::QVariantList)
        return Element::List;
    QString t;
    if (type == QMetaType::QByteArray)
        t = QString::fromUtf8(value.toByteArray().split('\0').first());   // a byte string ends at its NUL
    else if (type == qMetaTypeId<QDBusObjectPath>())
        t = qvariant_cast<QDBusObjectPath>(value).path();
    else if (type == qMetaTypeId<QDBusSignature>())
        t = qvariant_cast<QDBusSignature>(value).signature();
    else if (type == QMetaType::UChar)
        t = QString::number(value.value<uchar>());
    else if (type == QMetaType::QString || type == QMetaType::Bool || type == QMetaType::Int || type == QMetaType::UInt
             || type == QMetaType::LongLong || type == QMetaType::ULongLong || type == QMetaType::Double
             || type == QMetaType::Short || type == QMetaType::UShort)
        t = value.toString();
    else
        return Element::Other;
    if (text)
        *text = t;
    return Element::Text;
}

const QString kInvalidArgs = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
const QString kFailed = QStringLiteral("org.freedesktop.DBus.Error.Failed");

} // namespace

TNewNodeImpl::TNewNodeImpl(Capture capture, QObject* parent)
    : QObject(parent), m_capture(std::move(capture)), m_bus(QString())
{
    new INewNodeAdaptor(this);
}

TNewNodeImpl::~TNewNodeImpl()
{
    release();
}

bool TNewNodeImpl::claim(const QDBusConnection& bus)
{
    if (m_claimed || !bus.isConnected())
        return m_claimed;
    QDBusConnection connection(bus);
    if (!connection.registerObject(QLatin1String(kNewNodePath), this, QDBusConnection::ExportAdaptors))
        return false;
    if (!connection.registerService(QLatin1String(kNewNodeService))) {
        connection.unregisterObject(QLatin1String(kNewNodePath));
        return false;
    }
    m_bus = connection;
    m_claimed = true;
    return true;
}

void TNewNodeImpl::release()
{
    if (!m_claimed)
        return;
    m_claimed = false;
    m_bus.unregisterService(QLatin1String(kNewNodeService));
    m_bus.unregisterObject(QLatin1String(kNewNodePath));
    // Calls still waiting would otherwise never be answered.
    for (const Waiting& w : m_waiting)
        m_bus.send(w.call.createErrorReply(kFailed, QStringLiteral("Tallowmere is closing; the page was not added.")));
    m_waiting.clear();
}

int TNewNodeImpl::AddNode(const QVariantList& pList, int pType)
{
    const auto refuse = [this](const QString& text) {
        if (calledFromDBus())
            sendErrorReply(kInvalidArgs, text);
        return kAddNodeIgnored;
    };
    if (pList.isEmpty())
        return refuse(QStringLiteral("pList holds no elements: AddNode needs the page address and title."));
    for (const QVariant& element : pList)
        if (classify(element, nullptr) == Element::List)
            return kAddNodeIgnored;
    CaptureRequest request;
    request.typeCode = pType;
    if (classify(pList.first(), &request.address) != Element::Text)
        return refuse(QStringLiteral("The first element of pList (the page address) cannot be read as text."));
    if (classify(pList.last(), &request.title) != Element::Text)
        return refuse(QStringLiteral("The last element of pList (the page title) cannot be read as text."));

    if (m_serving && calledFromDBus()) {
        setDelayedReply(true);
        m_waiting.push_back({message(), request});
        return kAddNodeIgnored;
    }
    const QString failure = serve(request);
    if (!failure.isEmpty() && calledFromDBus())
        sendErrorReply(kFailed, failure);
    return kAddNodeDone;
}

QString TNewNodeImpl::serve(const CaptureRequest& request)
{
    m_serving = true;
    const auto done = qScopeGuard([this] {
        m_serving = false;
        afterServing();
    });
    try {
        if (m_capture)
            m_capture(request);
    } catch (const std::exception& e) {
        return QStringLiteral("The page could not be added: ") + QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("The page could not be added.");
    }
    return {};
}

void TNewNodeImpl::afterServing()
{
    // From the event loop, not from inside the call that has just ended.
    if (!m_waiting.empty())
        QTimer::singleShot(0, this, &TNewNodeImpl::serveWaiting);
    else if (m_closeAgain)
        QTimer::singleShot(0, this, [this] {
            if (serving() || !m_closeAgain)
                return;
            auto closeAgain = std::move(m_closeAgain);
            m_closeAgain = nullptr;
            closeAgain();
        });
}

void TNewNodeImpl::serveWaiting()
{
    if (m_serving || m_waiting.empty())
        return;
    Waiting next = std::move(m_waiting.front());
    m_waiting.pop_front();
    const QString failure = serve(next.request);
    m_bus.send(failure.isEmpty() ? next.call.createReply(kAddNodeDone) : next.call.createErrorReply(kFailed, failure));
}

bool TNewNodeImpl::approveClose(Prompter& prompter, QWidget* parent, std::function<void()> closeAgain)
{
    if (!serving())
        return true;
    if (m_closeAgain)
        return false;  // already closing once the calls are served
    if (!prompter.warn(parent, QLatin1String(kServerWarningCaption), QLatin1String(kServerWarningText)))
        return false;
    m_closeAgain = std::move(closeAgain);
    return false;
}

} // namespace tallowmere
