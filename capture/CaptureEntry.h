#pragma once
// The capture entry: a page captured while browsing becomes an item directly
// below the selected one. The automation service's AddNode and the command-line
// capture both end here.

#include "capture/CaptureString.h"

#include <functional>

namespace tallowmere {

struct MainState;

class CaptureEntry {
public:
    // The window's add operation with the selected node and placement "below".
    using AddBelowSelected = std::function<void(qint32 typeCode)>;
    // The window's page completion, run for a document-complete event that was held.
    using CompletePage = std::function<void()>;

    CaptureEntry(MainState& state, AddBelowSelected add, CompletePage complete);

    // AddNode's steps: the web view goes to the address, the title becomes the
    // capture source, the item is added below the selected node (code -1 adds
    // nothing), and the web view is put on display.
    void addNode(const CaptureRequest& request);
    // The command-line capture: the web view on display, then the steps above
    // for what the capture string holds.
    void commandLine(const QString& captureString);

    // A document-complete event: the page completion runs at once, except
    // while a capture is being added, when it is held until the item exists: a
    // page that finishes loading during the add (the add waits for the web
    // view) must still complete the new item rather than miss it.
    void documentComplete();
    bool adding() const { return m_adding; }

private:
    void capture(const CaptureRequest& request);

    MainState& m_state;
    AddBelowSelected m_add;
    CompletePage m_complete;
    bool m_adding = false;
    bool m_held = false;
};

} // namespace tallowmere
