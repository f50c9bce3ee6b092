// Web capture end to end: the built Tallowmere and snagwick in a program folder
// of their own, on a private session bus, driven by real clients (gdbus, the
// host fed framed messages as a browser sends them), pages served on
// 127.0.0.1, and the archive read back by the sqlcipher shell.

#include "tests/support/ArchiveFixture.h"
#include "tests/support/TinyHttpServer.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <cstring>

using namespace tallowmere;

namespace {

constexpr int kWaitMs = 45000;

QByteArray page(const QByteArray& title, const QByteArray& marker)
{
    // The marker on a line of its own, so that no line break of the archive's
    // encoding falls inside it.
    return "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1>\n<p>\n" + marker
           + "\n</p></body></html>";
}

QByteArray frame(const QByteArray& json)
{
    const quint32 size = quint32(json.size());
    QByteArray framed(sizeof size, Qt::Uninitialized);
    std::memcpy(framed.data(), &size, sizeof size);
    return framed + json;
}

// The host's answers, unframed.
QList<QJsonObject> answers(QByteArray out)
{
    QList<QJsonObject> list;
    while (out.size() >= 4) {
        quint32 size = 0;
        std::memcpy(&size, out.constData(), 4);
        list << QJsonDocument::fromJson(out.mid(4, size)).object();
        out.remove(0, 4 + size);
    }
    return list;
}

QString serviceName()
{
    return QStringLiteral("Brambook.NewNode");
}

bool serviceUp()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(serviceName()).value();
}

} // namespace

class TestCapture : public QObject {
    Q_OBJECT

    test::TinyHttpServer m_http;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<std::unique_ptr<QProcess>> m_programs;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString archive() const { return path(QStringLiteral("program/bbk.dat")); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("runtime")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("home/.config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("home/.local/share")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), path(QStringLiteral("home/.cache")));
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), path(QStringLiteral("xdg")));
        env.insert(QStringLiteral("TMPDIR"), path(QStringLiteral("tmp")));
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        return env;
    }

    QProcess& start(const QString& program, const QStringList& args)
    {
        m_programs.push_back(std::make_unique<QProcess>());
        QProcess& p = *m_programs.back();
        p.setProcessEnvironment(environment());
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(program, args);
        return p;
    }

    // Tallowmere from its program folder; returns once it offers its service.
    void startTallowmere(const QStringList& args = {})
    {
        QProcess& p = start(path(QStringLiteral("program/Tallowmere")), args);
        QVERIFY(p.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(serviceUp() || p.state() != QProcess::Running, kWaitMs);
        QVERIFY(serviceUp());
    }

    // Ends whatever Tallowmere runs on this bus (also one the bridge started).
    void stopTallowmere()
    {
        const QDBusReply<uint> pid = QDBusConnection::sessionBus().interface()->servicePid(serviceName());
        if (pid.isValid() && pid.value() > 0)
            ::kill(pid_t(pid.value()), SIGKILL);
        for (auto& p : m_programs) {
            p->kill();
            p->waitForFinished(10000);
        }
        m_programs.clear();
        QTRY_VERIFY_WITH_TIMEOUT(!serviceUp(), 10000);
    }

    struct Run {
        int exitCode = -1;
        QString out;
        QString err;
        QByteArray raw;   // stdout as written
    };
    Run run(const QString& program, const QStringList& args, const QByteArray& input = {})
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(program, args);
        p.write(input);
        p.closeWriteChannel();
        // Keep this process's own event loop (the web server) running.
        if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, kWaitMs * 2)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        const QByteArray raw = p.readAllStandardOutput();
        return {p.exitCode(), QString::fromUtf8(raw).trimmed(), QString::fromUtf8(p.readAllStandardError()).trimmed(), raw};
    }

    Run addNode(const QString& list, int type)
    {
        return run(QStringLiteral("gdbus"), {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("-d"),
                                             serviceName(), QStringLiteral("-o"), QStringLiteral("/NewNode"),
                                             QStringLiteral("-m"), QStringLiteral("Brambook.INewNode.AddNode"),
                                             QStringLiteral("--"), list, QString::number(type)});
    }

    QString shell(const QString& sql) const { return test::runShell(archive(), sql + u';').out; }

    QString host() const { return qEnvironmentVariable("TM_BIN_DIR") + QStringLiteral("/snagwick"); }

private slots:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs a session bus (dbus-run-session)");
        QVERIFY(!qEnvironmentVariableIsEmpty("TM_BIN_DIR"));
        m_http.routes["/seven"] = {200, page("Seven Page", "SEVENTEXT"), 300};
        m_http.routes["/eight"] = {200, page("Eight Page", "EIGHTTEXT"), 300};
        m_http.routes["/paren?q="] = {200, page("Paren Page", "PARENTEXT"), 0};
        m_http.routes["/closed"] = {200, page("Closed Page", "CLOSEDTEXT"), 0};
        m_http.routes["/running"] = {200, page("Running Page", "RUNNINGTEXT"), 0};
        QVERIFY(m_http.start());
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        for (const char* sub : {"program", "home", "runtime", "xdg", "tmp"})
            QVERIFY(QDir(m_dir->path()).mkpath(QLatin1String(sub)));
        QFile::setPermissions(path(QStringLiteral("runtime")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(QFile::copy(qEnvironmentVariable("TM_BIN_DIR") + QStringLiteral("/Tallowmere"),
                            path(QStringLiteral("program/Tallowmere"))));
        createArchive(archive());
    }

    void cleanup()
    {
        stopTallowmere();
        m_dir.reset();
    }

    // AddNode through gdbus: a page (7) completed with its text once loaded, an
    // archive (8) holding a real single-file archive, -1 adding nothing, and
    // the calls that change nothing.
    void addNodeOverTheBus()
    {
        startTallowmere();
        Run r = addNode(QStringLiteral("[<'%1'>, <'Seven \\'quoted\\' title'>]").arg(m_http.url("/seven")), 7);
        QCOMPARE(r.out, QStringLiteral("(1,)"));
        QTRY_COMPARE_WITH_TIMEOUT(shell(QStringLiteral("select typeid from paper")), QStringLiteral("5"), kWaitMs);
        QCOMPARE(shell(QStringLiteral("select title, ExtName, instr(plaintext, 'SEVENTEXT') > 0, "
                                      "instr(content, cast('SEVENTEXT' as blob)) > 0, SizeByte = length(content), "
                                      "ParentPaperID, indexid from paper")),
                 QStringLiteral("Seven 'quoted' title|.htm|1|1|1|0|0"));

        // Below the selected item, which is the page just added.
        r = addNode(QStringLiteral("[<'%1'>, <'ignored'>, <'Eight Title'>]").arg(m_http.url("/eight")), 8);
        QCOMPARE(r.out, QStringLiteral("(1,)"));
        QCOMPARE(shell(QStringLiteral("select title, typeid, ExtName, SizeByte = length(content), length(content) > 0, "
                                      "instr(content, cast('MIME-Version: 1.0' as blob)) > 0, "
                                      "instr(content, cast('EIGHTTEXT' as blob)) > 0, indexid from paper where typeid = 8")),
                 QStringLiteral("Eight Title|8|.mht|1|1|1|1|1"));

        const QString before = shell(QStringLiteral("select count(*) from paper"));
        QCOMPARE(before, QStringLiteral("2"));
        QCOMPARE(addNode(QStringLiteral("[<'%1'>, <'Nothing'>]").arg(m_http.url("/seven")), -1).out, QStringLiteral("(1,)"));
        QCOMPARE(addNode(QStringLiteral("[<['a', 'b']>, <['c', 'd']>]"), 8).out, QStringLiteral("(0,)"));
        r = addNode(QStringLiteral("@av []"), 7);
        QVERIFY(r.exitCode != 0);
        QVERIFY2(r.err.contains(QLatin1String("InvalidArgs")), qPrintable(r.err));
        QCOMPARE(shell(QStringLiteral("select count(*) from paper")), before);
    }

    void commandLineCapture_data()
    {
        QTest::addColumn<QString>("capture");   // %1: the server's address
        QTest::addColumn<QString>("marker");    // text of the served page
        QTest::addColumn<QString>("row");       // title|typeid|marker in plaintext or content
        QTest::newRow("page") << QStringLiteral("7%1/seven()Seven Title") << QStringLiteral("SEVENTEXT")
                              << QStringLiteral("Seven Title|5|1");
        QTest::newRow("archive") << QStringLiteral("8%1/eight()Eight Title") << QStringLiteral("EIGHTTEXT")
                                 << QStringLiteral("Eight Title|8|1");
        QTest::newRow("address holds ()") << QStringLiteral("7%1/paren?q=()x()Paren Title") << QStringLiteral("PARENTEXT")
                                          << QStringLiteral("x()Paren Title|5|1");
        QTest::newRow("no separator") << QStringLiteral("8No Separator Title") << QStringLiteral("EIGHTTEXT")
                                      << QStringLiteral("No Separator Title|8|0");
    }

    // A capture string as the bridge starts the program with.
    void commandLineCapture()
    {
        QFETCH(QString, capture);
        QFETCH(QString, marker);
        QFETCH(QString, row);
        startTallowmere({capture.contains(QLatin1String("%1")) ? capture.arg(m_http.url(QString())) : capture});
        QTRY_COMPARE_WITH_TIMEOUT(shell(QStringLiteral("select typeid from paper")), row.section(u'|', 1, 1), kWaitMs);
        QCOMPARE(shell(QStringLiteral("select title || '|' || typeid || '|' || "
                                      "(instr(coalesce(plaintext, ''), '%1') > 0 or instr(content, cast('%1' as blob)) > 0) "
                                      "from paper").arg(marker)),
                 row);
    }

    // The bridge as a browser reaches it: with Tallowmere closed it is started
    // from the install folder with the capture string; then, running, the next
    // capture goes over the bus; both items are in the running program.
    // Malformed and oversized messages get error answers.
    void bridgeThroughTheHost()
    {
        QFile conf(path(QStringLiteral("xdg/Tallowmere.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[General]\nPath=" + path(QStringLiteral("program")).toUtf8() + "\n");
        conf.close();

        QVERIFY(!serviceUp());
        const QByteArray closed = QStringLiteral("{\"list\":[\"%1\",\"Closed \\\"Title\\\" here\"],\"type\":8}")
                                      .arg(m_http.url("/closed")).toUtf8();
        Run r = run(host(), {QStringLiteral("chrome-extension://x/")}, frame(closed));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(answers(r.raw), QList<QJsonObject>{QJsonObject({{QStringLiteral("result"), 1}})});
        QTRY_VERIFY_WITH_TIMEOUT(serviceUp(), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(shell(QStringLiteral("select title || '|' || typeid || '|' || "
                                                       "(instr(content, cast('CLOSEDTEXT' as blob)) > 0) from paper")),
                                  QStringLiteral("Closed \"Title\" here|8|1"), kWaitMs);

        QByteArray input = frame(QStringLiteral("{\"list\":[\"%1\",\"Running Title\"],\"type\":7}")
                                     .arg(m_http.url("/running")).toUtf8());
        for (const QByteArray& bad : {QByteArray("not json"), QByteArray("{\"list\":[\"a\",\"b\"]}"),
                                      QByteArray("{\"list\":[{\"a\":1}],\"type\":7}"), QByteArray("{\"list\":[],\"type\":7}"),
                                      QByteArray("{\"list\":[\"a\"],\"type\":7.5}"), QByteArray("[1,2]")})
            input += frame(bad);
        input += QByteArray("\xff\xff\xff\x7f", 4);  // far larger than any capture
        r = run(host(), {}, input);
        QCOMPARE(r.exitCode, 1);
        const QList<QJsonObject> got = answers(r.raw);
        QCOMPARE(got.size(), 8);
        QCOMPARE(got[0], QJsonObject({{QStringLiteral("result"), 1}}));
        for (int i = 1; i < got.size(); ++i)
            QVERIFY2(!got[i].value(QStringLiteral("error")).toString().isEmpty(), qPrintable(QString::number(i)));

        QTRY_COMPARE_WITH_TIMEOUT(shell(QStringLiteral("select typeid from paper where title = 'Running Title'")),
                                  QStringLiteral("5"), kWaitMs);
        QCOMPARE(shell(QStringLiteral("select title || '|' || indexid from paper order by indexid")),
                 QStringLiteral("Closed \"Title\" here|0\nRunning Title|1"));
        QCOMPARE(shell(QStringLiteral("select instr(plaintext, 'RUNNINGTEXT') > 0 from paper where typeid = 5")),
                 QStringLiteral("1"));
    }

    // The server switches, in either form and any case, and the activation file.
    void serverSwitches()
    {
        const QString program = path(QStringLiteral("program/Tallowmere"));
        const QString service = path(QStringLiteral("home/.local/share/dbus-1/services/Brambook.NewNode.service"));
        Run r = run(program, {QStringLiteral("/REGSERVER")});
        QCOMPARE(r.exitCode, 0);
        QFile file(service);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()),
                 QStringLiteral("[D-BUS Service]\nName=Brambook.NewNode\nExec=%1 /Automation\n").arg(program));
        file.close();
        QCOMPARE(run(program, {QStringLiteral("-UnRegServer")}).exitCode, 0);
        QVERIFY(!QFile::exists(service));

        // A start by the bus neither registers itself nor takes the switch for a capture.
        startTallowmere({QStringLiteral("-automation")});
        QVERIFY(!QFile::exists(service));
        QCOMPARE(shell(QStringLiteral("select count(*) from paper")), QStringLiteral("0"));
        stopTallowmere();
        // A normal start refreshes the registration.
        startTallowmere();
        QVERIFY(QFile::exists(service));
    }
};

QTEST_GUILESS_MAIN(TestCapture)
#include "test_capture.moc"
