#pragma once
// The clock that makes item ids and timestamps; tests set it.

#include <QDateTime>

namespace tallowmere {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
    // Local time as "yyyy-mm-dd hh:mm:ss", the form of every stored timestamp.
    // A clock that overrides now() overrides this too, as format(now()).
    virtual QString timestamp() const
    {
        // Local time is worked out (time zone files and all) once a second,
        // not once for every item of a large import.
        const qint64 second = QDateTime::currentSecsSinceEpoch();
        if (second != second_) {
            stamp_ = format(QDateTime::fromSecsSinceEpoch(second));
            second_ = second;
        }
        return stamp_;
    }
    static QString format(const QDateTime& time) { return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

private:
    mutable qint64 second_ = -1;
    mutable QString stamp_;
};

} // namespace tallowmere
