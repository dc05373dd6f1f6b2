#include "link/bulk.h"

#include <span>
#include <string>

#include "link/abort.h"
#include "link/hints.h"
#include "link/usb_cause.h"
#include "link/vendor_requests.h"
#include "log/log_file.h"

namespace quillon::link {

namespace {

bool MemCommand(BoardHandle h, bool lengthFraming, std::uint8_t command, std::uint8_t memoryWidth,
                std::uint32_t length) {
    return lengthFraming ? VR_MEM_CMDLEN(h, command, length >> 2)
                         : VR_MEM_CMD(h, command, memoryWidth);
}

// The link may have closed since the begin command (a removal notice served
// while the caller pumped messages); then the pipe transfer fails like a
// transfer to a vanished device.
TransferResult NoDevice() {
    TransferResult r;
    r.error = UsbError::NoDevice;
    r.systemCode = -4;  // as the backends number it (libusb's LIBUSB_ERROR_NO_DEVICE)
    return r;
}

// "4"/"D3" for an error, "5"/"D4" for a wrong byte count.
bool CheckPipe(const TransferResult& r, std::uint32_t length, const char* errorCode,
               const char* sizeCode) {
    if (!r.ok()) {
        NoteTransferFailure(r);
        Diagnostic("ERROR code :" + std::to_string(r.systemCode));
        LogFile::Write(errorCode);
        return false;
    }
    if (r.moved != length) {
        NoteWrongCount(r.moved, length);
        Diagnostic("Transfer Size ERROR!!");
        LogFile::Write(sizeCode);
        return false;
    }
    return true;
}

// A handle of a link that has closed since the caller took it is no board
// either: the board it named is gone.
bool NoBoard(BoardHandle h) {
    if (BoardLink::Instance().DeviceFor(h)) return false;
    NoteNoBoard();
    return true;
}

// A pipe transfer that ended because an abort was asked for (not a source or
// sink that stopped it for a reason of its own).
bool Aborted(const TransferResult& r) {
    return r.error == UsbError::Cancelled && BulkAbortRequested();
}

struct Framing {
    bool lengthFraming;
    std::uint8_t memoryWidth;
    std::uint32_t length;
    std::uint8_t begin, end;
    // Log codes: no board (writes only), begin, pipe error, pipe count, end;
    // each pair is one-byte framing, length framing.
    const char* noBoard;
    const char* beginCode[2];
    const char* errorCode;
    const char* sizeCode;
    const char* endCode[2];
};

template <typename Pipe>
BulkResult Framed(BoardHandle h, const Framing& f, Pipe&& pipe) {
    BulkResult result;
    const int form = f.lengthFraming ? 1 : 0;
    if (NoBoard(h)) {
        if (f.noBoard) LogFile::Write(f.noBoard);
        return result;
    }
    if (BulkAbortRequested()) {
        result.outcome = BulkOutcome::Cancelled;
        return result;
    }
    if (!MemCommand(h, f.lengthFraming, f.begin, f.memoryWidth, f.length)) {
        LogFile::Write(f.beginCode[form]);
        return result;
    }
    Device* dev = BoardLink::Instance().DeviceFor(h);
    const TransferResult r = dev ? pipe(*dev) : NoDevice();
    result.moved = r.moved;
    const bool aborted = Aborted(r);
    if (!aborted && !CheckPipe(r, f.length, f.errorCode, f.sizeCode)) return result;
    if (!MemCommand(h, f.lengthFraming, f.end, f.memoryWidth, f.length)) {
        LogFile::Write(f.endCode[form]);
        return result;
    }
    result.outcome = aborted ? BulkOutcome::Cancelled : BulkOutcome::Done;
    return result;
}

constexpr Framing WriteFraming(bool lengthFraming, std::uint8_t memoryWidth, std::uint32_t length) {
    return {lengthFraming, memoryWidth, length, kMemWriteBegin, kMemWriteEnd, "1", {"2", "3"},
            "4",           "5",         {"6", "7"}};
}

constexpr Framing ReadFraming(bool lengthFraming, std::uint8_t memoryWidth, std::uint32_t length) {
    return {lengthFraming, memoryWidth, length, kMemReadBegin, kMemReadEnd, nullptr, {"D1", "D2"},
            "D3",          "D4",        {"D5", "D6"}};
}

template <typename Pipe>
bool FramedWrite(BoardHandle h, bool lengthFraming, std::uint8_t memoryWidth,
                 std::uint32_t length, Pipe&& pipe) {
    return Framed(h, WriteFraming(lengthFraming, memoryWidth, length), pipe).done();
}

template <typename Pipe>
bool FramedRead(BoardHandle h, bool lengthFraming, std::uint8_t memoryWidth, std::uint32_t length,
                Pipe&& pipe) {
    return Framed(h, ReadFraming(lengthFraming, memoryWidth, length), pipe).done();
}

}  // namespace

bool BulkWrite(BoardHandle h, bool lengthFraming, std::uint8_t memoryWidth, std::uint32_t length,
               const std::uint8_t* data) {
    return FramedWrite(h, lengthFraming, memoryWidth, length, [&](Device& dev) {
        return dev.BulkOut(kBulkOutEp, std::span<const std::uint8_t>(data, length));
    });
}

bool BulkRead(BoardHandle h, bool lengthFraming, std::uint8_t memoryWidth, std::uint32_t length,
              std::uint8_t* buffer) {
    return FramedRead(h, lengthFraming, memoryWidth, length, [&](Device& dev) {
        return dev.BulkIn(kBulkInEp, std::span<std::uint8_t>(buffer, length));
    });
}

bool BulkWriteStream(BoardHandle h, bool lengthFraming, std::uint8_t memoryWidth,
                     std::uint32_t length, const BulkSource& source) {
    return FramedWrite(h, lengthFraming, memoryWidth, length, [&](Device& dev) {
        return dev.BulkOutStream(kBulkOutEp, length, source);
    });
}

bool BulkReadStream(BoardHandle h, bool lengthFraming, std::uint8_t memoryWidth,
                    std::uint32_t length, const BulkSink& sink) {
    return FramedRead(h, lengthFraming, memoryWidth, length, [&](Device& dev) {
        return dev.BulkInStream(kBulkInEp, length, sink);
    });
}

}  // namespace quillon::link

namespace quillon::link {

BulkResult BulkWriteFramed(BoardHandle h, bool lengthFraming, std::uint8_t memoryWidth,
                           std::uint32_t length, const BulkSource& source) {
    return Framed(h, WriteFraming(lengthFraming, memoryWidth, length),
                  [&](Device& dev) { return dev.BulkOutStream(kBulkOutEp, length, source); });
}

BulkResult BulkReadFramed(BoardHandle h, bool lengthFraming, std::uint8_t memoryWidth,
                          std::uint32_t length, const BulkSink& sink) {
    return Framed(h, ReadFraming(lengthFraming, memoryWidth, length),
                  [&](Device& dev) { return dev.BulkInStream(kBulkInEp, length, sink); });
}

}  // namespace quillon::link
