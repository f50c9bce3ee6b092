#include "AddItem.h"

#include "MoveItems.h"
#include "NodeData.h"
#include "Siblings.h"
#include "TreeImages.h"
#include "capture/PageSaver.h"
#include "common/MainState.h"
#include "content/StoreContent.h"
#include "store/Archive.h"
#include "store/Clock.h"

#include <QFileInfo>
#include <QLabel>
#include <QTreeWidget>

namespace tallowmere {

namespace {

constexpr int kDirectoryCode = 11;
constexpr int kCapturedPageCode = 7;
constexpr int kCapturedArchiveCode = 8;

} // namespace

QString titleFromSource(const QString& source, int typeCode)
{
    if (typeCode == kCapturedPageCode)
        return source;
    const qsizetype cut = std::max({source.lastIndexOf(QLatin1Char('/')), source.lastIndexOf(QLatin1Char('\\')),
                                    source.lastIndexOf(QLatin1Char(':'))});
    return cut < 0 ? source : source.mid(cut + 1);
}

QString newItemId(Dataset& pQ, const Clock& clock)
{
    const QString stamp = clock.timestamp();
    if (!itemExists(pQ, stamp))
        return stamp;
    for (int n = 1;; ++n) {
        const QString id = stamp + QString::number(n);
        if (!itemExists(pQ, id))
            return id;
    }
}

QTreeWidgetItem* addItem(MainState& state, QTreeWidgetItem* reference, int placement, qint32 typeCode,
                         bool autosaveMade)
{
    if (!autosaveMade)
        autosaveCheck(state);
    if (typeCode == -1 || !state.pQ || !state.tree)
        return nullptr;
    Dataset& pQ = *state.pQ;
    QTreeWidget* tree = state.tree;

    TNodeData rec;
    rec.ID = newItemId(pQ, *state.clock);
    rec.Title = titleFromSource(state.captureSource, typeCode);
    rec.typeid_ = QString::number(typeCode == kDirectoryCode ? 4 : typeCode);
    rec.HasSubFolders = false;
    rec.createtime = rec.ModifyTime = rec.ID.left(19);

    if (typeCode == kCapturedArchiveCode) {
        state.captureSource = state.tempFolder + state.clock->now().toString(QStringLiteral("yyyyMMddHHmmss"))
                              + QStringLiteral(".mht");
        {
            CSaveAsWebbrowser saver;
            saver.attach(state.web);
            saver.setTargetPath(state.captureSource);
            saver.save();
        }
        // The row records what it holds: an archive of this size.
        state.pendingExt = QStringLiteral(".mht");
        state.pendingSize = qint32(std::min<qint64>(QFileInfo(state.captureSource).size(), INT32_MAX));
    }

    // Parent, position and the node's place.
    TNodeData* ref = nodeData(reference);
    QTreeWidgetItem* parentNode = nullptr;
    int insertAt = -1;   // -1: append
    int position = 0;
    QString parentId = QStringLiteral("0");
    int shiftFrom = -1;  // tree index from which later siblings' records shift
    if (ref && placement == kLastChild) {
        parentNode = reference;
        parentId = ref->ID;
        const int children = reference->childCount();
        if (children > 0)
            if (const TNodeData* last = nodeData(reference->child(children - 1)))
                position = toIntOr0(last->indexid) + 1;
    } else if (ref && (placement == kAbove || placement == kBelow)) {
        parentNode = reference->parent();
        parentId = ref->ParentPaperID;
        const int p = toIntOr0(ref->indexid);
        const int at = indexInParent(reference);
        if (placement == kAbove) {
            position = p;
            runStatement(pQ, shiftStatement(true, parentId, p));
            insertAt = at;
            shiftFrom = at + 1;
        } else {
            position = p + 1;
            if (at + 1 < siblingCount(tree, parentNode)) {
                runStatement(pQ, shiftStatement(false, parentId, p + 1));
                insertAt = at + 1;
                shiftFrom = at + 2;
            }
        }
    }
    rec.ParentPaperID = parentId;
    rec.indexid = QString::number(position);

    auto* node = new TNode(rec);
    applyTreeImage(node);
    insertSibling(tree, parentNode, insertAt, node);
    if (shiftFrom >= 0)
        shiftRecords(tree, parentNode, shiftFrom);

    const bool inserted = runStatement(
        pQ, QStringLiteral("insert into paper(title,id,ParentPaperID,indexid,typeid,createtime,        ModifyTime,"
                           "ExtName,SizeByte) values(")
                + quoted(rec.Title) + QLatin1Char(',') + quoted(rec.ID) + QLatin1Char(',') + quoted(rec.ParentPaperID)
                + QLatin1Char(',') + rec.indexid + QLatin1Char(',') + rec.typeid_ + QLatin1Char(',')
                + quoted(rec.createtime) + QLatin1Char(',') + quoted(rec.ModifyTime) + QLatin1Char(',')
                + quoted(state.pendingExt) + QLatin1Char(',') + QString::number(state.pendingSize) + QLatin1Char(')'));

    if (ref && placement == kLastChild)
        reference->setExpanded(true);

    state.currentItemId = rec.ID;
    if (inserted)
        storeContent(state, rec.ID);
    else if (state.statusPanels[0])
        // Without its row the item would vanish at the next start.
        state.statusPanels[0]->setText(QStringLiteral("The new item could not be stored"));
    node->data().ExtName = state.pendingExt;
    node->data().SizeByte = state.pendingSize;

    tree->setCurrentItem(node);
    return node;
}

} // namespace tallowmere
