#pragma once
// Sibling arithmetic on the catalog tree, where the top level has no parent node.

#include "NodeData.h"

#include <QTreeWidget>

namespace tallowmere {

inline int indexInParent(QTreeWidgetItem* node)
{
    QTreeWidgetItem* parent = node->parent();
    return parent ? parent->indexOfChild(node) : node->treeWidget()->indexOfTopLevelItem(node);
}

inline QTreeWidgetItem* siblingAt(QTreeWidget* tree, QTreeWidgetItem* parent, int index)
{
    return parent ? parent->child(index) : tree->topLevelItem(index);
}

inline int siblingCount(QTreeWidget* tree, QTreeWidgetItem* parent)
{
    return parent ? parent->childCount() : tree->topLevelItemCount();
}

// Puts node at index among the children of parent (the top level when null;
// index -1: last).
inline void insertSibling(QTreeWidget* tree, QTreeWidgetItem* parent, int index, QTreeWidgetItem* node)
{
    if (index < 0)
        index = siblingCount(tree, parent);
    if (parent)
        parent->insertChild(index, node);
    else
        tree->insertTopLevelItem(index, node);
}

// Adds 1 to the recorded positions of the siblings from index on.
inline void shiftRecords(QTreeWidget* tree, QTreeWidgetItem* parent, int from)
{
    for (int i = from; i < siblingCount(tree, parent); ++i)
        if (TNodeData* rec = nodeData(siblingAt(tree, parent, i)))
            rec->indexid = QString::number(toIntOr0(rec->indexid) + 1);
}

} // namespace tallowmere
