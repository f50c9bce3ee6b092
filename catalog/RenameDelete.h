#pragma once
// Renaming an item in place and deleting a branch, tree and archive together.

#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

namespace tallowmere {

struct MainState;
class CatalogTree;

inline const QString kNoRenameText = QStringLiteral("Sorry,this item has \".files\" directory,can't be renamed! ");
inline const QString kDeleteQuestion = QStringLiteral("Are you sure to delete this branch?");
// Removes every row whose parent row is gone, one level per run; top-level rows stay.
inline const QString kOrphanCleanUp = QStringLiteral(
    "delete from paper where parentpaperid not in (select id from paper)         and parentpaperid <> '0'");

// The node the user has selected, or null.
QTreeWidgetItem* selectedNode(QTreeWidget* tree);

// The label editor opens: always allowed.
void beginRename(CatalogTree& tree);

// The user confirmed label text for node. Returns the text that becomes the
// label: the record's old title when the item keeps a companion folder (10, 13,
// 14, 15; refused with a message), "_" for blanks only, else text as it is,
// which is also written to the record and the archive, untrimmed.
QString finishRename(MainState& state, CatalogTree& tree, QTreeWidgetItem* node, const QString& text);

// Asks, then deletes the selected node's branch and marks the archive for
// compaction. Nothing when no node is selected or the answer is not Yes.
void deleteCommand(MainState& state);

// Deletes node's own row, its children's rows, one more level of orphans, the
// companion files of an item of code 10, and the node with everything below it.
void deleteBranch(MainState& state, QTreeWidgetItem* node);

} // namespace tallowmere
