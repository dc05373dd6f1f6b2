#pragma once
// Programming the parallel NOR flash of a "Norrin" board: load the bridge
// circuit, read and decode the CFI query, erase every block, write the data
// file in 16 KiB chunks and read it back to compare (par_flash.h holds the
// bridge protocol). The two runs behind the page's "Read CFI" and "Execute"
// buttons, confirmation included.

#include <cstdint>
#include <string>

#include "features/flash/par_flash.h"
#include "features/flash/ser_bridge.h"
#include "features/reporter.h"
#include "link/board_link.h"

namespace quillon::features {

// The bridge circuit of each entry of the target list, in the Flash folder.
inline constexpr const char* kNorBridgeDesigns[] = {
    "NorBridge2_Norrin_EP2C35.rbf",
    "NorBridge2_Norrin_EP2C70.rbf",
};

// What the page shows of a run: the progress display of the erase and write
// loops, the result and time labels, its controls, and the log window.
class NorBridgeView : public ParFlashDisplay {
  public:
    virtual void SetResult(RunResult result) = 0;
    // The time label: "-" (nullopt) or the time elapsed since `startMs`.
    virtual void SetTime(std::optional<std::int64_t> startMs) = 0;
    virtual void SetControlsEnabled(bool enabled) = 0;
    // The page guard: set while Execute runs.
    virtual void SetRunning(bool running) = 0;
    virtual void ShowLog() = 0;
    // The bar to its maximum (the end of the verify).
    virtual void ProgressToMaximum() = 0;
    // The log window's last line gives way to `text` (the log file keeps
    // what was written).
    virtual void ReplaceLastLine(const std::string& text) = 0;
};

// Loads the bridge of `targetIndex` and reads the CFI query into `geometry`;
// reports every failure with its log lines and warning box.
bool ParFlashPrepare(link::BoardHandle h, int targetIndex, FlashGeometry& geometry,
                     Reporter& r = DefaultReporter());

bool NorBridge2ReadCfi(link::BoardHandle h, int targetIndex, NorBridgeView& view,
                       Reporter& r = DefaultReporter());
// `dump` writes the bytes read back to VerifyDumpPath().
bool NorBridge2Execute(link::BoardHandle h, int targetIndex, const std::string& dataPath,
                       bool dump, NorBridgeView& view, Reporter& r = DefaultReporter());

}  // namespace quillon::features
