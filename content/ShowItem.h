#pragma once

#include <QString>

class QProgressBar;

namespace tallowmere {

struct MainState;

// Shows an item by its id and type code (the code given decides the viewer):
// text items in the text editor, pages (5, 7) in the web view straight from
// the archive, everything else written to the temporary folder under its
// title made safe (with its companion folder rebuilt for 10, 13, 14, 15) and
// opened in the web view. The status bar shows created and modified time,
// size and type. Errors while reading or writing are thrown (EngineError or
// std::runtime_error) and end the show; the cursor is restored on every path.
// When the autosave check of the item being left fails, nothing is shown.
void showItem(MainState& state, const QString& id, const QString& code);

// The web view's progress on the gauge: a maximum of 0 (or less) keeps the
// previous one, a position outside the range shows as the nearer end (the
// -1 of a finished load as 0 %).
void progressDisplay(QProgressBar* gauge, int progress, int maximum);

} // namespace tallowmere
