// Adding items through the add commands of the main window, with a real
// archive: placement, positions in tree and store, the statements as run,
// the fields of the new row, unique ids, and cancelling.

#include "app/MainForm.h"
#include "catalog/AddItem.h"
#include "tests/catalog/TreeWindow.h"
#include "tests/content/StateFixture.h"
#include "tests/support/FakeWebView.h"
#include "tests/support/StatementLog.h"
#include "transfer/GiveContent.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace tallowmere;
using tallowmere::test::Row;
using tallowmere::test::Window;

namespace {

// Answers the next New Item dialog: a method and a path, then OK (or Cancel).
void answerNewItem(TForm_GiveContent::Method method, const QString& path = QString(), bool ok = true,
                   bool subdirectories = false)
{
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<TForm_GiveContent*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->selectMethod(method);
        dialog->Edit1->setText(path);
        dialog->CheckBox1->setChecked(subdirectories);
        (ok ? dialog->Button_OK : dialog->Button_Cancel)->click();
    });
}

const QList<Row> kRows = {{"a", "A", "0", 0}, {"a1", "A1", "a", 0}, {"a2", "A2", "a", 1}, {"a3", "A3", "a", 5},
                          {"b", "B", "0", 1}, {"c", "C", "0", 2}};

QString expectedInsert(const TNodeData& r, const QString& ext, int size)
{
    return QStringLiteral("insert into paper(title,id,ParentPaperID,indexid,typeid,createtime,        ModifyTime,"
                          "ExtName,SizeByte) values('%1','%2','%3',%4,%5,'%6','%7','%8',%9)")
        // Both times are the creation time: storing may have moved the record's
        // modification time on by the time it is compared.
        .arg(r.Title, r.ID, r.ParentPaperID, r.indexid, r.typeid_, r.createtime, r.createtime, ext)
        .arg(size);
}

} // namespace

class TestAddItem : public QObject {
    Q_OBJECT

private slots:
    void placement_data()
    {
        QTest::addColumn<QString>("reference");   // empty: nothing selected
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("shift");       // the shift statement, empty when none runs
        const QString a = QStringLiteral("update paper set indexid = indexid + 1             where parentpaperid = ");
        const QString b = QStringLiteral("update paper set indexid = indexid + 1                 where parentpaperid = ");
        QTest::newRow("subitem after 0,1,5") << "A" << "MenuItem_AddSub"
                                             << "A:0{A1:0 A2:1 A3:5 New Item.txt:6} B:1 C:2" << "";
        QTest::newRow("subitem of a leaf") << "B" << "MenuItem2" << "A:0{A1:0 A2:1 A3:5} B:1{New Item.txt:0} C:2" << "";
        QTest::newRow("above the first") << "A" << "MenuItem_AddSibAbv"
                                         << "New Item.txt:0 A:1{A1:0 A2:1 A3:5} B:2 C:3" << a + "'0' and indexid >= 0";
        QTest::newRow("below the middle") << "B" << "MenuItem4" << "A:0{A1:0 A2:1 A3:5} B:1 New Item.txt:2 C:3"
                                          << b + "'0' and indexid >= 2";
        QTest::newRow("below the last") << "C" << "MenuItem_AddSibBlw" << "A:0{A1:0 A2:1 A3:5} B:1 C:2 New Item.txt:3"
                                        << "";
        QTest::newRow("above inside a parent") << "A3" << "MenuItem3"
                                               << "A:0{A1:0 A2:1 New Item.txt:5 A3:6} B:1 C:2" << a + "'a' and indexid >= 5";
        QTest::newRow("above, nothing selected") << "" << "MenuItem_AddSibAbv"
                                                 << "A:0{A1:0 A2:1 A3:5} B:1 C:2 New Item.txt:0" << "";
        QTest::newRow("below, nothing selected") << "" << "MenuItem_AddSibBlw"
                                                 << "A:0{A1:0 A2:1 A3:5} B:1 C:2 New Item.txt:0" << "";
    }
    void placement()
    {
        QFETCH(QString, reference);
        QFETCH(QString, action);
        QFETCH(QString, expected);
        QFETCH(QString, shift);
        Window w(kRows);
        if (!reference.isEmpty())
            w.select(w.node(reference.toUtf8()));
        else
            w.tree->setCurrentItem(nullptr);
        test::StatementLog log(*w.form->state().pQ->connection());
        answerNewItem(TForm_GiveContent::NewTextDocument);
        w.find<QAction>(action.toUtf8())->trigger();

        QCOMPARE(w.now(), expected);
        // At the top level without a reference the new item shares position 0
        // with the first item, so a restart may list it next to that one.
        if (!reference.isEmpty())
            QCOMPARE(w.reloaded(), expected);
        else
            QCOMPARE(w.sql(QStringLiteral("select group_concat(title || ':' || indexid, ' ') from (select * from paper where ParentPaperID = '0' order by rowid);")),
                     QStringLiteral("A:0 B:1 C:2 New Item.txt:0"));
        QTreeWidgetItem* added = w.node("New Item.txt");
        QCOMPARE(selectedNode(w.tree), added);
        const TNodeData* rec = nodeData(added);
        QCOMPARE(w.form->state().currentItemId, rec->ID);
        QCOMPARE(rec->typeid_, QStringLiteral("4"));
        QCOMPARE(rec->ExtName, QStringLiteral(".txt"));
        QCOMPARE(log.starting(QStringLiteral("update paper set indexid")), shift.isEmpty() ? QStringList() : QStringList{shift});
        QCOMPARE(log.starting(QStringLiteral("insert into paper")), QStringList{expectedInsert(*rec, ".txt", 0)});
        if (action.contains(QLatin1String("Sub")) || action == QLatin1String("MenuItem2"))
            QVERIFY(added->parent()->isExpanded());
        // The parent's mark for children is left alone.
        QCOMPARE(w.sql(QStringLiteral("select count(*) from paper where HasSubFolders <> 0;")), QStringLiteral("0"));
    }

    // An empty tree: "Add an item", a new text document, and the row as the shell reads it.
    void firstItemOfAnEmptyArchive()
    {
        Window w({});
        w.form->state().memo->setPlainText(QStringLiteral("left over"));
        answerNewItem(TForm_GiveContent::NewTextDocument);
        w.find<QAction>("MenuItem_AddItem")->trigger();
        QCOMPARE(w.sql(QStringLiteral("select title, ParentPaperID, indexid, typeid, ExtName, SizeByte, "
                                      "length(id), id = createtime and id = ModifyTime from paper;")),
                 QStringLiteral("New Item.txt|0|0|4|.txt|0|19|1"));
        QCOMPARE(w.now(), QStringLiteral("New Item.txt:0"));
        QCOMPARE(w.form->state().memo->toPlainText(), QString());
        QCOMPARE(w.form->state().captureSource, QStringLiteral("c:\\New Item.txt"));
        w.restart();
        QCOMPARE(w.now(), QStringLiteral("New Item.txt:0"));
    }

    // A file chosen in the dialog is shown in the web view and stored whole.
    void fileFromDisk()
    {
        Window w({{"a", "A", "0", 0}});
        const QString pdf = w.dir.filePath(QStringLiteral("report.PDF"));
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("%PDF-1.4\n") + QByteArray(5000, 'x'));
        f.close();
        w.select(w.node("A"));
        answerNewItem(TForm_GiveContent::FromFile, pdf);
        w.find<QAction>("MenuItem_AddSibBlw")->trigger();
        QCOMPARE(w.web->address(), pdf);
        QCOMPARE(w.sql(QStringLiteral("select title, typeid, ExtName, SizeByte, length(content) from paper where id <> 'a';")),
                 QStringLiteral("report.PDF|0|.pdf|5009|5009"));
    }

    // A directory becomes a text item titled with its name, with the directory imported below it.
    void directoryIsImportedBelowItsItem()
    {
        Window w({{"a", "A", "0", 0}});
        QDir root(w.dir.filePath(QStringLiteral("photos")));
        QVERIFY(root.mkpath(QStringLiteral("trip")));
        for (const char* name : {"photos/readme.txt", "photos/trip/day1.htm", "photos/picture.gif"}) {
            QFile f(w.dir.filePath(QLatin1String(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("x");
        }
        w.select(w.node("A"));
        answerNewItem(TForm_GiveContent::FromDirectory, root.path(), true, true);
        w.find<QAction>("MenuItem_AddSibBlw")->trigger();
        // Entries come in the file system's order, so compare them by title.
        const QString children = QStringLiteral(
            "select group_concat(title, ' ') from (select title from paper where ParentPaperID = "
            "(select id from paper where title = '%1') order by title);");
        QCOMPARE(w.sql(children.arg(QLatin1String("photos"))), QStringLiteral("readme.txt trip"));
        QCOMPARE(w.sql(children.arg(QLatin1String("trip"))), QStringLiteral("day1.htm"));
        QCOMPARE(w.now(), w.reloaded());
        QCOMPARE(w.sql(QStringLiteral("select typeid, ExtName, SizeByte from paper where title = 'photos';")),
                 QStringLiteral("4|.txt|0"));
        QCOMPARE(selectedNode(w.tree), w.node("photos"));
    }

    // Unsaved edits are stored before the dialog shows, even when it is cancelled.
    void cancelStoresUnsavedEditsAndAddsNothing()
    {
        Window w({{"a", "A", "0", 0}});
        w.select(w.node("A"));
        w.form->state().autoSaveAction->setChecked(true);
        QPlainTextEdit* memo = w.form->state().memo;
        memo->setPlainText(QStringLiteral("edited"));
        memo->document()->setModified(true);
        answerNewItem(TForm_GiveContent::NewTextDocument, QString(), false);
        w.find<QAction>("MenuItem_AddSub")->trigger();
        QCOMPARE(w.sql(QStringLiteral("select count(*), max(plaintext) from paper;")), QStringLiteral("1|edited"));
        QCOMPARE(w.now(), QStringLiteral("A:0"));
    }

    void titles_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("title");
        QTest::newRow("unix path") << "/docs/old.site/page.htm" << 15 << "page.htm";
        QTest::newRow("backslash path") << "C:\\docs\\old.site\\page.htm" << 12 << "page.htm";
        QTest::newRow("directory") << "/photos" << 11 << "photos";
        QTest::newRow("new document") << "c:\\New Item.txt" << 4 << "New Item.txt";
        QTest::newRow("captured page keeps all") << "Re: plans \\ notes" << 7 << "Re: plans \\ notes";
        QTest::newRow("captured archive is cut") << "Re: plans \\ notes" << 8 << " notes";
        QTest::newRow("no separator") << "plain title" << 8 << "plain title";
    }
    void titles()
    {
        QFETCH(QString, source);
        QFETCH(int, code);
        QFETCH(QString, title);
        QCOMPARE(titleFromSource(source, code), title);
    }

    // Several adds within one second get ids of their own; each store goes to its own row.
    void idsStayUniqueWithinOneSecond()
    {
        FakeWebView web;
        test::StateFixture f(web);
        f.clock.time = QDateTime(QDate(2024, 5, 17), QTime(9, 4, 31));
        QStringList texts = {QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("third")};
        for (const QString& text : texts) {
            f.state.captureSource = QStringLiteral("c:\\New Item.txt");
            f.state.pendingExt = QStringLiteral(".txt");
            f.state.pendingSize = 0;
            f.memo->setPlainText(text);
            QVERIFY(addItem(f.state, f.tree.currentItem(), 2, 4));
        }
        QCOMPARE(f.shell(QStringLiteral("select group_concat(id || '=' || plaintext || '@' || indexid || '/' || createtime, ' ') "
                                        "from (select * from paper order by indexid)")),
                 QStringLiteral("2024-05-17 09:04:31=first@0/2024-05-17 09:04:31 "
                                "2024-05-17 09:04:311=second@1/2024-05-17 09:04:31 "
                                "2024-05-17 09:04:312=third@2/2024-05-17 09:04:31"));
    }

    // Code -1 adds nothing, and the status bar says when a row could not be inserted.
    void cancelledCodeAndFailedInsert()
    {
        FakeWebView web;
        test::StateFixture f(web);
        QVERIFY(!addItem(f.state, nullptr, 2, -1));
        QCOMPARE(f.tree.topLevelItemCount(), 0);
        runStatement(f.pQ, QStringLiteral("create trigger refuse before insert on paper begin select raise(abort, 'no'); end"));
        f.state.captureSource = QStringLiteral("x.txt");
        QVERIFY(addItem(f.state, nullptr, 2, 4));
        QVERIFY(f.panels[0].text().contains(QLatin1String("could not be stored")));
    }
};

QTEST_MAIN(TestAddItem)
#include "test_add_item.moc"
