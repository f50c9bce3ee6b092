#pragma once

namespace tallowmere {

struct MainState;

// Shows the New Item dialog and prepares the content area for the choice: a
// file shown as web content is opened in the web view, a new text document or
// a directory clears the text editor, a text file is read into it. Returns the
// type code for the add operation (-1 when cancelled; 2 becomes 4). A text
// file that cannot be read throws std::runtime_error naming it.
int newItemFlow(MainState& state);

} // namespace tallowmere
