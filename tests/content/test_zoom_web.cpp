// Text zoom through the real web engine: one level per step, down to the
// smallest level and no further.

#include "StateFixture.h"
#include "content/TextTools.h"
#include "content/WebEngineView.h"
#include "tests/support/PageProbe.h"

#include <QApplication>
#include <QWebEngineView>
#include <QtTest>

using namespace tallowmere;
using tallowmere::test::StateFixture;

namespace {

constexpr int kWaitMs = tallowmere::test::kPageWaitMs;

// The page's own idea of its width in CSS pixels: it grows as the zoom shrinks.
int innerWidth(QWebEngineView* view)
{
    return tallowmere::test::evaluate(view, "window.innerWidth").toInt();
}

} // namespace

class TestZoomWeb : public QObject {
    Q_OBJECT
private slots:
    void zoomOutToSmallestAndNoFurther();
};

void TestZoomWeb::zoomOutToSmallestAndNoFurther()
{
    WebEngineView web;
    StateFixture f(web);
    QAction wrap;
    TextTools tools(f.state, &wrap);
    auto* view = qobject_cast<QWebEngineView*>(web.widget());
    f.stack.setCurrentWidget(view);
    f.stack.resize(800, 600);
    f.stack.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.stack));

    tools.zoomStep(-1);  // no document yet: nothing
    QCOMPARE(web.zoomLevel(), WebEngineView::defaultZoomLevel());
    web.loadDocument("<p style='font-size:20px'>Zoom me</p>");
    f.state.webFlag = true;

    const int atDefault = innerWidth(view);
    tools.zoomStep(-1);
    QCOMPARE(web.zoomLevel(), WebEngineView::defaultZoomLevel() - 1);
    QVERIFY(QTest::qWaitFor([&] { return innerWidth(view) > atDefault; }, kWaitMs));

    for (int i = 0; i < web.zoomLevelCount() + 2; ++i)
        tools.zoomStep(-1);
    QCOMPARE(web.zoomLevel(), 0);
    QCOMPARE(view->zoomFactor(), WebEngineView::zoomFactorOf(0));
    QVERIFY(QTest::qWaitFor([&] { return qAbs(innerWidth(view) - 2 * view->width()) <= 2; }, kWaitMs));

    tools.zoomStep(-1);
    QCOMPARE(web.zoomLevel(), 0);
    QCOMPARE(view->zoomFactor(), WebEngineView::zoomFactorOf(0));

    tools.zoomStep(+1);
    QCOMPARE(web.zoomLevel(), 1);
    QCOMPARE(view->zoomFactor(), WebEngineView::zoomFactorOf(1));
}

int main(int argc, char** argv)
{
    tallowmere::registerWebSchemes();  // before the application object, as the program does
    QApplication app(argc, argv);
    TestZoomWeb test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_zoom_web.moc"
