#pragma once
// The clock that makes item ids and timestamps; tests set it.

#include <QDateTime>

namespace tallowmere {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
    // Local time as "yyyy-mm-dd hh:mm:ss", the form of every stored timestamp.
    QString timestamp() const { return now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }
};

} // namespace tallowmere
