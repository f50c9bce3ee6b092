// Searching from the main window: the menu entries open the dialog, OK fills
// the result list under the content area, a double click selects the item
// and shows it.

#include "SearchRows.h"
#include "app/MainForm.h"
#include "catalog/NodeData.h"
#include "search/ResultList.h"
#include "search/SearchForm.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/FakeWebView.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/WindowFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest>

#include <functional>

using namespace tallowmere;

namespace {

struct Window {
    QTemporaryDir dir;
    test::ScriptedPrompter prompter;
    std::unique_ptr<TForm_Main> form;

    Window()
    {
        const QString folder = dir.path() + QLatin1Char('/');
        createArchive(folder + QLatin1String(kArchiveFileName));
        Connection::open(folder + QLatin1String(kArchiveFileName))->exec(test::kSearchRows);
        form = test::makeWindow(folder, &prompter);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    QAction* action(const char* name) { return form->findChild<QAction*>(QLatin1String(name)); }
    int bottomHeight() { return form->Splitter_Bottom->sizes().value(1); }
    QString panel0() { return form->state().statusPanels[0]->text(); }
    QStringList ids()
    {
        QStringList out;
        for (int i = 0; i < form->ListView->topLevelItemCount(); ++i)
            out << form->ListView->topLevelItem(i)->text(ColId);
        out.sort();
        return out;
    }
    // Triggers a menu entry; while its dialog is open, answer() fills it in
    // and presses one of its buttons.
    void search(const char* entry, std::function<void(TForm_Search&)> answer)
    {
        bool answered = false;
        QTimer::singleShot(0, form.get(), [&] {
            auto* dialog = qobject_cast<TForm_Search*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            answered = true;
            answer(*dialog);
        });
        action(entry)->trigger();
        QVERIFY(answered);
    }
    void select(const QString& id)
    {
        for (QTreeWidgetItemIterator it(form->TreeView_Main); *it; ++it)
            if (nodeData(*it)->ID == id)
                form->TreeView_Main->setCurrentItem(*it);
    }
};

void titleAndSearch(TForm_Search& d, const QString& title)
{
    d.ComboBox_Title->setEditText(title);
    QTest::mouseClick(d.Button1, Qt::LeftButton);
}

} // namespace

class TestSearchWindow : public QObject {
    Q_OBJECT
private slots:
    void dialogBelongsToTheWindow()
    {
        Window w;
        QVERIFY(w.form->Form_Search);
        QCOMPARE(w.form->Form_Search->parent(), w.form.get());
        QCOMPARE(w.form->ListView->columnCount(), int(kResultColumns));
        QCOMPARE(w.bottomHeight(), 0);
        QCOMPARE(w.action("MenuItem_FindAll")->text(), QStringLiteral("Find in the tree"));
        QCOMPARE(w.action("MenuItem_FindThis")->text(), QStringLiteral("Find in this branch"));
        QCOMPARE(w.action("MenuItem_FindBranch")->text(), QStringLiteral("Find in this branch"));
    }

    void findInTheTreeFillsTheList()
    {
        Window w;
        w.search("MenuItem_FindAll", [](TForm_Search& d) { titleAndSearch(d, QStringLiteral("Beta")); });
        QCOMPARE(w.ids(), QStringList({"b", "b1"}));
        QCOMPARE(w.panel0(), QStringLiteral("Found 2 results"));
        QCOMPARE(w.form->state().statusPanels[1]->text(), QString());
        QCOMPARE(w.bottomHeight(), kBottomPanelHeight);

        // Cancel changes nothing, not even a closed panel's height.
        QTest::mouseClick(w.form->SpeedButton1, Qt::LeftButton);
        QCOMPARE(w.bottomHeight(), 0);
        w.search("MenuItem_FindAll", [](TForm_Search& d) {
            d.ComboBox_Title->setEditText(QStringLiteral("Alpha"));
            QTest::mouseClick(d.Button2, Qt::LeftButton);
        });
        QCOMPARE(w.ids(), QStringList({"b", "b1"}));
        QCOMPARE(w.panel0(), QStringLiteral("Found 2 results"));
        QCOMPARE(w.bottomHeight(), 0);
    }

    void findInThisBranch_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("tool bar, last child") << "MenuItem_FindThis" << "a2" << QStringList{"a2", "a2x"};
        QTest::newRow("tree menu, top level") << "MenuItem_FindBranch" << "b" << QStringList{"b", "b1"};
        QTest::newRow("no selection") << "MenuItem_FindThis" << "" << QStringList{};
    }
    void findInThisBranch()
    {
        QFETCH(QString, entry);
        QFETCH(QString, selected);
        QFETCH(QStringList, found);
        Window w;
        if (!selected.isEmpty())
            w.select(selected);
        w.search(entry.toLatin1().constData(), [](TForm_Search& d) {
            d.CheckBox_Title->click();   // title off: everything in scope
            QTest::mouseClick(d.Button1, Qt::LeftButton);
        });
        QCOMPARE(w.ids(), found);
        QCOMPARE(w.panel0(), QStringLiteral("Found %1 results").arg(found.size()));
    }

    void headerClicksSortAndDoubleClickSelects()
    {
        Window w;
        w.search("MenuItem_FindAll", [](TForm_Search& d) {
            d.CheckBox_Title->click();
            QTest::mouseClick(d.Button1, Qt::LeftButton);
        });
        QTreeWidget* list = w.form->ListView;
        QCOMPARE(list->topLevelItemCount(), 7);
        QHeaderView* header = list->header();
        const QPoint sizeHeader(header->sectionViewportPosition(ColSize) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeHeader);
        QCOMPARE(list->topLevelItem(0)->text(ColId), QStringLiteral("b1"));   // largest first
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeHeader);
        QCOMPARE(list->topLevelItem(0)->text(ColSize), QStringLiteral("0"));  // the null size became "0"
        QCOMPARE(list->topLevelItem(6)->text(ColId), QStringLiteral("b1"));

        // A double click on a line selects its item in the tree.
        QTreeWidgetItem* line = list->topLevelItem(5);   // a2x, 1048576 bytes
        QCOMPARE(line->text(ColId), QStringLiteral("a2x"));
        list->scrollToItem(line);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(line).center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(line).center());
        QVERIFY(w.form->TreeView_Main->currentItem());
        QCOMPARE(nodeData(w.form->TreeView_Main->currentItem())->ID, QStringLiteral("a2x"));
        QCOMPARE(w.form->state().currentItemId, QStringLiteral("a2x"));   // and it is shown
    }
};

QTEST_MAIN(TestSearchWindow)
#include "test_search_window.moc"
