#pragma once
// The narrow seam to one opened board: control transfers on the default pipe
// and bulk transfers on the two data pipes. A backend is one file that
// implements Device and Backend.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "link/hints.h"

namespace quillon::link {

inline constexpr std::uint8_t kBulkOutEp = 0x06;
inline constexpr std::uint8_t kBulkInEp = 0x82;

inline constexpr std::uint8_t kVendorOut = 0x40;  // vendor, host to device, recipient device
inline constexpr std::uint8_t kVendorIn = 0xC0;   // vendor, device to host, recipient device

struct SetupPacket {
    std::uint8_t bmRequestType = 0;
    std::uint8_t bRequest = 0;
    std::uint16_t wValue = 0;
    std::uint16_t wIndex = 0;
    std::uint16_t wLength = 0;

    bool In() const { return (bmRequestType & 0x80) != 0; }
};

enum class UsbError {
    None,
    Stall,     // the endpoint answered STALL
    NoDevice,  // the board is gone (unplugged, reset, link closed)
    Timeout,
    Overflow,  // the board sent more than was asked for
    Cancelled,
    Io,  // any other failure of the bus or the driver
};

const char* UsbErrorName(UsbError e);  // "STALL", "NO_DEVICE", ...

struct TransferResult {
    UsbError error = UsbError::None;
    std::uint32_t moved = 0;  // bytes actually moved, also on error
    // The backend's own error code, for diagnostics ("ERROR code :%d"). Both
    // backends number it as libusb does (-4 no device, -9 pipe stalled, ...).
    int systemCode = 0;

    bool ok() const { return error == UsbError::None; }
};

// A streamed bulk transfer is one transfer of a given length, on the wire and
// in the trace, whose data the caller hands over (OUT) or takes (IN) in pieces
// as it goes, so that no buffer of the whole length is ever needed. Pieces come
// in order and hold at most kStreamPiece bytes. A source fills its piece whole;
// a sink gets the bytes as they arrive. Either returns false to stop the
// transfer, which then ends with UsbError::Cancelled and the bytes moved so far.
inline constexpr std::size_t kStreamPiece = 4u << 20;
using BulkSource = std::function<bool(std::span<std::uint8_t> piece)>;
using BulkSink = std::function<bool(std::span<const std::uint8_t> piece)>;

// Where a board sits: its bus and its address on that bus (0 = not known).
struct BusAddress {
    std::uint16_t bus = 0;
    std::uint8_t device = 0;
};

class Device {
  public:
    virtual ~Device() = default;
    // `data` is the data stage: exactly setup.wLength bytes. OUT sends from it,
    // IN receives into it.
    virtual TransferResult Control(const SetupPacket& setup, std::span<std::uint8_t> data) = 0;
    // Any length up to 4 GiB - 1 in one call; the backend splits as it must.
    virtual TransferResult BulkOut(std::uint8_t endpoint, std::span<const std::uint8_t> data) = 0;
    virtual TransferResult BulkIn(std::uint8_t endpoint, std::span<std::uint8_t> data) = 0;
    // Streamed transfers of `length` bytes. By default the pieces go through
    // BulkOut/BulkIn one after the other, each a whole number of packets, so
    // the board sees the packets of one transfer; a backend that can keep the
    // pipe busy across pieces overrides these.
    virtual TransferResult BulkOutStream(std::uint8_t endpoint, std::uint32_t length,
                                         const BulkSource& source);
    virtual TransferResult BulkInStream(std::uint8_t endpoint, std::uint32_t length,
                                        const BulkSink& sink);
    // A read of `length` bytes (any length, 4 GiB and more included) as
    // transfers of `piece` bytes each, the last one the rest. Each piece goes
    // into the buffer `target.buffer` lends for it and is handed back, in
    // order, to `target.done` with its own result (moved: its bytes). The read
    // stops after the first piece that fails or ends short, or when either
    // function stops it (a null buffer, or done returning false). By default
    // the pieces go through BulkIn one after the other, each its own transfer
    // on the wire and in the trace; a backend that can keep the pipe busy
    // across pieces overrides this. `buffer` may block until the caller has a
    // buffer free: the pieces already in flight go on meanwhile.
    struct PieceTarget {
        std::function<std::uint8_t*(std::uint64_t index, std::uint32_t length)> buffer;
        // `bytes` is the buffer lent for the piece, or null when it never got one
        // (the read failed before it started).
        std::function<bool(std::uint64_t index, std::uint8_t* bytes, const TransferResult& r)> done;
    };
    virtual void BulkInPieces(std::uint8_t endpoint, std::uint64_t length, std::uint32_t piece,
                              const PieceTarget& target);
    // For the records of a trace; a device that wraps another passes it on.
    virtual BusAddress Address() const { return {}; }
};

enum class DeviceNotice { Arrival, Removal };

// Posts a notice to the GUI thread. Backends call it from any thread, never
// while holding a lock that the GUI thread might take.
using NoticePoster = std::function<void(DeviceNotice)>;

class Backend {
  public:
    virtual ~Backend() = default;
    virtual std::string Name() const = 0;
    // Finds the first board and opens it; nullptr when there is none or the open
    // failed (diagnostics go to standard output).
    virtual std::unique_ptr<Device> OpenFirst() = 0;
    // Starts delivering arrival and removal notices of matching devices.
    virtual void WatchDevices(NoticePoster post) = 0;
    // Version text of the USB stack below ("1.0.26.11724" for libusb).
    virtual std::string DriverVersion() const = 0;
    // Why there is no board to open: what the last OpenFirst found, kept up
    // to date by the device watch (the open board leaving, a board's
    // controller arriving without firmware). Any thread.
    virtual NoBoardReason WhyNoBoard() const { return {}; }
};

}  // namespace quillon::link
