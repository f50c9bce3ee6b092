// Page completion in the main window on the real web engine: pages imported
// from disk get their text and final type code the first time they are shown;
// a captured page waits until it is the item on display.

#include "app/MainForm.h"
#include "catalog/NodeData.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/ScriptedPrompter.h"

#include <QTreeWidget>
#include <QtTest>

using namespace tallowmere;

namespace {

QByteArray html(const char* marker)
{
    return QByteArray("<html><body><p>\n") + marker + "\n</p></body></html>";
}

QByteArray mhtml(const char* marker)
{
    return QByteArray("From: <Saved by Blink>\r\nSubject: t\r\nMIME-Version: 1.0\r\n"
                      "Content-Type: multipart/related; type=\"text/html\"; boundary=\"B\"\r\n\r\n"
                      "--B\r\nContent-Type: text/html\r\nContent-Transfer-Encoding: 8bit\r\n"
                      "Content-Location: http://example.invalid/\r\n\r\n")
           + html(marker) + "\r\n--B--\r\n";
}

QTreeWidgetItem* findNode(QTreeWidget* tree, const QString& title)
{
    const auto found = tree->findItems(title, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

} // namespace

class TestCompletionWeb : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    test::ScriptedPrompter m_prompter;
    std::unique_ptr<TForm_Main> m_window;

    QString archive() const { return m_dir.filePath(QStringLiteral("bbk.dat")); }
    QString shell(const QString& sql) const { return test::runShell(archive(), sql + u';').out; }

    void show(const QString& title)
    {
        QTreeWidgetItem* node = findNode(m_window->TreeView_Main, title);
        QVERIFY(node);
        m_window->TreeView_Main->setCurrentItem(node);
        QTest::keyClick(m_window->TreeView_Main, Qt::Key_Return);
    }

private slots:
    void initTestCase()
    {
        createArchive(archive());
        const auto db = Connection::open(archive());
        struct Row {
            const char* title;
            int code;
            const char* ext;
            QByteArray content;
        };
        const Row rows[] = {
            {"Archive9", 9, ".mht", mhtml("TEXTNINE")},   {"Page12", 12, ".htm", html("TEXTTWELVE")},
            {"Page14", 14, ".htm", html("TEXTFOURTEEN")}, {"Page15", 15, ".htm", html("TEXTFIFTEEN")},
            {"Shown5", 5, ".htm", html("TEXTFIVE")},      {"Waiting7", 7, ".htm", html("TEXTSEVEN")},
        };
        int i = 0;
        for (const Row& r : rows) {
            db->exec(QStringLiteral("insert into paper(id,title,ParentPaperID,indexid,typeid,ExtName,SizeByte,content) "
                                    "values('2024-01-01 00:00:0%1','%2','0',%1,%3,'%4',%5,X'%6')")
                         .arg(i).arg(QLatin1String(r.title)).arg(r.code).arg(QLatin1String(r.ext))
                         .arg(r.content.size()).arg(QString::fromLatin1(r.content.toHex())));
            ++i;
        }
        MainFormOptions o;
        o.programFolder = m_dir.path() + u'/';
        QDir(m_dir.path()).mkpath(QStringLiteral("temp"));
        o.tempFolder = m_dir.filePath(QStringLiteral("temp")) + u'/';
        o.prompter = &m_prompter;
        m_window = std::make_unique<TForm_Main>(std::move(o));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void firstShow_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("final");
        QTest::addColumn<QString>("marker");
        QTest::newRow("9") << "Archive9" << "6" << "TEXTNINE";
        QTest::newRow("12") << "Page12" << "5" << "TEXTTWELVE";
        QTest::newRow("14") << "Page14" << "10" << "TEXTFOURTEEN";
        QTest::newRow("15") << "Page15" << "13" << "TEXTFIFTEEN";
    }

    void firstShow()
    {
        QFETCH(QString, title);
        QFETCH(QString, final);
        QFETCH(QString, marker);
        show(title);
        QTRY_COMPARE_WITH_TIMEOUT(nodeData(findNode(m_window->TreeView_Main, title))->typeid_, final, 30000);
        QCOMPARE(shell(QStringLiteral("select typeid || '|' || (instr(plaintext, '%1') > 0) from paper where title = '%2'")
                           .arg(marker, title)),
                 final + QStringLiteral("|1"));
    }

    // Selected while another item is on display: not completed; shown: completed.
    void capturedPageWaitsForItsShow()
    {
        show(QStringLiteral("Shown5"));
        QTRY_VERIFY_WITH_TIMEOUT(m_window->state().currentItemId == QStringLiteral("2024-01-01 00:00:04"), 30000);
        QTest::qWait(500);
        m_window->TreeView_Main->setCurrentItem(findNode(m_window->TreeView_Main, QStringLiteral("Waiting7")));
        m_window->CppWebBrowserDocumentComplete(QString(), true);
        QCOMPARE(shell(QStringLiteral("select typeid || '|' || coalesce(plaintext, '') from paper where title = 'Waiting7'")),
                 QStringLiteral("7|"));
        QCOMPARE(nodeData(findNode(m_window->TreeView_Main, QStringLiteral("Waiting7")))->typeid_, QStringLiteral("7"));

        show(QStringLiteral("Waiting7"));
        QTRY_COMPARE_WITH_TIMEOUT(shell(QStringLiteral("select typeid || '|' || (instr(plaintext, 'TEXTSEVEN') > 0) "
                                                       "from paper where title = 'Waiting7'")),
                                  QStringLiteral("5|1"), 30000);
    }
};

QTEST_MAIN(TestCompletionWeb)
#include "test_completion_web.moc"
