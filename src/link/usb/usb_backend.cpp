// Discovery and hot-plug: the backend that finds and opens the board, watches
// the bus and tells the link of arrivals and removals.
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

}  // namespace detail

using namespace detail;

namespace {

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
    std::set<DeviceKey> known_;       // matching devices present, as last seen
    std::set<DeviceKey> noFirmware_;  // boards without firmware, told already
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
    return MakeUsbDevice(ctx_, handle, itf, std::move(state), options_, settings);
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

void SetMeetingHook(MeetingHook hook) {
    meetingHook.store(hook, std::memory_order_release);
}

std::string LibusbVersion() {
    const libusb_version* v = libusb_get_version();
    return std::to_string(v->major) + "." + std::to_string(v->minor) + "." +
           std::to_string(v->micro) + "." + std::to_string(v->nano);
}

}  // namespace quillon::usb
