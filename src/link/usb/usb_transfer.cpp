// The transfer engine: control requests and bulk calls of any length carried
// in pieces, kept in flight, cancelled and reaped.
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
#include <map>
#include <mutex>
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
#include "link/usb/usb_internal.h"
#include "platform/file_io.h"
#include "platform/platform.h"
#include "platform/settings_store.h"

namespace quillon::usb {
namespace detail {

namespace {

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
            std::unique_ptr<std::uint8_t[]> b(new (std::nothrow)
                                                  std::uint8_t[pieceSize ? pieceSize : 1]);
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
                gap ? 0
                    : static_cast<std::size_t>(std::min<std::uint64_t>(p.counted, length - moved));
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

}  // namespace

std::unique_ptr<link::Device> MakeUsbDevice(std::shared_ptr<Context> ctx,
                                            libusb_device_handle* handle, BoardInterface itf,
                                            std::shared_ptr<OpenState> state,
                                            const UsbBackendOptions& options,
                                            DeviceSettings settings) {
    return std::make_unique<UsbDevice>(std::move(ctx), handle, itf, std::move(state), options,
                                       settings);
}

}  // namespace detail

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
    const double ms =
        static_cast<double>(base.count()) + static_cast<double>(queued) * 1000.0 / rate;
    // libusb takes the time-out as an unsigned int of milliseconds.
    return std::chrono::milliseconds(static_cast<std::int64_t>(std::min(ms, 4.0e9)));
}

}  // namespace quillon::usb
