#include "MoveItems.h"

#include "CatalogTree.h"
#include "NodeData.h"
#include "RenameDelete.h"
#include "Siblings.h"
#include "common/MainState.h"
#include "store/Archive.h"

#include <QMenu>
#include <QTreeWidget>

namespace tallowmere {

namespace {

bool inBranchOf(QTreeWidgetItem* node, QTreeWidgetItem* root)
{
    for (QTreeWidgetItem* p = node; p; p = p->parent())
        if (p == root)
            return true;
    return false;
}

void collectExpanded(QTreeWidgetItem* node, QList<QTreeWidgetItem*>& out)
{
    if (node->isExpanded())
        out << node;
    for (int i = 0; i < node->childCount(); ++i)
        collectExpanded(node->child(i), out);
}

// Takes node (with its branch) out of the tree and puts it at index under
// parent (the top level when null; index -1: last), keeping its branch's open nodes open and
// leaving it the selected node.
void replaceNode(QTreeWidget* tree, QTreeWidgetItem* node, QTreeWidgetItem* parent, int index, int oldIndex)
{
    QList<QTreeWidgetItem*> expanded;
    collectExpanded(node, expanded);
    const bool wasCurrent = tree->currentItem() == node;
    const bool wasSelected = node->isSelected();
    QTreeWidgetItem* oldParent = node->parent();
    if (oldParent)
        oldParent->takeChild(oldIndex);
    else
        tree->takeTopLevelItem(oldIndex);
    insertSibling(tree, parent, index, node);
    for (QTreeWidgetItem* n : expanded)
        n->setExpanded(true);
    if (wasCurrent)
        tree->setCurrentItem(node);
    if (wasSelected)
        node->setSelected(true);
}

} // namespace

QString shiftStatement(bool formA, const QString& parentId, int position)
{
    // The two forms differ only in their blanks.
    const QString head = formA ? QStringLiteral("update paper set indexid = indexid + 1             where parentpaperid = ")
                               : QStringLiteral("update paper set indexid = indexid + 1                 where parentpaperid = ");
    return head + quoted(parentId) + QStringLiteral(" and indexid >= ") + QString::number(position);
}

void moveNode(MainState& state, QTreeWidgetItem* source, QTreeWidgetItem* target, int placement)
{
    TNodeData* src = nodeData(source);
    TNodeData* tgt = nodeData(target);
    if (!src || !tgt || source == target || inBranchOf(target, source) || !state.pQ)
        return;
    QTreeWidget* tree = target->treeWidget();
    if (!tree || source->treeWidget() != tree)
        return;
    Dataset& pQ = *state.pQ;
    const int oldIndex = indexInParent(source);

    QString parentId;
    int position = 0;
    if (placement == kLastChild) {
        parentId = tgt->ID;
        if (target->childCount() > 0) {
            // Read before anything changes, so that a failed read leaves tree and
            // archive as they were. Source's row is unchanged either way, so its
            // old position counts when it already is a child of target.
            if (!runQuery(pQ, QStringLiteral("select max(indexid) from paper where parentpaperid = ") + quoted(tgt->ID)))
                throw EngineError(QStringLiteral("The positions below \"%1\" could not be read; nothing was moved.").arg(tgt->Title));
            position = (pQ.eof() ? 0 : pQ.fieldByName(QStringLiteral("max(indexid)")).asInteger()) + 1;
            pQ.close();
            replaceNode(tree, source, target, -1, oldIndex);
            target->setExpanded(true);
        } else {
            replaceNode(tree, source, target, 0, oldIndex);
            target->setExpanded(true);
            runStatement(pQ, QStringLiteral("update paper set HasSubFolders = True where id = ") + quoted(tgt->ID));
            tgt->HasSubFolders = true;
        }
    } else {
        QTreeWidgetItem* parent = target->parent();
        parentId = tgt->ParentPaperID;
        const int p = toIntOr0(tgt->indexid);
        if (placement == kAbove) {
            position = p;
            runStatement(pQ, shiftStatement(true, parentId, p));
            // Directly before target, counted without source.
            const int t = indexInParent(target);
            const int at = (source->parent() == parent && oldIndex < t) ? t - 1 : t;
            replaceNode(tree, source, parent, at, oldIndex);
            shiftRecords(tree, parent, at + 1);
        } else {
            position = p + 1;
            const int t = indexInParent(target);
            const bool hasNext = t + 1 < siblingCount(tree, parent);
            if (hasNext)
                runStatement(pQ, shiftStatement(false, parentId, p + 1));
            // Directly below target, counted without source.
            const int at = (source->parent() == parent && oldIndex < t) ? t : t + 1;
            replaceNode(tree, source, parent, at, oldIndex);
            if (hasNext)
                shiftRecords(tree, parent, at + 1);
        }
        if (parent)
            parent->setExpanded(true);
    }

    src->ParentPaperID = parentId;
    src->indexid = QString::number(position);
    runStatement(pQ, QStringLiteral("update paper set parentpaperid = ") + quoted(parentId)
                         + QStringLiteral(" , indexid = ") + QString::number(position)
                         + QStringLiteral(" where id = ") + quoted(src->ID));
}

QPoint menuPoint(const MainState& state, const QWidget* panelBack, const QPoint& treePoint)
{
    const QRect frame = state.window ? state.window->frameGeometry() : QRect();
    const int panelTop = panelBack ? panelBack->y() : 0;
    return QPoint(frame.left() + treePoint.x() + 5, frame.top() + panelTop + treePoint.y() + 30);
}

QTreeWidgetItem* treeMouseDown(MainState& state, const TreeMenus& menus, Qt::MouseButton button, const QPoint& point)
{
    QTreeWidget* tree = state.tree;
    if (!tree)
        return nullptr;
    QTreeWidgetItem* node = tree->itemAt(point);
    QTreeWidgetItem* selected = selectedNode(tree);
    if (!selected) {
        if (menus.addItem)
            menus.addItem->popup(menuPoint(state, menus.panelBack, point));
        return nullptr;
    }
    if (!node)
        return nullptr;
    if (button == Qt::RightButton) {
        tree->setCurrentItem(node);
        if (menus.treeView)
            menus.treeView->popup(menuPoint(state, menus.panelBack, point));
        return nullptr;
    }
    return node == selected ? node : nullptr;
}

void treeEndDrag(MainState& state, CatalogTree& tree, const TreeMenus& menus, const QPoint& point)
{
    QTreeWidgetItem* target = tree.itemAt(point);
    tree.setMoveTarget(target);
    if (target && menus.drag)
        menus.drag->popup(menuPoint(state, menus.panelBack, point));
}

} // namespace tallowmere

