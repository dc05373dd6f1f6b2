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
#include <mutex>
#include <numeric>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#include "log/settings_store.h"

namespace quillon::usb {

using link::TransferResult;
using link::UsbError;

namespace {

// Diagnostics of the device layer go to standard output, never to the log.
void Diag(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Diag(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
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
    // isochronous only); a bulk pipe that claims 0 bytes is taken as high speed.
    const std::size_t n = ep.wMaxPacketSize & 0x7FF;
    return n ? n : 512;
}

// The board's signature: a vendor-specific interface with the two bulk pipes.
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
                    out = true;
                    found.packetOut = PacketSize(ep);
                }
                if (ep.bEndpointAddress == link::kBulkInEp) {
                    in = true;
                    found.packetIn = PacketSize(ep);
                }
            }
            if (out && in) return found;
        }
    }
    return std::nullopt;
}

// The device file belongs to root unless a udev rule gives it to the user.
void NoAccess(libusb_device* dev) {
    libusb_device_descriptor dd{};
    libusb_get_device_descriptor(dev, &dd);
    Diag(
        "  no permission for /dev/bus/usb/%03u/%03u (%04x:%04x): install the udev rule"
        " packaging/70-quillon.rules as /etc/udev/rules.d/70-quillon.rules (with a line for"
        " %04x:%04x), run 'sudo udevadm control --reload', then plug the board in again\n",
        libusb_get_bus_number(dev), libusb_get_device_address(dev), dd.idVendor, dd.idProduct,
        dd.idVendor, dd.idProduct);
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

struct DeviceListDeleter {
    void operator()(libusb_device** list) const { libusb_free_device_list(list, 1); }
};
using DeviceList = std::unique_ptr<libusb_device*[], DeviceListDeleter>;

// Shared by the open device and the backend's event thread: when the event
// thread sees the open board leave, it marks it gone, and every transfer
// waiting on it is cancelled by its own caller instead of waiting on.
struct OpenState {
    explicit OpenState(DeviceKey k) : key(k) {}
    const DeviceKey key;
    std::atomic<bool> gone{false};
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

class UsbDevice final : public link::Device {
  public:
    UsbDevice(std::shared_ptr<Context> ctx, libusb_device_handle* handle, BoardInterface itf,
              bool reattach, std::shared_ptr<OpenState> state, const UsbBackendOptions& options)
        : ctx_(std::move(ctx)),
          handle_(handle),
          itf_(itf),
          reattach_(reattach),
          state_(std::move(state)),
          chunk_(ChunkSize(options.chunkBytes, itf)),
          inFlight_(static_cast<int>(std::clamp<std::size_t>(
              static_cast<std::size_t>(std::max(options.inFlight, 1)), 1, kUsbfsLimit / chunk_))) {}

    ~UsbDevice() override {
        libusb_release_interface(handle_, itf_.number);
        if (reattach_ && !state_->gone) libusb_attach_kernel_driver(handle_, itf_.number);
        libusb_close(handle_);
    }

    TransferResult Control(const link::SetupPacket& setup, std::span<std::uint8_t> data) override;
    TransferResult BulkOut(std::uint8_t endpoint, std::span<const std::uint8_t> data) override {
        // libusb takes a non-const buffer for both directions; OUT only reads it.
        return Bulk(endpoint, const_cast<std::uint8_t*>(data.data()), data.size());
    }
    TransferResult BulkIn(std::uint8_t endpoint, std::span<std::uint8_t> data) override {
        return Bulk(endpoint, data.data(), data.size());
    }

  private:
    TransferResult Bulk(std::uint8_t endpoint, std::uint8_t* data, std::size_t length);

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
    bool reattach_;
    std::shared_ptr<OpenState> state_;
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
    // Time-out 0: the request waits as long as the board takes.
    libusb_fill_control_transfer(t.get(), handle_, buffer.data(), OnTransferDone, &c, 0);
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

TransferResult UsbDevice::Bulk(std::uint8_t endpoint, std::uint8_t* data, std::size_t length) {
    if (state_->gone) return {UsbError::NoDevice, 0, LIBUSB_ERROR_NO_DEVICE};
    if (length == 0) return {};
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
        bool bounced = false;    // received into `bounce`
        bool done = false;
        int status = LIBUSB_TRANSFER_COMPLETED;
        std::size_t counted = 0;  // of the call's bytes that arrived or went
    };
    struct Carrier {
        TransferPtr transfer;
        std::size_t piece = 0;
        bool busy = false;
    };

    std::vector<Piece> pieces;
    pieces.reserve(direct / chunk_ + 2);
    for (std::size_t off = 0; off < direct; off += chunk_) {
        pieces.push_back({off, std::min(chunk_, direct - off)});
    }
    if (tail) pieces.push_back({direct, tail, true});

    const int carrierCount = static_cast<int>(std::min<std::size_t>(inFlight_, pieces.size()));
    std::vector<Carrier> carriers(carrierCount);
    for (Carrier& s : carriers) {
        s.transfer.reset(libusb_alloc_transfer(0));
        if (!s.transfer) return {UsbError::Io, 0, LIBUSB_ERROR_NO_MEM};
    }

    Completions c;
    std::size_t next = 0;  // the next piece to submit
    int busy = 0;
    bool stop = false, cancelled = false;
    // Why the call stopped early; None for a short transfer.
    UsbError stopError = UsbError::None;
    int stopCode = 0;
    auto Stop = [&](UsbError e, int code) {
        if (stop) return;
        stop = true;
        stopError = e;
        stopCode = code;
    };

    for (;;) {
        for (libusb_transfer* t : TakeDone(c)) {
            auto it = std::find_if(carriers.begin(), carriers.end(),
                                   [t](const Carrier& s) { return s.transfer.get() == t; });
            Piece& p = pieces[it->piece];
            it->busy = false;
            --busy;
            p.done = true;
            p.status = t->status;
            const auto actual = static_cast<std::size_t>(std::max(0, t->actual_length));
            p.counted = std::min(actual, p.length);
            if (p.bounced) std::memcpy(data + p.offset, bounce.data(), p.counted);
            if (p.status == LIBUSB_TRANSFER_CANCELLED && !cancelled) {
                // Not cancelled by us: libusb ends the transfers of a device
                // that went away this way.
                Stop(UsbError::NoDevice, LIBUSB_ERROR_NO_DEVICE);
            } else if (p.status != LIBUSB_TRANSFER_COMPLETED) {
                Stop(FromTransferStatus(p.status), ErrorCodeOf(p.status));
            } else if (p.counted < p.length) {
                // A short packet (or a zero-length one) is the end of what
                // the board has for us: the call ends here, it does not go on
                // with the pieces behind it.
                Stop(UsbError::None, 0);
            }
        }
        if (state_->gone) Stop(UsbError::NoDevice, LIBUSB_ERROR_NO_DEVICE);
        for (Carrier& s : carriers) {
            if (stop || next >= pieces.size()) break;
            if (s.busy) continue;
            const Piece& p = pieces[next];
            std::uint8_t* buffer = p.bounced ? bounce.data() : data + p.offset;
            const std::size_t n = p.bounced ? bounce.size() : p.length;
            libusb_fill_bulk_transfer(s.transfer.get(), handle_, endpoint, buffer,
                                      static_cast<int>(n), OnTransferDone, &c, 0);
            const int r = libusb_submit_transfer(s.transfer.get());
            if (r != LIBUSB_SUCCESS) {
                Stop(FromLibusbError(r), r);
                break;
            }
            s.piece = next++;
            s.busy = true;
            ++busy;
        }
        if (stop && !cancelled) {
            // Whatever is still queued must finish (cancelled) before its
            // buffer and transfer object may go.
            cancelled = true;
            for (Carrier& s : carriers) {
                if (s.busy) libusb_cancel_transfer(s.transfer.get());
            }
        }
        if (busy == 0 && (stop || next >= pieces.size())) break;
        AwaitEvents(c);
    }

    // The count is what moved without a gap: pieces after the first one that
    // ended early do not count, even if data reached them.
    std::uint64_t moved = 0;
    for (const Piece& p : pieces) {
        if (!p.done) break;
        moved += p.counted;
        if (p.status != LIBUSB_TRANSFER_COMPLETED || p.counted < p.length) break;
    }
    UsbError error = moved == length ? UsbError::None : stopError;
    int code = error == UsbError::None ? 0 : stopCode;
    if (state_->gone && moved < length) {
        error = UsbError::NoDevice;
        code = LIBUSB_ERROR_NO_DEVICE;
    }
    if (stopError == UsbError::Stall || stopError == UsbError::Overflow) {
        // A stalled bulk pipe (and one that babbled, on xHCI) stays halted
        // until the host clears it; without this every later transfer on it
        // would fail too. Also when all bytes had arrived before it.
        libusb_clear_halt(handle_, endpoint);
    }
    return {error, static_cast<std::uint32_t>(moved), code};
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

    // Ends the event thread: no notice is posted after this returns.
    void StopWatching();

  private:
    void InitFailed() const {
        Diag("libusb_init() ERROR!! %s\n", libusb_error_name(ctx_->initError));
        Diag(
            "  no board can be opened (is /dev/bus/usb there? a container must be given"
            " the host's USB devices)\n");
    }
    static int LIBUSB_CALL OnHotplug(libusb_context* ctx, libusb_device* dev,
                                     libusb_hotplug_event event, void* self);
    void EventLoop();
    void TakeHotplugEvents();
    void PollDevices();
    void Left(DeviceKey key);
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
    std::vector<UsbId> Filter() {
        std::lock_guard<std::mutex> lock(mu_);
        return filter_;
    }

    UsbBackendOptions options_;
    std::shared_ptr<Context> ctx_;

    std::mutex mu_;  // guards filter_, events_, open_ and post_
    std::vector<UsbId> filter_;
    std::vector<std::pair<libusb_hotplug_event, libusb_device*>> events_;
    std::weak_ptr<OpenState> open_;

    link::NoticePoster post_;  // guarded by mu_

    // Owned by the event thread once it runs.
    std::set<DeviceKey> known_;  // matching devices present, as last seen
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
        return nullptr;
    }
    DeviceList list(raw);
    for (ssize_t i = 0; i < n; ++i) {
        libusb_device* dev = list[i];
        std::optional<BoardInterface> itf = FindBoardInterface(dev, filter);
        if (!itf) continue;

        // Only the first board is tried; later ones are not a fallback.
        const unsigned bus = libusb_get_bus_number(dev), address = libusb_get_device_address(dev);
        libusb_device_handle* handle = nullptr;
        int r = libusb_open(dev, &handle);
        if (r != LIBUSB_SUCCESS) {
            Diag("libusb_open() ERROR!! %s (bus %03u device %03u)\n", libusb_error_name(r), bus,
                 address);
            if (r == LIBUSB_ERROR_ACCESS) NoAccess(dev);
            return nullptr;
        }
        bool reattach = false;
        if (libusb_kernel_driver_active(handle, itf->number) == 1) {
            r = libusb_detach_kernel_driver(handle, itf->number);
            if (r != LIBUSB_SUCCESS) {
                Diag("libusb_detach_kernel_driver() ERROR!! %s (interface %d)\n",
                     libusb_error_name(r), itf->number);
                Diag("  a kernel driver holds the board's interface and would not let it go\n");
                libusb_close(handle);
                return nullptr;
            }
            reattach = true;
        }
        r = libusb_claim_interface(handle, itf->number);
        if (r != LIBUSB_SUCCESS) {
            Diag("libusb_claim_interface() ERROR!! %s (interface %d)\n", libusb_error_name(r),
                 itf->number);
            if (r == LIBUSB_ERROR_BUSY) {
                Diag(
                    "  another program has the board open (another quillon or quillon-run?):"
                    " end it, then plug the board in again\n");
            } else if (r == LIBUSB_ERROR_ACCESS) {
                NoAccess(dev);
            }
            if (reattach) libusb_attach_kernel_driver(handle, itf->number);
            libusb_close(handle);
            return nullptr;
        }
        if (itf->altSetting != 0) {
            r = libusb_set_interface_alt_setting(handle, itf->number, itf->altSetting);
            if (r != LIBUSB_SUCCESS) {
                Diag("libusb_set_interface_alt_setting() ERROR!! %s\n", libusb_error_name(r));
                libusb_release_interface(handle, itf->number);
                if (reattach) libusb_attach_kernel_driver(handle, itf->number);
                libusb_close(handle);
                return nullptr;
            }
        }
        auto state = std::make_shared<OpenState>(KeyOf(dev));
        {
            std::lock_guard<std::mutex> lock(mu_);
            open_ = state;
        }
        return std::make_unique<UsbDevice>(ctx_, handle, *itf, reattach, std::move(state),
                                           options_);
    }
    return nullptr;
}

void UsbBackend::WatchDevices(link::NoticePoster post) {
    if (!ctx_->ctx || !post) return;
    {
        // Watching already: only the receiver of the notices changes.
        std::lock_guard<std::mutex> lock(mu_);
        post_ = std::move(post);
    }
    std::lock_guard<std::mutex> threadLock(threadMu_);
    if (watching_) return;
    watching_ = true;
    std::vector<UsbId> filter = ReadUsbIdFilter();
    {
        std::lock_guard<std::mutex> lock(mu_);
        filter_ = filter;
    }
    if (!options_.forcePolling && libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) {
        // Registered before the first listing, so that no board arriving in
        // between is missed.
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
        for (ssize_t i = 0; i < n; ++i) {
            if (FindBoardInterface(list[i], filter)) known_.insert(KeyOf(list[i]));
        }
    }
    thread_ = std::thread([this] { EventLoop(); });

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
    std::lock_guard<std::mutex> lock(backend->mu_);
    backend->events_.emplace_back(event, dev);
    return 0;
}

void UsbBackend::EventLoop() {
    auto nextPoll = std::chrono::steady_clock::now() + options_.pollInterval;
    while (!stop_) {
        timeval tv{0, 200000};
        libusb_handle_events_timeout_completed(ctx_->ctx, &tv, nullptr);
        if (stop_) break;
        if (hotplug_) {
            TakeHotplugEvents();
        } else if (std::chrono::steady_clock::now() >= nextPoll) {
            PollDevices();
            nextPoll = std::chrono::steady_clock::now() + options_.pollInterval;
        }
    }
}

void UsbBackend::Left(DeviceKey key) {
    std::shared_ptr<OpenState> open;
    {
        std::lock_guard<std::mutex> lock(mu_);
        open = open_.lock();
    }
    if (open && open->key == key && !open->gone.exchange(true)) {
        // Wakes a call that handles events itself, so it cancels at once.
        libusb_interrupt_event_handler(ctx_->ctx);
    }
}

void UsbBackend::TakeHotplugEvents() {
    std::vector<std::pair<libusb_hotplug_event, libusb_device*>> events;
    {
        std::lock_guard<std::mutex> lock(mu_);
        events.swap(events_);
    }
    if (events.empty()) return;
    const std::vector<UsbId> filter = Filter();
    std::vector<link::DeviceNotice> notices;
    for (auto& [event, dev] : events) {
        const DeviceKey key = KeyOf(dev);
        if (event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED) {
            // Told even when the first listing already had it (it arrived
            // in between): an arrival while a board is open changes nothing.
            if (FindBoardInterface(dev, filter)) {
                known_.insert(key);
                notices.push_back(link::DeviceNotice::Arrival);
            }
        } else {
            Left(key);
            // Matched against what was recorded on arrival: the device's
            // descriptors may be gone by now.
            if (known_.erase(key)) notices.push_back(link::DeviceNotice::Removal);
        }
        libusb_unref_device(dev);
    }
    Post(notices);
}

void UsbBackend::PollDevices() {
    libusb_device** raw = nullptr;
    const ssize_t n = libusb_get_device_list(ctx_->ctx, &raw);
    if (n < 0) return;
    DeviceList list(raw);
    const std::vector<UsbId> filter = Filter();
    std::set<DeviceKey> present;
    std::vector<DeviceKey> matching;  // in enumeration order
    for (ssize_t i = 0; i < n; ++i) {
        present.insert(KeyOf(list[i]));
        if (FindBoardInterface(list[i], filter)) matching.push_back(KeyOf(list[i]));
    }
    std::shared_ptr<OpenState> open;
    {
        std::lock_guard<std::mutex> lock(mu_);
        open = open_.lock();
    }
    if (open && !present.count(open->key)) Left(open->key);

    std::vector<link::DeviceNotice> notices;
    for (auto it = known_.begin(); it != known_.end();) {
        if (std::find(matching.begin(), matching.end(), *it) == matching.end()) {
            it = known_.erase(it);
            notices.push_back(link::DeviceNotice::Removal);
        } else {
            ++it;
        }
    }
    for (DeviceKey key : matching) {
        if (known_.insert(key).second) notices.push_back(link::DeviceNotice::Arrival);
    }
    Post(notices);
}

std::optional<unsigned> ParseHex16(std::string_view s) {
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
    if (s.empty() || s.size() > 4) return std::nullopt;
    unsigned v = 0;
    for (char ch : s) {
        const int d = std::isdigit(static_cast<unsigned char>(ch))
                          ? ch - '0'
                          : (std::isxdigit(static_cast<unsigned char>(ch))
                                 ? std::tolower(static_cast<unsigned char>(ch)) - 'a' + 10
                                 : -1);
        if (d < 0) return std::nullopt;
        v = v * 16 + static_cast<unsigned>(d);
    }
    return v;
}

}  // namespace

std::vector<UsbId> ParseUsbIds(std::string_view text, std::vector<std::string>* rejected) {
    std::vector<UsbId> ids;
    auto separator = [](char c) {
        return c == ',' || c == ';' || std::isspace(static_cast<unsigned char>(c));
    };
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && separator(text[i])) ++i;
        std::size_t j = i;
        while (j < text.size() && !separator(text[j])) ++j;
        if (j == i) break;
        const std::string_view entry = text.substr(i, j - i);
        i = j;
        const std::size_t colon = entry.find(':');
        std::optional<unsigned> vid, pid;
        if (colon != std::string_view::npos) {
            vid = ParseHex16(entry.substr(0, colon));
            pid = ParseHex16(entry.substr(colon + 1));
        }
        if (vid && pid) {
            const UsbId id{static_cast<std::uint16_t>(*vid), static_cast<std::uint16_t>(*pid)};
            if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
        } else if (rejected) {
            rejected->emplace_back(entry);
        }
    }
    return ids;
}

std::unique_ptr<link::Backend> MakeUsbBackend() {
    return MakeUsbBackend(UsbBackendOptions{});
}

std::unique_ptr<link::Backend> MakeUsbBackend(const UsbBackendOptions& options) {
    return std::make_unique<UsbBackend>(options);
}

std::string LibusbVersion() {
    const libusb_version* v = libusb_get_version();
    return std::to_string(v->major) + "." + std::to_string(v->minor) + "." +
           std::to_string(v->micro) + "." + std::to_string(v->nano);
}

}  // namespace quillon::usb
