// The fake keeps the promises of the web view interface that other tests rely on.
#include "tests/support/FakeWebView.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

class TestFakeWebView : public QObject {
    Q_OBJECT
private slots:
    void scriptedNavigationAndDocument()
    {
        tallowmere::FakeWebView view;
        QSignalSpy progress(&view, &tallowmere::WebView::progressChange);
        QSignalSpy complete(&view, &tallowmere::WebView::documentComplete);
        QVERIFY(!view.hasDocument());
        QCOMPARE(view.saveDocument(), QByteArray());

        view.navigate("/tmp/page.html");
        QVERIFY(!view.hasDocument());
        view.finishLoad(false);
        QCOMPARE(view.navigations, QStringList{"/tmp/page.html"});
        QCOMPARE(progress.last(), (QList<QVariant>{-1, 100}));
        QCOMPARE(complete.size(), 1);
        QCOMPARE(complete.first(), (QList<QVariant>{"/tmp/page.html", false}));

        view.loadDocument(QByteArray("<p>a\0b</p>", 10));
        QCOMPARE(view.saveDocument().size(), 10);
        view.loadFails = true;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, view.loadDocument("x"));

        QVERIFY(!view.setZoomLevel(view.zoomLevelCount()));
        QVERIFY(!view.setZoomLevel(-1));
        QCOMPARE(view.zoomLevel(), 4);
        QVERIFY(view.setZoomLevel(0));
        QCOMPARE(view.zoomLevel(), 0);

        QTemporaryDir dir;
        QVERIFY(view.saveArchive(dir.filePath("a.mht")));
        QVERIFY(QFileInfo(dir.filePath("a.mht")).size() > 0);
        view.saveSucceeds = false;
        QVERIFY(!view.saveArchive(dir.filePath("b.mht")));
        QVERIFY(!QFile::exists(dir.filePath("b.mht")));
    }
};

QTEST_GUILESS_MAIN(TestFakeWebView)
#include "test_fakewebview.moc"
