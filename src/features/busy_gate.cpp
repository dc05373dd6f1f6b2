#include "features/busy_gate.h"

#include <mutex>

#include "platform/ui_text.h"

namespace quillon::features {

namespace {

// Taken on the GUI thread and on the worker of a long operation.
std::mutex g_mu;
bool g_busy = false;
std::string g_holder;

}  // namespace

BusyGate::Hold& BusyGate::Hold::operator=(Hold&& other) noexcept {
    if (this != &other) {
        Release();
        held_ = other.held_;
        other.held_ = false;
    }
    return *this;
}

void BusyGate::Hold::Release() {
    if (!held_) return;
    held_ = false;
    std::lock_guard<std::mutex> lock(g_mu);
    g_busy = false;
    g_holder.clear();
}

BusyGate::Hold BusyGate::TryTake(std::string_view what) {
    Hold hold;
    std::lock_guard<std::mutex> lock(g_mu);
    if (g_busy) return hold;
    g_busy = true;
    g_holder = what;
    hold.held_ = true;
    return hold;
}

bool BusyGate::Busy() {
    std::lock_guard<std::mutex> lock(g_mu);
    return g_busy;
}

std::string BusyGate::Holder() {
    std::lock_guard<std::mutex> lock(g_mu);
    return g_holder;
}

BusyGate::Hold TakeOrRefuse(std::string_view what, Reporter& reporter) {
    BusyGate::Hold hold = BusyGate::TryTake(what);
    if (!hold) reporter.Status(Lang::MarkedStd(kBusyRefusal));
    return hold;
}

}  // namespace quillon::features
