#pragma once
// The capture bridge: hands a page the user captures in the browser to
// Tallowmere. When Tallowmere runs (its automation service has an owner on the
// session bus), AddNode is called there; otherwise Tallowmere is started from
// its install folder with the capture string as its one argument.

#include <QDBusConnection>
#include <QString>
#include <QVariantList>

#if defined(SNAGWICK_LIBRARY)
#define SNAGWICK_EXPORT Q_DECL_EXPORT
#else
#define SNAGWICK_EXPORT Q_DECL_IMPORT
#endif

namespace tallowmere {

class SNAGWICK_EXPORT TnewnodeImpl {
public:
    // Results in the automation convention: S_FALSE (a success) once the
    // capture has been handed over, E_FAIL when it could not be.
    static constexpr qint32 kS_FALSE = 1;
    static constexpr qint32 kE_FAIL = qint32(0x80004005u);

    explicit TnewnodeImpl(const QDBusConnection& bus = QDBusConnection::sessionBus());

    // pList: the page address (first element) and title (last element); pType:
    // the requested type code, passed on unchecked.
    qint32 addnode(const QVariantList& pList, qint32 pType);

    // Why the last call failed, for whoever called.
    QString lastError() const { return m_lastError; }

    // The install folder written by the installation: QSettings of system
    // scope, organisation "Tallowmere", key "Path"; empty when not set.
    static QString installFolder();

private:
    qint32 fail(const QString& reason);

    QDBusConnection m_bus;
    QString m_lastError;
};

} // namespace tallowmere
