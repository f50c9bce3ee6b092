// Export with the real web engine: a branch written to disk whose page opens
// from there with its images, and a page item saved by the web view itself.

#include "ExportFixture.h"
#include "content/WebEngineView.h"
#include "tests/support/PageProbe.h"
#include "transfer/Export.h"

#include <QApplication>
#include <QSignalSpy>
#include <QtTest>

using namespace tallowmere;
using tallowmere::test::ExportFixture;
using tallowmere::test::loadedImages;
using tallowmere::test::png;

namespace {

constexpr int kWaitMs = tallowmere::test::kPageWaitMs;

const QByteArray kPage =
    "<html><head><title>Exported</title></head><body><h1>Exported page</h1>"
    "<img src=\"page.files/red.png\"> <img src=\"page.files/blue.png\"></body></html>";

// Opens a file from disk in the web view and waits until it has loaded.
bool open(WebView& web, const QString& path)
{
    QSignalSpy complete(&web, &WebView::documentComplete);
    web.navigate(path);
    return QTest::qWaitFor([&] { return !complete.isEmpty(); }, kWaitMs) && complete.first().at(1).toBool();
}

} // namespace

class TestExportWeb : public QObject {
    Q_OBJECT
private slots:
    void exportedBranchOpensWithImages();
    void pageItemSavedByWebView();
};

void TestExportWeb::exportedBranchOpensWithImages()
{
    WebEngineView web;
    ExportFixture f(web);
    f.makeChosenFolder();
    QTreeWidgetItem* notes = f.add(nullptr, "Notes", 4, ".txt", {}, {}, 0);
    f.add(notes, "page.htm", 14, ".htm", kPage, {}, -1, {{"red.png", png(Qt::red)}, {"blue.png", png(Qt::blue)}});
    f.prompter.folders << f.chosen;
    exportBranch(f.state, notes);
    QVERIFY(f.prompter.errors.isEmpty());

    QVERIFY(open(web, f.chosen + "/Notes/page.htm"));
    QVERIFY(web.pageText().contains("Exported page"));
    QVERIFY(QTest::qWaitFor([&] { return loadedImages(web.widget()) == 2; }, kWaitMs));
}

// The item is put on display first, so the view saves its page and not the
// one it showed before; the saved copy opens with its images.
void TestExportWeb::pageItemSavedByWebView()
{
    WebEngineView web;
    ExportFixture f(web);
    f.makeChosenFolder();
    QTreeWidgetItem* page =
        f.add(nullptr, "page.htm", 14, ".htm", kPage, {}, -1, {{"red.png", png(Qt::red)}, {"blue.png", png(Qt::blue)}});
    web.loadDocument("<p>Some other page</p>");
    f.state.webFlag = true;

    const QString target = f.chosen + "/saved.htm";
    f.prompter.savePaths << target;
    exportItem(f.state, page);
    QVERIFY2(f.prompter.errors.isEmpty(), qPrintable(f.prompter.errors.join('\n')));
    QCOMPARE(f.prompter.saveRequests.size(), 1);
    QCOMPARE(f.prompter.saveRequests.first().proposedName, QString("page.htm"));

    QFile saved(target);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray html = saved.readAll();
    QVERIFY(html.contains("Exported page"));
    QVERIFY(!html.contains("Some other page"));
    QVERIFY(open(web, target));
    QVERIFY(QTest::qWaitFor([&] { return loadedImages(web.widget()) == 2; }, kWaitMs));
}

int main(int argc, char** argv)
{
    tallowmere::registerWebSchemes();  // before the application object, as the program does
    QApplication app(argc, argv);
    TestExportWeb test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_export_web.moc"
