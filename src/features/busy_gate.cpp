#include "features/busy_gate.h"

namespace quillon::features {

namespace {

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
    g_busy = false;
    g_holder.clear();
}

BusyGate::Hold BusyGate::TryTake(std::string_view what) {
    Hold hold;
    if (g_busy) return hold;
    g_busy = true;
    g_holder = what;
    hold.held_ = true;
    return hold;
}

bool BusyGate::Busy() {
    return g_busy;
}

std::string BusyGate::Holder() {
    return g_holder;
}

BusyGate::Hold TakeOrRefuse(std::string_view what, Reporter& reporter) {
    BusyGate::Hold hold = BusyGate::TryTake(what);
    if (!hold) reporter.Status(kBusyRefusal);
    return hold;
}

}  // namespace quillon::features
