#pragma once
// Page completion: items added before the web view had loaded their page wait
// with a type code of their own; when the web view reports a loaded document,
// the selected item gets the document's text (and, for a captured page, the
// document itself) and its final type code: 7 -> 5, 9 -> 6, 12 -> 5, 14 -> 10,
// 15 -> 13.

#include <QString>

namespace tallowmere {

struct MainState;
struct TNodeData;

// Runs on every document-complete event, with the selected item's record (null
// when nothing is selected). Only the item on display is completed, that is
// when the selected item is also the current item: another page's text must
// never become its own. A failure leaves the item waiting (it completes when
// shown again) and says why in the status bar; never throws.
void completePage(MainState& state, TNodeData* selected);

// Stores the web view's document and its page text into the row of id, and
// records the document's size, which it returns. Throws on failure.
qint32 storeCompletedPage(MainState& state, const QString& id);

} // namespace tallowmere
