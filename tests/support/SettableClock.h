#pragma once
// A clock the test sets; it stands still unless told to move.

#include "store/Clock.h"

namespace tallowmere::test {

class SettableClock : public Clock {
public:
    QDateTime time = QDateTime(QDate(2024, 5, 17), QTime(21, 4, 9));
    QDateTime now() const override { return time; }
    QString timestamp() const override { return format(time); }
    void advance(int seconds) { time = time.addSecs(seconds); }
};

} // namespace tallowmere::test
