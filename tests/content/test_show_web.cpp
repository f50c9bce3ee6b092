// Storing and showing pages with the real web engine: a page with its companion
// folder shown again with its images, a 3 MB document stored from the view and
// loaded back intact, and the main window showing items on the Enter key.
#include "StateFixture.h"
#include "app/MainForm.h"
#include "content/ShowItem.h"
#include "content/StoreContent.h"
#include "content/WebEngineView.h"
#include "tests/support/PageProbe.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QSignalSpy>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

#include <optional>

using namespace tallowmere;
using tallowmere::test::StateFixture;
using tallowmere::test::evaluate;
using tallowmere::test::loadedImages;
using tallowmere::test::png;

namespace {

constexpr int kLoadWaitMs = tallowmere::test::kPageWaitMs;

// The page that the companion-folder tests store: two images and a style sheet.
const QByteArray kCompanionPage =
    "<html><head><link rel=stylesheet href=\"page.files/style.css\"></head><body>"
    "<h1>Companion page</h1><img id=r src=\"page.files/red.png\"> <img id=b src=\"page.files/blue.png\">"
    "</body></html>";

QString headingColour(QWidget* view)
{
    return evaluate(view, "getComputedStyle(document.querySelector('h1')).color").toString();
}

} // namespace

class TestShowWeb : public QObject {
    Q_OBJECT
private slots:
    void companionPageShownAgainWithImages();
    void threeMegabytePageIntact();
    void everyFileCodeShows_data();
    void everyFileCodeShows();
    void windowShowsItemsOnEnter();
};

void TestShowWeb::companionPageShownAgainWithImages()
{
    WebEngineView web;
    StateFixture f(web);
    f.stack.resize(800, 600);
    f.stack.show();
    f.state.captureSource = f.writeSource("page.htm", kCompanionPage);
    f.writeSource("page.files/red.png", png(Qt::red));
    f.writeSource("page.files/blue.png", png(Qt::blue));
    f.writeSource("page.files/style.css", "h1 { color: rgb(0, 128, 0); }");
    f.writeSource("page.files/sub/ignored.png", png(Qt::black));
    f.addItem("2024-05-01 10:00:00", "page.htm", 14, ".htm");
    QVERIFY(storeContent(f.state, "2024-05-01 10:00:00"));
    QCOMPARE(f.shell("select group_concat(indexid||':'||TheFileName, ' ') from (select * from fileblock order by indexid)"),
             QString("0:blue.png 1:red.png 2:style.css"));

    // Nothing of the source is left: what shows comes from the archive.
    QVERIFY(QDir(f.src(QString())).removeRecursively());
    QSignalSpy complete(&web, &WebView::documentComplete);
    showItem(f.state, "2024-05-01 10:00:00", "14");
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(QTest::qWaitFor([&] { return !complete.isEmpty(); }, kLoadWaitMs));
    QVERIFY(complete.first().at(1).toBool());
    QVERIFY(QTest::qWaitFor([&] { return loadedImages(web.widget()) == 2; }, kLoadWaitMs));
    QCOMPARE(headingColour(web.widget()), QString("rgb(0, 128, 0)"));
    QVERIFY(QFileInfo(f.tempFolder() + "page.files/red.png").isFile());
    QVERIFY(!QFileInfo::exists(f.tempFolder() + "page.files/sub"));
}

void TestShowWeb::threeMegabytePageIntact()
{
    WebEngineView web;
    StateFixture f(web);
    QByteArray html = "<html><head><meta charset=\"utf-8\"></head><body><p id=first>FIRST-MARK</p>";
    int n = 0;
    while (html.size() < 3 * 1024 * 1024)
        html += QStringLiteral("<p>Paragraph %1 with text 中文段落 and more text to fill the page.</p>\n").arg(n++).toUtf8();
    html += "<p id=last>LAST-MARK</p></body></html>";
    web.loadDocument(html);

    f.addItem("2024-05-01 10:00:00", "big page", 7);
    QVERIFY(storeContent(f.state, "2024-05-01 10:00:00"));
    const qint32 size = f.shell("select length(content) from paper").toInt();
    QVERIFY2(size > 3 * 1024 * 1024, qPrintable(QString::number(size)));
    QCOMPARE(f.shell("select sizebyte||'|'||extname from paper"), QString("%1|.htm").arg(size));
    QCOMPARE(f.state.pendingSize, size);

    // Its own bytes, read straight from the archive.
    QByteArray stored;
    runQuery(f.pQ, "select content from paper");
    stored = f.pQ.fieldByName("content").asBytes();
    f.pQ.close();
    QVERIFY(stored.contains("FIRST-MARK") && stored.contains("LAST-MARK"));
    QVERIFY(stored.contains(QStringLiteral("Paragraph %1 with text 中文段落").arg(n - 1).toUtf8()));

    // Another page in between, then the item again: the same document comes back.
    web.loadDocument("<p>in between</p>");
    showItem(f.state, "2024-05-01 10:00:00", "7");
    QCOMPARE(web.saveDocument(), stored);
    QVERIFY(web.pageText().contains("LAST-MARK"));
    QCOMPARE(web.address(), QString("about:blank"));
}

void TestShowWeb::everyFileCodeShows_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("folder");   // companion folder of the source, if any
    QTest::addColumn<int>("images");       // images the shown page must have loaded
    QTest::newRow("0 image file") << 0 << "picture.png" << "" << 1;
    QTest::newRow("6 archive") << 6 << "saved.mht" << "" << 0;
    QTest::newRow("8 captured archive") << 8 << "20240501100000.mht" << "" << 0;
    QTest::newRow("9 imported archive") << 9 << "imported.mht" << "" << 0;
    QTest::newRow("10 .files") << 10 << "page.htm" << "page.files" << 2;
    QTest::newRow("12 plain page") << 12 << "plain.html" << "" << 0;
    QTest::newRow("13 _files") << 13 << "page.htm" << "page_files" << 2;
    QTest::newRow("15 without its folder") << 15 << "page.htm" << "" << 0;
}

void TestShowWeb::everyFileCodeShows()
{
    QFETCH(int, code);
    QFETCH(QString, title);
    QFETCH(QString, folder);
    QFETCH(int, images);
    WebEngineView web;
    StateFixture f(web);
    QByteArray bytes;
    QString marker;
    if (code == 0) {
        bytes = png(Qt::red);
    } else if (title.endsWith(".mht")) {
        web.loadDocument("<h1>Archived page</h1>");
        const QString mht = f.src("made.mht");
        QDir().mkpath(f.src(QString()));
        QVERIFY(web.saveArchive(mht));
        QFile file(mht);
        QVERIFY(file.open(QIODevice::ReadOnly));
        bytes = file.readAll();
        marker = "Archived page";
    } else {
        bytes = kCompanionPage;
        if (!folder.isEmpty())
            bytes.replace("page.files/", (folder + '/').toUtf8());
        marker = "Companion page";
    }
    f.state.captureSource = f.writeSource(title, bytes);
    if (!folder.isEmpty()) {
        f.writeSource(folder + "/red.png", png(Qt::red));
        f.writeSource(folder + "/blue.png", png(Qt::blue));
    }
    f.addItem("2024-05-01 10:00:00", title, code);
    QVERIFY(storeContent(f.state, "2024-05-01 10:00:00"));
    QVERIFY(QDir(f.src(QString())).removeRecursively());

    web.loadDocument("<p>before</p>");
    QSignalSpy complete(&web, &WebView::documentComplete);
    showItem(f.state, "2024-05-01 10:00:00", QString::number(code));
    QVERIFY(QTest::qWaitFor([&] { return !complete.isEmpty(); }, kLoadWaitMs));
    QVERIFY(complete.first().at(1).toBool());
    if (!marker.isEmpty())
        QVERIFY2(web.pageText().contains(marker), qPrintable(web.pageText()));
    QVERIFY(QTest::qWaitFor([&] { return loadedImages(web.widget()) == images; }, kLoadWaitMs));
    QCOMPARE(QFileInfo(f.tempFolder() + title).size(), qint64(bytes.size()));
    QCOMPARE(QDir(f.tempFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             folder.isEmpty() ? QStringList() : QStringList{folder});
}

void TestShowWeb::windowShowsItemsOnEnter()
{
    test::ArchiveFolder archive;
    const QString folder = archive.folder();
    auto hex = [](const QByteArray& b) { return QString("X'%1'").arg(QString::fromLatin1(b.toHex())); };
    archive.connect()->exec(
        "insert into paper(id,title,ParentPaperID,indexid,typeid,createtime,ModifyTime,ExtName,SizeByte,content,plaintext) values"
        "('2024-01-01 00:00:01','page.htm','0',0,14,'2024-01-01 00:00:01','2024-01-02 00:00:00','.htm',"
        + QString::number(kCompanionPage.size()) + "," + hex(kCompanionPage) + ",null),"
        "('2024-01-01 00:00:02','A note','0',1,4,'2024-01-01 00:00:02','2024-01-03 00:00:00','.txt',8,null,'note 中文'),"
        "('2024-01-01 00:00:03','A page','0',2,5,'2024-01-01 00:00:03','2024-01-04 00:00:00','.htm',20,"
        + hex("<h2>Stored page</h2>") + ",'Stored page');"
        "insert into fileblock(paperid,indexid,thesize,TheFileName,block) values"
        "('2024-01-01 00:00:01',0,0,'red.png'," + hex(png(Qt::red)) + "),"
        "('2024-01-01 00:00:01',1,0,'blue.png'," + hex(png(Qt::blue)) + "),"
        "('2024-01-01 00:00:01',2,0,'style.css'," + hex("h1 { color: rgb(0, 128, 0); }") + ");");
    QDir(folder).mkpath("temp");

    test::ScriptedPrompter prompter;
    MainFormOptions o;
    o.programFolder = folder;
    o.tempFolder = folder + "temp/";
    o.prompter = &prompter;
    TForm_Main form(std::move(o));
    form.resize(900, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* tree = form.findChild<QTreeWidget*>("TreeView_Main");
    auto* web = form.state().web;
    QCOMPARE(tree->topLevelItemCount(), 3);

    // The text item.
    tree->setCurrentItem(tree->topLevelItem(1));
    QTest::keyClick(tree, Qt::Key_Return);
    QCOMPARE(form.state().memo->toPlainText(), QString("note 中文"));
    QVERIFY(!form.state().webFlag);

    // The page straight from the archive.
    tree->setCurrentItem(tree->topLevelItem(2));
    QTest::keyClick(tree, Qt::Key_Enter);
    QVERIFY(form.state().webFlag);
    QVERIFY(QTest::qWaitFor([&] { return web->pageText().contains("Stored page"); }, kLoadWaitMs));

    // The saved page with its companion folder; the gauge follows.
    QSignalSpy complete(web, &WebView::documentComplete);
    tree->setCurrentItem(tree->topLevelItem(0));
    QTest::keyClick(tree, Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([&] { return !complete.isEmpty(); }, kLoadWaitMs));
    QVERIFY(QTest::qWaitFor([&] { return loadedImages(web->widget()) == 2; }, kLoadWaitMs));
    QCOMPARE(form.state().statusPanels[0]->text(), QString("Created time : 2024-01-01 00:00:01"));
    QCOMPARE(form.state().statusPanels[1]->text(), QString("Last modified time : 2024-01-02 00:00:00"));
    QCOMPARE(form.state().statusPanels[3]->text(), QString("Type : .htm"));
    auto* gauge = form.findChild<QProgressBar*>("CGauge1");
    QVERIFY(gauge->isVisible());
    QCOMPARE(gauge->value(), 0);  // -1 at the end of the load

    // A picture to look at by eye.
    QTest::qWait(300);
    const QString shot = qEnvironmentVariable("TM_SCREENSHOT");
    if (!shot.isEmpty())
        QVERIFY(form.grab().save(shot));
}

int main(int argc, char** argv)
{
    tallowmere::registerWebSchemes();  // before the application object, as the program does
    QApplication app(argc, argv);
    TestShowWeb test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_show_web.moc"
