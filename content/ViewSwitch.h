#pragma once

namespace tallowmere {

struct MainState;

// Puts the web view (true) or the text editor (false) on display, with the
// gauge, the "Find in this document" entry and the font menu that go with it.
void viewSwitch(MainState& state, bool showWeb);

} // namespace tallowmere
