#pragma once
// The one progress line quillon-run keeps on a terminal while MW, MR, UC or FC
// move data: how much of the total is done and, once the transfer has run a
// second, the rate and the time left. It is redrawn in place and cleared when
// the transfer ends or before a log line is echoed, so that log lines on a
// terminal never run into it.

#include <cstdint>
#include <cstdio>
#include <string>

#include "features/reporter.h"

namespace quillon::cli {

// The line's text, without the carriage return and the erase around it:
// "96.0 MiB / 256.0 MiB  38.4 MB/s  0:04 left". `elapsedMs` counts from the
// start of the transfer; total 0 means the total is not known.
std::string ProgressText(std::uint64_t done, std::uint64_t total, features::Reporter::Unit unit,
                         std::uint64_t elapsedMs);

// Draws the line on `out` while `enabled` (standard error is a terminal);
// otherwise nothing is ever written. Trivially destructible: log lines may
// still be echoed while the process ends.
class ProgressLine {
  public:
    ProgressLine(std::FILE* out, bool enabled) : out_(out), enabled_(enabled) {}
    void Update(std::uint64_t done, std::uint64_t total, features::Reporter::Unit unit);
    // Takes the line off the terminal, if it is there.
    void Clear();

  private:
    std::FILE* out_;
    bool enabled_;
    bool shown_ = false;
    bool running_ = false;
    std::uint64_t lastDone_ = 0;
    std::int64_t startMs_ = 0;
    std::int64_t drawnMs_ = 0;
};

}  // namespace quillon::cli
