#include "features/flash/flash_time.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace quillon::features {

namespace {

FlashTime g_real;
std::atomic<FlashTime*> g_time{&g_real};

}  // namespace

std::int64_t FlashTime::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void FlashTime::SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

FlashTime& Time() {
    return *g_time.load();
}

void SetFlashTimeForTest(FlashTime* time) {
    g_time.store(time ? time : &g_real);
}

}  // namespace quillon::features
