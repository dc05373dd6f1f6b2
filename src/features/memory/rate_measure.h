#pragma once
// The transfer-rate page: sixteen timed bulk writes of a block of 0xAA bytes,
// then sixteen timed bulk reads of the same size, each logged, with the
// average, best and worst rate of each direction. No file is involved, and no
// block is held either: the bytes are made and dropped as the pipe takes and
// gives them.

#include <QtGlobal>
#include <cstdint>
#include <functional>

#include "features/reporter.h"
#include "link/board_link.h"
#include "link/bulk.h"

namespace quillon::features {

struct RateBlockSize {
    const char* label;  // the size list's entry
    std::uint32_t bytes;
};
inline constexpr RateBlockSize kRateBlockSizes[] = {
    {"128MiBytes", 0x8000000}, {"8MiBytes", 0x800000}, {"4MiBytes", 0x400000},
    {"1MiBytes", 0x100000},    {"128KiBytes", 0x20000}, {"16KiBytes", 0x4000},
    {"1KiBytes", 0x400},       {"512Bytes", 0x200},
};
inline constexpr int kRateBlockCount = 8;
inline constexpr int kRateRepeats = 16;

inline constexpr const char* kRateFailed = QT_TRANSLATE_NOOP("Lang", "転送ﾚｰﾄ測定に失敗しました。");

// The measurement with blocks of `blockSize` bytes. Writes are framed with
// length framing when `tessera` is on; reads always with the one-byte command.
bool MeasureTransferRate(link::BoardHandle h, std::uint32_t blockSize, bool tessera,
                         Reporter& reporter);
// The same, telling a cancel (link/abort.h) from a failure.
link::BulkOutcome MeasureRate(link::BoardHandle h, std::uint32_t blockSize, bool tessera,
                              Reporter& reporter);

// The start button: busy window, controls off, the measurement of the size
// list's entry `sizeIndex`, the outcome in the log (and a box on failure),
// controls on again. A size index out of range measures the first entry.
bool RunRateMeasurement(link::BoardHandle h, int sizeIndex, bool tessera, Reporter& reporter,
                        const std::function<void(bool enabled)>& setControlsEnabled);

}  // namespace quillon::features
