#include "link/abort.h"

#include <atomic>

namespace quillon::link {

namespace {

std::atomic<bool> g_abort{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from signal handlers");

}  // namespace

void RequestBulkAbort() noexcept {
    g_abort.store(true, std::memory_order_release);
}

bool BulkAbortRequested() noexcept {
    return g_abort.load(std::memory_order_acquire);
}

void ClearBulkAbort() noexcept {
    g_abort.store(false, std::memory_order_release);
}

}  // namespace quillon::link
