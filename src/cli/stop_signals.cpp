#include "cli/stop_signals.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstddef>

#include "features/long_work.h"

namespace quillon::cli {

namespace {

std::atomic<int> g_first{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");
// Whether the message of a second SIGINT takes a progress line off first.
bool g_terminal = false;

constexpr char kClearLine[] = "\r\x1b[K";
constexpr char kAtOnce[] = "quillon-run: stopped at once by a second SIGINT\n";

// The process ends right after: a failed write changes nothing.
void Say(const char* text, std::size_t size) {
    if (write(STDERR_FILENO, text, size) < 0) return;
}

// Only what is safe in a signal handler: lock-free stores, write and _exit.
void OnStopSignal(int signal) {
    int none = 0;
    if (g_first.compare_exchange_strong(none, signal)) {
        features::RequestCancel();
        return;
    }
    if (signal == SIGINT) {
        if (g_terminal) Say(kClearLine, sizeof kClearLine - 1);
        Say(kAtOnce, sizeof kAtOnce - 1);
        _exit(StopStatus(SIGINT));
    }
}

}  // namespace

void InstallStopHandlers() {
    g_terminal = isatty(STDERR_FILENO) == 1;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Reads and writes the signal interrupts go on: the stop is looked for
    // at the run's own points, not by failing a file write half way.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int StopSignal() {
    return g_first.load();
}

int StopStatus(int signal) {
    return 128 + signal;
}

const char* StopSignalName(int signal) {
    return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "a signal";
}

}  // namespace quillon::cli
