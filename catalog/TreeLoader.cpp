#include "TreeLoader.h"

#include "NodeData.h"
#include "TreeImages.h"
#include "store/Archive.h"

#include <QHash>
#include <QTreeWidget>
#include <vector>

namespace tallowmere {

namespace {

struct Range {
    int first = 0;
    int end = 0;
};

} // namespace

const char* const kTreeSelect =
    "select Title,ID,HasSubFolders,ParentPaperID,indexid,typeid,createtime,modifytime,"
    "sizebyte,ExtName from Paper not indexed order by ParentPaperID, indexid, rowid";

int loadTree(QTreeWidget* tree, Dataset& source)
{
    tree->clear();

    // One scan of every row, grouped by parent; the walk from "0" below then
    // gives exactly the tree a per-parent query would, without a query per node.
    Dataset ds(source.connection());
    if (!runQuery(ds, QLatin1String(kTreeSelect)))
        return 0;

    Field fTitle = ds.fieldByName(QStringLiteral("Title"));
    Field fId = ds.fieldByName(QStringLiteral("ID"));
    Field fHasSub = ds.fieldByName(QStringLiteral("HasSubFolders"));
    Field fParent = ds.fieldByName(QStringLiteral("ParentPaperID"));
    Field fIndex = ds.fieldByName(QStringLiteral("indexid"));
    Field fType = ds.fieldByName(QStringLiteral("typeid"));
    Field fCreate = ds.fieldByName(QStringLiteral("createtime"));
    Field fModify = ds.fieldByName(QStringLiteral("modifytime"));
    Field fSize = ds.fieldByName(QStringLiteral("sizebyte"));
    Field fExt = ds.fieldByName(QStringLiteral("ExtName"));

    std::vector<TNodeData> rows;
    rows.reserve(ds.rowCount());
    QHash<QString, Range> children;
    for (; !ds.eof(); ds.next()) {
        TNodeData d;
        d.ID = fId.asString();
        d.Title = fTitle.asString();
        d.HasSubFolders = fHasSub.asBoolean();
        d.ParentPaperID = fParent.asString();
        d.indexid = fIndex.asString();
        d.typeid_ = fType.asString();
        d.createtime = fCreate.asString();
        d.ModifyTime = fModify.asString();
        d.SizeByte = fSize.asInteger();
        d.ExtName = fExt.asString();
        const int at = int(rows.size());
        Range& r = children[d.ParentPaperID];
        if (r.end == 0)
            r.first = at;
        r.end = at + 1;
        rows.push_back(std::move(d));
    }
    ds.close();

    // Depth-first with an explicit stack, so any depth loads without
    // exhausting the call stack. Each row is reached at most once, from the
    // one node whose id is its parent id.
    struct Pending {
        QTreeWidgetItem* node;  // null for the top level
        QString id;
        int depth;
    };
    QList<QTreeWidgetItem*> topLevel;
    std::vector<Pending> stack{{nullptr, QStringLiteral("0"), 0}};
    int deepest = 0;
    while (!stack.empty()) {
        Pending p = std::move(stack.back());
        stack.pop_back();
        if (p.node && p.id == QLatin1String("0"))
            continue;  // an item with id "0" is never given children
        deepest = std::max(deepest, p.depth);
        const auto it = children.constFind(p.id);
        if (it == children.constEnd())
            continue;
        QList<QTreeWidgetItem*> made;
        made.reserve(it->end - it->first);
        for (int i = it->first; i < it->end; ++i) {
            auto* node = new TNode(std::move(rows[i]));
            applyTreeImage(node);
            made.append(node);
            stack.push_back({node, node->data().ID, p.depth + 1});
        }
        if (p.node)
            p.node->addChildren(made);
        else
            topLevel = made;
    }
    tree->addTopLevelItems(topLevel);
    return deepest;
}

} // namespace tallowmere
