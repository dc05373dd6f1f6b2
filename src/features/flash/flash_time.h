#pragma once
// The clock of the flash operations: their time-outs, the elapsed times they
// show and the fixed waits of the serial-flash run. One seam, so a test can
// run a 250-second time-out in no time.
//
// Time-outs are measured on a steady clock: a wall-clock change while a flash
// run waits neither cuts a wait short nor stretches it.

#include <cstdint>

namespace quillon::features {

class FlashTime {
  public:
    virtual ~FlashTime() = default;
    // Milliseconds from a steady clock.
    virtual std::int64_t NowMs();
    // Waits without letting events run.
    virtual void SleepMs(int ms);
};

FlashTime& Time();
// Replaces the clock (nullptr restores the real one).
void SetFlashTimeForTest(FlashTime* time);

}  // namespace quillon::features
