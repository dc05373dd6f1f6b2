// The firmware's requests: the standard ones a USB stack enumerates with,
// the vendor requests of the board, and the I2C devices behind them.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "sim/answers.h"
#include "sim/sim_board.h"

namespace quillon::sim {

using namespace answers;
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

}  // namespace

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

}  // namespace quillon::sim
