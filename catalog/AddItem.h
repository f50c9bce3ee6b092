#pragma once
// The add operation: every new item enters the archive here.

#include <QString>

class QTreeWidgetItem;

namespace tallowmere {

struct MainState;
class Dataset;
class Clock;

// The title of a new item taken from the capture source: the part after the
// last "/", "\" or ":" (the whole text when it holds none); type code 7 keeps
// the whole text.
QString titleFromSource(const QString& source, int typeCode);

// A new item id: the clock's timestamp, and when an item of that id exists
// already, the timestamp followed by the smallest counter that is free, so the
// creation time stays the first 19 characters and no two items share an id.
QString newItemId(Dataset& pQ, const Clock& clock);

// Adds an item of the requested type code next to reference (placement 0: last
// child, 1: sibling above, 2: sibling below; top level without a reference),
// keeping sibling positions in step in tree and archive, stores its content
// and selects it. Code -1 adds nothing; 11 adds a text item for a directory
// (the caller imports the directory below it); 8 first saves the web view's
// page as a single-file archive in the temporary folder. The autosave check
// comes first unless the caller has made it. Returns the new node, or null.
QTreeWidgetItem* addItem(MainState& state, QTreeWidgetItem* reference, int placement, qint32 typeCode,
                         bool autosaveMade = false);

} // namespace tallowmere
