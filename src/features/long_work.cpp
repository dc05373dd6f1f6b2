#include "features/long_work.h"

#include <atomic>

#include "link/abort.h"

namespace quillon::features {

namespace {

std::atomic<WorkRunner*> g_runner{nullptr};

}  // namespace

bool CancelRequested() {
    return link::BulkAbortRequested();
}

void RequestCancel() {
    link::RequestBulkAbort();
}

void ClearCancel() {
    link::ClearBulkAbort();
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
