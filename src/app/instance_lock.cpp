#include "app/instance_lock.h"

#include <cstdio>

#include "platform/platform.h"

namespace quillon::app {

bool InstanceLock::TryLock() {
    using Result = platform::FileLock::Result;
    const std::string path = LockPath();
    Result r = lock_.TryLock(path);
    // Something else under the lock's name (a folder, a FIFO, a link) would
    // otherwise keep every start out until the user found it: an entry that
    // holds nothing is cleared, and a folder with contents is left alone for a
    // second name that every instance falls back to alike.
    if (r == Result::Failed && platform::FileLock::ClearOddEntry(path)) r = lock_.TryLock(path);
    if (r == Result::Failed) r = lock_.TryLock(path + ".2");
    if (r == Result::Failed) {
        std::fprintf(stderr, "quillon: the single-instance lock %s cannot be made; starting without it\n",
                     path.c_str());
        return true;
    }
    return r == Result::Taken;
}

std::string InstanceLock::LockPath() {
    return platform::PrivateRuntimeFolder() + "/KVX-Quillon-Panel7.lock";
}

}  // namespace quillon::app
