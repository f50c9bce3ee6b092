#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace tallowmere {

struct MainState;

// Content that a caller has read already (the directory import reads ahead).
struct GivenContent {
    std::optional<QByteArray> text;   // a text item's text in UTF-8, as storedTextOf gives it
    std::optional<QByteArray> bytes;  // a file item's file, whole
};

enum class StoreScope {
    AnyItem,    // store whatever the row's type code asks for
    TextOnly,   // leave every item but a text item (code 4) alone
};

// Stores the content of the existing row with this id from where it lives now:
// code 7 from the web view's document, code 4 from the text editor, every other
// code from the file at the capture source (codes 10, 13, 14, 15 with the plain
// files of its companion folder). The store is one transaction: when any step
// fails nothing of it stays, the row keeps what it held before and the status
// bar says so. True when stored (or nothing was to be stored); never throws.
// With given content, a text item stores the given text in place of the
// editor's (and the editor is left alone), and a file item the given bytes in
// place of reading its file.
bool storeContent(MainState& state, const QString& id, StoreScope scope = StoreScope::AnyItem,
                  const GivenContent* given = nullptr);

// The autosave check for leaving an item (showing another, adding, closing):
// when the text editor holds unsaved changes and "Autosave Text" is ticked, the
// current item is stored, but only if it is a text item. False only when a
// store was due and failed.
bool autosaveCheck(MainState& state);

// The companion folder of a saved page at path: its extension replaced by
// ".files" (codes 10, 14) or "_files" (codes 13, 15). Empty for other codes.
QString companionFolder(const QString& path, int code);

} // namespace tallowmere
