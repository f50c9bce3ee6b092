#pragma once
// Moving a node with its branch (drag menu), and the tree's mouse, key and
// drag-end handling.

#include <QPoint>
#include <QString>

class QMenu;
class QTreeWidgetItem;
class QWidget;

namespace tallowmere {

struct MainState;
class CatalogTree;

// Placement relative to a reference node.
enum Placement { kLastChild = 0, kAbove = 1, kBelow = 2 };

// The statement that opens a gap among the children of parentId from position
// on: formA for an insertion above a sibling, otherwise form B.
QString shiftStatement(bool formA, const QString& parentId, int position);

// Moves source (with its branch) to placement relative to target, in tree and
// archive. Nothing when either is missing, they are the same node or target
// lies in source's branch. For placement 0 onto a node with children the largest
// stored position is read first; when it cannot be read, the move throws
// EngineError before anything has changed.
void moveNode(MainState& state, QTreeWidgetItem* source, QTreeWidgetItem* target, int placement);

// The screen point near the pointer where the tree's menus open, for a tree
// point (viewport coordinates): left edge of the window + X + 5, top edge +
// top of panelBack + Y + 30.
QPoint menuPoint(const MainState& state, const QWidget* panelBack, const QPoint& treePoint);

struct TreeMenus {
    QMenu* treeView = nullptr;   // PopupMenu_TreeView
    QMenu* addItem = nullptr;    // PopupMenu_AddItem
    QMenu* drag = nullptr;       // PopupMenu_Drag
    const QWidget* panelBack = nullptr;
};

// A mouse press on the tree, before the tree handles it: an empty selection
// offers "Add an item"; a right press on a node selects it and opens the tree
// menu. A left or middle press on the selected node returns that node, whose
// item the caller shows; otherwise null.
QTreeWidgetItem* treeMouseDown(MainState& state, const TreeMenus& menus, Qt::MouseButton button, const QPoint& point);

// A drag from the tree dropped on it at point: the node there becomes the move
// target and the drag menu opens; below the last row nothing happens.
void treeEndDrag(MainState& state, CatalogTree& tree, const TreeMenus& menus, const QPoint& point);

} // namespace tallowmere
