#pragma once
// Framed bulk transfers: begin command, one pipe transfer, end command. Failures
// log their short codes ("1".."7" for writes, "D1".."D6" for reads).

#include <cstdint>

#include "link/board_link.h"
#include "link/device.h"

namespace quillon::link {

// lengthFraming false: VR_MEM_CMD with the memory width code;
// true: VR_MEM_CMDLEN with the length in 4-byte units.
bool BulkWrite(BoardHandle h, bool lengthFraming, std::uint8_t memoryWidth, std::uint32_t length,
               const std::uint8_t* data);
bool BulkRead(BoardHandle h, bool lengthFraming, std::uint8_t memoryWidth, std::uint32_t length,
              std::uint8_t* buffer);

// The same framing, codes and single pipe transfer, with the data streamed
// (Device::BulkOutStream / BulkInStream) instead of held in one buffer. A
// source or sink that stops the transfer fails it like a pipe error ("4"/"D3").
bool BulkWriteStream(BoardHandle h, bool lengthFraming, std::uint8_t memoryWidth,
                     std::uint32_t length, const BulkSource& source);
bool BulkReadStream(BoardHandle h, bool lengthFraming, std::uint8_t memoryWidth,
                    std::uint32_t length, const BulkSink& sink);

// How a framed transfer ended. A transfer stopped by RequestBulkAbort()
// (link/abort.h) is Cancelled: the pipe transfer ended early, no code was
// logged, and the end command was sent and taken. A cancel whose end command
// fails is a failure, with the end command's code in the log. A cancel asked
// for before the begin command sends nothing.
enum class BulkOutcome { Done, Failed, Cancelled };
struct BulkResult {
    BulkOutcome outcome = BulkOutcome::Failed;
    std::uint64_t moved = 0;  // bytes the pipe moved
    bool done() const { return outcome == BulkOutcome::Done; }
    bool cancelled() const { return outcome == BulkOutcome::Cancelled; }
};
BulkResult BulkWriteFramed(BoardHandle h, bool lengthFraming, std::uint8_t memoryWidth,
                           std::uint32_t length, const BulkSource& source);
BulkResult BulkReadFramed(BoardHandle h, bool lengthFraming, std::uint8_t memoryWidth,
                          std::uint32_t length, const BulkSink& sink);

}  // namespace quillon::link
