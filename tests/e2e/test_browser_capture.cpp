// A page captured from a real browser: Chromium runs headless with the
// extension loaded, the installation is made by the install script into a
// temporary program folder and home, and the extension's capture is run inside
// its own service worker (the context menu itself cannot be clicked headless).
// The page must arrive in the archive with Tallowmere running and with
// Tallowmere closed, read back by the sqlcipher shell.

#include "tests/support/ArchiveFixture.h"
#include "tests/support/TinyHttpServer.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QWebSocket>
#include <QtTest>

#include <csignal>

using namespace tallowmere;

namespace {

constexpr const char* kExtensionId = "pkmhfhfakdjnpokpekhbkhgdfkfpfmmi";
constexpr int kWaitMs = 60'000;

// A minimal client of the browser's debugging protocol: one request at a time.
class DevTools : public QObject {
public:
    bool connectTo(const QUrl& url)
    {
        connect(&m_socket, &QWebSocket::textMessageReceived, this, [this](const QString& text) {
            const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
            if (o.contains(QLatin1String("id")))
                m_answers.insert(o.value(QLatin1String("id")).toInt(), o);
        });
        m_socket.open(url);
        return QTest::qWaitFor([this] { return m_socket.state() == QAbstractSocket::ConnectedState; }, kWaitMs);
    }
    QJsonObject call(const QString& method, const QJsonObject& params = {}, const QString& session = {})
    {
        const int id = ++m_next;
        QJsonObject request{{"id", id}, {"method", method}, {"params", params}};
        if (!session.isEmpty())
            request.insert(QStringLiteral("sessionId"), session);
        m_socket.sendTextMessage(QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact)));
        if (!QTest::qWaitFor([&] { return m_answers.contains(id); }, kWaitMs))
            return {{"error", QJsonObject{{"message", "no answer to " + method}}}};
        return m_answers.take(id);
    }

private:
    QWebSocket m_socket;
    QHash<int, QJsonObject> m_answers;
    int m_next = 0;
};

} // namespace

class TestBrowserCapture : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_home, m_prog;
    QProcessEnvironment m_env;
    test::TinyHttpServer m_http;
    QProcess m_browser;
    DevTools m_devtools;
    QString m_worker;   // debugging session with the extension's service worker

    QString path(const QString& rel) const { return m_root.filePath(rel); }

    // What the archive holds for the row with this title, as the shell reads it.
    QString row(const QString& title, const QString& columns) const
    {
        return test::runShell(m_prog + QStringLiteral("/bbk.dat"),
                              QStringLiteral("select %1 from paper where title = %2;").arg(columns, quoted(title)))
            .out;
    }

    QJsonObject capture(const QString& address, const QString& title, int type)
    {
        const QString expression = QStringLiteral("capture(%1, %2, %3)")
                                       .arg(QString::fromUtf8(QJsonDocument(QJsonArray{address}).toJson(QJsonDocument::Compact)).mid(1).chopped(1),
                                            QString::fromUtf8(QJsonDocument(QJsonArray{title}).toJson(QJsonDocument::Compact)).mid(1).chopped(1))
                                       .arg(type);
        const QJsonObject answer = m_devtools.call(
            QStringLiteral("Runtime.evaluate"),
            {{"expression", expression}, {"awaitPromise", true}, {"returnByValue", true}}, m_worker);
        return answer.value(QLatin1String("result")).toObject().value(QLatin1String("result")).toObject()
            .value(QLatin1String("value")).toObject();
    }

    bool serviceRunning() const
    {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("Brambook.NewNode"));
    }

    void stopProgram()
    {
        QProcess::execute(QStringLiteral("pkill"), {QStringLiteral("-f"), m_prog + QStringLiteral("/Tallowmere")});
        QVERIFY(QTest::qWaitFor([this] { return !serviceRunning(); }, kWaitMs));
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty())
            QFAIL("chromium is not installed (scripts/setup.sh installs it)");
        m_home = path(QStringLiteral("home"));
        m_prog = path(QStringLiteral("prog"));
        for (const char* dir : {"home", "xdg", "run", "prog"})
            QVERIFY(QDir().mkpath(path(QLatin1String(dir))));
        QFile::setPermissions(path(QStringLiteral("run")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        // Everything the installation writes goes below the temporary root.
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("HOME"), m_home);
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home + QStringLiteral("/.config"));
        m_env.insert(QStringLiteral("XDG_DATA_HOME"), m_home + QStringLiteral("/.local/share"));
        m_env.insert(QStringLiteral("XDG_CONFIG_DIRS"), path(QStringLiteral("xdg")));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("run")));
        m_env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        m_env.remove(QStringLiteral("QT_QPA_PLATFORM"));   // the program shows its window on the virtual display

        QProcess install;
        install.setProcessEnvironment([this] {
            QProcessEnvironment e = m_env;
            e.insert(QStringLiteral("TM_SKIP_BUILD"), QStringLiteral("1"));
            e.insert(QStringLiteral("TM_BUILD_DIR"), qEnvironmentVariable("TM_BIN_DIR") + QStringLiteral("/.."));
            return e;
        }());
        install.start(qEnvironmentVariable("TM_SOURCE_DIR") + QStringLiteral("/scripts/install.sh"), {m_prog});
        QVERIFY(install.waitForFinished(kWaitMs));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());
        QVERIFY(QFile::exists(m_home + QStringLiteral("/.config/chromium/NativeMessagingHosts/snagwick.newnode.json")));

        m_http.routes["/recipe"] = {200, "<html><head><title>Leek soup</title></head><body><p>RUNNINGCAPTURE leeks</p></body></html>", 0};
        m_http.routes["/garden"] = {200, "<html><head><title>Garden</title></head><body><p>CLOSEDCAPTURE basil</p></body></html>", 0};
        QVERIFY(m_http.start());

        // The browser, with the extension, its debugging port chosen by itself.
        m_browser.setProcessEnvironment(m_env);
        m_browser.setProcessChannelMode(QProcess::SeparateChannels);
        const QString extension = qEnvironmentVariable("TM_SOURCE_DIR") + QStringLiteral("/snagwick/extension");
        m_browser.start(QStringLiteral("chromium"),
                        {QStringLiteral("--headless=new"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                         QStringLiteral("--no-first-run"), QStringLiteral("--no-default-browser-check"),
                         QStringLiteral("--user-data-dir=") + m_home + QStringLiteral("/.config/chromium"),
                         QStringLiteral("--load-extension=") + extension,
                         QStringLiteral("--disable-features=DisableLoadExtensionCommandLineSwitch"),
                         QStringLiteral("--remote-debugging-port=0"), QStringLiteral("about:blank")});
        QString endpoint;
        QByteArray log;
        QVERIFY(QTest::qWaitFor([&] {
            log += m_browser.readAllStandardError();
            const auto m = QRegularExpression(QStringLiteral("DevTools listening on (ws://\\S+)")).match(QString::fromUtf8(log));
            if (m.hasMatch())
                endpoint = m.captured(1);
            return !endpoint.isEmpty();
        }, kWaitMs));
        QVERIFY(m_devtools.connectTo(QUrl(endpoint)));

        // The extension's service worker.
        QString target;
        QVERIFY2(QTest::qWaitFor([&] {
            const QJsonArray infos = m_devtools.call(QStringLiteral("Target.getTargets")).value(QLatin1String("result")).toObject()
                                         .value(QLatin1String("targetInfos")).toArray();
            for (const QJsonValue& v : infos) {
                const QJsonObject t = v.toObject();
                if (t.value(QLatin1String("type")).toString() == QLatin1String("service_worker")
                    && t.value(QLatin1String("url")).toString().contains(QLatin1String(kExtensionId)))
                    target = t.value(QLatin1String("targetId")).toString();
            }
            return !target.isEmpty();
        }, kWaitMs), log.constData());
        m_worker = m_devtools.call(QStringLiteral("Target.attachToTarget"), {{"targetId", target}, {"flatten", true}})
                       .value(QLatin1String("result")).toObject().value(QLatin1String("sessionId")).toString();
        QVERIFY(!m_worker.isEmpty());
    }

    void cleanupTestCase()
    {
        m_browser.kill();
        m_browser.waitForFinished();
        QProcess::execute(QStringLiteral("pkill"), {QStringLiteral("-f"), m_prog + QStringLiteral("/Tallowmere")});
    }

    // Tallowmere is running: the page arrives through the automation service
    // as a single-file archive.
    void captureWhileRunning()
    {
        QProcess program;
        program.setProcessEnvironment(m_env);
        program.setProgram(m_prog + QStringLiteral("/Tallowmere"));
        program.setWorkingDirectory(m_prog);
        QVERIFY(program.startDetached());
        QVERIFY(QTest::qWaitFor([this] { return serviceRunning(); }, kWaitMs));

        const QJsonObject answer = capture(m_http.url("/recipe"), QStringLiteral("Leek soup"), 8);
        QVERIFY2(!answer.contains(QLatin1String("error")), QJsonDocument(answer).toJson().constData());
        QVERIFY(QTest::qWaitFor([this] { return !row(QStringLiteral("Leek soup"), QStringLiteral("typeid")).isEmpty(); }, kWaitMs));
        QVERIFY(QTest::qWaitFor([this] {
            return row(QStringLiteral("Leek soup"),
                       QStringLiteral("typeid || ExtName || (instr(content, cast('RUNNINGCAPTURE' as blob)) > 0)"))
                   == QLatin1String("8.mht1");
        }, kWaitMs));
        stopProgram();
    }

    // Tallowmere is closed: the bridge starts it from the install folder with
    // the capture string; the page is kept with its text.
    void captureWhileClosed()
    {
        QVERIFY(!serviceRunning());
        const QJsonObject answer = capture(m_http.url("/garden"), QStringLiteral("Garden"), 7);
        QVERIFY2(!answer.contains(QLatin1String("error")), QJsonDocument(answer).toJson().constData());
        QVERIFY(QTest::qWaitFor([this] { return serviceRunning(); }, kWaitMs));
        QVERIFY(QTest::qWaitFor([this] {
            return row(QStringLiteral("Garden"), QStringLiteral("typeid || (instr(plaintext, 'CLOSEDCAPTURE') > 0)"))
                   == QLatin1String("51");
        }, kWaitMs));
        stopProgram();
    }

    // No host registered: the extension answers with an error (and tells the user).
    void missingHostIsReported()
    {
        QVERIFY(QFile::remove(m_home + QStringLiteral("/.config/chromium/NativeMessagingHosts/snagwick.newnode.json")));
        const QJsonObject answer = capture(m_http.url("/garden"), QStringLiteral("Nowhere"), 8);
        QVERIFY(answer.contains(QLatin1String("error")));
        QCOMPARE(row(QStringLiteral("Nowhere"), QStringLiteral("count(*)")), QStringLiteral("0"));
    }

    // Uninstalling removes every registration and the programs, never the archive.
    void uninstallKeepsTheArchive()
    {
        QProcess uninstall;
        uninstall.setProcessEnvironment(m_env);
        uninstall.start(qEnvironmentVariable("TM_SOURCE_DIR") + QStringLiteral("/scripts/uninstall.sh"), {m_prog});
        QVERIFY(uninstall.waitForFinished(kWaitMs));
        QVERIFY2(uninstall.exitCode() == 0, uninstall.readAllStandardError().constData());
        for (const QString& gone : {m_home + QStringLiteral("/.mozilla/native-messaging-hosts/snagwick.newnode.json"),
                                    m_home + QStringLiteral("/.local/share/dbus-1/services/Brambook.NewNode.service"),
                                    m_home + QStringLiteral("/.local/share/applications/tallowmere.desktop"),
                                    m_prog + QStringLiteral("/Tallowmere"), m_prog + QStringLiteral("/snagwick")})
            QVERIFY2(!QFile::exists(gone), qPrintable(gone));
        QSettings record(path(QStringLiteral("xdg/Tallowmere.conf")), QSettings::IniFormat);
        QVERIFY(!record.contains(QStringLiteral("Path")));
        QCOMPARE(row(QStringLiteral("Leek soup"), QStringLiteral("typeid")), QStringLiteral("8"));
    }
};

QTEST_MAIN(TestBrowserCapture)
#include "test_browser_capture.moc"
