#include "link/usb/usb_backend.h"

#include <libusb.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <map>
#include <new>
#include <numeric>
#include <optional>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "link/abort.h"
#include "link/board_lock.h"
#include "link/hints.h"
#include "platform/file_io.h"
#include "platform/platform.h"
#include "platform/settings_store.h"

namespace quillon::usb {

using link::TransferResult;
using link::UsbError;

namespace {

// Diagnostics of the device layer go to standard output (link::Diagnostic),
// never to the log. One line each; a trailing line end is the caller's habit.
void Diag(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Diag(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::string line = text;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    link::Diagnostic(line);
}

UsbError FromLibusbError(int code) {
    switch (code) {
        case LIBUSB_SUCCESS:
            return UsbError::None;
        case LIBUSB_ERROR_PIPE:
            return UsbError::Stall;
        case LIBUSB_ERROR_NO_DEVICE:
            return UsbError::NoDevice;
        case LIBUSB_ERROR_TIMEOUT:
            return UsbError::Timeout;
        case LIBUSB_ERROR_OVERFLOW:
            return UsbError::Overflow;
        case LIBUSB_ERROR_INTERRUPTED:
            return UsbError::Cancelled;
        default:
            return UsbError::Io;
    }
}

UsbError FromTransferStatus(int status) {
    switch (status) {
        case LIBUSB_TRANSFER_COMPLETED:
            return UsbError::None;
        case LIBUSB_TRANSFER_STALL:
            return UsbError::Stall;
        case LIBUSB_TRANSFER_NO_DEVICE:
            return UsbError::NoDevice;
        case LIBUSB_TRANSFER_TIMED_OUT:
            return UsbError::Timeout;
        case LIBUSB_TRANSFER_OVERFLOW:
            return UsbError::Overflow;
        case LIBUSB_TRANSFER_CANCELLED:
            return UsbError::Cancelled;
        default:
            return UsbError::Io;
    }
}

// A transfer's status as the libusb error code of the same meaning, so that
// every failure reports its code in one numbering (libusb_error).
int ErrorCodeOf(int status) {
    switch (status) {
        case LIBUSB_TRANSFER_COMPLETED:
            return LIBUSB_SUCCESS;
        case LIBUSB_TRANSFER_STALL:
            return LIBUSB_ERROR_PIPE;
        case LIBUSB_TRANSFER_NO_DEVICE:
            return LIBUSB_ERROR_NO_DEVICE;
        case LIBUSB_TRANSFER_TIMED_OUT:
            return LIBUSB_ERROR_TIMEOUT;
        case LIBUSB_TRANSFER_OVERFLOW:
            return LIBUSB_ERROR_OVERFLOW;
        case LIBUSB_TRANSFER_CANCELLED:
            return LIBUSB_ERROR_INTERRUPTED;
        default:
            return LIBUSB_ERROR_IO;
    }
}

// The libusb context. Open devices hold it too, so it outlives the backend
// when a device is destroyed last.
struct Context {
    libusb_context* ctx = nullptr;
    int initError = 0;
    Context() { initError = libusb_init(&ctx); }
    ~Context() {
        if (ctx) libusb_exit(ctx);
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
};

// A device is known by bus number and address: the kernel does not hand the
// address of a device that left to the next one at once, and both stay
// readable from libusb's record after the descriptors are gone.
using DeviceKey = std::uint32_t;
DeviceKey KeyOf(libusb_device* d) {
    return (DeviceKey{libusb_get_bus_number(d)} << 8) | libusb_get_device_address(d);
}

struct BoardInterface {
    int number = -1;
    int altSetting = 0;
    // wMaxPacketSize of the two pipes: 512 at high speed, 1024 at SuperSpeed,
    // 64 at full speed.
    std::size_t packetOut = 512;
    std::size_t packetIn = 512;
};

struct ConfigDeleter {
    void operator()(libusb_config_descriptor* c) const { libusb_free_config_descriptor(c); }
};

std::size_t PacketSize(const libusb_endpoint_descriptor& ep) {
    // Bits 11-12 are extra transactions per microframe (interrupt and
    // isochronous only).
    return ep.wMaxPacketSize & 0x7FF;
}

// The board's signature: a vendor-specific interface with the two bulk pipes.
// An alternate setting that gives a pipe no packet size (an FX2 keeps its
// setting 0 without bandwidth) cannot carry data and does not count.
std::optional<BoardInterface> FindBoardInterface(libusb_device* dev,
                                                 const std::vector<UsbId>& ids) {
    libusb_device_descriptor dd{};
    if (libusb_get_device_descriptor(dev, &dd) != LIBUSB_SUCCESS) return std::nullopt;
    if (!ids.empty() &&
        std::find(ids.begin(), ids.end(), UsbId{dd.idVendor, dd.idProduct}) == ids.end()) {
        return std::nullopt;
    }
    libusb_config_descriptor* raw = nullptr;
    if (libusb_get_active_config_descriptor(dev, &raw) != LIBUSB_SUCCESS || !raw) {
        return std::nullopt;
    }
    std::unique_ptr<libusb_config_descriptor, ConfigDeleter> cfg(raw);
    for (int i = 0; i < cfg->bNumInterfaces; ++i) {
        const libusb_interface& itf = cfg->interface[i];
        for (int a = 0; a < itf.num_altsetting; ++a) {
            const libusb_interface_descriptor& alt = itf.altsetting[a];
            if (alt.bInterfaceClass != LIBUSB_CLASS_VENDOR_SPEC) continue;
            BoardInterface found{alt.bInterfaceNumber, alt.bAlternateSetting};
            bool out = false, in = false;
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& ep = alt.endpoint[e];
                if ((ep.bmAttributes & 0x03) != LIBUSB_TRANSFER_TYPE_BULK) continue;
                if (ep.bEndpointAddress == link::kBulkOutEp) {
                    found.packetOut = PacketSize(ep);
                    out = found.packetOut > 0;
                }
                if (ep.bEndpointAddress == link::kBulkInEp) {
                    found.packetIn = PacketSize(ep);
                    in = found.packetIn > 0;
                }
            }
            if (out && in) return found;
        }
    }
    return std::nullopt;
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

// The IDs the USB controllers show without firmware of the board: an FX3
// runs its boot loader, an FX2 without firmware enumerates as the bare chip.
constexpr UsbId kFx3Bootloader{0x04B4, 0x00F3};
constexpr UsbId kFx2Bare{0x04B4, 0x8613};
// The boards' own ID, for when USB_IDS does not name theirs.
constexpr UsbId kBoardId{0x04B4, 0x00F1};

// A device that is a board's controller without the board's firmware
// running: the hint that says so, or nothing.
std::optional<std::string> NoFirmwareHint(libusb_device* dev, const std::vector<UsbId>& ids) {
    libusb_device_descriptor dd{};
    if (libusb_get_device_descriptor(dev, &dd) != LIBUSB_SUCCESS) return std::nullopt;
    libusb_config_descriptor* raw = nullptr;
    if (libusb_get_active_config_descriptor(dev, &raw) != LIBUSB_SUCCESS || !raw) {
        return std::nullopt;  // not configured yet: nothing to tell by
    }
    libusb_free_config_descriptor(raw);
    if (FindBoardInterface(dev, {})) return std::nullopt;
    const UsbId id{dd.idVendor, dd.idProduct};
    const char* what = nullptr;
    if (id == kFx3Bootloader) {
        what = "is an FX3 in its bootloader: the board's firmware is not running (after a"
               " firmware reset or a failed update)";
    } else if (id == kFx2Bare) {
        what = "is an FX2 at its default ID without firmware (no firmware in its EEPROM, or"
               " a failed update)";
    } else if (ids.empty() ? id == kBoardId
                           : std::find(ids.begin(), ids.end(), id) != ids.end()) {
        what = "has a board's ID but not the board's pipes 0x06 and 0x82: its firmware is not"
               " running (bootloader, or no firmware)";
    } else {
        return std::nullopt;
    }
    return Format(
        "USB: %04x:%04x (bus %03u device %03u) %s; load the board's firmware, then plug the"
        " board in again",
        id.vid, id.pid, libusb_get_bus_number(dev), libusb_get_device_address(dev), what);
}

constexpr const char* kRuleName = "70-quillon.rules";

std::string ToLower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Whether a rule file has a line for `id` that is not a comment.
bool RuleCovers(const std::string& path, UsbId id) {
    // A rule file is a few lines; whatever else sits under its name is not read.
    const platform::WholeFile file = platform::ReadWholeFile(path, 1u << 20);
    if (!file.ok()) return false;
    std::istringstream in(std::string(file.bytes.begin(), file.bytes.end()));
    const std::string vid = Format("idvendor}==\"%04x\"", id.vid);
    const std::string pid = Format("idproduct}==\"%04x\"", id.pid);
    std::string line;
    while (std::getline(in, line)) {
        line = ToLower(line);
        std::erase(line, ' ');
        if (line.empty() || line[0] == '#') continue;
        if (line.find(vid) != std::string::npos && line.find(pid) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// The copy of the boards' udev rule that comes with the program, or "".
std::string ShippedRule(const std::vector<std::string>& dirs) {
    if (!QCoreApplication::instance()) return {};
    const std::filesystem::path program = QCoreApplication::applicationDirPath().toStdString();
    for (const std::string& dir : dirs) {
        std::error_code ec;
        const std::filesystem::path rule = (program / dir / kRuleName).lexically_normal();
        if (std::filesystem::is_regular_file(rule, ec)) return rule.string();
    }
    return {};
}

constexpr const char* kBusyHint =
    "another program has the board open (another quillon or quillon-run?): end it, then plug"
    " the board in again";

// usbfs refused a URB for want of memory with nothing of ours in flight.
void ReportUsbfsMemory() {
    link::Hint(
        "USB: usbfs memory used up (the kernel's pool usbfs_memory_mb, 16 MiB by default, is"
        " shared by every program using USB): end other USB programs, or raise it with 'echo 256"
        " | sudo tee /sys/module/usbcore/parameters/usbfs_memory_mb' (for good: the kernel"
        " parameter usbcore.usbfs_memory_mb=256)");
}

std::vector<UsbId> ReadUsbIdFilter() {
    std::string text;
    {
        SettingsStore store;
        text = store.ReadString(kSetup, kUsbIdsKey, "");
    }
    std::vector<std::string> rejected;
    std::vector<UsbId> ids = ParseUsbIds(text, &rejected);
    for (const std::string& r : rejected) {
        Diag("USB_IDS: \"%s\" is not VID:PID in hexadecimal, ignored\n", r.c_str());
    }
    if (ids.empty() && !rejected.empty()) {
        Diag("USB_IDS: no usable entry, any device with the board interface is accepted\n");
    }
    return ids;
}

std::atomic<MeetingHook> meetingHook{nullptr};

void Meet(MeetingPoint point) {
    if (MeetingHook hook = meetingHook.load(std::memory_order_acquire)) hook(point);
}

struct DeviceListDeleter {
    void operator()(libusb_device** list) const { libusb_free_device_list(list, 1); }
};
using DeviceList = std::unique_ptr<libusb_device*[], DeviceListDeleter>;

// Shared by the open device and the backend's event thread: when the event
// thread sees the open board leave, it marks it gone, and every transfer
// waiting on it is cancelled by its own caller instead of waiting on.
struct OpenState {
    OpenState(DeviceKey k, std::unique_ptr<link::BoardLock> l) : key(k), lock(std::move(l)) {}
    const DeviceKey key;
    std::atomic<bool> gone{false};
    // This process's hold on the board: let go with the last of the device's
    // owners, after the interface was released and the handle closed.
    const std::unique_ptr<link::BoardLock> lock;
};

// The completions of one call. The callback runs on whichever thread handles
// libusb's events (the caller itself or the backend's event thread), so it
// only queues the transfer and raises the flag that the waiting call watches.
struct Completions {
    std::mutex mu;
    std::vector<libusb_transfer*> done;
    int flag = 0;
};

void LIBUSB_CALL OnTransferDone(libusb_transfer* t) {
    auto* c = static_cast<Completions*>(t->user_data);
    std::lock_guard<std::mutex> lock(c->mu);
    c->done.push_back(t);
    c->flag = 1;
}

struct TransferDeleter {
    void operator()(libusb_transfer* t) const { libusb_free_transfer(t); }
};
using TransferPtr = std::unique_ptr<libusb_transfer, TransferDeleter>;

// Linux refuses URBs beyond this much memory in flight (usbfs_memory_mb, 16
// by default); the queued pieces of one call stay within it.
constexpr std::size_t kUsbfsLimit = std::size_t{16} << 20;

// Pieces are whole multiples of the pipes' packet size (1024 bytes, the
// largest bulk packet, covers every usual one), so a piece before the last
// never ends inside a packet: a short packet there would end the transfer
// for the board.
std::size_t ChunkSize(std::size_t wanted, const BoardInterface& itf) {
    const std::size_t chunk =
        std::clamp<std::size_t>(wanted & ~std::size_t{1023}, 1024, kUsbfsLimit);
    const std::size_t unit = std::lcm(itf.packetOut, itf.packetIn);  // at most 2047 * 2047
    return std::max(unit, chunk - chunk % unit);
}

// Where the pieces of a bulk call come from and go to.
class PieceIo {
  public:
    virtual ~PieceIo() = default;
    // The buffer for the piece at `offset` of the call, `length` bytes (at most
    // the piece size it was made for), filled for OUT; nullptr while none is
    // free (one comes back with Release) or, with `stopped` set, when the
    // caller's source stopped the transfer.
    virtual std::uint8_t* Acquire(std::size_t offset, std::size_t length, bool& stopped) = 0;
    // A piece has ended, in order, with `counted` of its bytes moved (IN: in
    // `buffer`), and `buffer` is free again. `at` is where those bytes stand
    // in the call: the piece's own offset, or less on a read when a short
    // packet before it left the call's bytes short, as they then follow it.
    // `length` is what the piece was planned to move. False: the caller's
    // sink stopped the transfer.
    virtual bool Release(std::uint8_t* buffer, std::size_t at, std::size_t counted,
                         std::size_t length) = 0;
    // Bytes from `offset` of the call to the next place where a piece must
    // end (the caller's own pieces do not share a transfer).
    virtual std::size_t Room(std::size_t offset) const {
        (void)offset;
        return SIZE_MAX;
    }
};

// The caller's own buffer of the whole length: pieces go straight from and
// into it.
class CallerBuffer final : public PieceIo {
  public:
    explicit CallerBuffer(std::uint8_t* data) : data_(data) {}
    std::uint8_t* Acquire(std::size_t offset, std::size_t, bool&) override {
        return data_ + offset;
    }
    bool Release(std::uint8_t* buffer, std::size_t at, std::size_t counted, std::size_t) override {
        // Bytes behind a short packet move down to follow it (their piece's
        // place in the buffer lies beyond).
        if (buffer != data_ + at) std::memmove(data_ + at, buffer, counted);
        return true;
    }

  private:
    std::uint8_t* data_;
};

// A few buffers of one piece each, filled by a streamed transfer's source or
// emptied into its sink.
class PiecePool final : public PieceIo {
  public:
    PiecePool(std::size_t pieceSize, std::size_t count, const link::BulkSource* source,
              const link::BulkSink* sink)
        : source_(source), sink_(sink) {
        for (std::size_t i = 0; i < count; ++i) {
            std::unique_ptr<std::uint8_t[]> b(new (std::nothrow) std::uint8_t[pieceSize ? pieceSize : 1]);
            if (!b) return;
            free_.push_back(b.get());
            buffers_.push_back(std::move(b));
        }
        ok_ = true;
    }
    bool ok() const { return ok_; }
    std::uint8_t* Acquire(std::size_t, std::size_t length, bool& stopped) override {
        if (free_.empty()) return nullptr;
        std::uint8_t* b = free_.back();
        if (source_ && !(*source_)(std::span<std::uint8_t>(b, length))) {
            stopped = true;
            return nullptr;
        }
        free_.pop_back();
        return b;
    }
    bool Release(std::uint8_t* buffer, std::size_t, std::size_t counted, std::size_t) override {
        for (const auto& b : buffers_) {
            if (b.get() == buffer) free_.push_back(buffer);
        }
        if (sink_ && counted > 0) {
            return (*sink_)(std::span<const std::uint8_t>(buffer, counted));
        }
        return true;
    }

  private:
    const link::BulkSource* source_;
    const link::BulkSink* sink_;
    std::vector<std::unique_ptr<std::uint8_t[]>> buffers_;
    std::vector<std::uint8_t*> free_;
    bool ok_ = false;
};

// The caller's pieces of a BulkInPieces call, in the buffers it lends, carried
// by one bulk call that starts at the piece `first` and moves `length` bytes
// (whole pieces but for the read's last). A piece ends when all its bytes
// arrived, or with the call at a short packet or a failure; then it is handed
// back. What lands behind a short packet belongs to no piece: the caller's
// read ends at the short one.
class LentPieces final : public PieceIo {
  public:
    LentPieces(const link::Device::PieceTarget& target, std::uint64_t first, std::uint32_t piece,
               std::size_t length)
        : target_(target), first_(first), piece_(piece), length_(length), filling_(first) {}

    std::uint8_t* Acquire(std::size_t offset, std::size_t, bool& stopped) override {
        const std::uint64_t k = first_ + offset / piece_;
        if (offset % piece_ == 0) {
            std::uint8_t* b = target_.buffer(k, PieceLength(k));
            if (!b) {
                stopped = stoppedByCaller_ = true;
                return nullptr;
            }
            lent_[k] = b;
        }
        return lent_[k] + offset % piece_;
    }
    bool Release(std::uint8_t* buffer, std::size_t, std::size_t counted,
                 std::size_t length) override {
        if (ended_ || stoppedByCaller_) return true;
        std::uint8_t* b = lent_[filling_];
        // The last partial packet was received apart, into a buffer of its own.
        if (buffer != b + got_) std::memcpy(b + got_, buffer, counted);
        got_ += static_cast<std::uint32_t>(counted);
        if (counted < length) {
            // Short, or failed: the call's result tells which.
            ended_ = cut_ = true;
            return true;
        }
        if (got_ < PieceLength(filling_)) return true;
        const bool more = Hand(filling_, {link::UsbError::None, got_, 0});
        ++filling_;
        got_ = 0;
        ended_ = !more;
        return more;
    }
    std::size_t Room(std::size_t offset) const override { return piece_ - offset % piece_; }

    // After the call: the piece it ended in takes its result.
    void Finish(const TransferResult& r) {
        if (stoppedByCaller_ || (ended_ && !cut_)) return;
        if (!cut_ && r.ok() && filling_ == first_ + (length_ + piece_ - 1) / piece_) return;
        ended_ = true;
        Hand(filling_, r.ok() ? TransferResult{link::UsbError::None, got_, 0}
                              : TransferResult{r.error, got_, r.systemCode});
    }
    // Whether the read goes on with a next call.
    bool whole() const { return !ended_ && !stoppedByCaller_; }

  private:
    std::uint32_t PieceLength(std::uint64_t k) const {
        return static_cast<std::uint32_t>(
            std::min<std::uint64_t>(piece_, length_ - (k - first_) * piece_));
    }
    bool Hand(std::uint64_t k, const TransferResult& r) {
        const auto it = lent_.find(k);
        std::uint8_t* b = it == lent_.end() ? nullptr : it->second;
        if (it != lent_.end()) lent_.erase(it);
        return target_.done(k, b, r);
    }

    const link::Device::PieceTarget& target_;
    std::uint64_t first_;
    std::uint32_t piece_;
    std::size_t length_;
    std::map<std::uint64_t, std::uint8_t*> lent_;
    std::uint64_t filling_;  // the piece the next bytes go to
    std::uint32_t got_ = 0;  // its bytes so far
    bool ended_ = false;
    bool cut_ = false;  // the piece being filled ended early
    bool stoppedByCaller_ = false;
};

struct DeviceSettings {
    std::chrono::milliseconds controlTimeout{5000};
    std::chrono::milliseconds bulkTimeout{0};  // 0: none
    std::string speed = "high";                // as SpeedName gives it
};

class UsbDevice final : public link::Device {
  public:
    UsbDevice(std::shared_ptr<Context> ctx, libusb_device_handle* handle, BoardInterface itf,
              std::shared_ptr<OpenState> state, const UsbBackendOptions& options,
              DeviceSettings settings)
        : ctx_(std::move(ctx)),
          handle_(handle),
          itf_(itf),
          state_(std::move(state)),
          settings_(settings),
          chunk_(ChunkSize(options.chunkBytes, itf)),
          inFlight_(static_cast<int>(std::clamp<std::size_t>(
              static_cast<std::size_t>(std::max(options.inFlight, 1)), 1, kUsbfsLimit / chunk_))) {}

    ~UsbDevice() override {
        // With libusb's automatic detach the kernel driver that had the
        // interface gets it back here.
        libusb_release_interface(handle_, itf_.number);
        libusb_close(handle_);
    }

    TransferResult Control(const link::SetupPacket& setup, std::span<std::uint8_t> data) override;
    TransferResult BulkOut(std::uint8_t endpoint, std::span<const std::uint8_t> data) override {
        // libusb takes a non-const buffer for both directions; OUT only reads it.
        CallerBuffer io(const_cast<std::uint8_t*>(data.data()));
        return Bulk(endpoint, data.size(), io);
    }
    TransferResult BulkIn(std::uint8_t endpoint, std::span<std::uint8_t> data) override {
        CallerBuffer io(data.data());
        return Bulk(endpoint, data.size(), io);
    }
    // The streamed forms keep the pipe as busy as one call over a buffer of
    // the whole length: the source fills a piece while the pieces before it
    // are on the bus, the sink takes a piece while the whole queue is (one
    // buffer more than the queue holds).
    TransferResult BulkOutStream(std::uint8_t endpoint, std::uint32_t length,
                                 const link::BulkSource& source) override {
        PiecePool io(std::min<std::size_t>(length, chunk_), static_cast<std::size_t>(inFlight_),
                     &source, nullptr);
        if (!io.ok()) return {UsbError::Io, 0, LIBUSB_ERROR_NO_MEM};
        return Bulk(endpoint, length, io);
    }
    TransferResult BulkInStream(std::uint8_t endpoint, std::uint32_t length,
                                const link::BulkSink& sink) override {
        PiecePool io(std::min<std::size_t>(length, chunk_), static_cast<std::size_t>(inFlight_) + 1,
                     nullptr, &sink);
        if (!io.ok()) return {UsbError::Io, 0, LIBUSB_ERROR_NO_MEM};
        return Bulk(endpoint, length, io);
    }
    // The pieces are carried by calls as long as a call may be, so the pipe
    // stays busy across them; each piece ends at its boundary.
    void BulkInPieces(std::uint8_t endpoint, std::uint64_t length, std::uint32_t piece,
                      const PieceTarget& target) override {
        if (piece == 0 || piece % itf_.packetIn != 0) {
            return Device::BulkInPieces(endpoint, length, piece, target);
        }
        const std::uint64_t most = (0xFFFFFFFFull / piece) * piece;
        for (std::uint64_t at = 0; at < length;) {
            const auto n = static_cast<std::size_t>(std::min(most, length - at));
            LentPieces io(target, at / piece, piece, n);
            io.Finish(Bulk(endpoint, n, io));
            if (!io.whole()) return;
            at += n;
        }
    }
    link::BusAddress Address() const override {
        libusb_device* dev = libusb_get_device(handle_);
        return {libusb_get_bus_number(dev), libusb_get_device_address(dev)};
    }

  private:
    TransferResult Bulk(std::uint8_t endpoint, std::size_t length, PieceIo& io);

    // libusb's time-out of a bulk piece with `queued` bytes of the call to
    // move before it ends (its own and those queued ahead of it); 0 = none.
    unsigned PieceTimeout(std::size_t queued) const {
        return static_cast<unsigned>(
            BulkPieceTimeout(settings_.bulkTimeout, queued, settings_.speed).count());
    }

    // One round of event handling for this call: returns when one of its
    // transfers completed, another thread finished a round, or after 100 ms,
    // so that a board marked gone is noticed even if nothing completes.
    void AwaitEvents(Completions& c) {
        timeval tv{0, 100000};
        libusb_handle_events_timeout_completed(ctx_->ctx, &tv, &c.flag);
    }
    std::vector<libusb_transfer*> TakeDone(Completions& c) {
        std::lock_guard<std::mutex> lock(c.mu);
        c.flag = 0;
        return std::exchange(c.done, {});
    }

    std::shared_ptr<Context> ctx_;
    libusb_device_handle* handle_;
    BoardInterface itf_;
    std::shared_ptr<OpenState> state_;
    DeviceSettings settings_;
    std::size_t chunk_;
    int inFlight_;
};

TransferResult UsbDevice::Control(const link::SetupPacket& setup, std::span<std::uint8_t> data) {
    if (state_->gone) return {UsbError::NoDevice, 0, LIBUSB_ERROR_NO_DEVICE};
    if (data.size() < setup.wLength) return {UsbError::Io, 0, LIBUSB_ERROR_INVALID_PARAM};

    std::vector<std::uint8_t> buffer(LIBUSB_CONTROL_SETUP_SIZE + setup.wLength);
    libusb_fill_control_setup(buffer.data(), setup.bmRequestType, setup.bRequest, setup.wValue,
                              setup.wIndex, setup.wLength);
    if (!setup.In() && setup.wLength) {
        std::memcpy(buffer.data() + LIBUSB_CONTROL_SETUP_SIZE, data.data(), setup.wLength);
    }
    TransferPtr t(libusb_alloc_transfer(0));
    if (!t) return {UsbError::Io, 0, LIBUSB_ERROR_NO_MEM};
    Completions c;
    // A firmware that NAKs the request (an FX3 whose FPGA is not configured)
    // would otherwise hold the program until the board is pulled.
    libusb_fill_control_transfer(t.get(), handle_, buffer.data(), OnTransferDone, &c,
                                 static_cast<unsigned>(settings_.controlTimeout.count()));
    int r = libusb_submit_transfer(t.get());
    if (r != LIBUSB_SUCCESS) return {FromLibusbError(r), 0, r};

    bool cancelled = false;
    for (;;) {
        if (!TakeDone(c).empty()) break;
        if (state_->gone && !cancelled) {
            libusb_cancel_transfer(t.get());
            cancelled = true;
        }
        AwaitEvents(c);
    }
    const int status = t->status;
    const auto moved = static_cast<std::uint32_t>(std::max(0, t->actual_length));
    if (setup.In() && moved) {
        std::memcpy(data.data(), buffer.data() + LIBUSB_CONTROL_SETUP_SIZE,
                    std::min<std::size_t>(moved, setup.wLength));
    }
    UsbError e = FromTransferStatus(status);
    // A cancel we did not ask for is libusb ending a vanished device's transfers.
    if (e != UsbError::None && (state_->gone || (e == UsbError::Cancelled && !cancelled))) {
        e = UsbError::NoDevice;
    }
    int code = ErrorCodeOf(status);
    if (e == UsbError::NoDevice) code = LIBUSB_ERROR_NO_DEVICE;
    return {e, moved, e == UsbError::None ? 0 : code};
}

// A call is moved in pieces, planned as they are submitted: up to
// `inFlight_` pieces are queued, and each completion is followed by the next
// submission, so the bus never waits for the host, in either direction.
//
// A short packet (or a zero-length one) on a read ends the piece it arrives
// in, and with it the call: the pieces queued behind it are cancelled and
// reaped before the call returns. Where it arrives decides what the kernel
// does. libusb hands a piece to the kernel as one URB where the host
// controller does scatter-gather: the URB ends at the short packet, and the
// controller goes on with the URBs queued behind it, which take what the
// board sends next. Otherwise a piece goes as URBs flagged short-not-ok and
// continuation: the kernel ends the rest of that piece at the short packet,
// and the pieces behind it (URBs of other transfers) go on the same way.
// Either way what landed behind the short packet is what the board sent next,
// in order: it follows the short piece in the call's bytes and counts. After
// an error nothing behind it counts (a packet may be missing in between).
TransferResult UsbDevice::Bulk(std::uint8_t endpoint, std::size_t length, PieceIo& io) {
    if (state_->gone) return {UsbError::NoDevice, 0, LIBUSB_ERROR_NO_DEVICE};
    if (length == 0) return {};
    // Asked to stop before it started: nothing goes on the bus.
    if (link::BulkAbortRequested()) return {UsbError::Cancelled, 0, LIBUSB_ERROR_INTERRUPTED};
    if (length > 0xFFFFFFFFu) return {UsbError::Io, 0, LIBUSB_ERROR_INVALID_PARAM};

    // An IN call whose length ends inside a packet: a board that was not told
    // the length (one-byte memory command) streams, and sends the whole last
    // packet. Into a buffer too small for it that is a babble error
    // (LIBUSB_TRANSFER_OVERFLOW; an xHCI controller halts the pipe on it), so
    // the last partial packet is read into a buffer of one whole packet and
    // what lies beyond the length asked for is dropped, as WinUSB does.
    const bool in = (endpoint & LIBUSB_ENDPOINT_IN) != 0;
    const std::size_t tail = in ? length % itf_.packetIn : 0;
    const std::size_t direct = length - tail;
    std::vector<std::uint8_t> bounce(tail ? itf_.packetIn : 0);

    // A piece is one part of the call, in order; a carrier is one transfer
    // object that carries one piece at a time.
    struct Piece {
        std::size_t offset = 0;
        std::size_t length = 0;  // of the call's bytes
        std::uint8_t* buffer = nullptr;
        bool bounced = false;  // received into `bounce`
        bool done = false;
        int status = LIBUSB_TRANSFER_COMPLETED;
        std::size_t counted = 0;  // bytes that arrived (at most its buffer) or went
    };
    struct Carrier {
        TransferPtr transfer;
        std::size_t piece = 0;
        bool busy = false;
    };

    const std::size_t pieceSize = chunk_;
    int queueLimit = inFlight_;
    std::vector<Piece> pieces;
    pieces.reserve(direct / chunk_ + 2);
    std::vector<Carrier> carriers;
    std::optional<Piece> ready;  // has its buffer, not submitted yet
    std::size_t planned = 0;     // bytes of the call in pieces so far
    std::size_t queued = 0;      // bytes of the pieces in flight
    std::size_t released = 0;    // pieces handed back to `io`, in order
    std::uint64_t moved = 0;     // bytes of the released pieces, without a gap
    bool gap = false;            // what follows a released piece does not count
    bool endedShort = false;     // a released piece of a read ended short

    Completions c;
    int busy = 0;
    bool stop = false, cancelled = false;
    bool tookBack = false;  // pieces in flight were cancelled
    // Why the call stopped early; None for a short transfer.
    UsbError stopError = UsbError::None;
    int stopCode = 0;
    auto Stop = [&](UsbError e, int code) {
        if (stop) return;
        stop = true;
        stopError = e;
        stopCode = code;
    };

    auto Submit = [&] {
        while (!stop && busy < queueLimit && (ready || planned < length)) {
            if (!ready) {
                Piece p;
                p.offset = planned;
                p.bounced = planned >= direct;
                p.length =
                    p.bounced ? tail : std::min({pieceSize, direct - planned, io.Room(planned)});
                bool stopped = false;
                p.buffer = p.bounced ? bounce.data() : io.Acquire(p.offset, p.length, stopped);
                if (stopped) Stop(UsbError::Cancelled, LIBUSB_ERROR_INTERRUPTED);
                if (!p.buffer) return;  // none free until a piece is released
                ready = p;
                planned += p.length;
            }
            auto carrier = std::find_if(carriers.begin(), carriers.end(),
                                        [](const Carrier& s) { return !s.busy; });
            if (carrier == carriers.end()) {
                TransferPtr t(libusb_alloc_transfer(0));
                if (!t) return Stop(UsbError::Io, LIBUSB_ERROR_NO_MEM);
                carriers.push_back({std::move(t)});
                carrier = carriers.end() - 1;
            }
            Piece& p = *ready;
            const std::size_t n = p.bounced ? bounce.size() : p.length;
            libusb_fill_bulk_transfer(carrier->transfer.get(), handle_, endpoint, p.buffer,
                                      static_cast<int>(n), OnTransferDone, &c,
                                      PieceTimeout(queued + p.length));
            const int r = libusb_submit_transfer(carrier->transfer.get());
            if (r == LIBUSB_ERROR_NO_MEM && busy > 0) {
                // usbfs memory is one pool for all programs: wait for a piece
                // of ours to give some back, and keep fewer in flight.
                queueLimit = busy;
                Diag("usbfs memory used up: going on with %d transfers in flight\n", busy);
                return;
            }
            if (r != LIBUSB_SUCCESS) {
                if (r == LIBUSB_ERROR_NO_MEM) ReportUsbfsMemory();
                return Stop(FromLibusbError(r), r);
            }
            carrier->piece = pieces.size();
            carrier->busy = true;
            pieces.push_back(p);
            ready.reset();
            queued += p.length;
            ++busy;
        }
    };

    // Hands the pieces that have ended back to `io`, in order. The count is
    // what moved without a gap: pieces after one that failed, or after a
    // write the board took less of, do not count even if data reached them.
    // Behind a read's short packet the pieces count on, taken back or not:
    // what reached them is what the board sent next.
    auto Release = [&] {
        for (; released < pieces.size() && pieces[released].done; ++released) {
            Piece& p = pieces[released];
            const std::size_t counted =
                gap ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(p.counted, length - moved));
            const bool more =
                io.Release(p.buffer, static_cast<std::size_t>(moved), counted, p.length);
            moved += counted;
            const bool completed = p.status == LIBUSB_TRANSFER_COMPLETED;
            const bool whole = completed && p.counted >= p.length;
            const bool shortRead = in && completed && !whole;
            const bool behindShort = in && endedShort && p.status == LIBUSB_TRANSFER_CANCELLED;
            if (shortRead) endedShort = true;
            if (!whole && !shortRead && !behindShort) gap = true;
            if (!more && !gap) {
                Stop(UsbError::Cancelled, LIBUSB_ERROR_INTERRUPTED);
                gap = true;
            }
        }
    };

    for (;;) {
        for (libusb_transfer* t : TakeDone(c)) {
            auto it = std::find_if(carriers.begin(), carriers.end(),
                                   [t](const Carrier& s) { return s.transfer.get() == t; });
            Piece& p = pieces[it->piece];
            it->busy = false;
            --busy;
            queued -= p.length;
            p.done = true;
            p.status = t->status;
            const auto actual = static_cast<std::size_t>(std::max(0, t->actual_length));
            p.counted = std::min(actual, p.bounced ? bounce.size() : p.length);
            if (p.status == LIBUSB_TRANSFER_CANCELLED && !cancelled) {
                // Not cancelled by us: libusb ends the transfers of a device
                // that went away this way.
                Stop(UsbError::NoDevice, LIBUSB_ERROR_NO_DEVICE);
            } else if (p.status != LIBUSB_TRANSFER_COMPLETED) {
                Stop(FromTransferStatus(p.status), ErrorCodeOf(p.status));
            } else if (p.counted < p.length) {
                // A short packet (or a zero-length one) is the end of what
                // the board has for us: the call ends here, and the pieces
                // behind it are taken back.
                Stop(UsbError::None, 0);
            }
        }
        if (state_->gone) Stop(UsbError::NoDevice, LIBUSB_ERROR_NO_DEVICE);
        // A Cancel from another thread (or a signal) is seen here at the
        // latest one event round (100 ms) later; the URBs in flight are
        // cancelled below like those of any early stop.
        if (link::BulkAbortRequested()) Stop(UsbError::Cancelled, LIBUSB_ERROR_INTERRUPTED);
        // The next piece goes out before the last one is handed back: a
        // sink then works while the bus does. A source's buffer comes free
        // only with the release, so it gets a second chance after it.
        Submit();
        Release();
        Submit();
        if (stop && !cancelled) {
            // Whatever is still queued must finish (cancelled) before its
            // buffer and transfer object may go.
            cancelled = true;
            // The last first, as libusb takes back the URBs of one transfer:
            // the controller does not move on into one about to go.
            for (auto s = carriers.rbegin(); s != carriers.rend(); ++s) {
                if (s->busy && libusb_cancel_transfer(s->transfer.get()) == LIBUSB_SUCCESS) {
                    tookBack = true;
                }
            }
        }
        if (busy == 0 && (stop || (planned >= length && !ready))) break;
        AwaitEvents(c);
    }
    Release();

    UsbError error = moved == length ? UsbError::None : stopError;
    int code = error == UsbError::None ? 0 : stopCode;
    if (state_->gone && moved < length) {
        error = UsbError::NoDevice;
        code = LIBUSB_ERROR_NO_DEVICE;
    }
    const bool aborted = stopError == UsbError::Cancelled && link::BulkAbortRequested();
    const bool failed = stopError != UsbError::None && stopError != UsbError::NoDevice &&
                        (stopError != UsbError::Cancelled || aborted);
    if ((failed || tookBack) && !state_->gone) {
        // After a stall, a babble, a transaction error or a time-out the
        // pipe may be halted, or the host's data toggle out of step with the
        // board's (the host resets its own after an error; the board does
        // not), and the next transfer would lose its first packet. Clearing
        // the halt resets the toggle on both sides. Also when all bytes had
        // arrived before it, and whenever pieces in flight were taken back
        // (a cancel, a short packet, the caller stopping): a packet may have
        // been on the wire when its URB was taken back.
        libusb_clear_halt(handle_, endpoint);
    }
    return {error, static_cast<std::uint32_t>(moved), code};
}

const char* SpeedName(int speed) {
    switch (speed) {
        case LIBUSB_SPEED_LOW:
            return "low";
        case LIBUSB_SPEED_FULL:
            return "full";
        case LIBUSB_SPEED_HIGH:
            return "high";
        case LIBUSB_SPEED_SUPER:
            return "super";
        case LIBUSB_SPEED_SUPER_PLUS:
            return "super+";
        default:
            return "unknown";
    }
}

// The serial number string of a board: the system's copy where it keeps one
// (no access needed, nothing sent), else string descriptor `index` read from
// the board itself.
void ReadSerial(libusb_device* dev, std::uint8_t index, BoardEntry& e) {
    if (index == 0) return;
    if (std::optional<std::string> s = platform::UsbDeviceAttribute(e.bus, e.ports, "serial")) {
        e.serial = *s;
        return;
    }
    libusb_device_handle* handle = nullptr;
    if (libusb_open(dev, &handle) == LIBUSB_SUCCESS) {
        unsigned char text[256] = {};
        const int n = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text - 1);
        libusb_close(handle);
        if (n > 0) {
            e.serial.assign(reinterpret_cast<const char*>(text), static_cast<std::size_t>(n));
            return;
        }
    }
    e.serialUnknown = true;
}

// Where a device sits: bus, port path and address, from libusb's record alone.
BoardEntry PlaceOf(libusb_device* dev) {
    BoardEntry e;
    e.bus = libusb_get_bus_number(dev);
    e.address = libusb_get_device_address(dev);
    std::uint8_t ports[8];
    const int n = libusb_get_port_numbers(dev, ports, sizeof ports);
    for (int i = 0; i < n; ++i) e.ports += (i ? "." : "") + std::to_string(ports[i]);
    return e;
}

BoardEntry EntryOf(libusb_device* dev) {
    BoardEntry e = PlaceOf(dev);
    e.speed = SpeedName(libusb_get_device_speed(dev));
    libusb_device_descriptor dd{};
    if (libusb_get_device_descriptor(dev, &dd) == LIBUSB_SUCCESS) {
        e.id = {dd.idVendor, dd.idProduct};
        ReadSerial(dev, dd.iSerialNumber, e);
    }
    return e;
}

// The boards of a device list, each with its device.
struct Listed {
    BoardEntry entry;
    libusb_device* dev = nullptr;
    BoardInterface itf;
};
std::vector<Listed> ListedBoards(libusb_device** list, ssize_t n, const std::vector<UsbId>& filter) {
    std::vector<Listed> boards;
    for (ssize_t i = 0; i < n; ++i) {
        if (std::optional<BoardInterface> itf = FindBoardInterface(list[i], filter)) {
            boards.push_back({EntryOf(list[i]), list[i], *itf});
        }
    }
    return boards;
}

class UsbBackend final : public link::Backend {
  public:
    explicit UsbBackend(const UsbBackendOptions& options)
        : options_(options), ctx_(std::make_shared<Context>()) {
        if (ctx_->initError != LIBUSB_SUCCESS) {
            InitFailed();
            ctx_->ctx = nullptr;
        }
    }
    ~UsbBackend() override;

    std::string Name() const override { return "usb"; }
    std::unique_ptr<link::Device> OpenFirst() override;
    void WatchDevices(link::NoticePoster post) override;
    std::string DriverVersion() const override { return LibusbVersion(); }
    link::NoBoardReason WhyNoBoard() const override {
        std::lock_guard<std::mutex> lock(reasonMu_);
        return reason_;
    }

    // Ends the event thread: no notice is posted after this returns.
    void StopWatching();

  private:
    void InitFailed() {
        Diag("libusb_init() ERROR!! %s\n", libusb_error_name(ctx_->initError));
        Diag(
            "  no board can be opened (is /dev/bus/usb there? a container must be given"
            " the host's USB devices)\n");
        Explain(link::NoBoard::NoUsb,
                Format("libusb_init() ERROR!! %s: no board can be opened (is /dev/bus/usb there?"
                       " a container must be given the host's USB devices)",
                       libusb_error_name(ctx_->initError)));
    }
    // Records why no board opened; `about` is the device it concerns, whose
    // leaving makes it "nothing found" again.
    void Explain(link::NoBoard kind, std::string hint = {}, std::optional<DeviceKey> about = {}) {
        std::lock_guard<std::mutex> lock(reasonMu_);
        reason_ = {kind, std::move(hint)};
        reasonAbout_ = about;
    }
    // A device left: a reason about it no longer holds.
    void ForgetReasonAbout(DeviceKey key) {
        std::lock_guard<std::mutex> lock(reasonMu_);
        if (reasonAbout_ == key) {
            reason_ = {link::NoBoard::NothingFound, {}};
            reasonAbout_.reset();
        }
    }
    // A board's controller without its firmware was seen: that is the reason
    // unless an open board makes none needed.
    void ExplainNoFirmware(std::string hint, DeviceKey key) {
        if (OpenBoard()) return;
        Explain(link::NoBoard::NoFirmware, std::move(hint), key);
    }
    // The hints of a failed open, with the reason they give.
    void ReportBusy(DeviceKey key) {
        link::Hint(kBusyHint);
        Explain(link::NoBoard::Busy, kBusyHint, key);
    }
    void ReportHeld(const std::string& board, const link::BoardHolder& holder, DeviceKey key) {
        const std::string hint = "USB: " + link::BoardLock::HeldText(board, holder);
        link::Hint(hint);
        {
            std::lock_guard<std::mutex> lock(reasonMu_);
            reason_ = {link::NoBoard::Held, hint, holder.pid};
            reasonAbout_ = key;
        }
    }
    void ReportNoAccess(libusb_device* dev, const libusb_device_descriptor& dd) {
        std::string hint = AccessHint(libusb_get_bus_number(dev), libusb_get_device_address(dev),
                                      {dd.idVendor, dd.idProduct}, options_.ruleDirs,
                                      ShippedRule(options_.shippedRuleDirs));
        link::Hint(hint);
        Explain(link::NoBoard::NoAccess, std::move(hint), KeyOf(dev));
    }
    std::unique_ptr<link::Device> Open(libusb_device* dev, const BoardInterface& itf);
    static int LIBUSB_CALL OnHotplug(libusb_context* ctx, libusb_device* dev,
                                     libusb_hotplug_event event, void* self);
    void EventLoop();
    void TakeHotplugEvents(std::vector<link::DeviceNotice>& notices);
    void RecheckArrivals(std::vector<link::DeviceNotice>& notices);
    void PollDevices(std::vector<link::DeviceNotice>& notices);
    // An arrival: a board is known from now on; a board without its firmware
    // is told once. False when it is neither (yet).
    bool Examine(libusb_device* dev, const std::vector<UsbId>& filter,
                 std::vector<link::DeviceNotice>& notices);
    void Left(DeviceKey key);
    // Whether an arriving board is the one the link follows (any board when
    // none is named).
    bool Selected(libusb_device* dev) const {
        if (options_.board.empty()) return true;
        std::string error;
        return MatchBoard({EntryOf(dev)}, options_.board, error).has_value();
    }
    // Whether a board that left is the one to tell of: any board when none is
    // named, else the open one (a closed link has nothing to close).
    bool Told(DeviceKey key) {
        if (options_.board.empty()) return true;
        const std::shared_ptr<OpenState> open = OpenBoard();
        return open && open->key == key;
    }
    // Outside the lock: the poster may block on the GUI thread's queue.
    void Post(const std::vector<link::DeviceNotice>& notices) {
        if (notices.empty()) return;
        link::NoticePoster post;
        {
            std::lock_guard<std::mutex> lock(mu_);
            post = post_;
        }
        for (link::DeviceNotice n : notices) post(n);
    }
    // What the event thread reads of what the opening thread writes.
    std::vector<UsbId> Filter() {
        Meet(MeetingPoint::ReadingFilter);
        std::lock_guard<std::mutex> lock(mu_);
        return filter_;
    }
    std::shared_ptr<OpenState> OpenBoard() {
        Meet(MeetingPoint::ReadingOpenBoard);
        std::lock_guard<std::mutex> lock(mu_);
        return open_.lock();
    }

    UsbBackendOptions options_;
    std::shared_ptr<Context> ctx_;

    std::mutex mu_;  // guards filter_, events_, open_ and post_
    std::vector<UsbId> filter_;
    std::vector<std::pair<libusb_hotplug_event, libusb_device*>> events_;
    std::weak_ptr<OpenState> open_;

    link::NoticePoster post_;  // guarded by mu_

    mutable std::mutex reasonMu_;  // guards reason_ and reasonAbout_ (read from any thread)
    link::NoBoardReason reason_;
    std::optional<DeviceKey> reasonAbout_;

    // Owned by the event thread once it runs.
    std::set<DeviceKey> known_;        // matching devices present, as last seen
    std::set<DeviceKey> noFirmware_;   // boards without firmware, told already
    struct Arrival {
        DeviceKey key;
        libusb_device* dev;  // one reference
        std::chrono::steady_clock::time_point until;
    };
    std::vector<Arrival> arrivals_;  // looked at again until they match or time out
    std::chrono::steady_clock::time_point nextRecheck_;
    bool hotplug_ = false;
    libusb_hotplug_callback_handle callback_ = 0;
    std::mutex threadMu_;  // guards thread_ and watching_ against a stop from elsewhere
    std::thread thread_;
    bool watching_ = false;  // started once; a stopped watch does not start again
    std::atomic<bool> stop_{false};
};

// The backends whose event thread runs. That thread calls the poster, which
// hands notices to the application object and so must not run once that is
// gone: a post routine of the application stops every watch at the start of
// its destruction, and a handler at exit stops them before the statics they
// might touch are destroyed (the board link, which owns the backend, is a
// static itself and goes late). Allocated once and never freed, so that it
// outlives every static.
//
// Lock order: Watchers::mu before a backend's threadMu_, never the other way.
struct Watchers {
    std::mutex mu;
    std::set<UsbBackend*> running;
};
Watchers& TheWatchers() {
    static Watchers* w = new Watchers;
    return *w;
}

void StopAllWatchers() {
    Watchers& w = TheWatchers();
    std::lock_guard<std::mutex> lock(w.mu);
    for (UsbBackend* b : w.running) b->StopWatching();
    w.running.clear();
}

void UsbBackend::StopWatching() {
    std::lock_guard<std::mutex> lock(threadMu_);
    if (!thread_.joinable()) return;
    stop_ = true;
    libusb_interrupt_event_handler(ctx_->ctx);
    thread_.join();
}

UsbBackend::~UsbBackend() {
    {
        Watchers& w = TheWatchers();
        std::lock_guard<std::mutex> lock(w.mu);
        w.running.erase(this);
    }
    StopWatching();
    if (hotplug_) libusb_hotplug_deregister_callback(ctx_->ctx, callback_);
    for (auto& [event, dev] : events_) libusb_unref_device(dev);
    for (Arrival& a : arrivals_) libusb_unref_device(a.dev);
}

std::unique_ptr<link::Device> UsbBackend::OpenFirst() {
    if (!ctx_->ctx) {
        InitFailed();
        return nullptr;
    }
    std::vector<UsbId> filter = ReadUsbIdFilter();
    {
        std::lock_guard<std::mutex> lock(mu_);
        filter_ = filter;
    }
    libusb_device** raw = nullptr;
    const ssize_t n = libusb_get_device_list(ctx_->ctx, &raw);
    if (n < 0) {
        Diag("libusb_get_device_list() ERROR!! %s\n", libusb_error_name(static_cast<int>(n)));
        Explain(link::NoBoard::NoUsb, Format("libusb_get_device_list() ERROR!! %s",
                                             libusb_error_name(static_cast<int>(n))));
        return nullptr;
    }
    DeviceList list(raw);
    if (!options_.board.empty()) {
        const std::vector<Listed> boards = ListedBoards(list.get(), n, filter);
        std::vector<BoardEntry> entries;
        for (const Listed& b : boards) entries.push_back(b.entry);
        std::string error;
        const std::optional<std::size_t> pick = MatchBoard(entries, options_.board, error);
        if (!pick) {
            link::Hint("USB: " + error);
            Explain(link::NoBoard::NoMatch, "USB: " + error);
            return nullptr;
        }
        return Open(boards[*pick].dev, boards[*pick].itf);
    }
    for (ssize_t i = 0; i < n; ++i) {
        // Only the first board is tried; later ones are not a fallback.
        if (std::optional<BoardInterface> itf = FindBoardInterface(list[i], filter)) {
            return Open(list[i], *itf);
        }
    }
    // No board: one that is there without its firmware is worth a word.
    Explain(link::NoBoard::NothingFound);
    std::optional<DeviceKey> first;
    for (ssize_t i = 0; i < n; ++i) {
        if (std::optional<std::string> hint = NoFirmwareHint(list[i], filter)) {
            link::Hint(*hint);
            if (!first) {
                first = KeyOf(list[i]);
                Explain(link::NoBoard::NoFirmware, *hint, first);
            }
        }
    }
    return nullptr;
}

std::unique_ptr<link::Device> UsbBackend::Open(libusb_device* dev, const BoardInterface& itf) {
    const unsigned bus = libusb_get_bus_number(dev), address = libusb_get_device_address(dev);
    libusb_device_descriptor dd{};
    libusb_get_device_descriptor(dev, &dd);
    // Before the device is touched: a board another process of ours holds is
    // left alone, and the message names that process.
    const std::string board = "usb:" + PortId(PlaceOf(dev));
    std::unique_ptr<link::BoardLock> boardLock;
    link::BoardHolder holder;
    switch (link::BoardLock::Take(board, boardLock, holder)) {
        case link::BoardLock::Outcome::Taken:
            break;
        case link::BoardLock::Outcome::Held:
            ReportHeld(board, holder, KeyOf(dev));
            return nullptr;
        case link::BoardLock::Outcome::NoLock:
            Diag("board lock %s cannot be made: the board is opened without it\n",
                 link::BoardLock::PathOf(board).c_str());
            break;
    }
    libusb_device_handle* handle = nullptr;
    int r = libusb_open(dev, &handle);
    if (r != LIBUSB_SUCCESS) {
        Diag("libusb_open() ERROR!! %s (bus %03u device %03u)\n", libusb_error_name(r), bus,
             address);
        if (r == LIBUSB_ERROR_ACCESS) {
            ReportNoAccess(dev, dd);
        } else {
            Explain(link::NoBoard::OpenFailed,
                    Format("libusb_open() ERROR!! %s (bus %03u device %03u)", libusb_error_name(r),
                           bus, address),
                    KeyOf(dev));
        }
        return nullptr;
    }
    // A kernel driver that has the interface is detached and the interface
    // claimed in one step (a driver could bind again between two), and the
    // driver gets the interface back when it is released.
    libusb_set_auto_detach_kernel_driver(handle, 1);
    // The kernel announces a device before its interfaces are registered; a
    // claim that comes too early finds no interface (NOT_FOUND from a plain
    // claim, INVALID_PARAM from the one-step detach and claim) and is tried
    // again.
    constexpr int kClaimTries = 5;
    for (int tries = 1;; ++tries) {
        r = libusb_claim_interface(handle, itf.number);
        if ((r != LIBUSB_ERROR_NOT_FOUND && r != LIBUSB_ERROR_INVALID_PARAM) ||
            tries == kClaimTries) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (r != LIBUSB_SUCCESS) {
        Diag("libusb_claim_interface() ERROR!! %s (interface %d)\n", libusb_error_name(r),
             itf.number);
        if (r == LIBUSB_ERROR_BUSY) {
            ReportBusy(KeyOf(dev));
        } else if (r == LIBUSB_ERROR_ACCESS) {
            ReportNoAccess(dev, dd);
        } else {
            Explain(link::NoBoard::OpenFailed,
                    Format("libusb_claim_interface() ERROR!! %s (interface %d)",
                           libusb_error_name(r), itf.number),
                    KeyOf(dev));
        }
        libusb_close(handle);
        return nullptr;
    }
    if (itf.altSetting != 0) {
        r = libusb_set_interface_alt_setting(handle, itf.number, itf.altSetting);
        if (r != LIBUSB_SUCCESS) {
            Diag("libusb_set_interface_alt_setting() ERROR!! %s\n", libusb_error_name(r));
            Explain(link::NoBoard::OpenFailed,
                    Format("libusb_set_interface_alt_setting() ERROR!! %s", libusb_error_name(r)),
                    KeyOf(dev));
            libusb_release_interface(handle, itf.number);
            libusb_close(handle);
            return nullptr;
        }
    }
    DeviceSettings settings;
    settings.controlTimeout = options_.controlTimeout;
    settings.bulkTimeout = options_.bulkTimeout ? *options_.bulkTimeout : BulkTimeoutSetting();
    settings.speed = SpeedName(libusb_get_device_speed(dev));
    auto state = std::make_shared<OpenState>(KeyOf(dev), std::move(boardLock));
    {
        std::lock_guard<std::mutex> lock(mu_);
        open_ = state;
    }
    Explain(link::NoBoard::Unknown);
    return std::make_unique<UsbDevice>(ctx_, handle, itf, std::move(state), options_, settings);
}

void UsbBackend::WatchDevices(link::NoticePoster post) {
    if (!ctx_->ctx || !post) return;
    {
        // Watching already: only the receiver of the notices changes.
        std::lock_guard<std::mutex> lock(mu_);
        post_ = std::move(post);
    }
    {
        std::lock_guard<std::mutex> threadLock(threadMu_);
        if (watching_) return;
        watching_ = true;
        std::vector<UsbId> filter = ReadUsbIdFilter();
        {
            std::lock_guard<std::mutex> lock(mu_);
            filter_ = filter;
        }
        if (!options_.forcePolling && libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) {
            // Registered before the first listing, so that no board arriving
            // in between is missed.
            const int r = libusb_hotplug_register_callback(
                ctx_->ctx,
                static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                                  LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
                LIBUSB_HOTPLUG_NO_FLAGS, LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY,
                LIBUSB_HOTPLUG_MATCH_ANY, &UsbBackend::OnHotplug, this, &callback_);
            if (r == LIBUSB_SUCCESS) {
                hotplug_ = true;
            } else {
                Diag("libusb_hotplug_register_callback() ERROR!! %s, polling instead\n",
                     libusb_error_name(r));
            }
        }
        libusb_device** raw = nullptr;
        const ssize_t n = libusb_get_device_list(ctx_->ctx, &raw);
        if (n >= 0) {
            DeviceList list(raw);
            const auto until = std::chrono::steady_clock::now() + options_.arrivalRecheck;
            for (ssize_t i = 0; i < n; ++i) {
                libusb_device* dev = list[i];
                libusb_config_descriptor* cfg = nullptr;
                if (FindBoardInterface(dev, filter)) {
                    known_.insert(KeyOf(dev));
                } else if (NoFirmwareHint(dev, filter)) {
                    noFirmware_.insert(KeyOf(dev));  // the first open tells of it
                } else if (libusb_get_active_config_descriptor(dev, &cfg) ==
                           LIBUSB_ERROR_NOT_FOUND) {
                    // Plugged in just now and not configured yet.
                    arrivals_.push_back({KeyOf(dev), libusb_ref_device(dev), until});
                }
                if (cfg) libusb_free_config_descriptor(cfg);
            }
        }
        thread_ = std::thread([this] { EventLoop(); });
    }
    // Outside threadMu_: the list's lock comes first (see Watchers).
    {
        Watchers& w = TheWatchers();
        std::lock_guard<std::mutex> lock(w.mu);
        w.running.insert(this);
    }
    static std::once_flag atExit;
    std::call_once(atExit, [] { std::atexit(&StopAllWatchers); });
    if (QCoreApplication::instance()) qAddPostRoutine(&StopAllWatchers);
}

// Runs inside libusb's event handling, on whichever thread that is: it keeps
// a reference and queues the event. Matching, bookkeeping and notices happen
// on the event thread, outside libusb.
int LIBUSB_CALL UsbBackend::OnHotplug(libusb_context*, libusb_device* dev,
                                      libusb_hotplug_event event, void* self) {
    auto* backend = static_cast<UsbBackend*>(self);
    libusb_ref_device(dev);
    {
        std::lock_guard<std::mutex> lock(backend->mu_);
        backend->events_.emplace_back(event, dev);
    }
    Meet(MeetingPoint::HotplugQueued);
    return 0;
}

void UsbBackend::EventLoop() {
    auto nextPoll = std::chrono::steady_clock::now() + options_.pollInterval;
    while (!stop_) {
        timeval tv{0, 200000};
        libusb_handle_events_timeout_completed(ctx_->ctx, &tv, nullptr);
        if (stop_) break;
        std::vector<link::DeviceNotice> notices;
        if (hotplug_) {
            TakeHotplugEvents(notices);
            RecheckArrivals(notices);
        } else if (std::chrono::steady_clock::now() >= nextPoll) {
            PollDevices(notices);
            nextPoll = std::chrono::steady_clock::now() + options_.pollInterval;
        }
        Post(notices);
    }
}

void UsbBackend::Left(DeviceKey key) {
    const std::shared_ptr<OpenState> open = OpenBoard();
    if (open && open->key == key && !open->gone.exchange(true)) {
        // Wakes a call that handles events itself, so it cancels at once.
        libusb_interrupt_event_handler(ctx_->ctx);
        Explain(link::NoBoard::NothingFound);
    }
}

bool UsbBackend::Examine(libusb_device* dev, const std::vector<UsbId>& filter,
                         std::vector<link::DeviceNotice>& notices) {
    const DeviceKey key = KeyOf(dev);
    if (FindBoardInterface(dev, filter)) {
        // Told even when the first listing already had it (it arrived in
        // between): an arrival while a board is open changes nothing.
        known_.insert(key);
        if (Selected(dev)) notices.push_back(link::DeviceNotice::Arrival);
        return true;
    }
    if (std::optional<std::string> hint = NoFirmwareHint(dev, filter)) {
        if (noFirmware_.insert(key).second) {
            ExplainNoFirmware(*hint, key);
            link::Hint(*hint);
        }
        return true;
    }
    return false;
}

void UsbBackend::TakeHotplugEvents(std::vector<link::DeviceNotice>& notices) {
    Meet(MeetingPoint::TakingHotplugEvents);
    std::vector<std::pair<libusb_hotplug_event, libusb_device*>> events;
    {
        std::lock_guard<std::mutex> lock(mu_);
        events.swap(events_);
    }
    if (events.empty()) return;
    const std::vector<UsbId> filter = Filter();
    for (auto& [event, dev] : events) {
        const DeviceKey key = KeyOf(dev);
        if (event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED) {
            if (!Examine(dev, filter, notices)) {
                // Not (yet) a board: the kernel may still be setting its
                // configuration, which no event announces.
                arrivals_.push_back({key, libusb_ref_device(dev),
                                     std::chrono::steady_clock::now() + options_.arrivalRecheck});
            }
        } else {
            // Asked before Left() forgets nothing: the open board's key stays.
            const bool told = Told(key);
            Left(key);
            // Matched against what was recorded on arrival: the device's
            // descriptors may be gone by now.
            if (known_.erase(key) && told) notices.push_back(link::DeviceNotice::Removal);
            noFirmware_.erase(key);
            ForgetReasonAbout(key);
            for (auto it = arrivals_.begin(); it != arrivals_.end();) {
                if (it->key != key) {
                    ++it;
                    continue;
                }
                libusb_unref_device(it->dev);
                it = arrivals_.erase(it);
            }
        }
        libusb_unref_device(dev);
    }
}

void UsbBackend::RecheckArrivals(std::vector<link::DeviceNotice>& notices) {
    const auto now = std::chrono::steady_clock::now();
    if (arrivals_.empty() || now < nextRecheck_) return;
    nextRecheck_ = now + std::chrono::milliseconds(100);
    const std::vector<UsbId> filter = Filter();
    for (auto it = arrivals_.begin(); it != arrivals_.end();) {
        if (Examine(it->dev, filter, notices) || now >= it->until) {
            libusb_unref_device(it->dev);
            it = arrivals_.erase(it);
        } else {
            ++it;
        }
    }
}

void UsbBackend::PollDevices(std::vector<link::DeviceNotice>& notices) {
    libusb_device** raw = nullptr;
    const ssize_t n = libusb_get_device_list(ctx_->ctx, &raw);
    if (n < 0) return;
    DeviceList list(raw);
    const std::vector<UsbId> filter = Filter();
    std::set<DeviceKey> present;
    std::vector<std::pair<DeviceKey, libusb_device*>> matching;  // in enumeration order
    for (ssize_t i = 0; i < n; ++i) {
        const DeviceKey key = KeyOf(list[i]);
        present.insert(key);
        if (FindBoardInterface(list[i], filter)) {
            matching.emplace_back(key, list[i]);
        } else if (!noFirmware_.count(key)) {
            if (std::optional<std::string> hint = NoFirmwareHint(list[i], filter)) {
                noFirmware_.insert(key);
                ExplainNoFirmware(*hint, key);
                link::Hint(*hint);
            }
        }
    }
    std::erase_if(noFirmware_, [&](DeviceKey k) { return !present.count(k); });
    {
        std::optional<DeviceKey> about;
        {
            std::lock_guard<std::mutex> lock(reasonMu_);
            about = reasonAbout_;
        }
        if (about && !present.count(*about)) ForgetReasonAbout(*about);
    }
    const std::shared_ptr<OpenState> open = OpenBoard();
    // Asked before Left(): the open board is told of when it left.
    const bool openLeft = open && !present.count(open->key);
    if (openLeft) Left(open->key);

    for (auto it = known_.begin(); it != known_.end();) {
        const DeviceKey key = *it;
        if (std::find_if(matching.begin(), matching.end(),
                         [key](const auto& m) { return m.first == key; }) == matching.end()) {
            it = known_.erase(it);
            if (options_.board.empty() || (openLeft && open->key == key)) {
                notices.push_back(link::DeviceNotice::Removal);
            }
        } else {
            ++it;
        }
    }
    for (const auto& [key, dev] : matching) {
        if (known_.insert(key).second && Selected(dev)) {
            notices.push_back(link::DeviceNotice::Arrival);
        }
    }
}

}  // namespace

std::unique_ptr<link::Backend> MakeUsbBackend() {
    return MakeUsbBackend(UsbBackendOptions{});
}

std::unique_ptr<link::Backend> MakeUsbBackend(const UsbBackendOptions& options) {
    return std::make_unique<UsbBackend>(options);
}

std::string AccessHint(unsigned bus, unsigned address, UsbId id,
                       const std::vector<std::string>& ruleDirs, const std::string& shippedRule) {
    const std::string node = Format("/dev/bus/usb/%03u/%03u", bus, address);
    const std::string ids = Format("%04x:%04x", id.vid, id.pid);
    std::string installed;
    for (const std::string& dir : ruleDirs) {
        const std::string path = (std::filesystem::path(dir) / kRuleName).string();
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) {
            installed = path;
            break;
        }
    }
    if (!installed.empty() && RuleCovers(installed, id)) {
        return Format(
            "USB: no permission for %s (%s), although the rule %s covers it: run 'sudo udevadm"
            " control --reload && sudo udevadm trigger' (or plug the board in again); from a"
            " remote session, join the group plugdev and log in again",
            node.c_str(), ids.c_str(), installed.c_str());
    }
    if (!installed.empty()) {
        return Format(
            "USB: no permission for %s: the rule %s has no line for %s; add one like its others"
            " with ATTR{idVendor}==\"%04x\", ATTR{idProduct}==\"%04x\", run 'sudo udevadm"
            " control --reload', then plug the board in again",
            node.c_str(), installed.c_str(), ids.c_str(), id.vid, id.pid);
    }
    const std::string folder = ruleDirs.empty() ? "/etc/udev/rules.d" : ruleDirs.front();
    if (!shippedRule.empty() && RuleCovers(shippedRule, id)) {
        return Format(
            "USB: no permission for %s (%s): install the boards' udev rule with 'sudo cp %s %s/"
            " && sudo udevadm control --reload', then plug the board in again",
            node.c_str(), ids.c_str(), shippedRule.c_str(), folder.c_str());
    }
    const std::string target = (std::filesystem::path(folder) / kRuleName).string();
    return Format(
        "USB: no permission for %s (%s): add to %s%s%s the line 'SUBSYSTEM==\"usb\","
        " ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"%04x\", ATTR{idProduct}==\"%04x\","
        " MODE=\"0660\", GROUP=\"plugdev\", TAG+=\"uaccess\"', run 'sudo udevadm control"
        " --reload', then plug the board in again",
        node.c_str(), ids.c_str(), target.c_str(), shippedRule.empty() ? "" : " (a copy of ",
        shippedRule.empty() ? "" : (shippedRule + ")").c_str(), id.vid, id.pid);
}

std::string PortId(const BoardEntry& b) {
    if (b.ports.empty()) return std::to_string(b.bus) + "@" + std::to_string(b.address);
    return std::to_string(b.bus) + "-" + b.ports;
}

namespace {

// The serial number as listed: "-" when the board reports none, "?" when it
// could not be read.
const char* SerialText(const BoardEntry& b) {
    return b.serialUnknown ? "?" : b.serial.empty() ? "-" : b.serial.c_str();
}

}  // namespace

std::string DescribeBoard(const BoardEntry& b) {
    return Format("usb:%-8s %04x:%04x  speed %-6s serial %s", PortId(b).c_str(), b.id.vid,
                  b.id.pid, b.speed.c_str(), SerialText(b));
}

namespace {

std::string BoardsThere(const std::vector<BoardEntry>& boards) {
    if (boards.empty()) return "no board is connected";
    std::string list = "boards connected:";
    for (const BoardEntry& b : boards) {
        list += Format(" usb:%s (%04x:%04x, serial %s)", PortId(b).c_str(), b.id.vid, b.id.pid,
                       SerialText(b));
    }
    return list;
}

}  // namespace

std::optional<std::size_t> MatchBoard(const std::vector<BoardEntry>& boards, std::string_view id,
                                      std::string& error) {
    for (std::size_t i = 0; i < boards.size(); ++i) {
        if (PortId(boards[i]) == id) return i;
    }
    std::vector<std::size_t> same;
    for (std::size_t i = 0; i < boards.size(); ++i) {
        if (!boards[i].serial.empty() && boards[i].serial == id) same.push_back(i);
    }
    if (same.size() == 1) return same.front();
    const std::string named = "usb:" + std::string(id);
    if (same.empty()) {
        error = "no board " + named + " (no board connected has that serial number or bus and"
                " port path); " + BoardsThere(boards);
    } else {
        error = "the serial number " + std::string(id) + " is on " + std::to_string(same.size()) +
                " boards: name one by its bus and port path (usb:BUS-PORTS); " +
                BoardsThere(boards);
    }
    return std::nullopt;
}

std::vector<BoardEntry> ListBoards(std::string* error) {
    Context ctx;
    if (ctx.initError != LIBUSB_SUCCESS) {
        if (error) *error = std::string("libusb_init: ") + libusb_error_name(ctx.initError);
        return {};
    }
    libusb_device** raw = nullptr;
    const ssize_t n = libusb_get_device_list(ctx.ctx, &raw);
    if (n < 0) {
        if (error)
            *error = std::string("libusb_get_device_list: ") +
                     libusb_error_name(static_cast<int>(n));
        return {};
    }
    DeviceList list(raw);
    std::vector<BoardEntry> boards;
    for (const Listed& b : ListedBoards(list.get(), n, ReadUsbIdFilter())) boards.push_back(b.entry);
    return boards;
}

std::chrono::milliseconds BulkTimeoutSetting() {
    int seconds = kBulkTimeoutDefaultSeconds;
    {
        SettingsStore store;
        seconds = store.ReadInteger(kSetup, kBulkTimeoutKey, kBulkTimeoutDefaultSeconds);
    }
    if (seconds < 0) seconds = kBulkTimeoutDefaultSeconds;
    return std::chrono::seconds(std::min(seconds, 24 * 3600));
}

std::chrono::milliseconds BulkPieceTimeout(std::chrono::milliseconds base, std::size_t queued,
                                           std::string_view speed) {
    if (base.count() <= 0) return std::chrono::milliseconds(0);
    // A tenth of the link's signalling rate, in bytes per second: what a
    // bulk piece is allowed at the least before it counts as stuck.
    double rate = 480e6 / 80;
    if (speed == "low" || speed == "full") {
        rate = 12e6 / 80;
    } else if (speed == "super") {
        rate = 5e9 / 80;
    } else if (speed == "super+") {
        rate = 10e9 / 80;
    }
    const double ms = static_cast<double>(base.count()) +
                      static_cast<double>(queued) * 1000.0 / rate;
    // libusb takes the time-out as an unsigned int of milliseconds.
    return std::chrono::milliseconds(static_cast<std::int64_t>(std::min(ms, 4.0e9)));
}

void SetMeetingHook(MeetingHook hook) {
    meetingHook.store(hook, std::memory_order_release);
}

std::string LibusbVersion() {
    const libusb_version* v = libusb_get_version();
    return std::to_string(v->major) + "." + std::to_string(v->minor) + "." +
           std::to_string(v->micro) + "." + std::to_string(v->nano);
}

}  // namespace quillon::usb
