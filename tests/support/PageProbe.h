#pragma once
// Looking into pages of the real web view from tests: small pictures to put
// into pages, scripts run in the page, and how many of its pictures loaded.

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <optional>

namespace tallowmere::test {

inline constexpr int kPageWaitMs = 60'000;

// A 60 x 40 PNG picture of one colour.
inline QByteArray png(QColor colour)
{
    QImage image(60, 40, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Runs a script in the page shown by the view's widget and waits for its answer.
inline QVariant evaluate(QWidget* viewWidget, const QString& script)
{
    auto* view = qobject_cast<QWebEngineView*>(viewWidget);
    std::optional<QVariant> result;
    view->page()->runJavaScript(script, [&](const QVariant& v) { result = v; });
    if (!QTest::qWaitFor([&] { return result.has_value(); }, kPageWaitMs))
        return {};
    return *result;
}

// How many of the page's pictures have loaded as the pictures png() makes.
inline int loadedImages(QWidget* viewWidget)
{
    return evaluate(viewWidget, "Array.from(document.images).filter(i => i.complete && i.naturalWidth == 60).length").toInt();
}

} // namespace tallowmere::test
