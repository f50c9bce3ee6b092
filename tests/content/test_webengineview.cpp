// The web view on the real engine: local files, pages served on 127.0.0.1,
// documents loaded from memory, zoom, saving and printing.
#include "content/WebEngineView.h"
#include "tests/support/TinyHttpServer.h"

#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <QFile>
#include <QImage>
#include <QPrintDialog>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>
#include <optional>

using tallowmere::test::TinyHttpServer;

namespace {

constexpr int kLoadWaitMs = 30'000;

QByteArray page(const QByteArray& marker)
{
    return "<html><head><title>t</title></head><body>\n<p>" + marker + "</p>\n</body></html>";
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An 8 MB document with NUL bytes and CJK text, markers at both ends.
QByteArray bigDocument()
{
    QByteArray doc = "<html><body><p>BEGIN 开始标记</p>\n";
    QByteArray filler = "<p>";
    while (filler.size() < 256 * 1024)
        filler += QByteArray("filler 汉字文本 ") + QByteArray(1, '\0') + " more text after a zero byte\n";
    filler += "</p>\n";
    while (doc.size() < 8 * 1024 * 1024)
        doc += filler;
    return doc + "<p>END 结束标记</p></body></html>";
}

} // namespace

class TestWebEngineView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsEmpty();
    void navigatesLocalFiles_data();
    void navigatesLocalFiles();
    void navigatesServedPages_data();
    void navigatesServedPages();
    void loadsDocumentsFromMemory_data();
    void loadsDocumentsFromMemory();
    void documentReplacesPendingNavigation();
    void storedDocumentReadsNoLocalFiles();
    void zoomStopsAtBothEnds();
    void zoomSurvivesNavigation();
    void savesTheNewPageAfterNavigate();
    void refusesSecondSaveWhileOneRuns();
    void savesByExtension_data();
    void savesByExtension();
    void printsToPdf();
    void cancelledPrintDialogPrintsNothing();

private:
    QWebEnginePage* enginePage() const
    {
        return static_cast<QWebEngineView*>(m_view->widget())->page();
    }
    QVariant runJs(const QString& script);
    bool waitForComplete(int count = 1);

    TinyHttpServer m_http;
    QTemporaryDir m_dir;
    std::unique_ptr<tallowmere::WebEngineView> m_view;
    QStringList m_events; // "p<progress>" and "c<ok> <address>" in arrival order
};

void TestWebEngineView::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_http.routes["/first"] = {200, page("FIRSTPAGE"), 0};
    m_http.routes["/second"] = {200, page("SECONDPAGE 第二页"), 1500};
    m_http.routes["/missing"] = {404, page("NOTFOUNDBODY"), 0};
    QVERIFY(m_http.start());
}

void TestWebEngineView::init()
{
    m_events.clear();
    m_view = std::make_unique<tallowmere::WebEngineView>();
    connect(m_view.get(), &tallowmere::WebView::progressChange, this, [this](int p, int max) {
        QCOMPARE(max, 100);
        m_events << QStringLiteral("p%1").arg(p);
    });
    connect(m_view.get(), &tallowmere::WebView::documentComplete, this, [this](const QString& a, bool ok) {
        m_events << QStringLiteral("c%1 %2").arg(int(ok)).arg(a);
    });
    m_view->widget()->resize(800, 600);
    m_view->widget()->show();
}

void TestWebEngineView::cleanup()
{
    m_view.reset();
}

QVariant TestWebEngineView::runJs(const QString& script)
{
    auto result = std::make_shared<std::optional<QVariant>>();
    enginePage()->runJavaScript(script, [result](const QVariant& v) { *result = v; });
    (void)QTest::qWaitFor([&] { return result->has_value(); }, kLoadWaitMs);
    return result->value_or(QVariant());
}

bool TestWebEngineView::waitForComplete(int count)
{
    return QTest::qWaitFor(
        [&] { return m_events.filter(QRegularExpression("^c")).size() >= count; }, kLoadWaitMs);
}

void TestWebEngineView::startsEmpty()
{
    QVERIFY(!m_view->hasDocument());
    QCOMPARE(m_view->saveDocument(), QByteArray());
    QCOMPARE(m_view->pageText(), QString());
    QCOMPARE(m_view->zoomLevelCount(), 12);
    QCOMPARE(tallowmere::WebEngineView::zoomFactorOf(m_view->zoomLevel()), 1.0);
    QVERIFY(!m_view->saveArchive(m_dir.filePath("empty.mht")));
    QVERIFY(!m_view->printToPdf(m_dir.filePath("empty.pdf")));
    QVERIFY(!QFile::exists(m_dir.filePath("empty.mht")));
    QVERIFY(m_events.isEmpty());
}

void TestWebEngineView::navigatesLocalFiles_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::newRow("plain") << "plain.html";
    QTest::newRow("space hash question mark") << "a #1 ?x.html";
    QTest::newRow("cjk name") << "页面.html";
}

void TestWebEngineView::navigatesLocalFiles()
{
    QFETCH(QString, fileName);
    const QString path = m_dir.filePath(fileName);
    QVERIFY(writeFile(path, page("LOCALFILE 本地文件")));

    m_view->navigate(path);
    QVERIFY(waitForComplete());
    QVERIFY(m_view->hasDocument());
    QCOMPARE(m_view->address(), QUrl::fromLocalFile(path).toString());
    QCOMPARE(m_events.size() >= 2, true);
    QCOMPARE(m_events.last(), "c1 " + QUrl::fromLocalFile(path).toString());
    QCOMPARE(m_events.at(m_events.size() - 2), "p-1");
    QVERIFY(m_view->pageText().contains("LOCALFILE 本地文件"));
}

void TestWebEngineView::navigatesServedPages_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("marker");
    QTest::newRow("page") << "/first" << true << "FIRSTPAGE";
    QTest::newRow("late page") << "/second" << true << "SECONDPAGE 第二页";
    QTest::newRow("not found") << "/missing" << false << "NOTFOUNDBODY";
}

void TestWebEngineView::navigatesServedPages()
{
    QFETCH(QString, path);
    QFETCH(bool, ok);
    QFETCH(QString, marker);
    m_view->navigate(m_http.url(path));
    QVERIFY(waitForComplete());
    QTest::qWait(300); // nothing further may arrive for the same load
    const QStringList completes = m_events.filter(QRegularExpression("^c"));
    QCOMPARE(completes, QStringList{QStringLiteral("c%1 %2").arg(int(ok)).arg(m_http.url(path))});
    QVERIFY(m_events.contains("p-1"));
    QVERIFY(m_view->hasDocument());
    if (ok)
        QVERIFY(m_view->pageText().contains(marker));
}

void TestWebEngineView::loadsDocumentsFromMemory_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QStringList>("markers");
    QTest::addColumn<bool>("blankStartedFirst");
    const QByteArray small = page("SMALLDOC 小文档");
    const QByteArray big = bigDocument();
    const QStringList bigMarkers{"BEGIN 开始标记", "END 结束标记"};
    QTest::newRow("small, fresh view") << small << QStringList{"SMALLDOC 小文档"} << false;
    QTest::newRow("small, blank page loading") << small << QStringList{"SMALLDOC 小文档"} << true;
    QTest::newRow("8 MB with NUL and CJK") << big << bigMarkers << false;
    QTest::newRow("declares another charset")
        << QByteArray("<html><head><meta charset=\"gb2312\"></head><body>UTF8DOC 汉字</body></html>")
        << QStringList{"UTF8DOC 汉字"} << true;
}

void TestWebEngineView::loadsDocumentsFromMemory()
{
    QFETCH(QByteArray, html);
    QFETCH(QStringList, markers);
    QFETCH(bool, blankStartedFirst);
    if (blankStartedFirst)
        m_view->navigate("about:blank");

    m_view->loadDocument(html);
    QVERIFY(m_view->hasDocument());
    QCOMPARE(m_view->address(), QString("about:blank"));
    QCOMPARE(m_events.last(), QString("c1 about:blank"));

    const QByteArray saved = m_view->saveDocument();
    const QString text = m_view->pageText();
    if (html.size() > 1024 * 1024)
        QVERIFY2(saved.size() > 7 * 1024 * 1024, QByteArray::number(saved.size()));
    for (const QString& marker : markers) {
        QVERIFY2(saved.contains(marker.toUtf8()), qPrintable(marker));
        QVERIFY2(text.contains(marker), qPrintable(marker));
    }

    // What was saved loads again with the same text (the big one is spared).
    if (html.size() < 1024 * 1024) {
        m_view->loadDocument(saved);
        QVERIFY(m_view->pageText().contains(markers.first()));
    }
}

void TestWebEngineView::documentReplacesPendingNavigation()
{
    m_view->navigate(m_http.url("/first"));
    QVERIFY(waitForComplete());
    m_view->navigate(m_http.url("/second")); // answers late
    m_view->loadDocument(page("REPLACED"));
    QTest::qWait(2500); // past the late answer: the cancelled load must stay cancelled
    QCOMPARE(m_view->address(), QString("about:blank"));
    QVERIFY(m_view->pageText().contains("REPLACED"));
    QCOMPARE(m_events.filter(QRegularExpression("^c")),
             (QStringList{"c1 " + m_http.url("/first"), "c1 about:blank"}));
}

void TestWebEngineView::storedDocumentReadsNoLocalFiles()
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QString imagePath = m_dir.filePath("dot.png");
    QVERIFY(image.save(imagePath));
    const QString html = QStringLiteral("<img id=rel src=\"dot.png\"><img id=abs src=\"%1\">"
                                        "<img id=root src=\"%2\">")
                             .arg(QUrl::fromLocalFile(imagePath).toString(), imagePath);
    const QString widths = "[rel, abs, root].map(i => i.naturalWidth).join(',')";

    // The same markup as a file beside the image shows it: the image is fine.
    const QString filePage = m_dir.filePath("images.html");
    QVERIFY(writeFile(filePage, html.toUtf8()));
    m_view->navigate(filePage);
    QVERIFY(waitForComplete());
    QCOMPARE(runJs(widths).toString(), QString("4,4,4"));

    // Loaded from memory, with the image also in the working folder.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    m_view->loadDocument(html.toUtf8());
    QDir::setCurrent(previous);
    QCOMPARE(runJs(widths).toString(), QString("0,0,0"));
}

void TestWebEngineView::zoomStopsAtBothEnds()
{
    m_view->loadDocument(page("ZOOM"));
    const int count = m_view->zoomLevelCount();
    while (m_view->setZoomLevel(m_view->zoomLevel() - 1)) {
    }
    QCOMPARE(m_view->zoomLevel(), 0);
    QVERIFY(!m_view->setZoomLevel(-1));
    QCOMPARE(m_view->zoomLevel(), 0);
    QCOMPARE(enginePage()->zoomFactor(), tallowmere::WebEngineView::zoomFactorOf(0));

    while (m_view->setZoomLevel(m_view->zoomLevel() + 1)) {
    }
    QCOMPARE(m_view->zoomLevel(), count - 1);
    QVERIFY(!m_view->setZoomLevel(count));
    QCOMPARE(m_view->zoomLevel(), count - 1);
    QCOMPARE(enginePage()->zoomFactor(), tallowmere::WebEngineView::zoomFactorOf(count - 1));

    for (int level = 0; level < count; ++level) {
        const double factor = tallowmere::WebEngineView::zoomFactorOf(level);
        QVERIFY(factor >= 0.25 && factor <= 5.0);
        if (level > 0)
            QVERIFY(factor > tallowmere::WebEngineView::zoomFactorOf(level - 1));
    }
}

void TestWebEngineView::zoomSurvivesNavigation()
{
    m_view->loadDocument(page("ZOOM"));
    QVERIFY(m_view->setZoomLevel(7));
    m_view->navigate(m_http.url("/first"));
    QVERIFY(waitForComplete(2));
    QCOMPARE(m_view->zoomLevel(), 7);
    QCOMPARE(enginePage()->zoomFactor(), tallowmere::WebEngineView::zoomFactorOf(7));
}

void TestWebEngineView::savesTheNewPageAfterNavigate()
{
    m_view->navigate(m_http.url("/first"));
    QVERIFY(waitForComplete());
    const QString path = m_dir.filePath("new-page.mht");

    m_view->navigate(m_http.url("/second")); // answers late
    QVERIFY(m_view->saveArchive(path));

    const QByteArray archive = readFile(path);
    QVERIFY(archive.contains("MIME-Version: 1.0"));
    QVERIFY(archive.contains("SECONDPAGE"));
    QVERIFY(!archive.contains("FIRSTPAGE"));
}

void TestWebEngineView::refusesSecondSaveWhileOneRuns()
{
    m_view->loadDocument(page("ONESAVE"));
    std::optional<bool> second;
    QTimer::singleShot(0, this, [&] { second = m_view->saveArchive(m_dir.filePath("second.mht")); });
    QVERIFY(m_view->saveArchive(m_dir.filePath("first.mht")));
    QVERIFY(QTest::qWaitFor([&] { return second.has_value(); }, kLoadWaitMs));
    QCOMPARE(*second, false);
    QVERIFY(!QFile::exists(m_dir.filePath("second.mht")));
    // The guard lifts once the first save is over.
    QVERIFY(m_view->saveArchive(m_dir.filePath("third.mht")));
}

void TestWebEngineView::savesByExtension_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QByteArray>("existing");
    QTest::newRow("mht") << "page.mht" << QByteArray("MIME-Version: 1.0") << QByteArray();
    QTest::newRow("mhtml upper case") << "page.MHTML" << QByteArray("MIME-Version: 1.0") << QByteArray();
    QTest::newRow("html") << "page.html" << QByteArray("<html") << QByteArray();
    QTest::newRow("replaces a file") << "old.mht" << QByteArray("MIME-Version: 1.0")
                                     << QByteArray("OLDCONTENT");
}

void TestWebEngineView::savesByExtension()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, expected);
    QFETCH(QByteArray, existing);
    const QString path = m_dir.filePath(fileName);
    if (!existing.isEmpty())
        QVERIFY(writeFile(path, existing));
    m_view->navigate(m_http.url("/first"));
    QVERIFY(m_view->saveAs(path));
    const QByteArray saved = readFile(path);
    QVERIFY(saved.contains(expected));
    QVERIFY(saved.contains("FIRSTPAGE"));
    QVERIFY(!saved.contains("OLDCONTENT"));
    QFile::remove(path);
}

void TestWebEngineView::printsToPdf()
{
    m_view->loadDocument(page("PRINTED 打印"));
    const QString path = m_dir.filePath("page.pdf");
    QVERIFY(m_view->printToPdf(path));
    QVERIFY(readFile(path).startsWith("%PDF"));
    QVERIFY(!m_view->printToPdf(m_dir.filePath("no/such/folder/page.pdf")));
}

void TestWebEngineView::cancelledPrintDialogPrintsNothing()
{
    m_view->loadDocument(page("NOTPRINTED"));
    bool dialogSeen = false;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
            dialogSeen = true;
            dialog->reject();
        }
    });
    closer.start(50);
    m_view->print();
    QVERIFY(dialogSeen);
    // A save right after shows that no print is left holding the view.
    QVERIFY(m_view->saveArchive(m_dir.filePath("after-print.mht")));
}

int main(int argc, char** argv)
{
    tallowmere::registerWebSchemes(); // before the application object, as the program does
    QApplication app(argc, argv);
    TestWebEngineView test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_webengineview.moc"
