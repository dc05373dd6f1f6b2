#include "link/bulk.h"

#include <cstdio>
#include <span>

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
        std::printf("ERROR code :%d\n", r.systemCode);
        std::fflush(stdout);
        LogFile::Write(errorCode);
        return false;
    }
    if (r.moved != length) {
        std::printf("Transfer Size ERROR!!\n");
        std::fflush(stdout);
        LogFile::Write(sizeCode);
        return false;
    }
    return true;
}

// A handle of a link that has closed since the caller took it is no board
// either: the board it named is gone.
bool NoBoard(BoardHandle h) {
    return BoardLink::Instance().DeviceFor(h) == nullptr;
}

template <typename Pipe>
bool FramedWrite(BoardHandle h, bool lengthFraming, std::uint8_t memoryWidth,
                 std::uint32_t length, Pipe&& pipe) {
    if (NoBoard(h)) {
        LogFile::Write("1");
        return false;
    }
    if (!MemCommand(h, lengthFraming, kMemWriteBegin, memoryWidth, length)) {
        LogFile::Write(lengthFraming ? "3" : "2");
        return false;
    }
    Device* dev = BoardLink::Instance().DeviceFor(h);
    const TransferResult r = dev ? pipe(*dev) : NoDevice();
    if (!CheckPipe(r, length, "4", "5")) return false;
    if (!MemCommand(h, lengthFraming, kMemWriteEnd, memoryWidth, length)) {
        LogFile::Write(lengthFraming ? "7" : "6");
        return false;
    }
    return true;
}

template <typename Pipe>
bool FramedRead(BoardHandle h, bool lengthFraming, std::uint8_t memoryWidth, std::uint32_t length,
                Pipe&& pipe) {
    if (NoBoard(h)) return false;
    if (!MemCommand(h, lengthFraming, kMemReadBegin, memoryWidth, length)) {
        LogFile::Write(lengthFraming ? "D2" : "D1");
        return false;
    }
    Device* dev = BoardLink::Instance().DeviceFor(h);
    const TransferResult r = dev ? pipe(*dev) : NoDevice();
    if (!CheckPipe(r, length, "D3", "D4")) return false;
    if (!MemCommand(h, lengthFraming, kMemReadEnd, memoryWidth, length)) {
        LogFile::Write(lengthFraming ? "D6" : "D5");
        return false;
    }
    return true;
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
