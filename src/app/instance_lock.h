#pragma once
// Only one panel runs per user. The lock is held on a file in the user's
// private runtime folder for as long as the panel runs; the system lets go of
// it when the process ends, so neither a crash nor what a power loss leaves in
// the file keeps the next start out.

#include <QtGlobal>
#include <string>

#include "platform/file_io.h"

namespace quillon::app {

class InstanceLock {
public:
    // False only when another running instance holds the lock. When no lock
    // can be made at all (an unusable runtime folder), the start goes ahead,
    // with a line on standard error.
    bool TryLock();
    static std::string LockPath();

private:
    platform::FileLock lock_;
};

inline constexpr const char* kSecondInstanceText =
    QT_TRANSLATE_NOOP("Lang", "2重起動は出来ません。");
inline constexpr const char* kApplicationTitle = "Quillon7 for x86";

}  // namespace quillon::app
