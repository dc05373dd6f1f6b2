#pragma once
// Only one panel runs per user. The lock is a file in the user's private runtime
// folder; a lock left behind by a crashed run is recognised as stale and taken over.

#include <memory>
#include <string>

class QLockFile;

namespace quillon::app {

class InstanceLock {
public:
    InstanceLock();
    ~InstanceLock();
    // False when another instance holds the lock.
    bool TryLock();
    static std::string LockPath();

private:
    std::unique_ptr<QLockFile> lock_;
};

inline constexpr const char* kSecondInstanceText = "2重起動は出来ません。";
inline constexpr const char* kApplicationTitle = "Quillon7 for x86";

}  // namespace quillon::app
