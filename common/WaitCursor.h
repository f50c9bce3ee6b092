#pragma once
// The hourglass for the length of one operation, whichever way it ends
// (exceptions included).

#include <QApplication>

namespace tallowmere {

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace tallowmere
