// Storing and showing items over a real archive, with the scripted web view.
#include "StateFixture.h"
#include "content/SafeFileName.h"
#include "content/ShowItem.h"
#include "content/SizeText.h"
#include "content/StoreContent.h"
#include "tests/support/FakeWebView.h"

#include <QApplication>
#include <QLocale>
#include <QtTest>

#include <stdexcept>

using namespace tallowmere;
using tallowmere::test::StateFixture;

namespace {

// A web view whose document cannot be had, as when the engine does not answer in time.
class StuckWebView : public FakeWebView {
public:
    QByteArray saveDocument() override { throw std::runtime_error("The web view did not hand out its document in time"); }
};

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

} // namespace

class TestStoreShow : public QObject {
    Q_OBJECT
private slots:
    void sizeText_data();
    void sizeText();
    void safeFileName_data();
    void safeFileName();
    void companionFolder_data();
    void companionFolder();
    void progressDisplay_data();
    void progressDisplay();

    void textRoundTrip();
    void emptyText();
    void pageWithCompanionFolder();
    void pageWithoutCompanionFolder();
    void storedPageAndWebDocument();
    void failedStoreKeepsWhatWasStored();
    void failedDocumentSaveKeepsOldDocument();
    void autosave_data();
    void autosave();
    void failedAutosaveKeepsEditedText();
    void titleWithoutExtensionGetsIt();
    void titlesStayInsideTempFolder_data();
    void titlesStayInsideTempFolder();
    void missingItemEndsShowAndRestoresCursor();
};

void TestStoreShow::sizeText_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    const QString p = QLocale::system().decimalPoint();
    QTest::newRow("zero") << qint64(0) << "0 Bytes";
    QTest::newRow("negative") << qint64(-1) << "-1 Bytes";
    QTest::newRow("1000") << qint64(1000) << "1000 Bytes";
    QTest::newRow("1023") << qint64(1023) << "1023 Bytes";
    QTest::newRow("1024") << qint64(1024) << QString("1" + p + "00 KB");
    QTest::newRow("1536") << qint64(1536) << QString("1" + p + "50 KB");
    QTest::newRow("1048575") << qint64(1048575) << QString("1024" + p + "00 KB");
    QTest::newRow("1048576") << qint64(1048576) << QString("1" + p + "00 MB");
    QTest::newRow("3.5 MB") << qint64(3670016) << QString("3" + p + "50 MB");
    // Totals of a directory import go past 32 bits.
    QTest::newRow("5 GB") << qint64(5) * 1073741824 << QString("5120" + p + "00 MB");
    QTest::newRow("rounded") << qint64(1029) << QString("1" + p + "00 KB");  // 1.0048...
    QTest::newRow("largest") << qint64(2147483647) << QString("2048" + p + "00 MB");
}

void TestStoreShow::sizeText()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(tallowmere::sizeText(bytes), text);
}

void TestStoreShow::safeFileName_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "page.htm" << "page.htm";
    QTest::newRow("dot") << "." << "_";
    QTest::newRow("dotdot") << ".." << "_";
    QTest::newRow("empty") << "" << "_";
    QTest::newRow("up") << "../x.htm" << ".._x.htm";
    QTest::newRow("slashes") << "a/b/c" << "a_b_c";
    QTest::newRow("absolute") << "/etc/passwd" << "_etc_passwd";
    QTest::newRow("nul") << QString("a") + QChar(0) + "b" << "a_b";
    QTest::newRow("three dots") << "..." << "...";
    QTest::newRow("backslash and colon kept") << "a\\b:c" << "a\\b:c";
    QTest::newRow("multi-byte") << "中文 页.htm" << "中文 页.htm";
}

void TestStoreShow::safeFileName()
{
    QFETCH(QString, title);
    QFETCH(QString, name);
    QCOMPARE(tallowmere::safeFileName(title), name);
}

void TestStoreShow::companionFolder_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("folder");
    QTest::newRow("10") << "/d/p.htm" << 10 << "/d/p.files";
    QTest::newRow("14") << "/d/p.html" << 14 << "/d/p.files";
    QTest::newRow("13") << "/d/p.htm" << 13 << "/d/p_files";
    QTest::newRow("15 two dots") << "/d/a.b.htm" << 15 << "/d/a.b_files";
    QTest::newRow("no extension") << "/d.x/page" << 14 << "/d.x/page.files";
    QTest::newRow("hidden name") << "/d/.htm" << 14 << "/d/.htm.files";
    QTest::newRow("other code") << "/d/p.htm" << 12 << "";
    QTest::newRow("file") << "/d/p.htm" << 0 << "";
}

void TestStoreShow::companionFolder()
{
    QFETCH(QString, path);
    QFETCH(int, code);
    QFETCH(QString, folder);
    QCOMPARE(tallowmere::companionFolder(path, code), folder);
}

void TestStoreShow::progressDisplay_data()
{
    QTest::addColumn<QList<int>>("steps");  // progress, maximum pairs
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::newRow("coarse steps") << QList<int>{0, 100, 70, 100} << 100 << 70;
    QTest::newRow("finished shows 0 %") << QList<int>{80, 100, -1, 100} << 100 << 0;
    QTest::newRow("maximum 0 ignored") << QList<int>{50, 0} << 100 << 50;
    QTest::newRow("maximum 0 keeps earlier one") << QList<int>{10, 200, 150, 0} << 200 << 150;
    QTest::newRow("above range held at the end") << QList<int>{500, 100} << 100 << 100;
}

void TestStoreShow::progressDisplay()
{
    QFETCH(QList<int>, steps);
    QFETCH(int, maximum);
    QFETCH(int, value);
    QProgressBar gauge;
    gauge.setRange(0, 100);
    gauge.setValue(0);
    for (int i = 0; i + 1 < steps.size(); i += 2)
        tallowmere::progressDisplay(&gauge, steps[i], steps[i + 1]);
    QCOMPARE(gauge.maximum(), maximum);
    QCOMPARE(gauge.value(), value);
}

void TestStoreShow::textRoundTrip()
{
    FakeWebView web;
    StateFixture f(web);
    QTreeWidgetItem* node = f.addItem("2024-05-01 10:00:00", "note", 4, ".txt");
    f.tree.setCurrentItem(node);
    const QString text = QStringLiteral("first line\nzweite Zeile: äöü\n中文一行\n\nlast");
    f.memo->setPlainText(text);
    f.memo->document()->setModified(true);
    f.clock.time = QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5));

    QVERIFY(storeContent(f.state, "2024-05-01 10:00:00"));

    QString stored = text;
    stored.replace("\n", "\r\n");
    const qint32 bytes = stored.toUtf8().size();
    QCOMPARE(f.shell("select hex(plaintext) from paper"), QString(stored.toUtf8().toHex().toUpper()));
    QCOMPARE(f.shell("select sizebyte||'|'||modifytime from paper"), QString("%1|2025-01-02 03:04:05").arg(bytes));
    QVERIFY(!f.memo->document()->isModified());
    QCOMPARE(nodeData(node)->SizeByte, bytes);
    QCOMPARE(nodeData(node)->ModifyTime, QString("2025-01-02 03:04:05"));

    // Shown again: the editor holds the same lines, the status bar the row's values.
    f.memo->clear();
    showItem(f.state, "2024-05-01 10:00:00", "4");
    QCOMPARE(f.memo->toPlainText(), text);
    QCOMPARE(f.stack.currentWidget(), f.memo);
    QVERIFY(!f.state.webFlag);
    QCOMPARE(f.panels[0].text(), QString("Created time : 2024-05-01 10:00:00"));
    QCOMPARE(f.panels[1].text(), QString("Last modified time : 2025-01-02 03:04:05"));
    QCOMPARE(f.panels[2].text(), "Size : " + tallowmere::sizeText(bytes));
    QCOMPARE(f.panels[3].text(), QString("Type : .txt"));
    QCOMPARE(f.state.pendingSize, bytes);
    QCOMPARE(f.state.currentItemId, QString("2024-05-01 10:00:00"));
    QVERIFY(!QApplication::overrideCursor());
}

void TestStoreShow::emptyText()
{
    FakeWebView web;
    StateFixture f(web);
    f.addItem("2024-05-01 10:00:00", "empty", 4, ".txt");
    runStatement(f.pQ, "update paper set plaintext='old', sizebyte=3");
    f.memo->clear();
    QVERIFY(storeContent(f.state, "2024-05-01 10:00:00"));
    QCOMPARE(f.shell("select quote(plaintext)||'|'||sizebyte||'|'||modifytime from paper"),
             QString("''|0|2024-05-17 21:04:09"));
    f.memo->setPlainText("something");
    showItem(f.state, "2024-05-01 10:00:00", "4");
    QCOMPARE(f.memo->toPlainText(), QString());
    QCOMPARE(f.panels[2].text(), QString("Size : 0 Bytes"));
}

void TestStoreShow::pageWithCompanionFolder()
{
    FakeWebView web;
    StateFixture f(web);
    const QByteArray page = "<html><body><img src=\"page.files/a.png\"></body></html>";
    f.state.captureSource = f.writeSource("page.htm", page);
    f.writeSource("page.files/b.css", "body{}");
    f.writeSource("page.files/a.png", QByteArray(3000, 'A'));
    f.writeSource("page.files/c d's.js", QByteArray("x\0y", 3));
    f.writeSource("page.files/.hidden", "not stored");
    f.writeSource("page.files/sub/inner.png", "not stored");
    f.addItem("2024-05-01 10:00:00", "page.htm", 14, ".htm");

    QVERIFY(storeContent(f.state, "2024-05-01 10:00:00"));
    QCOMPARE(f.shell("select hex(content) from paper"), QString(page.toHex().toUpper()));
    QCOMPARE(f.shell("select group_concat(indexid||':'||TheFileName||':'||thesize||':'||length(block), ' ') "
                     "from (select * from fileblock order by indexid)"),
             QString("0:a.png:3000:3000 1:b.css:6:6 2:c d's.js:3:3"));
    QCOMPARE(f.shell("select hex(block) from fileblock where indexid=2"), QString("780079"));

    // A second store replaces the rows instead of doubling them.
    QVERIFY(storeContent(f.state, "2024-05-01 10:00:00"));
    QCOMPARE(f.shell("select count(*) from fileblock"), QString("3"));

    // Shown: the page and its rebuilt companion folder in the temporary folder.
    showItem(f.state, "2024-05-01 10:00:00", "14");
    const QString shown = f.tempFolder() + "page.htm";
    QCOMPARE(web.navigations, QStringList{shown});
    QCOMPARE(readFile(shown), page);
    QCOMPARE(filesIn(f.tempFolder() + "page.files"), (QStringList{"a.png", "b.css", "c d's.js"}));
    QCOMPARE(readFile(f.tempFolder() + "page.files/a.png"), QByteArray(3000, 'A'));
    QCOMPARE(readFile(f.tempFolder() + "page.files/c d's.js"), QByteArray("x\0y", 3));
    QCOMPARE(f.stack.currentWidget(), f.webPlace);
    QVERIFY(f.state.webFlag);
    QVERIFY(!QApplication::overrideCursor());
}

void TestStoreShow::pageWithoutCompanionFolder()
{
    FakeWebView web;
    StateFixture f(web);
    f.state.captureSource = f.writeSource("lone.htm", "<p>lone</p>");
    f.addItem("2024-05-01 10:00:00", "lone.htm", 15, ".htm");
    QVERIFY(storeContent(f.state, "2024-05-01 10:00:00"));
    QCOMPARE(f.shell("select cast(content as text)||'|'||(select count(*) from fileblock) from paper"),
             QString("<p>lone</p>|0"));
    showItem(f.state, "2024-05-01 10:00:00", "15");
    QCOMPARE(filesIn(f.tempFolder()), QStringList{"lone.htm"});  // no "lone_files"
    QCOMPARE(web.navigations, QStringList{f.tempFolder() + "lone.htm"});
}

void TestStoreShow::storedPageAndWebDocument()
{
    FakeWebView web;
    StateFixture f(web);
    web.documentPresent = true;
    web.document = QByteArray("<html>\0after zero</html>", 24);  // no cut at a zero byte
    f.addItem("2024-05-01 10:00:00", "captured", 7);
    QVERIFY(storeContent(f.state, "2024-05-01 10:00:00"));
    QCOMPARE(f.shell("select hex(content)||'|'||sizebyte||'|'||extname from paper"),
             QString(web.document.toHex().toUpper()) + "|24|.htm");
    QCOMPARE(f.state.pendingSize, 24);
    QCOMPARE(f.state.pendingExt, QString(".htm"));

    showItem(f.state, "2024-05-01 10:00:00", "7");
    QCOMPARE(web.loadedDocuments, QList<QByteArray>{web.document});
    QCOMPARE(f.panels[3].text(), QString("Type : .htm"));
    QVERIFY(web.navigations.isEmpty());
}

void TestStoreShow::failedStoreKeepsWhatWasStored()
{
    FakeWebView web;
    StateFixture f(web);
    f.state.captureSource = f.writeSource("page.htm", "<p>v1</p>");
    f.writeSource("page.files/one.png", "1");
    f.writeSource("page.files/two.png", "2");
    f.addItem("2024-05-01 10:00:00", "page.htm", 14, ".htm");
    QVERIFY(storeContent(f.state, "2024-05-01 10:00:00"));

    // The file has gone: the row and its companion rows stay as they were.
    f.state.captureSource = f.src("gone.htm");
    QVERIFY(!storeContent(f.state, "2024-05-01 10:00:00"));
    QCOMPARE(f.shell("select cast(content as text)||'|'||(select group_concat(TheFileName) from fileblock) from paper"),
             QString("<p>v1</p>|one.png,two.png"));
    QVERIFY2(f.panels[0].text().startsWith("The content of item 2024-05-01 10:00:00 could not be stored: "),
             qPrintable(f.panels[0].text()));
    QVERIFY(f.panels[0].text().contains("gone.htm"));

    // A file above the engine's limit (sparse, so it costs no disk) is refused with its reason.
    f.state.captureSource = f.src("huge.bin");
    QFile huge(f.state.captureSource);
    QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(1'000'000'001));
    huge.close();
    QVERIFY(!storeContent(f.state, "2024-05-01 10:00:00"));
    QVERIFY2(f.panels[0].text().endsWith("1000000001 bytes is too large: a single value holds at most 1000000000 bytes"),
             qPrintable(f.panels[0].text()));
    QCOMPARE(f.shell("select cast(content as text)||'|'||(select count(*) from fileblock) from paper"), QString("<p>v1</p>|2"));

    // No row: nothing is created.
    f.state.captureSource = f.src("page.htm");
    QVERIFY(!storeContent(f.state, "no such id"));
    QCOMPARE(f.shell("select count(*) from paper"), QString("1"));
    // An empty id is no store at all.
    QVERIFY(storeContent(f.state, QString()));
}

void TestStoreShow::failedDocumentSaveKeepsOldDocument()
{
    StuckWebView web;
    StateFixture f(web);
    f.addItem("2024-05-01 10:00:00", "captured", 7, ".htm");
    runStatement(f.pQ, "update paper set content=cast('<p>old</p>' as blob), sizebyte=10");
    QVERIFY(!storeContent(f.state, "2024-05-01 10:00:00"));
    QCOMPARE(f.shell("select cast(content as text)||'|'||sizebyte from paper"), QString("<p>old</p>|10"));
    QVERIFY(f.panels[0].text().endsWith("The web view did not hand out its document in time"));
    // The archive takes the next statement as before.
    QVERIFY(runStatement(f.pQ, "update paper set title='t'"));
    QCOMPARE(f.shell("select title from paper"), QString("t"));
}

void TestStoreShow::autosave_data()
{
    QTest::addColumn<int>("currentCode");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<bool>("stored");
    QTest::newRow("text, ticked, changed: stored") << 4 << true << true << true;
    QTest::newRow("not ticked: lost") << 4 << false << true << false;
    QTest::newRow("unchanged: nothing") << 4 << true << false << false;
    QTest::newRow("current item a file: left alone") << 0 << true << true << false;
    QTest::newRow("current item a page of 14: left alone") << 14 << true << true << false;
}

void TestStoreShow::autosave()
{
    QFETCH(int, currentCode);
    QFETCH(bool, ticked);
    QFETCH(bool, changed);
    QFETCH(bool, stored);
    FakeWebView web;
    StateFixture f(web);
    f.addItem("2024-05-01 10:00:00", "first", currentCode);
    f.addItem("2024-05-01 10:00:01", "second", 4);
    runStatement(f.pQ, "update paper set plaintext='before', content=cast('bytes' as blob)");
    runStatement(f.pQ, "update paper set plaintext='second text' where id='2024-05-01 10:00:01'");
    // A capture source of another item must never reach the current one.
    f.state.captureSource = f.writeSource("other.htm", "OTHER");
    f.writeSource("other.files/x.png", "x");
    f.state.currentItemId = "2024-05-01 10:00:00";
    f.memo->setPlainText("edited");
    f.memo->document()->setModified(changed);
    f.autoSave.setChecked(ticked);

    showItem(f.state, "2024-05-01 10:00:01", "4");

    QCOMPARE(f.shell("select plaintext||'|'||cast(content as text) from paper where id='2024-05-01 10:00:00'"),
             QString(stored ? "edited|bytes" : "before|bytes"));
    QCOMPARE(f.shell("select count(*) from fileblock"), QString("0"));
    QCOMPARE(f.memo->toPlainText(), QString("second text"));
    QVERIFY(!f.memo->document()->isModified());
    QCOMPARE(f.state.currentItemId, QString("2024-05-01 10:00:01"));
}

void TestStoreShow::failedAutosaveKeepsEditedText()
{
    FakeWebView web;
    StateFixture f(web);
    f.addItem("2024-05-01 10:00:01", "second", 4);
    runStatement(f.pQ, "update paper set plaintext='second text'");
    f.state.currentItemId = "2024-05-01 10:00:00";  // its row is gone
    f.memo->setPlainText("edited");
    f.memo->document()->setModified(true);

    showItem(f.state, "2024-05-01 10:00:01", "4");
    QCOMPARE(f.memo->toPlainText(), QString("edited"));
    QVERIFY(f.memo->document()->isModified());
    QCOMPARE(f.state.currentItemId, QString("2024-05-01 10:00:00"));
    QCOMPARE(f.panels[0].text(), QString("The content of item 2024-05-01 10:00:00 could not be stored: the item is not in the archive"));
    QVERIFY(!QApplication::overrideCursor());

    // With "Autosave Text" unticked the user may leave the text behind.
    f.autoSave.setChecked(false);
    showItem(f.state, "2024-05-01 10:00:01", "4");
    QCOMPARE(f.memo->toPlainText(), QString("second text"));
}

void TestStoreShow::titleWithoutExtensionGetsIt()
{
    // A captured archive is titled by its page; the file shown must still be an archive.
    FakeWebView web;
    StateFixture f(web);
    f.state.captureSource = f.writeSource("20240501100000.mht", "MIME-Version: 1.0\r\n");
    f.addItem("2024-05-01 10:00:00", "News of the day", 8, ".mht");
    f.addItem("2024-05-01 10:00:01", "notes.MHT", 8, ".mht");
    QVERIFY(storeContent(f.state, "2024-05-01 10:00:00"));
    QVERIFY(storeContent(f.state, "2024-05-01 10:00:01"));
    showItem(f.state, "2024-05-01 10:00:00", "8");
    showItem(f.state, "2024-05-01 10:00:01", "8");
    QCOMPARE(web.navigations, (QStringList{f.tempFolder() + "News of the day.mht", f.tempFolder() + "notes.MHT"}));
}

void TestStoreShow::titlesStayInsideTempFolder_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("folder");
    QTest::newRow("up") << "../evil.htm" << ".._evil.htm" << ".._evil.files";
    QTest::newRow("absolute") << "/tmp/evil.htm" << "_tmp_evil.htm" << "_tmp_evil.files";
    QTest::newRow("dotdot") << ".." << "_" << "_.files";
    QTest::newRow("dot") << "." << "_" << "_.files";
}

void TestStoreShow::titlesStayInsideTempFolder()
{
    QFETCH(QString, title);
    QFETCH(QString, file);
    QFETCH(QString, folder);
    FakeWebView web;
    StateFixture f(web);
    f.state.captureSource = f.writeSource("page.htm", "<p>page</p>");
    f.writeSource("page.files/i.png", "i");
    f.addItem("2024-05-01 10:00:00", title, 14);
    QVERIFY(storeContent(f.state, "2024-05-01 10:00:00"));
    // A companion file name that tries to leave its folder too.
    runStatement(f.pQ, "update fileblock set TheFileName='../../x.png'");

    showItem(f.state, "2024-05-01 10:00:00", "14");
    QCOMPARE(filesIn(f.work.path()), (QStringList{"src", "temp"}));
    QStringList expected{file, folder};
    expected.sort();
    QCOMPARE(filesIn(f.tempFolder()), expected);
    QCOMPARE(filesIn(f.tempFolder() + folder), QStringList{".._.._x.png"});
    QCOMPARE(readFile(f.tempFolder() + file), QByteArray("<p>page</p>"));
    QCOMPARE(web.navigations, QStringList{f.tempFolder() + file});
}

void TestStoreShow::missingItemEndsShowAndRestoresCursor()
{
    FakeWebView web;
    StateFixture f(web);
    QVERIFY_THROWS_EXCEPTION(EngineError, showItem(f.state, "no such id", "14"));
    QVERIFY(!QApplication::overrideCursor());
    // A file that cannot be written ends the show the same way.
    f.addItem("2024-05-01 10:00:00", "page.htm", 0);
    f.state.tempFolder = f.work.path() + "/no/such/folder/";
    QVERIFY_THROWS_EXCEPTION(EngineError, showItem(f.state, "2024-05-01 10:00:00", "0"));
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(web.navigations.isEmpty());
}

QTEST_MAIN(TestStoreShow)
#include "test_store_show.moc"
