// Loading the catalog tree from a real archive file.

#include "catalog/NodeData.h"
#include "catalog/TreeImages.h"
#include "catalog/TreeLoader.h"
#include "tests/support/ArchiveFixture.h"

#include <QTreeWidget>
#include <QtTest>

using namespace tallowmere;

class TestTreeLoader : public QObject {
    Q_OBJECT

    // Inserts an item row; type code and size as given.
    static void insert(Connection& c, const QString& id, const QString& title, const QString& parent, int index,
                       int type = 4, const QString& size = QStringLiteral("0"))
    {
        c.exec(QStringLiteral("insert into paper(id,title,ParentPaperID,indexid,typeid,createtime,ModifyTime,"
                              "ExtName,SizeByte,HasSubFolders) values(%1,%2,%3,%4,%5,%6,%7,'.txt',%8,%9)")
                   .arg(quoted(id), quoted(title), quoted(parent))
                   .arg(index)
                   .arg(type)
                   .arg(quoted(id.left(19)), quoted(QStringLiteral("2024-01-02 03:04:05")), size,
                        type == 4 ? QStringLiteral("1") : QStringLiteral("0")));
    }

    struct Loaded {
        test::ArchiveFolder folder;
        Dataset pQ;
        QTreeWidget tree;
        int deepest = 0;
        void load()
        {
            QVERIFY(openArchiveDatabase(pQ, folder.path));
            deepest = loadTree(&tree, pQ);
        }
    };

    static QStringList titles(QTreeWidgetItem* parent)
    {
        QStringList out;
        for (int i = 0; i < parent->childCount(); ++i)
            out << parent->child(i)->text(0);
        return out;
    }

private slots:
    void emptyTableGivesEmptyTree()
    {
        Loaded l;
        l.load();
        QCOMPARE(l.tree.topLevelItemCount(), 0);
    }

    void siblingsInPositionOrderOrphansHidden()
    {
        Loaded l;
        {
            auto c = l.folder.connect();
            insert(*c, QStringLiteral("2024-01-01 00:00:01"), QStringLiteral("Top"), QStringLiteral("0"), 0);
            insert(*c, QStringLiteral("2024-01-01 00:00:02"), QStringLiteral("five"), QStringLiteral("2024-01-01 00:00:01"), 5);
            insert(*c, QStringLiteral("2024-01-01 00:00:03"), QStringLiteral("zero"), QStringLiteral("2024-01-01 00:00:01"), 0);
            insert(*c, QStringLiteral("2024-01-01 00:00:04"), QStringLiteral("two"), QStringLiteral("2024-01-01 00:00:01"), 2);
            insert(*c, QStringLiteral("2024-01-01 00:00:05"), QStringLiteral("orphan"), QStringLiteral("gone"), 0);
            insert(*c, QStringLiteral("2024-01-01 00:00:06"), QStringLiteral("orphan's child"), QStringLiteral("2024-01-01 00:00:05"), 0);
            insert(*c, QStringLiteral("2024-01-01 00:00:07"), QStringLiteral("It's second"), QStringLiteral("0"), 1, 5,
                   QStringLiteral("NULL"));
        }
        l.load();
        QCOMPARE(l.tree.topLevelItemCount(), 2);
        QTreeWidgetItem* top = l.tree.topLevelItem(0);
        QCOMPARE(titles(top), (QStringList{"zero", "two", "five"}));
        QVERIFY(!top->isExpanded());
        QCOMPARE(l.tree.topLevelItem(1)->text(0), QStringLiteral("It's second"));

        const TNodeData* d = nodeData(top->child(2));
        QVERIFY(d);
        QCOMPARE(d->ID, QStringLiteral("2024-01-01 00:00:02"));
        QCOMPARE(d->Title, QStringLiteral("five"));
        QCOMPARE(d->ParentPaperID, QStringLiteral("2024-01-01 00:00:01"));
        QCOMPARE(d->indexid, QStringLiteral("5"));
        QCOMPARE(d->typeid_, QStringLiteral("4"));
        QCOMPARE(d->HasSubFolders, true);
        QCOMPARE(d->createtime, QStringLiteral("2024-01-01 00:00:02"));
        QCOMPARE(d->ModifyTime, QStringLiteral("2024-01-02 03:04:05"));
        QCOMPARE(d->ExtName, QStringLiteral(".txt"));
        QCOMPARE(nodeData(l.tree.topLevelItem(1))->SizeByte, 0);  // null size reads as 0
        QCOMPARE(nodeData(l.tree.topLevelItem(1))->HasSubFolders, false);
    }

    void itemWithIdZeroHasNoChildren()
    {
        Loaded l;
        {
            auto c = l.folder.connect();
            insert(*c, QStringLiteral("0"), QStringLiteral("zero id"), QStringLiteral("0"), 0);
            insert(*c, QStringLiteral("2024-01-01 00:00:01"), QStringLiteral("other"), QStringLiteral("0"), 1);
        }
        l.load();
        QCOMPARE(l.tree.topLevelItemCount(), 2);
        QCOMPARE(l.tree.topLevelItem(0)->text(0), QStringLiteral("zero id"));
        QCOMPARE(l.tree.topLevelItem(0)->childCount(), 0);
    }

    void deepTreeLoadsWhole()
    {
        Loaded l;
        const int depth = 300;
        {
            auto c = l.folder.connect();
            c->begin();
            QString parent = QStringLiteral("0");
            for (int i = 0; i < depth; ++i) {
                const QString id = QStringLiteral("2024-01-01 00:00:00#%1").arg(i);
                insert(*c, id, QStringLiteral("level %1").arg(i), parent, 0);
                parent = id;
            }
            c->commit();
        }
        l.load();
        QTreeWidgetItem* node = l.tree.topLevelItem(0);
        int levels = 0;
        while (node) {
            QCOMPARE(node->text(0), QStringLiteral("level %1").arg(levels));
            ++levels;
            node = node->childCount() ? node->child(0) : nullptr;
        }
        QCOMPARE(levels, depth);
        QCOMPARE(l.deepest, depth);
    }

    void imagesByTypeCode_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("image");
        const QList<QPair<const char*, int>> cases{
            {"0", 0}, {"4", 1}, {"5", 2}, {"7", 2}, {"10", 2}, {"11", 2}, {"12", 2}, {"13", 2}, {"14", 2},
            {"15", 2}, {"6", 3}, {"8", 3}, {"9", 3}, {"2", 2}, {"3", 3}, {"16", 16}, {"-1", -1}, {"x", 0}};
        for (const auto& [code, image] : cases)
            QTest::newRow(code) << QString::fromLatin1(code) << image;
    }
    void imagesByTypeCode()
    {
        QFETCH(QString, code);
        QFETCH(int, image);
        QCOMPARE(imageIndexForType(code), image);

        TNodeData d;
        d.typeid_ = code;
        TNode node(d);
        applyTreeImage(&node);
        QCOMPARE(node.icon(0).isNull(), image < 0 || image > 3);
        if (image >= 0 && image <= 3)
            QCOMPARE(node.icon(0).cacheKey(), treeImages()[image].cacheKey());
    }

    void failingQueryLeavesTreeEmpty()
    {
        // A file that is not an archive never opens; a dataset without a
        // connection makes the load fail quietly.
        QTreeWidget tree;
        tree.addTopLevelItem(new QTreeWidgetItem(QStringList{"stale"}));
        Dataset none;
        QCOMPARE(loadTree(&tree, none), 0);
        QCOMPARE(tree.topLevelItemCount(), 0);
    }
};

QTEST_MAIN(TestTreeLoader)
#include "test_tree_loader.moc"
