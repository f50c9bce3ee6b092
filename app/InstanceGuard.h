#pragma once

#include <QString>

namespace tallowmere {

// Only one copy of the program runs per user: an exclusive lock on the file
// "BrambookMutex" in the user's runtime folder. The kernel drops the lock when
// the process ends, however it ends.
class InstanceGuard {
public:
    explicit InstanceGuard(const QString& folder = QString());
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;
    // False when another copy holds the lock (or the lock file cannot be made).
    bool acquired() const { return fd_ >= 0; }
    static QString defaultFolder();

private:
    int fd_ = -1;
};

} // namespace tallowmere
