// Renaming, deleting and moving items through real mouse and key events on
// the main window's tree, with a real archive. After each change the tree is
// loaded again from the archive and compared, as a restart would load it.

#include "app/MainForm.h"
#include "catalog/CatalogTree.h"
#include "catalog/MoveItems.h"
#include "catalog/NodeData.h"
#include "catalog/RenameDelete.h"
#include "catalog/TreeLoader.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/FakeWebView.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/WindowFixture.h"
#include "tests/catalog/TreeWindow.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QtTest>

using namespace tallowmere;

using tallowmere::test::Row;
using tallowmere::test::Window;
using tallowmere::test::shape;

class TestTreeEdit : public QObject {
    Q_OBJECT

    // Opens the label editor with a second, slow click on the selected node.
    static void openEditor(Window& w, QTreeWidgetItem* n, QLineEdit*& editor)
    {
        w.select(n);
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        w.click(n);
        QTRY_VERIFY((editor = w.tree->viewport()->findChild<QLineEdit*>()) && editor->isVisible());
    }

private slots:
    void rename_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("refused");
        QTest::newRow("plain") << 4 << "New name" << "New name" << false;
        QTest::newRow("blanks kept around a word") << 4 << "  word  " << "  word  " << false;
        QTest::newRow("blanks only") << 4 << "   " << "_" << false;
        QTest::newRow("empty") << 0 << "" << "_" << false;
        QTest::newRow("quote") << 5 << "it's" << "it's" << false;
        for (int code : {10, 13, 14, 15})
            QTest::newRow(qPrintable(QStringLiteral("refused %1").arg(code))) << code << "Other" << "Old" << true;
    }
    void rename()
    {
        QFETCH(int, type);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QFETCH(bool, refused);
        Window w({{"i1", "Old", "0", 0, type}, {"i2", "Other item", "0", 1}});
        QTreeWidgetItem* n = w.node("Old");
        QLineEdit* editor = nullptr;
        openEditor(w, n, editor);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(w.tree->labelEditing());
        editor->selectAll();
        QTest::keyClicks(editor, typed);
        if (typed.isEmpty())
            QTest::keyClick(editor, Qt::Key_Backspace);
        // Enter in the editor reaches the tree's key handling, which shows the item.
        w.form->state().currentItemId.clear();
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(w.form->state().currentItemId, QStringLiteral("i1"));
        QTRY_VERIFY(!w.tree->labelEditing());
        QCOMPARE(n->text(0), expected);
        QCOMPARE(nodeData(n)->Title, expected);
        QCOMPARE(w.sql(QStringLiteral("select '[' || title || ']' from paper where id = 'i1';")), u'[' + expected + u']');
        QCOMPARE(w.prompter.errors,
                 refused ? QStringList{QStringLiteral("Sorry,this item has \".files\" directory,can't be renamed! ")}
                         : QStringList{});
        QCOMPARE(w.now(), w.reloaded());
    }

    void escThenDelete()
    {
        Window w({{"i1", "Old", "0", 0}});
        QTreeWidgetItem* n = w.node("Old");
        QLineEdit* editor = nullptr;
        openEditor(w, n, editor);
        if (QTest::currentTestFailed())
            return;
        // Delete inside the editor edits the text only.
        editor->setCursorPosition(0);
        QTest::keyClick(editor, Qt::Key_Delete);
        QCOMPARE(editor->text(), QStringLiteral("ld"));
        QVERIFY(w.prompter.asked.isEmpty());
        QTest::keyClick(editor, Qt::Key_Escape);
        QTRY_VERIFY(!w.tree->labelEditing());
        QCOMPARE(n->text(0), QStringLiteral("Old"));
        QCOMPARE(w.sql(QStringLiteral("select title from paper;")), QStringLiteral("Old"));
        // The Delete key deletes branches again; Shift+Delete too. No keeps everything.
        QTest::keyClick(w.tree, Qt::Key_Delete);
        QTest::keyClick(w.tree, Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(w.prompter.asked, (QStringList{QStringLiteral("Are you sure to delete this branch?"),
                                                QStringLiteral("Are you sure to delete this branch?")}));
        QVERIFY(!w.form->state().branchDeleted);
        QCOMPARE(w.now(), QStringLiteral("Old:0"));
        QCOMPARE(w.reloaded(), QStringLiteral("Old:0"));
    }

    void deleteBranches_data()
    {
        QTest::addColumn<int>("depth");             // levels below the deleted item
        QTest::addColumn<QString>("mayStay");       // rows without a parent a later clean-up removes
        QTest::newRow("two levels below") << 2 << "";
        QTest::newRow("four levels below") << 4 << "d3,d4";
    }
    void deleteBranches()
    {
        QFETCH(int, depth);
        QFETCH(QString, mayStay);
        // d0 (top) > d1 > ... > d<depth>, plus a sibling of d1 and another top-level item z.
        static const char* ids[] = {"d0", "d1", "d2", "d3", "d4"};
        QList<Row> rows{{"d0", "d0", "0", 0}, {"s1", "s1", "d0", 5}, {"z", "z", "0", 1}};
        for (int i = 1; i <= depth; ++i)
            rows.append({ids[i], ids[i], ids[i - 1], 0});
        Window w(rows);
        w.select(w.node("d0"));
        w.prompter.answers = {true};
        QTest::keyClick(w.tree, Qt::Key_Delete);
        QCOMPARE(w.prompter.asked, QStringList{QStringLiteral("Are you sure to delete this branch?")});
        QVERIFY(w.form->state().branchDeleted);
        // The item, its children and grandchildren are gone at once; deeper rows
        // may be left without a parent (how many depends on the engine's scan order).
        QStringList left = w.sql(QStringLiteral("select id from paper order by id;")).split(u'\n');
        QVERIFY(left.removeOne(QStringLiteral("z")));
        for (const QString& id : left)
            QVERIFY2(mayStay.split(u',').contains(id), qPrintable(id));
        QCOMPARE(w.now(), QStringLiteral("z:1"));
        QCOMPARE(w.reloaded(), QStringLiteral("z:1"));
        w.restart();
        QCOMPARE(w.now(), QStringLiteral("z:1"));
    }

    // Companion files go at once only for the deleted item itself with code 10.
    void deleteFileBlocks_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("blocksLeft");
        QTest::newRow("10") << 10 << "child";
        QTest::newRow("14") << 14 << "child,page,page";
        QTest::newRow("13") << 13 << "child,page,page";
    }
    void deleteFileBlocks()
    {
        QFETCH(int, type);
        QFETCH(QString, blocksLeft);
        Window w({{"page", "Page", "0", 0, type}, {"child", "Child", "page", 0, 10}, {"other", "Other", "0", 1}},
                 QStringLiteral("insert into fileblock(paperid,indexid,TheFileName) values"
                                "('page',0,'a.css'),('page',1,'b.png'),('child',0,'c.css');"));
        w.select(w.node("Page"));
        w.prompter.answers = {true};
        w.find<QToolButton>("ToolButton_Delete")->click();
        QCOMPARE(w.sql(QStringLiteral("select group_concat(paperid) from (select paperid from fileblock order by paperid);")),
                 blocksLeft);
        QCOMPARE(w.reloaded(), QStringLiteral("Other:1"));
        QCOMPARE(w.now(), w.reloaded());
    }

    void deleteAnsweredNoOrNothingSelected()
    {
        Window w({{"a", "A", "0", 0}, {"b", "B", "a", 0}});
        // Nothing selected: no question.
        w.find<QAction>("MenuItem_Del")->trigger();
        QVERIFY(w.prompter.asked.isEmpty());
        // No: nothing changes.
        w.select(w.node("B"));
        w.find<QAction>("MenuItem_Del")->trigger();
        QCOMPARE(w.prompter.asked.size(), 1);
        QVERIFY(!w.form->state().branchDeleted);
        QCOMPARE(w.now(), QStringLiteral("A:0{B:0}"));
        QCOMPARE(w.reloaded(), w.now());
    }

    void mouse()
    {
        Window w({{"a", "A", "0", 0}, {"b", "B", "0", 1}});
        auto* addMenu = w.find<QMenu>("PopupMenu_AddItem");
        auto* treeMenu = w.find<QMenu>("PopupMenu_TreeView");
        // Nothing selected: a press below the rows offers "Add an item", near the pointer.
        const QPoint below(5, w.tree->viewport()->height() - 3);
        QTest::mouseClick(w.tree->viewport(), Qt::RightButton, {}, below);
        QVERIFY(addMenu->isVisible());
        QVERIFY(!treeMenu->isVisible());
        const QRect frame = w.form->frameGeometry();
        QCOMPARE(addMenu->pos(),
                 QPoint(frame.left() + below.x() + 5, frame.top() + w.find<QWidget>("Panel_Back")->y() + below.y() + 30));
        addMenu->hide();
        QCOMPARE(selectedNode(w.tree), nullptr);
        // A left press selects the node under it first, and then shows it.
        w.click(w.node("B"));
        QCOMPARE(selectedNode(w.tree), w.node("B"));
        QCOMPARE(w.form->state().currentItemId, QStringLiteral("b"));
        QVERIFY(!addMenu->isVisible());
        // A right press selects the node under it and opens the tree menu.
        const QPoint pa2 = w.at(w.node("A"));
        QTest::mouseClick(w.tree->viewport(), Qt::RightButton, {}, pa2);
        QVERIFY(treeMenu->isVisible());
        QCOMPARE(treeMenu->pos().x(), frame.left() + pa2.x() + 5);
        QCOMPARE(selectedNode(w.tree), w.node("A"));
        QCOMPARE(w.form->state().currentItemId, QStringLiteral("b"));
        treeMenu->hide();
        // Below the last row, with a node selected: no menu, and the selection stays.
        for (Qt::MouseButton b : {Qt::RightButton, Qt::LeftButton}) {
            QTest::mouseClick(w.tree->viewport(), b, {}, QPoint(5, w.tree->viewport()->height() - 3));
            QVERIFY(!treeMenu->isVisible() && !addMenu->isVisible());
            QCOMPARE(selectedNode(w.tree), w.node("A"));
        }
    }

    void emptyTreeOffersAddAnItem()
    {
        Window w({});
        QTest::mouseClick(w.tree->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        auto* addMenu = w.find<QMenu>("PopupMenu_AddItem");
        QVERIFY(addMenu->isVisible());
        QCOMPARE(addMenu->actions().first()->text(), QStringLiteral("Add an item"));
    }

    void move_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("item");   // drag menu item
        QTest::addColumn<QString>("expected");
        const QString start = QStringLiteral("A:0{A1:0 A2:3 A3:7} B:1 C:2{C1:0{C11:0}}");
        QTest::newRow("B below A (case A)") << "B" << "A" << "MenuItem_MoveBlw"
                                            << "A:0{A1:0 A2:3 A3:7} B:1 C:3{C1:0{C11:0}}";
        QTest::newRow("A below C (case B)") << "A" << "C" << "MenuItem_MoveBlw"
                                            << "B:1 C:2{C1:0{C11:0}} A:3{A1:0 A2:3 A3:7}";
        QTest::newRow("B above A") << "B" << "A" << "MenuItem_MoveAbv"
                                   << "B:0 A:1{A1:0 A2:3 A3:7} C:3{C1:0{C11:0}}";
        QTest::newRow("A1 above top-level B") << "A1" << "B" << "MenuItem_MoveAbv"
                                              << "A:0{A2:3 A3:7} A1:1 B:2 C:3{C1:0{C11:0}}";
        QTest::newRow("subitem onto 0,3,7") << "B" << "A" << "MenuItem_MoveSub"
                                            << "A:0{A1:0 A2:3 A3:7 B:8} C:2{C1:0{C11:0}}";
        QTest::newRow("subitem onto own parent") << "A1" << "A" << "MenuItem_MoveSub"
                                                 << "A:0{A2:3 A3:7 A1:8} B:1 C:2{C1:0{C11:0}}";
        QTest::newRow("subitem onto leaf, branch along") << "C1" << "B" << "MenuItem_MoveSub"
                                                         << "A:0{A1:0 A2:3 A3:7} B:1{C1:0{C11:0}} C:2";
        QTest::newRow("below inside other parent") << "C" << "A2" << "MenuItem_MoveBlw"
                                                   << "A:0{A1:0 A2:3 C:4{C1:0{C11:0}} A3:8} B:1";
        for (const char* item : {"MenuItem_MoveSub", "MenuItem_MoveAbv", "MenuItem_MoveBlw"}) {
            QTest::newRow(qPrintable(QStringLiteral("onto itself %1").arg(item))) << "A" << "A" << item << start;
            QTest::newRow(qPrintable(QStringLiteral("into own branch %1").arg(item))) << "C" << "C11" << item << start;
        }
    }
    void move()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QString, item);
        QFETCH(QString, expected);
        Window w({{"a", "A", "0", 0}, {"a1", "A1", "a", 0}, {"a2", "A2", "a", 3}, {"a3", "A3", "a", 7},
                  {"b", "B", "0", 1}, {"c", "C", "0", 2}, {"c1", "C1", "c", 0}, {"c11", "C11", "c1", 0}});
        QTreeWidgetItem* s = w.node(source.toUtf8());
        QTreeWidgetItem* t = w.node(target.toUtf8());
        w.select(s);
        // The drag ends on the target: the drag menu opens near the pointer.
        auto* dragMenu = w.find<QMenu>("PopupMenu_Drag");
        const QPoint drop = w.at(t);
        emit w.tree->endDrag(drop);
        QVERIFY(dragMenu->isVisible());
        QCOMPARE(dragMenu->pos().x(), w.form->frameGeometry().left() + drop.x() + 5);
        QCOMPARE(w.tree->moveTarget(), t);
        QAction* action = w.find<QAction>(item.toUtf8());
        dragMenu->hide();
        action->trigger();
        QCOMPARE(w.now(), expected);
        QCOMPARE(w.reloaded(), expected);
        QCOMPARE(selectedNode(w.tree), s);
        const bool expanded = s->parent() && s != t && s->parent() != s;
        if (expanded)
            QVERIFY(s->parent()->isExpanded());
        w.restart();
        QCOMPARE(w.now(), expected);
    }

    // The statement texts, blanks included.
    void statementTexts()
    {
        QCOMPARE(shiftStatement(true, QStringLiteral("X"), 3),
                 QStringLiteral("update paper set indexid = indexid + 1" "             " "where parentpaperid = 'X' and indexid >= 3"));
        QCOMPARE(shiftStatement(false, QStringLiteral("it's"), 0),
                 QStringLiteral("update paper set indexid = indexid + 1" "                 " "where parentpaperid = 'it''s' and indexid >= 0"));
        QCOMPARE(kOrphanCleanUp, QStringLiteral("delete from paper where parentpaperid not in (select id from paper)"
                                                "         " "and parentpaperid <> '0'"));
    }

    void subitemOntoLeafMarksItsRow()
    {
        Window w({{"a", "A", "0", 0}, {"b", "B", "0", 1}});
        QCOMPARE(w.sql(QStringLiteral("select HasSubFolders from paper where id = 'b';")), QStringLiteral("0"));
        moveNode(w.form->state(), w.node("A"), w.node("B"), kLastChild);
        QCOMPARE(w.sql(QStringLiteral("select HasSubFolders from paper where id = 'b';")), QStringLiteral("1"));
        QCOMPARE(w.reloaded(), QStringLiteral("B:1{A:0}"));
        QVERIFY(w.node("B")->isExpanded());
    }

    void dropBelowLastRowOpensNoMenu()
    {
        Window w({{"a", "A", "0", 0}});
        w.select(w.node("A"));
        emit w.tree->endDrag(QPoint(5, w.tree->viewport()->height() - 3));
        QVERIFY(!w.find<QMenu>("PopupMenu_Drag")->isVisible());
        QCOMPARE(w.tree->moveTarget(), nullptr);
    }

    // A failed read of the largest position leaves tree and archive as they were.
    void unreadableMaximumMovesNothing()
    {
        Window w({{"a", "A", "0", 0}, {"a1", "A1", "a", 0}, {"b", "B", "0", 1}});
        const QString before = w.now();
        MainState& st = w.form->state();
        Dataset* real = st.pQ;
        Dataset closed;   // no connection: every query fails
        st.pQ = &closed;
        QVERIFY_THROWS_EXCEPTION(EngineError, moveNode(st, w.node("B"), w.node("A"), kLastChild));
        st.pQ = real;
        QCOMPARE(w.now(), before);
        QCOMPARE(w.reloaded(), before);
    }
};

QTEST_MAIN(TestTreeEdit)
#include "test_tree_edit.moc"
