#pragma once
// Programming the M25P128 of an "Orrick" board through the serial-flash
// bridge: the FPGA gets the bridge design (a soft CPU and an SSRAM), the
// whole 16 MiB image goes into the SSRAM through the memory path, and the
// soft CPU erases, checks, copies and verifies on command while the host
// polls its phase register:
//   register 0  (32 bit, write) memory-path start address, 0x2000000 = SSRAM
//   register 16 (32 bit, write) command: 1 erase, 2 write SSRAM to flash
//   register 20 (32 bit, read)  phase (low byte): 2 erased, 4 erase checked,
//                               6 written, 7 verified, EEh hardware error
//   register 8  (16 bit, read)  progress of the write or verify, 0..FFFFh
// The run is one fixed sequence of phases with fixed progress values; a stop
// request takes effect at the next status poll.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "features/reporter.h"
#include "link/board_link.h"

namespace quillon::features {

inline constexpr std::uint32_t kSerBridgeImageBytes = 16u << 20;
inline constexpr std::uint32_t kSerBridgeSsram = 0x2000000;

// The bridge design of each entry of the target list, in the Flash folder.
inline constexpr const char* kSerBridgeDesigns[] = {
    "SerBridge_Orrick_EP3SL50_compress.rbf",
    "SerBridge_Orrick_EP3SL70_compress.rbf",
    "SerBridge_Orrick_EP3SL150_compress.rbf",
};

enum class RunResult { Dash, Executing, Successful, Failed };

// What the page shows of a run.
class SerBridgeView {
  public:
    virtual ~SerBridgeView() = default;
    virtual void SetProgress(int percent) = 0;  // the bar and "%d%"
    virtual void SetPhase(const std::string& text) = 0;
    virtual void SetResult(RunResult result) = 0;
    // Whole seconds since the run started; nullopt shows "-".
    virtual void SetElapsed(std::optional<std::int64_t> seconds) = 0;
    virtual void SetExecuteEnabled(bool enabled) = 0;
    virtual void ShowLog() = 0;
};

// Set by the page's cancel button, cleared when a run starts; only the
// status polls look at it.
std::atomic<bool>& SerFlashCancelRequested();

// The whole run behind the Execute button, confirmation included.
// `targetIndex` picks the bridge design, `dataPath` is the data file.
// Returns true when the flash was written and verified.
bool SerBridgeExecute(link::BoardHandle h, int targetIndex, const std::string& dataPath,
                      SerBridgeView& view, Reporter& r = DefaultReporter());

}  // namespace quillon::features
