#include "features/long_work.h"

#include <atomic>

#include "link/abort.h"

namespace quillon::features {

namespace {

std::atomic<WorkRunner*> g_runner{nullptr};
std::atomic<bool> g_asked{false};
std::atomic<int> g_shields{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "set from signal handlers");

}  // namespace

bool CancelRequested() {
    return g_asked.load() || link::BulkAbortRequested();
}

void RequestCancel() {
    g_asked.store(true);
    if (g_shields.load() == 0) link::RequestBulkAbort();
}

void ClearCancel() {
    g_asked.store(false);
    link::ClearBulkAbort();
}

CancelShield::CancelShield() {
    g_shields.fetch_add(1);
}

CancelShield::~CancelShield() {
    if (g_shields.fetch_sub(1) == 1 && g_asked.load()) link::RequestBulkAbort();
}

WorkRunner& Runner() {
    static WorkRunner inPlace;
    WorkRunner* r = g_runner.load();
    return r ? *r : inPlace;
}

void SetRunner(WorkRunner* runner) {
    g_runner.store(runner);
}

}  // namespace quillon::features
