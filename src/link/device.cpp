#include "link/device.h"

#include <algorithm>
#include <memory>
#include <new>

#include "link/abort.h"

namespace quillon::link {

const char* UsbErrorName(UsbError e) {
    switch (e) {
        case UsbError::None: return "OK";
        case UsbError::Stall: return "STALL";
        case UsbError::NoDevice: return "NO_DEVICE";
        case UsbError::Timeout: return "TIMEOUT";
        case UsbError::Overflow: return "OVERFLOW";
        case UsbError::Cancelled: return "CANCELLED";
        case UsbError::Io: return "IO";
    }
    return "IO";
}

namespace {

TransferResult Stopped(std::uint32_t moved) {
    return {UsbError::Cancelled, moved, kInterruptedCode};
}

std::unique_ptr<std::uint8_t[]> PieceBuffer(std::uint32_t length) {
    const std::size_t n = std::min<std::size_t>(length, kStreamPiece);
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[n ? n : 1]);
}

TransferResult NoMemory(std::uint32_t moved) {
    return {UsbError::Io, moved, -11};  // LIBUSB_ERROR_NO_MEM
}

}  // namespace

TransferResult Device::BulkOutStream(std::uint8_t endpoint, std::uint32_t length,
                                     const BulkSource& source) {
    auto buffer = PieceBuffer(length);
    if (!buffer) return NoMemory(0);
    std::uint32_t moved = 0;
    do {
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(kStreamPiece, length - moved));
        const std::span<std::uint8_t> piece(buffer.get(), n);
        if (BulkAbortRequested() || !source(piece)) return Stopped(moved);
        TransferResult r = BulkOut(endpoint, piece);
        moved += std::min(r.moved, n);
        if (!r.ok()) return {r.error, moved, r.systemCode};
        if (r.moved < n) break;  // the board took less: the transfer ends short
    } while (moved < length);
    return {UsbError::None, moved, 0};
}

TransferResult Device::BulkInStream(std::uint8_t endpoint, std::uint32_t length,
                                    const BulkSink& sink) {
    auto buffer = PieceBuffer(length);
    if (!buffer) return NoMemory(0);
    std::uint32_t moved = 0;
    do {
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(kStreamPiece, length - moved));
        if (BulkAbortRequested()) return Stopped(moved);
        TransferResult r = BulkIn(endpoint, std::span<std::uint8_t>(buffer.get(), n));
        const std::uint32_t got = std::min(r.moved, n);
        moved += got;
        if (!r.ok()) return {r.error, moved, r.systemCode};
        if (got > 0 && !sink(std::span<const std::uint8_t>(buffer.get(), got)))
            return Stopped(moved);
        if (got < n) break;  // a short packet ended the transfer
    } while (moved < length);
    return {UsbError::None, moved, 0};
}

void Device::BulkInPieces(std::uint8_t endpoint, std::uint64_t length, std::uint32_t piece,
                          const PieceTarget& target) {
    for (std::uint64_t k = 0, at = 0; at < length; ++k, at += piece) {
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(piece, length - at));
        std::uint8_t* b = target.buffer(k, n);
        if (!b) return;
        const TransferResult r = BulkIn(endpoint, std::span<std::uint8_t>(b, n));
        if (!target.done(k, b, r) || !r.ok() || r.moved < n) return;
    }
}

}  // namespace quillon::link
