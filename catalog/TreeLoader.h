#pragma once
// Loads the whole catalog tree from the archive.

class QTreeWidget;

namespace tallowmere {

class Dataset;

// The one statement the loader runs: every row, in stored order, sorted by
// parent and position by the engine (walking the parent index instead would
// fetch every row's page at random, twice as many reads).
extern const char* const kTreeSelect;

// Replaces the tree's nodes by the items of the archive reached from the top
// level ("0"), siblings ordered by position. Rows whose parent does not exist
// are never shown; an item whose id is "0" gets no children. Returns the
// deepest level reached (0 when only top-level items exist). Reads all rows in
// one scan on the dataset's connection; a failing query leaves the tree empty.
int loadTree(QTreeWidget* tree, Dataset& ds);

} // namespace tallowmere
