// The capture string, the server switches with the activation file, page
// completion and the capture entry, over a real archive with the scripted web view.

#include "capture/CaptureEntry.h"
#include "capture/CaptureString.h"
#include "capture/PageCompletion.h"
#include "capture/ServerSwitches.h"
#include "tests/content/StateFixture.h"
#include "tests/support/FakeWebView.h"

#include <QtTest>

using namespace tallowmere;

class TestCaptureLogic : public QObject {
    Q_OBJECT

private slots:
    void captureString_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("title");
        QTest::newRow("page") << "7http://h/p()Title" << 7 << "http://h/p" << "Title";
        QTest::newRow("archive") << "8http://h/p()A title" << 8 << "http://h/p" << "A title";
        QTest::newRow("two digits") << "12http://h()T" << 12 << "http://h" << "T";
        QTest::newRow("minus one") << "-1http://h()T" << -1 << "http://h" << "T";
        QTest::newRow("no separator") << "8Just a title" << 8 << "" << "Just a title";
        QTest::newRow("address holds ()") << "7http://h/a()b()Title" << 7 << "http://h/a" << "b()Title";
        QTest::newRow("no digit") << "xhttp://h()T" << 0 << "http://h" << "T";
        QTest::newRow("minus without digit") << "-http://h()T" << 0 << "http://h" << "T";
        QTest::newRow("too large") << "99999999999()T" << 0 << "" << "T";
        QTest::newRow("empty title") << "7http://h()" << 7 << "http://h" << "";
    }

    void captureString()
    {
        QFETCH(QString, text);
        QFETCH(int, code);
        QFETCH(QString, address);
        QFETCH(QString, title);
        const CaptureRequest r = parseCaptureString(text);
        QCOMPARE(r.typeCode, code);
        QCOMPARE(r.address, address);
        QCOMPARE(r.title, title);
        if (code != 0 && !address.contains(QLatin1String("()"))) {
            const CaptureRequest back = parseCaptureString(makeCaptureString(code, address, title));
            QCOMPARE(back.address, address);
            QCOMPARE(back.title, title);
        }
    }

    void switches_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("expected");
        QTest::newRow("none") << QStringList{} << int(ServerSwitch::None);
        QTest::newRow("capture") << QStringList{"8http://h()T"} << int(ServerSwitch::None);
        QTest::newRow("regserver") << QStringList{"/RegServer"} << int(ServerSwitch::RegServer);
        QTest::newRow("unregserver") << QStringList{"-unregserver"} << int(ServerSwitch::UnregServer);
        QTest::newRow("reg before unreg") << QStringList{"/UNREGSERVER", "-REGSERVER"} << int(ServerSwitch::RegServer);
        QTest::newRow("automation") << QStringList{"/Automation"} << int(ServerSwitch::Automation);
        QTest::newRow("embedding") << QStringList{"-EMBEDDING"} << int(ServerSwitch::Embedding);
        QTest::newRow("word only") << QStringList{"Automation"} << int(ServerSwitch::None);
        QTest::newRow("longer word") << QStringList{"/Automation2"} << int(ServerSwitch::None);
    }

    void switches()
    {
        QFETCH(QStringList, args);
        QFETCH(int, expected);
        QCOMPARE(int(serverSwitch(args)), expected);
    }

    void activationFile()
    {
        QTemporaryDir dir;
        qputenv("XDG_DATA_HOME", dir.path().toUtf8());
        const QString file = dir.filePath("dbus-1/services/Brambook.NewNode.service");
        QCOMPARE(activationFilePath(), file);
        QVERIFY(registerServer(QStringLiteral("/opt/my programs/it's/Tallowmere")));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[D-BUS Service]\nName=Brambook.NewNode\n"
                                         "Exec='/opt/my programs/it'\\''s/Tallowmere' /Automation\n"));
        QVERIFY(unregisterServer());
        QVERIFY(!QFile::exists(file));
        QVERIFY(unregisterServer());   // nothing to remove is fine
        qunsetenv("XDG_DATA_HOME");
    }

    void completion_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("current");   // the selected item is the one on display
        QTest::addColumn<int>("final");
        QTest::addColumn<bool>("document");  // the document itself is stored
        QTest::newRow("7 current") << 7 << true << 5 << true;
        QTest::newRow("7 not current") << 7 << false << 7 << false;
        QTest::newRow("9") << 9 << true << 6 << false;
        QTest::newRow("12") << 12 << true << 5 << false;
        QTest::newRow("14") << 14 << true << 10 << false;
        QTest::newRow("15") << 15 << true << 13 << false;
        QTest::newRow("15 not current") << 15 << false << 15 << false;
        for (int code : {5, 6, 8, 10, 13})
            QTest::addRow("final %d", code) << code << true << code << false;
    }

    void completion()
    {
        QFETCH(int, code);
        QFETCH(bool, current);
        QFETCH(int, final);
        QFETCH(bool, document);
        FakeWebView web;
        test::StateFixture f(web);
        QTreeWidgetItem* node = f.addItem(QStringLiteral("2024-01-01 00:00:01"), QStringLiteral("T"), code);
        f.addItem(QStringLiteral("2024-01-01 00:00:02"), QStringLiteral("Other"), 4);
        f.tree.setCurrentItem(node);
        f.state.currentItemId = current ? nodeData(node)->ID : QStringLiteral("2024-01-01 00:00:02");
        web.document = "<html><body><p>the page</p></body></html>";
        web.text = QStringLiteral("the page");
        web.finishLoad();
        completePage(f.state, nodeData(node));
        const bool changed = final != code;
        QCOMPARE(nodeData(node)->typeid_, QString::number(final));
        QCOMPARE(f.shell("select typeid || '|' || coalesce(plaintext, '') || '|' || coalesce(length(content), 0) "
                         "|| '|' || SizeByte from paper where id = '2024-01-01 00:00:01'"),
                 QStringLiteral("%1|%2|%3|%3").arg(final).arg(changed ? "the page" : "").arg(document ? web.document.size() : 0));
        QCOMPARE(f.shell("select coalesce(plaintext, '') from paper where id = '2024-01-01 00:00:02'"), QString());
        completePage(f.state, nullptr);   // nothing selected: nothing happens
    }

    // A document that completes while a capture is being added completes the
    // new item once it exists, not the one selected during the add.
    void heldWhileAdding()
    {
        FakeWebView web;
        test::StateFixture f(web);
        QTreeWidgetItem* before = f.addItem(QStringLiteral("2024-01-01 00:00:01"), QStringLiteral("Before"), 9);
        f.tree.setCurrentItem(before);
        f.state.currentItemId = QStringLiteral("2024-01-01 00:00:01");
        web.document = "<html><body>captured</body></html>";
        web.text = QStringLiteral("captured");
        int completions = 0;
        CaptureEntry* entry = nullptr;
        CaptureEntry capture(
            f.state,
            [&](qint32 code) {
                QCOMPARE(code, 7);
                web.finishLoad();   // the page loads while the add waits
                QTreeWidgetItem* added = f.addItem(QStringLiteral("2024-01-01 00:00:02"), f.state.captureSource, code);
                f.state.currentItemId = QStringLiteral("2024-01-01 00:00:02");
                f.tree.setCurrentItem(added);
            },
            [&] {
                ++completions;
                completePage(f.state, nodeData(f.tree.currentItem()));
            });
        entry = &capture;
        connect(&web, &WebView::documentComplete, this, [&] { entry->documentComplete(); });
        capture.addNode({QStringLiteral("http://h/p"), QStringLiteral("Captured"), 7});
        QCOMPARE(web.navigations, QStringList{"http://h/p"});
        QCOMPARE(completions, 1);
        QVERIFY(!capture.adding());
        QCOMPARE(f.shell("select title || '|' || typeid || '|' || coalesce(plaintext, '') from paper order by id"),
                 QStringLiteral("Before|9|\nCaptured|5|captured"));
        QVERIFY(f.state.webFlag);
    }
};

QTEST_MAIN(TestCaptureLogic)
#include "test_capture_logic.moc"
