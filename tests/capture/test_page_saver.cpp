// Saving the web view's page as a single-file archive on the real engine, and
// a page served on 127.0.0.1 added as an archive item.

#include "capture/PageSaver.h"
#include "catalog/AddItem.h"
#include "content/WebEngineView.h"
#include "tests/content/StateFixture.h"
#include "tests/support/TinyHttpServer.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include <optional>

using namespace tallowmere;

namespace {
QByteArray page(const QByteArray& marker)
{
    return "<html><head><title>t</title></head><body><p>" + marker + "</p><img src=\"/dot.png\"></body></html>";
}
} // namespace

class TestPageSaver : public QObject {
    Q_OBJECT
    test::TinyHttpServer m_http;
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        m_http.routes["/page"] = {200, page("CAPTUREDPAGE"), 400};
        QVERIFY(m_http.start());
    }

    void saverRules()
    {
        CSaveAsWebbrowser saver;
        QCOMPARE(saver.saveType(), 0);
        QVERIFY(!saver.save());   // no web view
        QCOMPARE(saver.targetPath(), QStringLiteral("untitled"));

        WebEngineView web;
        web.loadDocument(page("SAVEDONCE"));
        // An empty target path is saved as "untitled.mht" in the working folder.
        const QString old = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        CSaveAsWebbrowser unnamed;
        unnamed.attach(&web);
        QVERIFY(unnamed.save());
        QDir::setCurrent(old);
        QVERIFY(QFileInfo(m_dir.filePath("untitled.mht")).size() > 0);

        // One save at a time in the whole program.
        CSaveAsWebbrowser first, second;
        first.attach(&web);
        second.attach(&web);
        first.setTargetPath(m_dir.filePath("first.mht"));
        second.setTargetPath(m_dir.filePath("second.mht"));
        QCOMPARE(first.saveType(), 1);
        std::optional<bool> secondResult;
        QTimer::singleShot(0, this, [&] {
            QVERIFY(CSaveAsWebbrowser::saveRunning());
            secondResult = second.save();
        });
        QVERIFY(first.save());
        QVERIFY(QTest::qWaitFor([&] { return secondResult.has_value(); }, 30000));
        QCOMPARE(*secondResult, false);
        QVERIFY(!QFile::exists(m_dir.filePath("second.mht")));
        QVERIFY(!CSaveAsWebbrowser::saveRunning());
    }

    // The capture of an archive: the page saved once it has loaded, its bytes
    // stored as a ".mht" item, titled from the capture source.
    void archiveItemFromServedPage()
    {
        WebEngineView web;
        web.widget()->resize(800, 600);
        web.widget()->show();
        test::StateFixture f(web);
        web.navigate(QStringLiteral("about:blank"));
        QTest::qWait(200);
        web.navigate(m_http.url("/page"));   // answers late: the save must wait for it
        f.state.captureSource = QStringLiteral("Re: plans \\ notes");
        f.state.pendingExt = QStringLiteral(".pdf");   // left over from an earlier add
        f.state.pendingSize = 12345;
        QTreeWidgetItem* node = addItem(f.state, nullptr, 2, 8);
        QVERIFY(node);

        QVERIFY(QRegularExpression(QStringLiteral("^%1\\d{14}\\.mht$").arg(QRegularExpression::escape(f.tempFolder())))
                    .match(f.state.captureSource).hasMatch());
        const qint64 size = QFileInfo(f.state.captureSource).size();
        QVERIFY(size > 0);
        QCOMPARE(f.shell(QStringLiteral("select '[' || title || ']', typeid, ExtName, SizeByte, length(content), "
                                        "instr(content, cast('MIME-Version: 1.0' as blob)) > 0, "
                                        "instr(content, cast('CAPTUREDPAGE' as blob)) > 0 from paper")),
                 QStringLiteral("[ notes]|8|.mht|%1|%1|1|1").arg(size));
        QCOMPARE(nodeData(node)->ExtName, QStringLiteral(".mht"));
        QCOMPARE(nodeData(node)->SizeByte, qint32(size));
        QCOMPARE(f.tree.currentItem(), node);
    }
};

QTEST_MAIN(TestPageSaver)
#include "test_page_saver.moc"
