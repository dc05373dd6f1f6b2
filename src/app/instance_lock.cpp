#include "app/instance_lock.h"

#include <QLockFile>
#include <QString>

#include "log/platform.h"

namespace quillon::app {

InstanceLock::InstanceLock() : lock_(new QLockFile(QString::fromStdString(LockPath()))) {
    // A lock whose owner process is gone is stale at once; QLockFile checks the
    // recorded PID and host, so a crash never blocks the next start.
    lock_->setStaleLockTime(0);
}

InstanceLock::~InstanceLock() = default;

bool InstanceLock::TryLock() { return lock_->tryLock(0); }

std::string InstanceLock::LockPath() {
    return platform::PrivateRuntimeFolder() + "/KVX-Quillon-Panel7.lock";
}

}  // namespace quillon::app
