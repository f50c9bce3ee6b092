// The main window on the offscreen platform, with a scripted web view and prompter.

#include "app/MainForm.h"
#include "catalog/NodeData.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/FakeWebView.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/WindowFixture.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <sys/stat.h>

using namespace tallowmere;

namespace {

// A window over a program folder; the folder holds an archive unless told otherwise.
struct Window {
    QTemporaryDir dir;
    test::ScriptedPrompter prompter;
    FakeWebView* web = nullptr;
    std::unique_ptr<TForm_Main> form;

    explicit Window(bool withArchive = true, const QString& rows = QString(), const QString& capture = QString())
    {
        const QString folder = dir.path() + QLatin1Char('/');
        if (withArchive) {
            createArchive(folder + QLatin1String(kArchiveFileName));
            if (!rows.isEmpty())
                Connection::open(folder + QLatin1String(kArchiveFileName))->exec(rows);
        }
        form = test::makeWindow(folder, &prompter, &web, capture);
    }
    template <class T> T* find(const char* name) { return form->findChild<T*>(QLatin1String(name)); }
    QStringList captions(const char* menu)
    {
        QStringList out;
        for (QAction* a : find<QMenu>(menu)->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    }
};

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT
private slots:
    void windowAndToolBar()
    {
        Window w;
        QCOMPARE(w.form->windowTitle(), QStringLiteral("Marmalon"));
        QCOMPARE(w.form->objectName(), QStringLiteral("TForm_Main"));
        QCOMPARE(w.form->geometry().size(), QSize(605, 403));
        const QList<QPair<const char*, const char*>> buttons{
            {"ToolButton_Add", "Add a new item"},   {"ToolButton_Export", "Export to disk"},
            {"ToolButton_Delete", "Delete the branch"}, {"ToolButton_Search", "Search"},
            {"ToolButton_Font", "Set the font style"},  {"ToolButton_Print", "Print..."},
            {"ToolButton3", "Exit..."},             {"ToolButton_Set", "About..."}};
        int lastX = -1;
        w.form->show();
        for (const auto& [name, hint] : buttons) {
            auto* b = w.find<QToolButton>(name);
            QVERIFY2(b, name);
            QCOMPARE(b->toolTip(), QString::fromLatin1(hint));
            QVERIFY2(b->x() > lastX, name);  // in this order
            lastX = b->x();
        }
        // Drop-down buttons open their menu on a click of the face.
        for (auto [name, menu] : {std::pair{"ToolButton_Add", "PopupMenu_Add"}, {"ToolButton_Export", "PopupMenu_Export"},
                                  {"ToolButton_Search", "PopupMenu_Search"}, {"ToolButton_Font", "PopupMenu_FontTxt"}}) {
            auto* b = w.find<QToolButton>(name);
            QCOMPARE(b->popupMode(), QToolButton::InstantPopup);
            QCOMPARE(b->menu(), w.find<QMenu>(menu));
        }
    }

    void menus()
    {
        Window w;
        QCOMPARE(w.captions("PopupMenu_Add"), (QStringList{"Add subitem", "Add sibling above", "Add sibling below"}));
        QCOMPARE(w.captions("PopupMenu_Export"), (QStringList{"Export this item", "Export this branch"}));
        QCOMPARE(w.captions("PopupMenu_Search"),
                 (QStringList{"Find in the tree", "Find in this branch", "Find in this document"}));
        QCOMPARE(w.captions("PopupMenu_FontTxt"), (QStringList{"Font...", "Word Wrap", "Autosave Text"}));
        QVERIFY(w.find<QAction>("MenuItem_Wrap")->isChecked());
        QVERIFY(w.find<QAction>("MenuItem_AutoSave")->isChecked());
        QCOMPARE(w.captions("PopupMenu_Font"), (QStringList{"Font zoom out", "Font zoom in"}));
        QCOMPARE(w.find<QAction>("MenuItem_ZoomIn")->text(), QStringLiteral("Font zoom out"));
        QCOMPARE(w.captions("PopupMenu_TreeView"),
                 (QStringList{"Add subitem", "Add sibling below", "Add sibling above", "-", "Export this item",
                              "Export this branch", "-", "Find in this branch", "-", "Delete branch ..."}));
        QCOMPARE(w.captions("PopupMenu_AddItem"), QStringList{"Add an item"});
        QCOMPARE(w.captions("PopupMenu_Drag"), (QStringList{"Subitem", "Above", "Below"}));
        for (const char* name : {"MenuItem2", "MenuItem3", "MenuItem4", "MenuItem_AddSub", "MenuItem_AddSibAbv",
                                 "MenuItem_AddSibBlw", "MenuItem_Expthis", "MenuItem_ExpSub", "MenuItem_ExpItem",
                                 "MenuItem_ExpBranch", "MenuItem_FindAll", "MenuItem_FindThis", "MenuItem_FindBranch",
                                 "MenuItem_FindDoc", "MenuItem_Del", "MenuItem_AddItem", "MenuItem_MoveSub",
                                 "MenuItem_MoveAbv", "MenuItem_MoveBlw", "MenuItem_Style", "MenuItem_ZoomOut"})
            QVERIFY2(w.find<QAction>(name), name);
    }

    void exportMenuFollowsSelection()
    {
        Window w(true, QStringLiteral("insert into paper(id,title,ParentPaperID,indexid,typeid) "
                                      "values('2024-01-01 00:00:00','a','0',0,4)"));
        auto* menu = w.find<QMenu>("PopupMenu_Export");
        emit menu->aboutToShow();
        QVERIFY(!w.find<QAction>("MenuItem_Expthis")->isEnabled());
        w.form->TreeView_Main->setCurrentItem(w.form->TreeView_Main->topLevelItem(0));
        emit menu->aboutToShow();
        QVERIFY(w.find<QAction>("MenuItem_Expthis")->isEnabled());
        QVERIFY(w.find<QAction>("MenuItem_ExpSub")->isEnabled());
    }

    void startState()
    {
        Window w;
        w.form->show();
        const QStringList texts{"Created time : ", "Last modified time : ", "Size :", "Type:"};
        const int widths[3] = {185, 210, 100};
        for (int i = 0; i < 4; ++i) {
            auto* panel = w.form->state().statusPanels[i];
            QCOMPARE(panel->text(), texts[i]);
            if (i < 3)
                QVERIFY(panel->width() >= widths[i]);
        }
        auto* gauge = w.find<QProgressBar>("CGauge1");
        QVERIFY(!gauge->isVisible());
        QCOMPARE(gauge->parentWidget(), w.form->StatusBar_Main);
        QCOMPARE(gauge->geometry().left(), w.form->state().statusPanels[0]->width() + 1);
        QCOMPARE(gauge->width(), w.form->state().statusPanels[1]->width() - 2);
        // A whole timestamp fits the first panel.
        const QString created = QStringLiteral("Created time : 2024-05-17 21:04:09");
        QVERIFY(w.form->state().statusPanels[0]->fontMetrics().horizontalAdvance(created)
                < w.form->state().statusPanels[0]->contentsRect().width());
        QCOMPARE(w.form->Panel2->currentWidget(), w.form->Memo);
        QCOMPARE(w.form->state().webFlag, false);
        QCOMPARE(w.web->navigations, QStringList{"about:blank"});
        QCOMPARE(w.form->Panel_Bottom->height(), 0);
        QCOMPARE(w.form->ListView->headerItem()->text(3), QStringLiteral("Size (Byte)"));
        QCOMPARE(w.form->ListView->toolTip(), QStringLiteral("Double click to show content"));
        QVERIFY(w.form->state().archiveOpen);
        QVERIFY(w.form->state().programFolder.endsWith(QLatin1Char('/')));
    }

    void viewSwitch()
    {
        Window w;
        w.form->show();
        w.form->viewSwitch(true);
        QVERIFY(w.form->state().webFlag);
        QVERIFY(w.find<QProgressBar>("CGauge1")->isVisible());
        QVERIFY(!w.find<QAction>("MenuItem_FindDoc")->isVisible());
        QCOMPARE(w.form->ToolButton_Font->menu(), w.form->PopupMenu_Font);
        QCOMPARE(w.form->Panel2->currentWidget(), w.form->CppWebBrowser);
        w.form->viewSwitch(false);
        QVERIFY(!w.find<QProgressBar>("CGauge1")->isVisible());
        QVERIFY(w.find<QAction>("MenuItem_FindDoc")->isVisible());
        QCOMPARE(w.form->ToolButton_Font->menu(), w.form->PopupMenu_FontTxt);
        QCOMPARE(w.form->Panel2->currentWidget(), w.form->Memo);
    }

    void exitAsksCloseBoxDoesNot()
    {
        Window w;
        w.form->show();
        w.prompter.answers = {false};
        w.form->ToolButton3->click();
        QCOMPARE(w.prompter.asked, QStringList{"Sure to quit?"});
        QVERIFY(w.form->isVisible());
        w.prompter.answers = {true};
        w.form->ToolButton3->click();
        QVERIFY(!w.form->isVisible());

        Window other;
        other.form->show();
        QVERIFY(other.form->close());
        QVERIFY(other.prompter.asked.isEmpty());
    }

    void treeLoadedAtStart()
    {
        Window w(true, QStringLiteral(
            "insert into paper(id,title,ParentPaperID,indexid,typeid) values"
            "('2024-01-01 00:00:00','Top','0',0,4),('2024-01-01 00:00:01','Page','2024-01-01 00:00:00',0,5)"));
        QCOMPARE(w.form->TreeView_Main->topLevelItemCount(), 1);
        QCOMPARE(w.form->TreeView_Main->topLevelItem(0)->child(0)->text(0), QStringLiteral("Page"));
    }

    void missingArchiveRunsOnEmptyAndSaysSo()
    {
        Window w(false, QString(), QStringLiteral("8http://example.invalid/()Title"));
        QVERIFY(!w.form->state().archiveOpen);
        QCOMPARE(w.form->TreeView_Main->topLevelItemCount(), 0);
        QVERIFY(w.prompter.asked.isEmpty() && w.prompter.errors.isEmpty() && w.prompter.messages.isEmpty());
        QVERIFY(w.form->state().statusPanels[0]->text().contains(QLatin1String("bbk.dat")));
        // The capture string is ignored: nothing navigates beyond the blank page.
        QCOMPARE(w.web->navigations, QStringList{"about:blank"});
        QVERIFY(!w.form->state().webFlag);
        QVERIFY(!QFile::exists(w.dir.filePath(QStringLiteral("bbk.dat"))));
    }

    void closingCompactsOnlyAfterADeletion()
    {
        const QString rows = QStringLiteral(
            "insert into paper(id,title,ParentPaperID,indexid,typeid,content) values"
            "('2024-01-01 00:00:00','Top','0',0,4,NULL),('gone-child','x','gone',0,0,randomblob(3000000))");
        auto inode = [](const QString& path) {
            struct stat st {};
            return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? qint64(st.st_ino) : -1;
        };
        {
            Window w(true, rows);
            const QString archive = w.dir.filePath(QStringLiteral("bbk.dat"));
            const qint64 before = inode(archive);
            w.form->show();
            QVERIFY(w.form->close());
            QCOMPARE(inode(archive), before);  // not compacted, not renamed
            Dataset check;
            QVERIFY(openArchiveDatabase(check, archive));
            QVERIFY(runQuery(check, QStringLiteral("select id from paper")));
            QCOMPARE(check.rowCount(), 1);  // the orphan went at exit
        }
        {
            Window w(true, rows);
            const QString archive = w.dir.filePath(QStringLiteral("bbk.dat"));
            const qint64 size = QFileInfo(archive).size();
            w.form->show();
            w.form->state().branchDeleted = true;
            QVERIFY(w.form->close());
            QVERIFY(QFileInfo(archive).size() < size / 2);
            QVERIFY(!QFile::exists(w.dir.filePath(QStringLiteral("Demo.mdb"))));
            QVERIFY(!QFile::exists(w.dir.filePath(QStringLiteral("temp.mdb"))));
            Dataset check;
            QVERIFY(openArchiveDatabase(check, archive));
            QVERIFY(runQuery(check, QStringLiteral("select title from paper")));
            QCOMPARE(check.fieldByName(QStringLiteral("title")).asString(), QStringLiteral("Top"));
        }
    }

    void interruptedCompactionIsRecoveredAtStart()
    {
        QTemporaryDir dir;
        createArchive(dir.filePath(QStringLiteral("Demo.mdb")));
        Connection::open(dir.filePath(QStringLiteral("Demo.mdb")))
            ->exec(QStringLiteral("insert into paper(id,title,ParentPaperID,indexid,typeid) values('a','Saved','0',0,4)"));
        test::ScriptedPrompter prompter;
        auto form = test::makeWindow(dir.path() + QLatin1Char('/'), &prompter);
        QVERIFY(form->state().archiveOpen);
        QCOMPARE(form->TreeView_Main->topLevelItem(0)->text(0), QStringLiteral("Saved"));
    }

    void automationSwitchIsNoCapture()
    {
        Window w(true, QString(), QStringLiteral("/Automation"));
        QVERIFY(!w.form->state().webFlag);
    }
};

QTEST_MAIN(TestMainForm)
#include "test_main_form.moc"
