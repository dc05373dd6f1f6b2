#include "sim/sim_board.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "link/abort.h"
#include "sim/answers.h"
#include "sim/builtin_designs.h"

namespace quillon::sim {

using namespace answers;
using Clock = std::chrono::steady_clock;

namespace {

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

}  // namespace quillon::sim
