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

}  // namespace quillon::link
