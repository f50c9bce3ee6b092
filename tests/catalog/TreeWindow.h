#pragma once
// The main window over an archive made from a few rows, for the tree tests:
// real mouse events on the tree, and the tree as a restart would load it.

#include "catalog/CatalogTree.h"
#include "catalog/NodeData.h"
#include "catalog/RenameDelete.h"
#include "catalog/TreeLoader.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/WindowFixture.h"

#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

namespace tallowmere::test {

// One row: id, title, parent id, position, type code.
struct Row {
    const char* id;
    const char* title;
    const char* parent;
    int index;
    int type = 4;
};

inline QString insertRows(const QList<Row>& rows)
{
    QString sql;
    for (const Row& r : rows)
        sql += QStringLiteral("insert into paper(id,title,ParentPaperID,indexid,typeid,createtime,ModifyTime,ExtName,"
                              "SizeByte,HasSubFolders,content) values(%1,%2,%3,%4,%5,'2024-01-02 03:04:05',"
                              "'2024-01-02 03:04:05','.txt',2,0,'hi');\n")
                   .arg(quoted(QString::fromUtf8(r.id)), quoted(QString::fromUtf8(r.title)),
                        quoted(QString::fromUtf8(r.parent)))
                   .arg(r.index)
                   .arg(r.type);
    return sql;
}

// Titles with recorded positions, children in braces: "A:0{A1:0} B:1".
inline QString shape(QTreeWidgetItem* parent, QTreeWidget* tree)
{
    QStringList out;
    const int n = parent ? parent->childCount() : tree->topLevelItemCount();
    for (int i = 0; i < n; ++i) {
        QTreeWidgetItem* node = parent ? parent->child(i) : tree->topLevelItem(i);
        const TNodeData* rec = nodeData(node);
        QString s = node->text(0) + u':' + (rec ? rec->indexid : QStringLiteral("?"));
        if (rec && rec->Title != node->text(0))
            s += QStringLiteral("!title");
        if (node->childCount())
            s += u'{' + shape(node, tree) + u'}';
        out << s;
    }
    return out.join(u' ');
}

struct Window {
    QTemporaryDir dir;
    QString file;
    test::ScriptedPrompter prompter;
    std::unique_ptr<TForm_Main> form;
    CatalogTree* tree = nullptr;
    FakeWebView* web = nullptr;

    explicit Window(const QList<Row>& rows, const QString& extraSql = QString())
    {
        const QString folder = dir.path() + u'/';
        file = folder + QLatin1String(kArchiveFileName);
        createArchive(file);
        if (!rows.isEmpty() || !extraSql.isEmpty())
            Connection::open(file)->exec(insertRows(rows) + extraSql);
        start();
    }
    // Closes the window (with its exit tasks) and starts a new one on the same folder.
    void restart()
    {
        form->close();
        form.reset();
        start();
    }
    void start()
    {
        form = test::makeWindow(dir.path() + u'/', &prompter, &web);
        tree = form->findChild<CatalogTree*>(QStringLiteral("TreeView_Main"));
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        tree->expandAll();
    }
    template <class T> T* find(const char* name) { return form->findChild<T*>(QLatin1String(name)); }

    QTreeWidgetItem* node(const char* title)
    {
        const auto hits = tree->findItems(QString::fromUtf8(title), Qt::MatchExactly | Qt::MatchRecursive);
        return hits.isEmpty() ? nullptr : hits.first();
    }
    QPoint at(QTreeWidgetItem* n)
    {
        tree->scrollToItem(n);
        return tree->visualItemRect(n).center();
    }
    void click(QTreeWidgetItem* n, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mouseClick(tree->viewport(), b, {}, at(n));
    }
    // Selects n the way a user does; a press with nothing selected also offers "Add an item".
    void select(QTreeWidgetItem* n)
    {
        click(n);
        find<QMenu>("PopupMenu_AddItem")->hide();
        QCOMPARE(selectedNode(tree), n);
    }
    // The tree as the archive holds it now, loaded as at start.
    QString reloaded()
    {
        Dataset ds(Connection::open(file));
        QTreeWidget fresh;
        loadTree(&fresh, ds);
        return shape(nullptr, &fresh);
    }
    QString now() { return shape(nullptr, tree); }
    QString sql(const QString& query) { return test::runShell(file, query).out; }
};

} // namespace tallowmere::test
