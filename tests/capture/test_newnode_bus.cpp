// The automation service on a private session bus, called by gdbus as a real
// client: what AddNode hands to the capture entry, what it refuses, calls that
// arrive while one is served, and the close warning.

#include "capture/NewNodeImpl.h"
#include "tests/support/ScriptedPrompter.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QXmlStreamReader>
#include <QtTest>

using namespace tallowmere;

namespace {

struct Call {
    QString out;
    QString err;
};

// gdbus call, waited for while this process's event loop serves the call.
Call gdbusAddNode(const QString& list, int type)
{
    QProcess p;
    p.start(QStringLiteral("gdbus"), {"call", "--session", "-d", "Brambook.NewNode", "-o", "/NewNode", "-m",
                                      "Brambook.INewNode.AddNode", "--", list, QString::number(type)});
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 30000))
        p.kill();
    return {QString::fromUtf8(p.readAllStandardOutput()).trimmed(), QString::fromUtf8(p.readAllStandardError()).trimmed()};
}

// Every method of an introspection text: interface.method(direction type name)...
QStringList methods(const QByteArray& xml)
{
    QStringList found;
    QString interface;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = reader.attributes();
        if (reader.name() == QLatin1String("interface"))
            interface = a.value("name").toString();
        else if (reader.name() == QLatin1String("method"))
            found << interface + u'.' + a.value("name").toString();
        else if (reader.name() == QLatin1String("arg") && !found.isEmpty())
            found.last() += QStringLiteral("(%1 %2 %3)").arg(a.value("direction"), a.value("type"), a.value("name"));
    }
    return found;
}

QString describe(const CaptureRequest& r)
{
    return QStringLiteral("%1|%2|%3").arg(r.address, r.title).arg(r.typeCode);
}

} // namespace

class TestNewNodeBus : public QObject {
    Q_OBJECT

    QStringList m_captured;
    std::function<void(const CaptureRequest&)> m_during;   // runs inside a capture
    std::unique_ptr<TNewNodeImpl> m_service;

private slots:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs a session bus (dbus-run-session)");
        m_service = std::make_unique<TNewNodeImpl>([this](const CaptureRequest& r) {
            m_captured << describe(r);
            if (m_during)
                m_during(r);
        });
        QVERIFY(m_service->claim());
        // The name is ours alone.
        TNewNodeImpl second([](const CaptureRequest&) {});
        QVERIFY(!second.claim());
    }

    void init()
    {
        m_captured.clear();
        m_during = nullptr;
    }

    // The live interface is the one kept in the repository.
    void introspection()
    {
        QProcess p;
        p.start(QStringLiteral("gdbus"), {"introspect", "--session", "--xml", "-d", "Brambook.NewNode", "-o", "/NewNode"});
        QVERIFY(QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 30000));
        const QStringList live = methods(p.readAllStandardOutput());
        QFile xml(qEnvironmentVariable("TM_SOURCE_DIR") + QStringLiteral("/capture/Brambook.INewNode.xml"));
        QVERIFY(xml.open(QIODevice::ReadOnly));
        const QStringList kept = methods(xml.readAll());
        QCOMPARE(kept, QStringList{"Brambook.INewNode.AddNode(in av pList)(in i pType)(out i result)"});
        QVERIFY(live.contains(kept.first()));
    }

    void addNode_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("reply");      // gdbus's output, or the error name
        QTest::addColumn<QString>("captured");   // address|title|type, empty when nothing
        QTest::newRow("two") << "[<'http://h/p'>, <'Title'>]" << 7 << "(1,)" << "http://h/p|Title|7";
        QTest::newRow("one element") << "[<'http://h/p'>]" << 8 << "(1,)" << "http://h/p|http://h/p|8";
        QTest::newRow("middle ignored") << "[<'a'>, <'b'>, <'c'>]" << 12 << "(1,)" << "a|c|12";
        QTest::newRow("minus one") << "[<'a'>, <'t'>]" << -1 << "(1,)" << "a|t|-1";
        QTest::newRow("any code") << "[<'a'>, <'t'>]" << 2147483647 << "(1,)" << "a|t|2147483647";
        QTest::newRow("not text") << "[<int32 42>, <true>]" << 7 << "(1,)" << "42|true|7";
        QTest::newRow("double and bytes") << "[<2.5>, <b'bytes'>]" << 7 << "(1,)" << "2.5|bytes|7";
        QTest::newRow("variant in variant") << "[<<'a'>>, <<'t'>>]" << 7 << "(1,)" << "a|t|7";
        QTest::newRow("list of lists") << "[<['a', 'b']>, <['c', 'd']>]" << 8 << "(0,)" << "";
        QTest::newRow("one list inside") << "[<'a'>, <[<'b'>]>]" << 8 << "(0,)" << "";
        QTest::newRow("empty") << "@av []" << 7 << "InvalidArgs" << "";
        QTest::newRow("dictionary title") << "[<'a'>, <{'k': 'v'}>]" << 7 << "InvalidArgs" << "";
        QTest::newRow("structure address") << "[<('a', 1)>, <'t'>]" << 7 << "InvalidArgs" << "";
    }

    void addNode()
    {
        QFETCH(QString, list);
        QFETCH(int, type);
        QFETCH(QString, reply);
        QFETCH(QString, captured);
        const Call c = gdbusAddNode(list, type);
        if (reply.startsWith(u'('))
            QCOMPARE(c.out, reply);
        else
            QVERIFY2(c.err.contains(reply), qPrintable(c.err));
        QCOMPARE(m_captured, captured.isEmpty() ? QStringList() : QStringList{captured});
    }

    // A call arriving while another one waits is served after it, and both
    // callers get their answer; closing meanwhile is warned about and, on Yes,
    // happens once both are served.
    void oneAtATimeAndCloseWarning()
    {
        test::ScriptedPrompter prompter;
        int closes = 0;
        QProcess second;
        bool secondStarted = false;
        m_during = [&](const CaptureRequest& r) {
            if (r.title != QLatin1String("first"))
                return;
            second.start(QStringLiteral("gdbus"), {"call", "--session", "-d", "Brambook.NewNode", "-o", "/NewNode", "-m",
                                                   "Brambook.INewNode.AddNode", "--", "[<'b'>, <'second'>]", "8"});
            secondStarted = true;
            // Wait inside the call, as the page saver does, until the second call is queued.
            QTest::qWait(1500);
            QCOMPARE(m_captured.size(), 1);
            QVERIFY(m_service->serving());
            prompter.answers = {false};
            QVERIFY(!m_service->approveClose(prompter, nullptr, [&] { ++closes; }));
            prompter.answers = {true};
            QVERIFY(!m_service->approveClose(prompter, nullptr, [&] { ++closes; }));
        };
        QCOMPARE(gdbusAddNode(QStringLiteral("[<'a'>, <'first'>]"), 7).out, QStringLiteral("(1,)"));
        QVERIFY(secondStarted);
        QVERIFY(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 30000));
        QCOMPARE(QString::fromUtf8(second.readAllStandardOutput()).trimmed(), QStringLiteral("(1,)"));
        QCOMPARE(m_captured, (QStringList{"a|first|7", "b|second|8"}));
        QTRY_COMPARE(closes, 1);
        const QString warning = QStringLiteral(
            "COM Server Warning: There are still active COM objects in this application.  One or more clients may have "
            "references to these objects, so manually closing this application may cause those client application(s) "
            "to fail.\n\nAre you sure you want to close this application?");
        QCOMPARE(prompter.warnings, (QStringList{warning, warning}));
        // Nothing served: closing needs no question.
        QVERIFY(m_service->approveClose(prompter, nullptr, [] {}));
        QCOMPARE(prompter.warnings.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestNewNodeBus)
#include "test_newnode_bus.moc"
