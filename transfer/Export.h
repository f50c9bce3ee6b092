#pragma once
// Export of an item to a file the user names, and of a branch into a folder
// tree: pages with their companion folders, text items as text files. Titles
// become file and folder names made safe, so nothing is written outside the
// chosen file's or folder's place. The archive is only read.

#include <QString>

class QTreeWidgetItem;

namespace tallowmere {

struct MainState;

// "Export this item": text items and stored files through the save dialog,
// stored web content (codes 5 to 15) through the web view's own save, with
// the item on display first so that its own page is saved. A file that
// cannot be written is named in an error message.
void exportItem(MainState& state, QTreeWidgetItem* node);

// "Export this branch": the folder chooser, then the item and everything
// below it into a new folder named by its title inside the chosen folder.
// Stops at a file that cannot be written, with an error message naming it;
// what was written up to then stays.
void exportBranch(MainState& state, QTreeWidgetItem* node);

// The save dialog's filter for an item of this code with this stored
// extension: "Text files|*.txt|All files|*.*" for text, else one entry for the
// extension ("pdf files|*.pdf") and "All files|*.*".
QString exportFilter(int code, const QString& storedExt);

// The folder a branch gets: its title made safe, without its extension
// ("Node.js Guide" gives "Node").
QString branchFolderName(const QString& title);

// Writes an item's stored content to target (created or replaced): a text
// item's text (when target cannot be opened, target + "1" instead), any
// other item's bytes with its companion files beside it when it has any.
// Throws std::runtime_error naming the file that could not be written.
void writeItemToFile(MainState& state, QTreeWidgetItem* node, const QString& target);

// Writes node and its descendants into folder + "/" + branchFolderName(title).
// Throws like writeItemToFile.
void writeBranch(MainState& state, QTreeWidgetItem* node, const QString& folder);

} // namespace tallowmere
