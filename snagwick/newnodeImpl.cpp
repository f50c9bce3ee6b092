#include "snagwick/newnodeImpl.h"

#include "capture/InstallPath.h"

#include "capture/CaptureString.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QProcess>

namespace tallowmere {

namespace {

// AddNode waits until the page has been added, which for an archive includes
// waiting for the page to load and saving it.
constexpr int kAddNodeTimeoutMs = 300'000;

// An element as text; false for one that has none (a list, an object).
bool elementText(const QVariant& value, QString& text)
{
    const int type = value.userType();
    if (type == QMetaType::QVariantList || type == QMetaType::QStringList || type == QMetaType::QVariantMap
        || !value.canConvert<QString>())
        return false;
    text = value.toString();
    return true;
}

} // namespace

TnewnodeImpl::TnewnodeImpl(const QDBusConnection& bus) : m_bus(bus) {}

qint32 TnewnodeImpl::fail(const QString& reason)
{
    m_lastError = reason;
    return kE_FAIL;
}

QString TnewnodeImpl::installFolder()
{
    return readInstallPath();
}

qint32 TnewnodeImpl::addnode(const QVariantList& pList, qint32 pType)
{
    m_lastError.clear();
    const QString service = QLatin1String(kNewNodeService);
    const bool running = m_bus.isConnected() && m_bus.interface()
                         && m_bus.interface()->isServiceRegistered(service).value();
    if (running) {
        QDBusMessage call = QDBusMessage::createMethodCall(service, QLatin1String(kNewNodePath),
                                                           QLatin1String(kNewNodeInterface), QStringLiteral("AddNode"));
        call << QVariant::fromValue(pList) << pType;
        const QDBusMessage reply = m_bus.call(call, QDBus::Block, kAddNodeTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage)
            return fail(QStringLiteral("Tallowmere did not take the page: ") + reply.errorMessage());
        return kS_FALSE;
    }

    QString address, title;
    if (pList.isEmpty())
        return fail(QStringLiteral("There is no page address to capture."));
    if (!elementText(pList.first(), address) || !elementText(pList.last(), title))
        return fail(QStringLiteral("The page address and title must be text."));
    const QString folder = installFolder();
    const QString program = folder.isEmpty() ? QStringLiteral("Tallowmere") : QDir(folder).filePath(QStringLiteral("Tallowmere"));
    // No shell in between: the capture string is one argument whatever it
    // holds. The program gets none of our standard channels: in the native
    // host they are the browser's message pipe.
    QProcess start;
    start.setProgram(program);
    start.setArguments({makeCaptureString(pType, address, title)});
    start.setWorkingDirectory(folder);
    start.setStandardInputFile(QProcess::nullDevice());
    start.setStandardOutputFile(QProcess::nullDevice());
    start.setStandardErrorFile(QProcess::nullDevice());
    if (!start.startDetached())
        return fail(QStringLiteral("Tallowmere could not be started as %1.").arg(program));
    return kS_FALSE;
}

} // namespace tallowmere
