// Exporting items and branches from a real archive into real folders, with the
// scripted web view and prompter; the menu entries through the main window.

#include "ExportFixture.h"
#include "app/MainForm.h"
#include "catalog/RenameDelete.h"
#include "common/Prompter.h"
#include "tests/support/FakeWebView.h"
#include "tests/support/WindowFixture.h"
#include "transfer/Export.h"

#include <QApplication>
#include <QMenu>
#include <QtTest>

using namespace tallowmere;
using tallowmere::test::ExportFixture;
using Files = QMap<QString, QByteArray>;

namespace {

struct Fixture {
    FakeWebView web;
    ExportFixture f{web};
};

} // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void filter_data();
    void filter();
    void dialogFilter_data();
    void dialogFilter();
    void branchFolderName_data();
    void branchFolderName();

    void textItemKeepsStoredBytes();
    void fileItemWithStoredExtension_data();
    void fileItemWithStoredExtension();
    void cancelledDialogsWriteNothing();
    void textItemFallsBackToNameWithOne();
    void unwritableFileIsNamed();
    void pageItemsLeaveThroughWebView_data();
    void pageItemsLeaveThroughWebView();
    void pageNotSavedIsReported();

    void branchExample();
    void branchNames_data();
    void branchNames();
    void sameTitledSiblings();
    void branchStopsAtUnwritableFile();

    void windowMenus();
};

void TestExport::filter_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("ext");
    QTest::addColumn<QString>("filter");
    QTest::newRow("text") << 4 << ".txt" << "Text files|*.txt|All files|*.*";
    QTest::newRow("pdf") << 0 << ".pdf" << "pdf files|*.pdf|All files|*.*";
    QTest::newRow("no extension") << 0 << "" << " files|*|All files|*.*";
    QTest::newRow("long extension") << 0 << ".abcdefghijklm" << "abcdefghij files|*.abcdefghijklm|All files|*.*";
}

void TestExport::filter()
{
    QFETCH(int, code);
    QFETCH(QString, ext);
    QFETCH(QString, filter);
    QCOMPARE(exportFilter(code, ext), filter);
}

void TestExport::dialogFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("dialog");
    QTest::newRow("pdf") << "pdf files|*.pdf|All files|*.*" << "pdf files (*.pdf);;All files (*)";
    QTest::newRow("no extension") << " files|*|All files|*.*" << " files (*);;All files (*)";
    QTest::newRow("two patterns") << "Web page|*.htm;*.html" << "Web page (*.htm *.html)";
}

void TestExport::dialogFilter()
{
    QFETCH(QString, filter);
    QFETCH(QString, dialog);
    QCOMPARE(fileDialogFilter(filter), dialog);
}

void TestExport::branchFolderName_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("folder");
    QTest::newRow("page") << "page.htm" << "page";
    QTest::newRow("Node.js Guide") << "Node.js Guide" << "Node";
    QTest::newRow("Release 1.2 notes") << "Release 1.2 notes" << "Release 1";
    QTest::newRow("no dot") << "Old" << "Old";
    QTest::newRow("colon after dot") << "v1.0: notes" << "v1.0: notes";
    QTest::newRow("backslash after dot") << "a.b\\c" << "a.b\\c";
    QTest::newRow("climbing") << "../evil" << "_";
    QTest::newRow("slash") << "a/b.c" << "a_b";
    QTest::newRow("all extension") << ".config" << "_";
    QTest::newRow("three dots") << "..." << "_";
    QTest::newRow("empty") << "" << "_";
}

void TestExport::branchFolderName()
{
    QFETCH(QString, title);
    QFETCH(QString, folder);
    QCOMPARE(tallowmere::branchFolderName(title), folder);
}

void TestExport::textItemKeepsStoredBytes()
{
    Fixture x;
    auto& f = x.f;
    f.makeChosenFolder();
    const QString text = QStringLiteral("first line\r\nzweite Zeile 中文\r\n\r\nlast");
    QTreeWidgetItem* node = f.add(nullptr, "Ideas", 4, ".txt", {}, text);
    f.prompter.savePaths << f.chosen + "/Ideas.txt";
    exportItem(f.state, node);

    QCOMPARE(f.prompter.saveRequests.size(), 1);
    const auto& asked = f.prompter.saveRequests.first();
    QCOMPARE(asked.proposedName, QString("Ideas"));
    QCOMPARE(asked.filter, QString("Text files|*.txt|All files|*.*"));
    QCOMPARE(asked.defaultExt, QString(".txt"));
    QCOMPARE(f.written(), (Files{{"D/", {}}, {"D/Ideas.txt", text.toUtf8()}}));
    QVERIFY(f.prompter.errors.isEmpty());
    QVERIFY(!QApplication::overrideCursor());
}

void TestExport::fileItemWithStoredExtension_data()
{
    QTest::addColumn<QString>("ext");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("filter");
    QTest::newRow("pdf") << ".pdf" << "0" << "pdf files|*.pdf|All files|*.*";
    QTest::newRow("no extension") << "" << "0" << " files|*|All files|*.*";
    QTest::newRow("code not a number") << ".pdf" << "x" << "pdf files|*.pdf|All files|*.*";
    QTest::newRow("code 16") << ".bin" << "16" << "bin files|*.bin|All files|*.*";
}

void TestExport::fileItemWithStoredExtension()
{
    QFETCH(QString, ext);
    QFETCH(QString, code);
    QFETCH(QString, filter);
    Fixture x;
    auto& f = x.f;
    f.makeChosenFolder();
    QByteArray bytes("%PDF-1.4\n");
    for (int i = 0; i < 256; ++i)
        bytes += char(i);  // every byte value, NUL included
    QTreeWidgetItem* node = f.add(nullptr, "Report", 0, ext, bytes);
    nodeData(node)->typeid_ = code;
    f.prompter.savePaths << f.chosen + "/Report" + ext;
    exportItem(f.state, node);

    QCOMPARE(f.prompter.saveRequests.size(), 1);
    QCOMPARE(f.prompter.saveRequests.first().proposedName, QString("Report"));
    QCOMPARE(f.prompter.saveRequests.first().filter, filter);
    QCOMPARE(f.prompter.saveRequests.first().defaultExt, ext);
    QCOMPARE(f.written(), (Files{{"D/", {}}, {"D/Report" + ext, bytes}}));
}

void TestExport::cancelledDialogsWriteNothing()
{
    Fixture x;
    auto& f = x.f;
    QTreeWidgetItem* text = f.add(nullptr, "Ideas", 4, ".txt", {}, "words");
    QTreeWidgetItem* page = f.add(nullptr, "page.htm", 14, ".htm", "<p>page</p>");
    exportItem(f.state, text);
    exportItem(f.state, page);
    exportBranch(f.state, text);
    QCOMPARE(f.prompter.saveRequests.size(), 2);
    QCOMPARE(f.prompter.folderTitles, QStringList{"Select a directory"});
    QVERIFY(f.written().isEmpty());
    QVERIFY(x.web.savedPaths.isEmpty());
    QVERIFY(x.web.navigations.isEmpty());
    QVERIFY(f.prompter.errors.isEmpty());
}

void TestExport::textItemFallsBackToNameWithOne()
{
    Fixture x;
    auto& f = x.f;
    f.makeChosenFolder();
    QDir().mkpath(f.chosen + "/Ideas.txt");  // a folder where the file should go
    QTreeWidgetItem* node = f.add(nullptr, "Ideas", 4, ".txt", {}, "line\r\nline");
    f.prompter.savePaths << f.chosen + "/Ideas.txt";
    exportItem(f.state, node);
    QCOMPARE(f.written(), (Files{{"D/", {}}, {"D/Ideas.txt/", {}}, {"D/Ideas.txt1", "line\r\nline"}}));
    QVERIFY(f.prompter.errors.isEmpty());
}

void TestExport::unwritableFileIsNamed()
{
    Fixture x;
    auto& f = x.f;
    QTreeWidgetItem* text = f.add(nullptr, "Ideas", 4, ".txt", {}, "words");
    QTreeWidgetItem* file = f.add(nullptr, "Report", 0, ".pdf", "bytes");
    const QString missing = f.chosen + "/missing/";  // no such folder
    f.prompter.savePaths << missing + "Ideas.txt" << missing + "Report.pdf";
    exportItem(f.state, text);
    exportItem(f.state, file);
    QCOMPARE(f.prompter.errors.size(), 2);
    QVERIFY2(f.prompter.errors[0].contains(missing + "Ideas.txt\""), qPrintable(f.prompter.errors[0]));
    QVERIFY2(f.prompter.errors[1].contains(missing + "Report.pdf\""), qPrintable(f.prompter.errors[1]));
    QVERIFY(f.written().isEmpty());
    QVERIFY(!QApplication::overrideCursor());
}

void TestExport::pageItemsLeaveThroughWebView_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("defaultExt");
    QTest::addColumn<bool>("onDisplay");
    QTest::newRow("5 on display") << 5 << ".htm" << true;
    QTest::newRow("8 archive") << 8 << ".mht" << false;
    QTest::newRow("9") << 9 << ".htm" << false;
    QTest::newRow("12") << 12 << ".htm" << false;
    QTest::newRow("14 on display") << 14 << ".htm" << true;
    QTest::newRow("14 another on display") << 14 << ".htm" << false;
    QTest::newRow("15") << 15 << ".htm" << false;
}

// The view saves the item's own page: an item that is not on display is shown first.
void TestExport::pageItemsLeaveThroughWebView()
{
    QFETCH(int, code);
    QFETCH(QString, defaultExt);
    QFETCH(bool, onDisplay);
    Fixture x;
    auto& f = x.f;
    f.makeChosenFolder();
    QTreeWidgetItem* other = f.add(nullptr, "other.htm", 14, ".htm", "<p>other</p>");
    QTreeWidgetItem* node = f.add(nullptr, "My page", code, ".htm", "<p>mine</p>");
    const TNodeData& rec = *nodeData(onDisplay ? node : other);
    f.state.currentItemId = rec.ID;
    f.state.webFlag = true;
    x.web.documentPresent = true;
    const int navigationsBefore = x.web.navigations.size() + x.web.loadedDocuments.size();

    f.prompter.savePaths << f.chosen + "/My page" + defaultExt;
    exportItem(f.state, node);

    QCOMPARE(f.prompter.saveRequests.size(), 1);
    QCOMPARE(f.prompter.saveRequests.first().proposedName, QString("My page"));
    QCOMPARE(f.prompter.saveRequests.first().defaultExt, defaultExt);
    QCOMPARE(x.web.savedPaths, QStringList{f.chosen + "/My page" + defaultExt});
    QCOMPARE(f.state.currentItemId, nodeData(node)->ID);
    const int shows = x.web.navigations.size() + x.web.loadedDocuments.size() - navigationsBefore;
    QCOMPARE(shows, onDisplay ? 0 : 1);
    QVERIFY(f.prompter.errors.isEmpty());
    QVERIFY(!QApplication::overrideCursor());
}

void TestExport::pageNotSavedIsReported()
{
    Fixture x;
    auto& f = x.f;
    QTreeWidgetItem* node = f.add(nullptr, "My page", 5, ".htm", "<p>mine</p>");
    x.web.saveSucceeds = false;
    f.prompter.savePaths << f.chosen + "/My page.htm";
    exportItem(f.state, node);
    QCOMPARE(f.prompter.errors.size(), 1);
    QVERIFY(f.prompter.errors.first().contains(f.chosen + "/My page.htm"));
    QVERIFY(!QApplication::overrideCursor());
}

QByteArray pngBytes() { return QByteArray::fromHex("89504e470d0a1a0a0000000d49484452"); }

// The worked example: Notes holds a text, a page with its companion files and
// a folder with one file.
void TestExport::branchExample()
{
    Fixture x;
    auto& f = x.f;
    f.makeChosenFolder();
    QTreeWidgetItem* notes = f.add(nullptr, "Notes", 4, ".txt", {}, {}, 0);
    f.add(notes, "Ideas", 4, ".txt", {}, "idea one\r\nidea two");
    f.add(notes, "page.htm", 14, ".htm", "<img src=\"page.files/red.png\">", {}, -1,
           {{"red.png", pngBytes()}, {"style.css", "h1 {}"}});
    QTreeWidgetItem* old = f.add(notes, "Old", 0, "", {}, {}, 0);
    f.add(old, "readme.txt", 0, ".txt", "read me");

    f.prompter.folders << f.chosen;
    exportBranch(f.state, notes);

    QCOMPARE(f.prompter.folderTitles, QStringList{"Select a directory"});
    const Files expected{
        {"D/", {}},
        {"D/Notes/", {}},
        {"D/Notes/Ideas.txt", "idea one\r\nidea two"},
        {"D/Notes/page.htm", "<img src=\"page.files/red.png\">"},
        {"D/Notes/page.files/", {}},
        {"D/Notes/page.files/red.png", pngBytes()},
        {"D/Notes/page.files/style.css", "h1 {}"},
        {"D/Notes/Old/", {}},
        {"D/Notes/Old/readme.txt", "read me"},
    };
    const Files got = f.written();
    QCOMPARE(got.keys(), expected.keys());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QVERIFY2(got.value(it.key()) == it.value(), qPrintable(it.key()));
    QVERIFY(f.prompter.errors.isEmpty());
    QVERIFY(!QApplication::overrideCursor());
}

void TestExport::branchNames_data()
{
    // The branch's root, then its leaves as "title|ext|code"; the paths written below D.
    QTest::addColumn<QString>("root");
    QTest::addColumn<int>("rootSize");
    QTest::addColumn<QStringList>("leaves");
    QTest::addColumn<QStringList>("paths");
    QTest::newRow("single item with content") << "report.txt" << 120 << QStringList()
                                              << QStringList{"report/", "report/report.txt"};
    QTest::newRow("single item without content") << "report.txt" << 0 << QStringList() << QStringList{"report/"};
    QTest::newRow("own content named with its extension") << "Summary" << 5 << QStringList()
                                                          << QStringList{"Summary/", "Summary/Summary.htm"};
    QTest::newRow("leaf gets its extension") << "R" << 0 << QStringList{"Summary|.htm|0"}
                                             << QStringList{"R/", "R/Summary.htm"};
    QTest::newRow("leaf with a dot keeps its title") << "R" << 0 << QStringList{"Release 1.2 notes|.txt|4"}
                                                     << QStringList{"R/", "R/Release 1.2 notes"};
    QTest::newRow("Node.js Guide") << "Node.js Guide" << 0 << QStringList{"intro|.txt|4"}
                                   << QStringList{"Node/", "Node/intro.txt"};
    QTest::newRow("code 14 without rows") << "R" << 0 << QStringList{"page.htm|.htm|14", "other.htm|.htm|15"}
                                          << QStringList{"R/", "R/page.htm", "R/other.htm"};
    QTest::newRow("titles that climb") << "../up" << 3 << QStringList{"../../x|.txt|0", "..||0", "a/b|.txt|0", ".|.txt|0"}
                                       << QStringList{"_/", "_/.._up", "_/.._.._x.txt", "_/_", "_/a_b.txt"};
}

void TestExport::branchNames()
{
    QFETCH(QString, root);
    QFETCH(int, rootSize);
    QFETCH(QStringList, leaves);
    QFETCH(QStringList, paths);
    Fixture x;
    auto& f = x.f;
    f.makeChosenFolder();
    QTreeWidgetItem* top = f.add(nullptr, root, 0, ".htm", QByteArray(rootSize, 'r'), {}, rootSize);
    for (const QString& leaf : leaves) {
        const QStringList p = leaf.split(u'|');
        const int code = p[2].toInt();
        f.add(top, p[0], code, p[1], code == 4 ? QByteArray() : QByteArray("bytes"), code == 4 ? "text" : "");
    }
    f.prompter.folders << f.chosen;
    exportBranch(f.state, top);

    QStringList expected{"D/"};
    for (const QString& p : paths)
        expected << "D/" + p;
    QStringList got = f.written().keys();
    expected.sort();
    QCOMPARE(got, expected);
    QVERIFY(f.prompter.errors.isEmpty());
}

void TestExport::sameTitledSiblings()
{
    Fixture x;
    auto& f = x.f;
    f.makeChosenFolder();
    QTreeWidgetItem* top = f.add(nullptr, "R", 0, "", {}, {}, 0);
    f.add(top, "dup", 0, ".txt", "earlier sibling");
    f.add(top, "dup", 4, ".txt", {}, "later sibling");
    f.prompter.folders << f.chosen;
    exportBranch(f.state, top);
    QCOMPARE(f.written(), (Files{{"D/", {}}, {"D/R/", {}}, {"D/R/dup.txt", "later sibling"}}));
}

// The export stops at the file that cannot be written and says which; what
// was written before stays.
void TestExport::branchStopsAtUnwritableFile()
{
    Fixture x;
    auto& f = x.f;
    f.makeChosenFolder();
    QTreeWidgetItem* top = f.add(nullptr, "R", 0, "", {}, {}, 0);
    f.add(top, "a", 0, ".txt", "a");
    QTreeWidgetItem* b = f.add(top, "b", 0, "", {}, {}, 0);
    f.add(b, "c", 0, ".txt", "c");
    f.add(top, "b", 0, "", "clashes with the folder b");
    f.add(top, "d", 0, ".txt", "d");
    f.prompter.folders << f.chosen;
    exportBranch(f.state, top);

    QCOMPARE(f.prompter.errors.size(), 1);
    QVERIFY2(f.prompter.errors.first().contains("\"" + f.chosen + "/R/b\""), qPrintable(f.prompter.errors.first()));
    QCOMPARE(f.written(), (Files{{"D/", {}}, {"D/R/", {}}, {"D/R/a.txt", "a"}, {"D/R/b/", {}}, {"D/R/b/c.txt", "c"}}));
    QVERIFY(!QApplication::overrideCursor());
}

// Both menus reach the export; the toolbar menu follows the selection.
void TestExport::windowMenus()
{
    test::ArchiveFolder archive;
    const QString folder = archive.folder();
    archive.connect()->exec("insert into paper(id,title,ParentPaperID,indexid,typeid,ExtName,SizeByte,plaintext) "
                            "values('2024-01-01 00:00:00','Ideas','0',0,4,'.txt',5,'words')");
    test::ScriptedPrompter prompter;
    auto form = test::makeWindow(folder, &prompter);
    auto* tree = form->TreeView_Main;
    auto* menu = form->PopupMenu_Export;
    auto* expThis = form->findChild<QAction*>("MenuItem_Expthis");
    auto* expSub = form->findChild<QAction*>("MenuItem_ExpSub");

    emit menu->aboutToShow();
    QVERIFY(!expThis->isEnabled() && !expSub->isEnabled());
    tree->setCurrentItem(tree->topLevelItem(0));
    emit menu->aboutToShow();
    QVERIFY(expThis->isEnabled() && expSub->isEnabled());
    // A current node that is no longer selected is no selection.
    tree->clearSelection();
    emit menu->aboutToShow();
    QVERIFY(!expThis->isEnabled() && !expSub->isEnabled());

    tree->setCurrentItem(tree->topLevelItem(0));
    prompter.savePaths << folder + "out.txt";
    prompter.folders << folder;
    form->findChild<QAction*>("MenuItem_ExpItem")->trigger();
    form->findChild<QAction*>("MenuItem_ExpBranch")->trigger();
    QFile item(folder + "out.txt");
    QVERIFY(item.open(QIODevice::ReadOnly));
    QCOMPARE(item.readAll(), QByteArray("words"));
    QFile branch(folder + "Ideas/Ideas.txt");
    QVERIFY(branch.open(QIODevice::ReadOnly));
    QCOMPARE(branch.readAll(), QByteArray("words"));
    QVERIFY(prompter.errors.isEmpty());
}

QTEST_MAIN(TestExport)
#include "test_export.moc"
