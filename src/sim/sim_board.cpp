#include "sim/sim_board.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "link/abort.h"
#include "sim/builtin_designs.h"

namespace quillon::sim {

using link::SetupPacket;
using link::TransferResult;
using link::UsbError;
using Clock = std::chrono::steady_clock;

namespace {

// Request codes as the firmware knows them.
constexpr std::uint8_t kReg512 = 0xA0;
constexpr std::uint8_t kMemCmdLen = 0xA1;
constexpr std::uint8_t kReg = 0xB0;
constexpr std::uint8_t kMemCmd = 0xB1;
constexpr std::uint8_t kCfgMode = 0xB2;
constexpr std::uint8_t kBoardInfo = 0xB3;
constexpr std::uint8_t kGpioDir = 0xB4;
constexpr std::uint8_t kGpioWrite = 0xB5;
constexpr std::uint8_t kGpioRead = 0xB6;
constexpr std::uint8_t kRegWait = 0xB7;
constexpr std::uint8_t kI2c1Write = 0xC0;
constexpr std::uint8_t kI2c1Read = 0xC1;
constexpr std::uint8_t kTempRead = 0xC2;
constexpr std::uint8_t kGpifWave = 0xC3;    // OUT
constexpr std::uint8_t kI2c2Write = 0xC3;   // IN
constexpr std::uint8_t kSuspendSet = 0xC4;  // OUT
constexpr std::uint8_t kI2c2Read = 0xC4;    // IN
constexpr std::uint8_t kI2cxWrite = 0xC5;
constexpr std::uint8_t kRegexOrI2cxRead = 0xC6;
constexpr std::uint8_t kTempAlert = 0xC7;
constexpr std::uint8_t kWatchdog = 0xC8;
constexpr std::uint8_t kFwReset = 0xC9;
constexpr std::uint8_t kDac1 = 0xE0;
constexpr std::uint8_t kDac2 = 0xE1;

constexpr std::uint8_t kMemWriteBegin = 0xC0;
constexpr std::uint8_t kMemWriteEnd = 0x40;
constexpr std::uint8_t kMemReadBegin = 0x80;
constexpr std::uint8_t kMemReadEnd = 0x00;
constexpr std::uint8_t kCfgBegin = 0xC1;
constexpr std::uint8_t kCfgEnd = 0x41;

// Status bytes of the I2C requests: 1 = the device acknowledged.
constexpr std::uint8_t kAck = 1;
constexpr std::uint8_t kNack = 0;

// Error codes as libusb numbers them (LIBUSB_ERROR_IO, _NO_DEVICE, _PIPE), so
// that "ERROR code :%d" reads the same whichever board is behind the link.
constexpr int kCodeIo = -1;
constexpr int kCodeNoDevice = -4;
constexpr int kCodePipe = -9;

TransferResult Ok(std::size_t moved) {
    return {UsbError::None, static_cast<std::uint32_t>(moved), 0};
}
TransferResult Stall() {
    return {UsbError::Stall, 0, kCodePipe};
}
TransferResult Gone(std::size_t moved = 0) {
    return {UsbError::NoDevice, static_cast<std::uint32_t>(moved), kCodeNoDevice};
}
TransferResult IoError() {
    return {UsbError::Io, 0, kCodeIo};
}
// The host stopped a streamed transfer; numbered as libusb numbers an
// interrupted call.
TransferResult Cancelled(std::size_t moved) {
    return {UsbError::Cancelled, static_cast<std::uint32_t>(moved), -10};
}

int WidthBytes(std::uint8_t code) {
    switch (code & 0xC0) {
        case 0x00:
            return 1;
        case 0x40:
            return 2;
        case 0x80:
            return 4;
        default:
            return 8;
    }
}

// Bulk pace of the emulated links, bytes per second; 0 = no pacing.
double BulkRate(LinkSpeed s) {
    switch (s) {
        case LinkSpeed::Usb2:
            return 40e6;
        case LinkSpeed::Usb3:
            return 350e6;
        case LinkSpeed::Fast:
            break;
    }
    return 0;
}

std::chrono::microseconds ControlTime(LinkSpeed s) {
    switch (s) {
        case LinkSpeed::Usb2:
            return std::chrono::microseconds(125);
        case LinkSpeed::Usb3:
            return std::chrono::microseconds(60);
        case LinkSpeed::Fast:
            break;
    }
    return std::chrono::microseconds(0);
}

// Bulk bytes moved per step with the lock held; between steps an unplug from
// another thread gets through.
constexpr std::size_t kBulkSlice = 1u << 20;

// One slice of a bulk transfer while no design is loaded; `offset` bytes of
// the transfer moved before it.
std::size_t FirmwareFifo(bool isOut, std::uint8_t* to, std::size_t offset, std::size_t n) {
    // With the FPGA unconfigured nothing drives the FIFO's far side, so the
    // firmware answers it: what is written is dropped (counted with every bulk
    // byte), and a read gives the counting pattern 00 01 02 .. FF 00 .., from
    // 00 again with every transfer. The rate page measures this way, with no
    // design loaded.
    if (!isOut) {
        for (std::size_t i = 0; i < n; ++i) to[i] = static_cast<std::uint8_t>(offset + i);
    }
    return n;
}

}  // namespace

SimBoard::SimBoard(Profile profile)
    : profile_(std::move(profile)), flash_(std::make_unique<BoardFlash>(profile_.flash)) {
    faults_ = profile_.faults;
    for (int p = 0; p < kI2cPorts; ++p)
        i2c_.emplace_back(profile_.eepromFill, profile_.wideEepromAddress);
    {
        std::lock_guard<std::mutex> lock(mu_);
        PowerUpLocked();
    }
    RegisterBuiltinDesigns(*this);
}

SimBoard::~SimBoard() {
    {
        // The program ends: what the flash holds by now goes to its folder.
        std::lock_guard<std::mutex> lock(mu_);
        PowerLossLocked();
    }
    {
        std::lock_guard<std::mutex> lock(timerMu_);
        stopTimer_ = true;
    }
    timerCv_.notify_all();
    if (timer_.joinable()) timer_.join();
}

// --- Power, reset, bus presence ------------------------------------------------

void SimBoard::PowerUpLocked() {
    FirmwareResetLocked();
    for (I2cBus& bus : i2c_) bus.PowerUp();
    powerUp_ = Clock::now();
    if (design_) design_->Halt();
    flash_->PowerUp();
    memory_.clear();
    cfgMode_ = false;
    stream_.clear();
    stream_.shrink_to_fit();
    streamLength_ = 0;
    cfgInfo_ = ConfigInfo{};
    if (profile_.unconfiguredAtPowerUp) {
        design_.reset();
    } else {
        // The board's configuration flash loads the user design at power-up.
        design_ = std::make_unique<UserDesign>(static_cast<DesignContext&>(*this));
    }
}

void SimBoard::FirmwareResetLocked() {
    // Everything the USB controller's firmware holds in RAM starts over; the
    // FPGA keeps its design and the memory chips their contents.
    readWait_ = writeWait_ = 0;
    gpifWave_[0] = gpifWave_[1] = 0;
    for (int p = 0; p < kGpioPorts; ++p) gpio_[p] = GpioPort{0, 0, profile_.gpioInput[p]};
    i2cx_ = I2cxPending{};
    watchdog_ = profile_.watchdogSeconds;
    suspend_ = 0;
    tempAlert_ = profile_.tempAlertThreshold;
    fixedTemp_ = profile_.fixedTemperature;
    lastMem_ = MemCommand{};
    memOpen_ = false;
    if (cfgMode_) {
        // A configuration cut off by the reset leaves the FPGA empty.
        cfgMode_ = false;
        stream_.clear();
        streamLength_ = 0;
    }
    if (design_) design_->MemEnd(memDirection_);
}

void SimBoard::PowerLossLocked() {
    if (design_) design_->Halt();
    flash_->Save();
}

void SimBoard::LeaveBusLocked() {
    onBus_ = false;
    ++session_;
    memOpen_ = false;
    i2cx_ = I2cxPending{};
}

void SimBoard::Notify(BoardEvent event) {
    std::lock_guard<std::recursive_mutex> lock(handlerMu_);
    if (handler_) handler_(event);
}

void SimBoard::SetEventHandler(EventHandler handler) {
    std::lock_guard<std::recursive_mutex> lock(handlerMu_);
    handler_ = std::move(handler);
}

bool SimBoard::OnBus() const {
    std::lock_guard<std::mutex> lock(mu_);
    return onBus_;
}

std::uint64_t SimBoard::Session() const {
    std::lock_guard<std::mutex> lock(mu_);
    return session_;
}

void SimBoard::Unplug() {
    bool left = false;
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (onBus_) {
            LeaveBusLocked();
            PowerLossLocked();
            left = true;
        }
        std::lock_guard<std::mutex> timerLock(timerMu_);
        rearriveAt_.reset();  // a pulled cable stays pulled
    }
    if (left) Notify(BoardEvent::LeftBus);
}

void SimBoard::Plug() {
    bool joined = false;
    {
        std::lock_guard<std::mutex> lock(mu_);
        {
            std::lock_guard<std::mutex> timerLock(timerMu_);
            rearriveAt_.reset();
        }
        if (!onBus_) {
            PowerUpLocked();
            onBus_ = true;
            ++session_;
            joined = true;
        }
    }
    if (joined) Notify(BoardEvent::Arrived);
}

void SimBoard::ResetTimerLoop() {
    std::unique_lock<std::mutex> lk(timerMu_);
    while (!stopTimer_) {
        if (!rearriveAt_) {
            timerCv_.wait(lk);
            continue;
        }
        if (Clock::now() < *rearriveAt_) {
            timerCv_.wait_until(lk, *rearriveAt_);
            continue;
        }
        const std::uint64_t session = rearriveSession_;
        rearriveAt_.reset();
        lk.unlock();
        bool joined = false;
        {
            std::lock_guard<std::mutex> lock(mu_);
            if (!onBus_ && session_ == session) {
                FirmwareResetLocked();
                onBus_ = true;
                ++session_;
                joined = true;
            }
        }
        if (joined) Notify(BoardEvent::Arrived);
        lk.lock();
    }
}

// --- Designs, faults, counters ---------------------------------------------------

void SimBoard::RegisterDesign(std::string name, DesignMatcher matcher, DesignFactory factory) {
    std::lock_guard<std::mutex> lock(mu_);
    designs_.push_back({std::move(name), std::move(matcher), std::move(factory)});
}

void SimBoard::SetFaults(const Faults& faults) {
    std::lock_guard<std::mutex> lock(mu_);
    faults_ = faults;
    faultBulkBase_ = bulkBytes_;
}

Faults SimBoard::GetFaults() const {
    std::lock_guard<std::mutex> lock(mu_);
    return faults_;
}

std::uint64_t SimBoard::RequestCount() const {
    std::lock_guard<std::mutex> lock(mu_);
    return requests_;
}

std::uint64_t SimBoard::BulkCount() const {
    std::lock_guard<std::mutex> lock(mu_);
    return bulkTransfers_;
}

bool SimBoard::TakeHungBulk() {
    std::lock_guard<std::mutex> lock(mu_);
    if (!onBus_ || faults_.hangBulk == 0 || faults_.hangBulk != bulkTransfers_ + 1) return false;
    ++bulkTransfers_;
    return true;
}

std::uint64_t SimBoard::BulkBytes() const {
    std::lock_guard<std::mutex> lock(mu_);
    return bulkBytes_;
}

SparseMemory& SimBoard::Memory(std::uint8_t target) {
    auto& m = memory_[target];
    if (!m) {
        const std::uint64_t limit =
            profile_.memoryLimitMiB * (1ull << 20) / SparseMemory::kPageSize;
        m = std::make_unique<SparseMemory>(
            static_cast<std::size_t>(std::min<std::uint64_t>(limit, SIZE_MAX)),
            profile_.memoryDiscard);
    }
    return *m;
}

Clock::duration SimBoard::Uptime() const {
    return Clock::now() - powerUp_;
}

// --- Transfers -------------------------------------------------------------------

TransferResult SimBoard::Control(const SetupPacket& setup, std::span<std::uint8_t> data) {
    return DoControl(std::nullopt, setup, data);
}
TransferResult SimBoard::BulkOut(std::uint8_t ep, std::span<const std::uint8_t> data) {
    return DoBulk(std::nullopt, ep, true, data.data(), nullptr, data.size(), nullptr, nullptr);
}
TransferResult SimBoard::BulkIn(std::uint8_t ep, std::span<std::uint8_t> data) {
    return DoBulk(std::nullopt, ep, false, nullptr, data.data(), data.size(), nullptr, nullptr);
}
TransferResult SimBoard::ControlInSession(std::uint64_t session, const SetupPacket& setup,
                                          std::span<std::uint8_t> data) {
    return DoControl(session, setup, data);
}
TransferResult SimBoard::BulkOutInSession(std::uint64_t session, std::uint8_t ep,
                                          std::span<const std::uint8_t> data) {
    return DoBulk(session, ep, true, data.data(), nullptr, data.size(), nullptr, nullptr);
}
TransferResult SimBoard::BulkOutStreamInSession(std::uint64_t session, std::uint8_t ep,
                                                std::uint32_t length,
                                                const link::BulkSource& source) {
    return DoBulk(session, ep, true, nullptr, nullptr, length, &source, nullptr);
}
TransferResult SimBoard::BulkInInSession(std::uint64_t session, std::uint8_t ep,
                                         std::span<std::uint8_t> data) {
    return DoBulk(session, ep, false, nullptr, data.data(), data.size(), nullptr, nullptr);
}
TransferResult SimBoard::BulkInStreamInSession(std::uint64_t session, std::uint8_t ep,
                                               std::uint32_t length, const link::BulkSink& sink) {
    return DoBulk(session, ep, false, nullptr, nullptr, length, nullptr, &sink);
}

void SimBoard::PaceControl() const {
    const auto t = ControlTime(profile_.linkSpeed);
    if (t.count() > 0) std::this_thread::sleep_for(t);
}

TransferResult SimBoard::DoControl(std::optional<std::uint64_t> session, const SetupPacket& setup,
                                   std::span<std::uint8_t> data) {
    PaceControl();
    bool leave = false;
    TransferResult r;
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (!onBus_ || (session && *session != session_)) return Gone();
        if (data.size() != setup.wLength) return IoError();
        const std::uint64_t n = ++requests_;
        if (faults_.unplugAtRequest == n) {
            LeaveBusLocked();
            PowerLossLocked();
            leave = true;
            r = Gone();
        } else if (faults_.failRequest == n) {
            r = IoError();
        } else if (faults_.stallRequest == n) {
            r = Stall();
        } else {
            switch (setup.bmRequestType & 0x60) {
                case 0x00:
                    r = Standard(setup, data);
                    break;
                case 0x40:
                    r = Vendor(setup, data, leave);
                    break;
                default:
                    r = Stall();
                    break;
            }
        }
    }
    if (leave) Notify(BoardEvent::LeftBus);
    return r;
}

TransferResult SimBoard::DoBulk(std::optional<std::uint64_t> session, std::uint8_t ep, bool isOut,
                                const std::uint8_t* out, std::uint8_t* in, std::size_t length,
                                const link::BulkSource* source, const link::BulkSink* sink) {
    const double rate = BulkRate(profile_.linkSpeed);
    const auto start = Clock::now();
    std::size_t moved = 0;
    std::size_t limit = length;
    bool unplugged = false;
    bool hang = false;
    // A transfer asked to stop before it started never reaches the bus.
    if (link::BulkAbortRequested()) return Cancelled(0);
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (!onBus_ || (session && *session != session_)) return Gone();
        const std::uint64_t n = ++bulkTransfers_;
        hang = faults_.hangBulk == n;
        if (faults_.unplugAtBulk == n) {
            LeaveBusLocked();
            unplugged = true;
        } else {
            if (faults_.stallBulk == n) return Stall();
            if (ep != (isOut ? link::kBulkOutEp : link::kBulkInEp)) return Stall();
            // The FIFO only runs between a begin and an end command, in the
            // begin's direction, with something behind it.
            const MemDirection want = isOut ? MemDirection::Write : MemDirection::Read;
            if (!memOpen_ || memDirection_ != want) return Stall();
            // A configuration stream only goes out. With no design loaded the
            // firmware serves the FIFO itself (see FirmwareFifo below).
            if (cfgMode_ && !isOut) return Stall();
            if (faults_.shortBulkBy > 0 && length > 0) {
                limit = length - std::min<std::size_t>(faults_.shortBulkBy, length);
                faults_.shortBulkBy = 0;
            }
        }
    }
    if (unplugged) {
        Notify(BoardEvent::LeftBus);
        return Gone();
    }
    // Only the host's cancel or a removal ends a hung transfer.
    while (hang) {
        if (link::BulkAbortRequested()) return Cancelled(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::lock_guard<std::mutex> lock(mu_);
        if (!onBus_ || (session && *session != session_)) return Gone();
    }
    // Streamed data passes through one slice of scratch space.
    std::unique_ptr<std::uint8_t[]> scratch;
    if (source || sink) scratch.reset(new std::uint8_t[std::min(kBulkSlice, std::max<std::size_t>(limit, 1))]);
    do {
        bool leave = false;
        std::size_t took = 0;
        std::size_t chunk = std::min(kBulkSlice, limit - moved);
        if (link::BulkAbortRequested()) return Cancelled(moved);
        if (source && chunk > 0 && !(*source)({scratch.get(), chunk})) return Cancelled(moved);
        const std::uint8_t* from = source ? scratch.get() : out + moved;
        std::uint8_t* to = sink ? scratch.get() : in + moved;
        {
            std::lock_guard<std::mutex> lock(mu_);
            if (!onBus_ || (session && *session != session_)) return Gone(moved);
            if (faults_.unplugAfterBulkBytes > 0) {
                const std::uint64_t sent = bulkBytes_ - faultBulkBase_;
                const std::uint64_t left =
                    faults_.unplugAfterBulkBytes > sent ? faults_.unplugAfterBulkBytes - sent : 0;
                if (left <= chunk) {
                    chunk = static_cast<std::size_t>(left);
                    leave = true;
                }
            }
            if (chunk > 0) {
                if (cfgMode_) {
                    const std::span<const std::uint8_t> piece(from, chunk);
                    if (stream_.size() < kStreamKeep) {
                        const std::size_t keep = std::min(chunk, kStreamKeep - stream_.size());
                        stream_.insert(stream_.end(), piece.begin(), piece.begin() + keep);
                    }
                    streamCrc_ = Crc32(piece, streamCrc_);
                    streamFnv_ = Fnv64(piece, streamFnv_);
                    streamLength_ += chunk;
                    took = chunk;
                } else if (!design_) {
                    took = FirmwareFifo(isOut, to, moved, chunk);
                } else if (isOut) {
                    took = design_->MemWrite({from, chunk});
                } else {
                    took = design_->MemRead({to, chunk});
                }
            }
            moved += took;
            bulkBytes_ += took;
            if (leave) {
                faults_.unplugAfterBulkBytes = 0;
                LeaveBusLocked();
                PowerLossLocked();
            }
        }
        if (sink && took > 0 && !(*sink)({scratch.get(), took})) return Cancelled(moved);
        if (leave) {
            Notify(BoardEvent::LeftBus);
            return Gone(moved);
        }
        if (rate > 0) {
            // Sleep in short steps until the emulated link would have moved
            // this much, so an unplug meanwhile ends the transfer promptly.
            const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(moved / rate));
            while (Clock::now() < due) {
                std::this_thread::sleep_until(
                    std::min(due, Clock::now() + std::chrono::milliseconds(5)));
                if (link::BulkAbortRequested()) return Cancelled(moved);
                std::lock_guard<std::mutex> lock(mu_);
                if (!onBus_ || (session && *session != session_)) return Gone(moved);
            }
        }
        if (took < chunk) break;  // the design ended the transfer short
    } while (moved < limit);
    return Ok(moved);
}

// --- Standard requests (enough for a USB stack to enumerate) --------------------

// String descriptor index of the serial number.
constexpr std::uint8_t kSerialIndex = 3;

std::vector<std::uint8_t> SimBoard::UsbDescriptors() const {
    const bool ss = profile_.linkSpeed == LinkSpeed::Usb3;
    const std::uint16_t bcdUsb = ss ? 0x0300 : 0x0200;
    const std::uint16_t maxPacket = ss ? 1024 : 512;
    std::vector<std::uint8_t> d = {18,
                                   0x01,
                                   static_cast<std::uint8_t>(bcdUsb & 0xFF),
                                   static_cast<std::uint8_t>(bcdUsb >> 8),
                                   0x00,
                                   0x00,
                                   0x00,
                                   static_cast<std::uint8_t>(ss ? 9 : 64),
                                   static_cast<std::uint8_t>(profile_.usbVendorId & 0xFF),
                                   static_cast<std::uint8_t>(profile_.usbVendorId >> 8),
                                   static_cast<std::uint8_t>(profile_.usbProductId & 0xFF),
                                   static_cast<std::uint8_t>(profile_.usbProductId >> 8),
                                   static_cast<std::uint8_t>(profile_.firmwareVersion & 0xFF),
                                   static_cast<std::uint8_t>(profile_.firmwareVersion >> 8),
                                   0,
                                   0,
                                   static_cast<std::uint8_t>(profile_.usbSerial.empty() ? 0
                                                                                     : kSerialIndex),
                                   1};
    const std::uint16_t total = static_cast<std::uint16_t>(9 + 9 + 2 * (7 + (ss ? 6 : 0)));
    const std::uint8_t config[] = {9,
                                   0x02,
                                   static_cast<std::uint8_t>(total & 0xFF),
                                   static_cast<std::uint8_t>(total >> 8),
                                   1,
                                   1,
                                   0,
                                   0x80,
                                   50};
    const std::uint8_t iface[] = {9, 0x04, 0, 0, 2, 0xFF, 0x00, 0x00, 0};
    d.insert(d.end(), std::begin(config), std::end(config));
    d.insert(d.end(), std::begin(iface), std::end(iface));
    for (std::uint8_t ep : {link::kBulkOutEp, link::kBulkInEp}) {
        const std::uint8_t e[] = {7,
                                  0x05,
                                  ep,
                                  0x02,
                                  static_cast<std::uint8_t>(maxPacket & 0xFF),
                                  static_cast<std::uint8_t>(maxPacket >> 8),
                                  0};
        d.insert(d.end(), std::begin(e), std::end(e));
        if (ss) {
            const std::uint8_t companion[] = {6, 0x30, 15, 0, 0, 0};
            d.insert(d.end(), std::begin(companion), std::end(companion));
        }
    }
    return d;
}

TransferResult SimBoard::Standard(const SetupPacket& s, std::span<std::uint8_t> data) {
    constexpr std::uint8_t kGetStatus = 0x00, kClearFeature = 0x01, kGetDescriptor = 0x06,
                           kSetConfiguration = 0x09, kSetInterface = 0x0B;
    if (s.In()) {
        if (s.bRequest == kGetStatus) {
            std::fill(data.begin(), data.end(), 0);
            return Ok(std::min<std::size_t>(data.size(), 2));
        }
        if (s.bRequest == kGetDescriptor) {
            const std::vector<std::uint8_t> all = UsbDescriptors();
            std::span<const std::uint8_t> pick;
            std::vector<std::uint8_t> string;
            if (s.wValue >> 8 == 0x01) {
                pick = std::span(all).first(18);
            } else if (s.wValue >> 8 == 0x02) {
                pick = std::span(all).subspan(18);
            } else if (s.wValue >> 8 == 0x03 && !profile_.usbSerial.empty() &&
                       ((s.wValue & 0xFF) == 0 || (s.wValue & 0xFF) == kSerialIndex)) {
                // String 0 lists the languages (English, US); the serial
                // number is the only other string.
                if ((s.wValue & 0xFF) == 0) {
                    string = {4, 0x03, 0x09, 0x04};
                } else {
                    string = {static_cast<std::uint8_t>(2 + 2 * profile_.usbSerial.size()), 0x03};
                    for (char c : profile_.usbSerial) string.insert(string.end(), {std::uint8_t(c), 0});
                }
                pick = string;
            } else {
                return Stall();
            }
            const std::size_t n = std::min(pick.size(), data.size());
            std::copy_n(pick.begin(), n, data.begin());
            return Ok(n);
        }
        return Stall();
    }
    if (s.bRequest == kClearFeature || s.bRequest == kSetConfiguration ||
        s.bRequest == kSetInterface)
        return Ok(0);
    return Stall();
}

// --- Vendor requests ------------------------------------------------------------

TransferResult SimBoard::Vendor(const SetupPacket& s, std::span<std::uint8_t> d, bool& leave) {
    const bool in = s.In();
    const std::uint8_t req = s.bRequest;
    const std::uint16_t len = s.wLength;

    // The second phase of an I2CX request must follow its first directly.
    const bool i2cxPhase2 = in && i2cx_.active &&
                            ((req == kI2cxWrite && !i2cx_.read) ||
                             (req == kRegexOrI2cxRead && i2cx_.read && s.wValue == 0 &&
                              s.wIndex == 0 && len == i2cx_.data + 1));
    if (i2cxPhase2) return I2cxPhase2(s, d);
    i2cx_ = I2cxPending{};

    if (!in) {
        switch (req) {
            case kReg512: {
                if (len < 1 || len > 512 || s.wIndex > 0x1F) return Stall();
                if (design_) design_->BlockWrite(std::uint32_t{s.wIndex} << 16 | s.wValue, d);
                return Ok(len);
            }
            case kMemCmdLen: {
                if (len != 0) return Stall();
                const std::uint8_t command = static_cast<std::uint8_t>((s.wIndex >> 8) & 0xC0);
                const std::uint32_t units = std::uint32_t{s.wIndex & 0x3FFFu} << 16 | s.wValue;
                return MemCommandRequest(command, true, 0, units);
            }
            case kReg:
                return RegisterRequest(s, d);
            case kMemCmd: {
                if (len != 1 || s.wIndex != 0 || s.wValue > 0xFF) return Stall();
                return MemCommandRequest(d[0], false, static_cast<std::uint8_t>(s.wValue), 0);
            }
            case kCfgMode: {
                if (len != 1 || s.wValue != 0 || s.wIndex != 0) return Stall();
                return CfgMode(d[0]);
            }
            case kGpioDir: {
                if (len != 0 || s.wValue >= kGpioPorts) return Stall();
                gpio_[s.wValue].direction = s.wIndex;
                return Ok(0);
            }
            case kGpioWrite: {
                if (len != 0 || s.wValue >= kGpioPorts) return Stall();
                gpio_[s.wValue].latch = static_cast<std::uint8_t>(s.wIndex & 0xFF);
                return Ok(0);
            }
            case kRegWait: {
                if (len != 0 || s.wValue > 1) return Stall();
                (s.wValue == 0 ? readWait_ : writeWait_) = static_cast<std::uint8_t>(s.wIndex);
                return Ok(0);
            }
            case kGpifWave: {
                if (len != 0 || s.wValue > 1 || s.wIndex > 1) return Stall();
                gpifWave_[s.wValue] = s.wIndex;
                return Ok(0);
            }
            case kSuspendSet: {
                if (len != 0 || s.wValue > 1 || s.wIndex != 0) return Stall();
                suspend_ = s.wValue;
                return Ok(0);
            }
            case kI2cxWrite:
                return I2cxPhase1(s, d, false);
            case kRegexOrI2cxRead: {
                // Shared code: the I2CX read carries its data length in wIndex
                // (never 0 for a read), the extended-register write has wIndex 0.
                if (s.wIndex != 0) return I2cxPhase1(s, d, true);
                const std::uint16_t address = s.wValue & 0x3FF;
                if (len != (s.wValue >> 10) + 1) return Stall();
                if (design_) design_->RegexWrite(address, d);
                return Ok(len);
            }
            case kTempAlert: {
                if (len != 1 || s.wValue != 0 || s.wIndex != 0) return Stall();
                tempAlert_ = d[0];
                return Ok(1);
            }
            case kWatchdog: {
                if (len != 1 || s.wValue != 0 || s.wIndex != 0) return Stall();
                watchdog_ = d[0];
                return Ok(1);
            }
            case kFwReset: {
                if (len != 0 || s.wValue != 0 || s.wIndex != 0) return Stall();
                // The FX3 restarts and leaves the bus for a moment, then comes
                // back with its firmware state reset.
                ++fwResets_;
                LeaveBusLocked();
                leave = true;
                {
                    std::lock_guard<std::mutex> timerLock(timerMu_);
                    rearriveSession_ = session_;
                    rearriveAt_ = Clock::now() + std::chrono::milliseconds(profile_.resetDelayMs);
                    if (!timer_.joinable()) timer_ = std::thread([this] { ResetTimerLoop(); });
                }
                timerCv_.notify_all();
                return profile_.fwResetAnswers ? Ok(0) : Gone();
            }
            default:
                return Stall();
        }
    }

    switch (req) {
        case kReg512: {
            if (len < 1 || len > 512 || s.wIndex > 0x1F) return Stall();
            if (design_)
                design_->BlockRead(std::uint32_t{s.wIndex} << 16 | s.wValue, d);
            else
                std::fill(d.begin(), d.end(), 0);
            ++blockReads_;
            const int bad = profile_.blockMismatchByte;
            if (bad >= 0 && bad < len &&
                (profile_.blockMismatchRead == 0 || blockReads_ >= profile_.blockMismatchRead))
                d[bad] = static_cast<std::uint8_t>(~d[bad]);
            return Ok(len);
        }
        case kReg:
            return RegisterRequest(s, d);
        case kBoardInfo: {
            if (len != 2 || s.wIndex != 0 || s.wValue > 0xFF) return Stall();
            std::uint16_t v = 0;
            switch (s.wValue) {
                case 0xC0:
                    v = profile_.firmwareVersion;
                    break;
                case 0x40:
                    v = profile_.productId;
                    break;
                case 0x80:
                    v = profile_.chipRevision;
                    break;
                case 0x00:
                    v = profile_.speedCode ? *profile_.speedCode
                                           : (profile_.linkSpeed == LinkSpeed::Usb2 ? 1 : 2);
                    break;
                default:
                    return Stall();
            }
            d[0] = static_cast<std::uint8_t>(v & 0xFF);
            d[1] = static_cast<std::uint8_t>(v >> 8);
            return Ok(2);
        }
        case kGpioRead: {
            if (len != 1 || s.wValue >= kGpioPorts || s.wIndex != 0) return Stall();
            const GpioPort& p = gpio_[s.wValue];
            // Pins driven by the port read back the latch; the others read
            // whatever is outside.
            d[0] = p.direction != 0 ? p.latch : p.input;
            return Ok(1);
        }
        case kI2c1Write:
            return I2cByte(s, d, 0, true);
        case kI2c1Read:
            return I2cByte(s, d, 0, false);
        case kI2c2Write:
            return I2cByte(s, d, 1, true);
        case kI2c2Read:
            return I2cByte(s, d, 1, false);
        case kTempRead: {
            if (len != 2 || s.wValue != 0 || s.wIndex != 0) return Stall();
            const std::uint16_t t = TemperatureLocked();
            d[0] = static_cast<std::uint8_t>(t & 0xFF);
            d[1] = static_cast<std::uint8_t>(t >> 8);
            return Ok(2);
        }
        case kRegexOrI2cxRead: {
            if (s.wIndex != 0) return Stall();
            const std::uint16_t address = s.wValue & 0x3FF;
            if (len != (s.wValue >> 10) + 1) return Stall();
            if (design_)
                design_->RegexRead(address, d);
            else
                std::fill(d.begin(), d.end(), 0);
            return Ok(len);
        }
        case kTempAlert: {
            if (len != 1 || s.wValue != 0 || s.wIndex != 0) return Stall();
            d[0] = tempAlert_;
            return Ok(1);
        }
        case kWatchdog: {
            if (len != 1 || s.wValue != 0 || s.wIndex != 0) return Stall();
            d[0] = watchdog_;
            return Ok(1);
        }
        case kI2cxWrite: {
            // A second phase with no first phase before it: nothing to do.
            if (len != 1 || s.wValue != 0 || s.wIndex != 0) return Stall();
            d[0] = kNack;
            return Ok(1);
        }
        case kDac1:
            return DacRequest(s, d, 0);
        case kDac2:
            return DacRequest(s, d, 1);
        default:
            return Stall();
    }
}

TransferResult SimBoard::RegisterRequest(const SetupPacket& s, std::span<std::uint8_t> d) {
    // wValue: address bits 13..6 in the high byte, the width code in bits 7..6,
    // address bits 5..0 below it. A read repeats address bits 13..6 in wIndex.
    const std::uint16_t address =
        static_cast<std::uint16_t>(((s.wValue >> 8) << 6) | (s.wValue & 0x3F));
    const int bytes = WidthBytes(static_cast<std::uint8_t>(s.wValue));
    if (s.wLength != bytes) return Stall();
    if (s.In() ? s.wIndex != (address & 0x3FC0) : s.wIndex != 0) return Stall();
    if (s.In()) {
        std::uint64_t v = 0;
        if (cfgMode_) {
            // In configuration mode register 2 is the configuration status.
            if (address == 2) {
                v = faults_.configStatus ? *faults_.configStatus : (streamLength_ > 0 ? 0 : 1);
            }
        } else if (design_) {
            v = design_->RegRead(address, bytes);
        }
        for (int i = 0; i < bytes; ++i) d[i] = static_cast<std::uint8_t>(v >> (8 * i));
        return Ok(bytes);
    }
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= std::uint64_t{d[i]} << (8 * i);
    if (!cfgMode_ && design_) design_->RegWrite(address, bytes, v);
    return Ok(bytes);
}

TransferResult SimBoard::MemCommandRequest(std::uint8_t command, bool lengthFraming,
                                           std::uint8_t width, std::uint32_t units) {
    if (command != kMemWriteBegin && command != kMemWriteEnd && command != kMemReadBegin &&
        command != kMemReadEnd)
        return Stall();
    lastMem_ = MemCommand{true, command, lengthFraming, width, units};
    const bool write = command == kMemWriteBegin || command == kMemWriteEnd;
    const MemDirection dir = write ? MemDirection::Write : MemDirection::Read;
    if (command == kMemWriteBegin || command == kMemReadBegin) {
        // A begin while a transfer is open restarts it (an earlier transfer
        // that failed never sent its end).
        if (memOpen_ && design_ && !cfgMode_) design_->MemEnd(memDirection_);
        memOpen_ = true;
        memDirection_ = dir;
        if (design_ && !cfgMode_)
            design_->MemBegin(sim::MemBegin{dir, lengthFraming, width, units});
    } else {
        if (memOpen_ && design_ && !cfgMode_) design_->MemEnd(memDirection_);
        memOpen_ = false;
    }
    return Ok(lengthFraming ? 0 : 1);
}

TransferResult SimBoard::CfgMode(std::uint8_t mode) {
    if (mode == kCfgBegin) {
        // Entering configuration mode pulls the FPGA's configuration: the
        // design is gone from here on, whatever follows.
        if (memOpen_ && design_) design_->MemEnd(memDirection_);
        memOpen_ = false;
        if (design_) design_->Halt();
        design_.reset();
        cfgMode_ = true;
        stream_.clear();
        streamLength_ = 0;
        streamCrc_ = 0;
        streamFnv_ = Fnv64({});
        cfgInfo_.configured = false;
        cfgInfo_.design.clear();
        return Ok(1);
    }
    if (mode != kCfgEnd) return Stall();
    if (!cfgMode_) return Ok(1);
    const std::uint8_t status =
        faults_.configStatus ? *faults_.configStatus : (streamLength_ > 0 ? 0 : 1);
    if (streamLength_ > 0) {
        ++cfgInfo_.streamCount;
        cfgInfo_.lastStreamLength = streamLength_;
        cfgInfo_.lastStreamCrc32 = streamCrc_;
        cfgInfo_.lastStreamFnv64 = streamFnv_;
        if (status == 0) {
            const Registered* pick = nullptr;
            for (const Registered& r : designs_) {
                if (r.matcher && r.matcher(stream_)) {
                    pick = &r;
                    break;
                }
            }
            design_ = pick ? pick->factory(static_cast<DesignContext&>(*this))
                           : std::make_unique<UserDesign>(static_cast<DesignContext&>(*this));
            if (design_) {
                ++cfgInfo_.loadCount;
                cfgInfo_.configured = true;
                cfgInfo_.design = design_->Name();
            }
        }
    }
    cfgMode_ = false;
    memOpen_ = false;
    stream_.clear();
    stream_.shrink_to_fit();
    streamLength_ = 0;
    return Ok(1);
}

// --- I2C --------------------------------------------------------------------------

I2cBus* SimBoard::Bus(int port) {
    if (port < 0 || port >= kI2cPorts || faults_.i2cStatusZero) return nullptr;
    return &i2c_[static_cast<std::size_t>(port)];
}

TransferResult SimBoard::I2cByte(const SetupPacket& s, std::span<std::uint8_t> d, int port,
                                 bool write) {
    if (s.wValue > 0xFF || s.wLength != (write ? 1 : 2)) return Stall();
    const std::uint8_t address = static_cast<std::uint8_t>(s.wValue);
    const std::uint8_t reg = static_cast<std::uint8_t>(s.wIndex & 0xFF);
    I2cBus* bus = Bus(port);
    if (write) {
        // The write happens although the request is an IN transfer: the data
        // stage only carries the status back.
        const std::uint8_t data = static_cast<std::uint8_t>(s.wIndex >> 8);
        d[0] = bus && bus->Write(address, std::span(&reg, 1), std::span(&data, 1)) ? kAck : kNack;
        return Ok(1);
    }
    if (s.wIndex > 0xFF) return Stall();
    std::uint8_t value = 0;
    const bool ok = bus && bus->Read(address, std::span(&reg, 1), std::span(&value, 1));
    d[0] = ok ? kAck : kNack;
    d[1] = ok ? value : 0;
    return Ok(2);
}

TransferResult SimBoard::I2cxPhase1(const SetupPacket& s, std::span<std::uint8_t> d, bool read) {
    const int header = s.wValue & 0x3FF;
    const int data = s.wIndex;
    if (header + data != s.wLength || s.wLength > 512 || header < 1) return Stall();
    i2cx_.active = true;
    i2cx_.read = read;
    i2cx_.port = s.wValue >> 10;
    i2cx_.header = header;
    i2cx_.data = data;
    i2cx_.bytes.assign(d.begin(), d.end());
    return Ok(s.wLength);
}

TransferResult SimBoard::I2cxPhase2(const SetupPacket& s, std::span<std::uint8_t> d) {
    const I2cxPending cmd = std::move(i2cx_);
    i2cx_ = I2cxPending{};
    // The header is the bus transaction: the address byte, the word address
    // (header length - 2 bytes) and a last byte, the data of a write or the
    // read address (address byte + 1) of a read. The data-length bytes after
    // the header are slack the host sends along; they do not go on the bus.
    const std::span<const std::uint8_t> header(cmd.bytes.data(), cmd.header);
    I2cBus* bus = Bus(cmd.port);
    const auto wordAddress = cmd.header >= 2 ? header.subspan(1, cmd.header - 2)
                                             : std::span<const std::uint8_t>();
    if (!cmd.read) {
        if (s.wLength != 1 || s.wValue != 0 || s.wIndex != 0) return Stall();
        const bool ok =
            bus && cmd.header >= 2 && bus->Write(header[0], wordAddress, header.last(1));
        d[0] = ok ? kAck : kNack;
        return Ok(1);
    }
    // Read: `data` bytes come back after the status byte.
    std::fill(d.begin(), d.end(), 0);
    bool ok = bus && cmd.header >= 2 && header.back() == (header[0] | 1);
    if (ok) ok = bus->Read(header[0], wordAddress, d.subspan(1));
    if (!ok) std::fill(d.begin(), d.end(), 0);
    d[0] = ok ? kAck : kNack;
    return Ok(d.size());
}

TransferResult SimBoard::DacRequest(const SetupPacket& s, std::span<std::uint8_t> d, int port) {
    if (s.wLength != 1) return Stall();
    // The four parameter bytes go out as one bus write: address byte, command,
    // then the two data bytes.
    const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(s.wValue & 0xFF),
                                   static_cast<std::uint8_t>(s.wIndex >> 8),
                                   static_cast<std::uint8_t>(s.wIndex & 0xFF)};
    I2cBus* bus = Bus(port);
    const bool ok = bus && bus->Write(static_cast<std::uint8_t>(s.wValue >> 8), {}, bytes);
    if (ok) {
        bus->dac().word1 = s.wValue;
        bus->dac().word2 = s.wIndex;
    }
    d[0] = ok ? kAck : kNack;
    return Ok(1);
}

std::uint16_t SimBoard::TemperatureLocked() const {
    if (fixedTemp_) return *fixedTemp_;
    // A drift of a few degrees around 40 C, slow enough to follow and large
    // enough to see on the monitor's chart (one point every 5 s).
    const double t = std::chrono::duration<double>(Clock::now() - powerUp_).count();
    constexpr double kTwoPi = 6.283185307179586;
    const double celsius =
        40.0 + 2.5 * std::sin(kTwoPi * t / 90.0) + 0.8 * std::sin(kTwoPi * t / 17.0 + 1.0);
    const long hundredths = std::lround(celsius * 100.0);
    return static_cast<std::uint16_t>((hundredths / 100) << 8 | (hundredths % 100));
}

// --- Inspection -------------------------------------------------------------------

ConfigInfo SimBoard::Configuration() const {
    std::lock_guard<std::mutex> lock(mu_);
    ConfigInfo c = cfgInfo_;
    c.configured = design_ != nullptr;
    c.design = design_ ? design_->Name() : std::string();
    c.configMode = cfgMode_;
    c.streamBytesNow = cfgMode_ ? streamLength_ : 0;
    return c;
}

std::uint64_t SimBoard::Register(std::uint16_t address) const {
    std::lock_guard<std::mutex> lock(mu_);
    return design_ ? design_->PeekRegister(address) : 0;
}

void SimBoard::SetRegister(std::uint16_t address, std::uint64_t value) {
    std::lock_guard<std::mutex> lock(mu_);
    if (design_) design_->RegWrite(address, 8, value);
}

std::uint8_t SimBoard::ExtendedRegister(std::uint16_t address) const {
    std::lock_guard<std::mutex> lock(mu_);
    return design_ ? design_->PeekRegex(address) : 0;
}

std::vector<std::uint8_t> SimBoard::BlockRegisters(std::uint32_t address, std::size_t n) const {
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<std::uint8_t> out(n, 0);
    if (design_)
        for (std::size_t i = 0; i < n; ++i) out[i] = design_->PeekBlock(address + i);
    return out;
}

std::vector<std::uint8_t> SimBoard::ReadMemory(std::uint8_t target, std::uint64_t address,
                                               std::size_t n) const {
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<std::uint8_t> out(n, 0);
    auto it = memory_.find(target);
    if (it != memory_.end()) it->second->Read(address, out);
    return out;
}

void SimBoard::WriteMemory(std::uint8_t target, std::uint64_t address,
                           std::span<const std::uint8_t> bytes) {
    std::lock_guard<std::mutex> lock(mu_);
    Memory(target).Write(address, bytes);
}

std::size_t SimBoard::MemoryStoredPages() const {
    std::lock_guard<std::mutex> lock(mu_);
    std::size_t n = 0;
    for (const auto& [target, m] : memory_) n += m->StoredPages();
    return n;
}

MemCommand SimBoard::LastMemCommand() const {
    std::lock_guard<std::mutex> lock(mu_);
    return lastMem_;
}

bool SimBoard::MemTransferOpen() const {
    std::lock_guard<std::mutex> lock(mu_);
    return memOpen_;
}

std::vector<std::uint8_t> SimBoard::FlashContents(FlashChip chip) const {
    std::lock_guard<std::mutex> lock(mu_);
    return flash_->Contents(chip);
}

void SimBoard::LoadFlash(FlashChip chip, std::uint64_t address,
                         std::span<const std::uint8_t> bytes) {
    std::lock_guard<std::mutex> lock(mu_);
    flash_->Cells(chip).Load(address, bytes);
}

GpioPort SimBoard::Gpio(int port) const {
    std::lock_guard<std::mutex> lock(mu_);
    return port >= 0 && port < kGpioPorts ? gpio_[port] : GpioPort{};
}

void SimBoard::SetGpioInput(int port, std::uint8_t level) {
    std::lock_guard<std::mutex> lock(mu_);
    if (port >= 0 && port < kGpioPorts) gpio_[port].input = level;
}

std::array<std::uint8_t, 256> SimBoard::Eeprom(int port) const {
    std::lock_guard<std::mutex> lock(mu_);
    return port >= 0 && port < kI2cPorts ? i2c_[port].eeprom() : std::array<std::uint8_t, 256>{};
}

void SimBoard::SetEeprom(int port, std::span<const std::uint8_t> bytes, std::uint8_t offset) {
    std::lock_guard<std::mutex> lock(mu_);
    if (port < 0 || port >= kI2cPorts) return;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        i2c_[port].eeprom()[static_cast<std::uint8_t>(offset + i)] = bytes[i];
}

std::vector<std::uint8_t> SimBoard::WideEeprom(int port, std::uint16_t address,
                                               std::size_t n) const {
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<std::uint8_t> out(n, 0);
    if (port < 0 || port >= kI2cPorts) return out;
    for (std::size_t i = 0; i < n; ++i)
        out[i] = i2c_[port].wideEeprom()[static_cast<std::uint16_t>(address + i)];
    return out;
}

void SimBoard::SetWideEeprom(int port, std::span<const std::uint8_t> bytes,
                             std::uint16_t address) {
    std::lock_guard<std::mutex> lock(mu_);
    if (port < 0 || port >= kI2cPorts) return;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        i2c_[port].wideEeprom()[static_cast<std::uint16_t>(address + i)] = bytes[i];
}

DacState SimBoard::Dac(int port) const {
    std::lock_guard<std::mutex> lock(mu_);
    return port >= 0 && port < kI2cPorts ? i2c_[port].dac() : DacState{};
}

std::uint8_t SimBoard::ReadWait() const {
    std::lock_guard<std::mutex> lock(mu_);
    return readWait_;
}

std::uint8_t SimBoard::WriteWait() const {
    std::lock_guard<std::mutex> lock(mu_);
    return writeWait_;
}

std::uint16_t SimBoard::GpifWave(int direction) const {
    std::lock_guard<std::mutex> lock(mu_);
    return gpifWave_[direction & 1];
}

std::uint8_t SimBoard::Watchdog() const {
    std::lock_guard<std::mutex> lock(mu_);
    return watchdog_;
}

std::uint16_t SimBoard::Suspend() const {
    std::lock_guard<std::mutex> lock(mu_);
    return suspend_;
}

std::uint8_t SimBoard::TempAlertThreshold() const {
    std::lock_guard<std::mutex> lock(mu_);
    return tempAlert_;
}

std::uint16_t SimBoard::Temperature() const {
    std::lock_guard<std::mutex> lock(mu_);
    return TemperatureLocked();
}

void SimBoard::SetTemperature(std::optional<std::uint16_t> fixed) {
    std::lock_guard<std::mutex> lock(mu_);
    fixedTemp_ = fixed;
}

bool SimBoard::TemperatureAlert() const {
    std::lock_guard<std::mutex> lock(mu_);
    return (TemperatureLocked() >> 8) >= tempAlert_;
}

std::uint64_t SimBoard::FirmwareResets() const {
    std::lock_guard<std::mutex> lock(mu_);
    return fwResets_;
}

}  // namespace quillon::sim
