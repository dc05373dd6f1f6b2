#include "link/vendor_requests.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <thread>

#include "link/usb_cause.h"
#include "log/log_file.h"

namespace quillon::link {

namespace {

// The largest data stage any request uses (block registers, two-phase I2C).
constexpr std::size_t kMaxStage = 512;

struct Outcome {
    bool sent = false;  // a device was there and the call was made
    TransferResult result;
    bool ok(std::uint16_t wLength) const { return sent && result.ok() && result.moved == wLength; }
};

// One control transfer on the default pipe of the board behind `h`. Nothing is
// sent when the handle is -1 or belongs to a link that has closed since.
Outcome Control(BoardHandle h, std::uint8_t bm, std::uint8_t req, std::uint16_t value,
                std::uint16_t index, std::span<std::uint8_t> stage) {
    Outcome o;
    Device* dev = BoardLink::Instance().DeviceFor(h);
    if (!dev) {
        NoteNoBoard();
        return o;
    }
    SetupPacket s;
    s.bmRequestType = bm;
    s.bRequest = req;
    s.wValue = value;
    s.wIndex = index;
    s.wLength = static_cast<std::uint16_t>(stage.size());
    o.sent = true;
    o.result = dev->Control(s, stage);
    if (!o.result.ok())
        NoteTransferFailure(o.result);
    else if (o.result.moved != s.wLength)
        NoteWrongCount(o.result.moved, s.wLength);
    return o;
}

// The early test of the requests that check the board before their arguments.
bool HasBoard(BoardHandle h) {
    if (BoardLink::Instance().DeviceFor(h)) return true;
    NoteNoBoard();
    return false;
}

// OUT request whose data stage is a copy of `bytes` (Device::Control takes a
// mutable stage for both directions).
bool Out(BoardHandle h, std::uint8_t req, std::uint16_t value, std::uint16_t index,
         std::span<const std::uint8_t> bytes) {
    if (bytes.size() > kMaxStage) return false;
    // Only the bytes sent are filled: zeroing the whole stage cost more than
    // the rest of a register write.
    std::array<std::uint8_t, kMaxStage> stage;
    std::copy(bytes.begin(), bytes.end(), stage.begin());
    std::span<std::uint8_t> s(stage.data(), bytes.size());
    return Control(h, kVendorOut, req, value, index, s).ok(static_cast<std::uint16_t>(s.size()));
}

bool OutByte(BoardHandle h, std::uint8_t req, std::uint16_t value, std::uint16_t index,
             std::uint8_t byte) {
    return Out(h, req, value, index, std::span<const std::uint8_t>(&byte, 1));
}

bool OutNoData(BoardHandle h, std::uint8_t req, std::uint16_t value, std::uint16_t index) {
    return Out(h, req, value, index, {});
}

bool In(BoardHandle h, std::uint8_t req, std::uint16_t value, std::uint16_t index,
        std::span<std::uint8_t> stage) {
    return Control(h, kVendorIn, req, value, index, stage)
        .ok(static_cast<std::uint16_t>(stage.size()));
}

// Requests that answer one status byte, non-zero meaning done.
bool InStatus(BoardHandle h, std::uint8_t req, std::uint16_t value, std::uint16_t index) {
    std::uint8_t status = 0;
    return In(h, req, value, index, std::span<std::uint8_t>(&status, 1)) && status != 0;
}

bool I2cWrite(BoardHandle h, std::uint8_t req, std::uint8_t addressByte, std::uint8_t reg,
              std::uint8_t data) {
    return InStatus(h, req, addressByte, static_cast<std::uint16_t>(data << 8 | reg));
}

bool I2cRead(BoardHandle h, std::uint8_t req, std::uint8_t addressByte, std::uint8_t reg,
             std::uint8_t& data) {
    std::array<std::uint8_t, 2> stage{};  // status, data
    if (!In(h, req, addressByte, reg, stage) || stage[0] == 0) return false;
    data = stage[1];
    return true;
}

// Only bits 7..6 of a width code mean anything on the wire; the byte count must
// follow the same bits.
RegWidth WireWidth(RegWidth w) {
    return static_cast<RegWidth>(static_cast<std::uint8_t>(w) & 0xC0);
}

void LogNumber(long long v) {
    LogFile::Write(std::to_string(v));
}

std::uint16_t RegexValue(std::uint16_t address, std::size_t count) {
    return static_cast<std::uint16_t>(((count - 1) & 0x3F) << 10 | address);
}

// Bursts are 1..64 bytes at addresses 0..1023; anything else would be packed
// into wValue as a different burst than the one asked for.
bool RegexArgsOk(std::uint16_t address, std::size_t count) {
    return count >= 1 && count <= 64 && address <= 0x3FF;
}

}  // namespace

// --- block registers ---

bool VR_REG512_WRITE(BoardHandle h, std::uint32_t address, std::span<const std::uint8_t> bytes) {
    if (!HasBoard(h)) {
        LogFile::Write("E3");
        return false;
    }
    if (bytes.empty() || bytes.size() > kMaxStage) return false;
    return Out(h, vr::REG512, static_cast<std::uint16_t>(address & 0xFFFF),
               static_cast<std::uint16_t>(address >> 16 & 0x1F), bytes);
}

bool VR_REG512_READ(BoardHandle h, std::uint32_t address, std::span<std::uint8_t> bytes) {
    if (!HasBoard(h)) return false;
    if (bytes.empty() || bytes.size() > kMaxStage) return false;
    return In(h, vr::REG512, static_cast<std::uint16_t>(address & 0xFFFF),
              static_cast<std::uint16_t>(address >> 16 & 0x1F), bytes);
}

bool VR_REG512_READ32(BoardHandle h, std::uint32_t address, std::uint32_t& value) {
    std::array<std::uint8_t, 4> b{};
    if (!VR_REG512_READ(h, address, b)) return false;
    value = std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
            std::uint32_t{b[3]} << 24;
    return true;
}

// --- memory framing ---

bool VR_MEM_CMDLEN(BoardHandle h, std::uint8_t command, std::uint32_t units) {
    // The command shares wIndex with units bits 29..16; the firmware decodes it so.
    const auto value = static_cast<std::uint16_t>(units & 0xFFFF);
    const auto index = static_cast<std::uint16_t>(command << 8 | (units >> 16 & 0x3FFF));
    Outcome o = Control(h, kVendorOut, vr::MEM_CMDLEN, value, index, {});
    if (o.ok(0)) return true;
    const bool callOk = o.sent && o.result.ok();
    LogNumber(callOk ? 1 : 0);
    LogNumber(o.result.moved);
    return false;
}

bool VR_MEM_CMD(BoardHandle h, std::uint8_t command, std::uint8_t memoryWidth) {
    std::uint8_t byte = command;
    Outcome o =
        Control(h, kVendorOut, vr::MEM_CMD, memoryWidth, 0, std::span<std::uint8_t>(&byte, 1));
    if (o.ok(1)) return true;
    const bool callOk = o.sent && o.result.ok();
    LogFile::Write("MC");
    LogNumber(callOk ? 1 : 0);
    LogNumber(o.result.moved);
    LogNumber(1);
    return false;
}

// --- ordinary registers ---

bool VR_REG_WRITE(BoardHandle h, std::uint16_t address, RegWidth width, std::uint32_t low,
                  std::uint32_t high) {
    width = WireWidth(width);
    const int n = RegWidthBytes(width);
    std::uint64_t v = std::uint64_t{high} << 32 | low;
    if (n < 8) v &= (std::uint64_t{1} << (8 * n)) - 1;
    std::array<std::uint8_t, 8> stage{};
    for (int i = 0; i < n; ++i) stage[i] = static_cast<std::uint8_t>(v >> (8 * i));
    return Out(h, vr::REG, RegWValue(address, width), 0,
               std::span<const std::uint8_t>(stage.data(), n));
}

bool VR_REG_READ(BoardHandle h, std::uint16_t address, RegWidth width, std::uint32_t& low,
                 std::uint32_t& high) {
    width = WireWidth(width);
    const int n = RegWidthBytes(width);
    std::array<std::uint8_t, 8> stage{};
    if (!In(h, vr::REG, RegWValue(address, width), static_cast<std::uint16_t>(address & 0x3FC0),
            std::span<std::uint8_t>(stage.data(), n)))
        return false;
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= std::uint64_t{stage[i]} << (8 * i);
    low = static_cast<std::uint32_t>(v);
    high = static_cast<std::uint32_t>(v >> 32);
    return true;
}

// --- configuration, board information ---

bool VR_CFG_MODE(BoardHandle h, std::uint8_t mode) {
    return OutByte(h, vr::CFG_MODE, 0, 0, mode);
}

bool VR_BOARD_INFO(BoardHandle h, std::uint8_t item, std::uint16_t& value) {
    std::array<std::uint8_t, 2> b{};
    if (!In(h, vr::BOARD_INFO, item, 0, b)) return false;
    value = static_cast<std::uint16_t>(b[0] | b[1] << 8);
    return true;
}

// --- GPIO ---

bool VR_GPIO_DIR(BoardHandle h, std::uint16_t port, std::uint16_t direction) {
    return OutNoData(h, vr::GPIO_DIR, port, direction);
}

bool VR_GPIO_WRITE(BoardHandle h, std::uint16_t port, std::uint16_t value) {
    return OutNoData(h, vr::GPIO_WRITE, port, value & 0xFF);
}

bool VR_GPIO_READ(BoardHandle h, std::uint16_t port, std::uint8_t& value) {
    std::uint8_t b = 0;
    if (!In(h, vr::GPIO_READ, port, 0, std::span<std::uint8_t>(&b, 1))) return false;
    value = b;
    return true;
}

bool VR_REG_WAIT(BoardHandle h, std::uint16_t which, std::uint32_t cycles) {
    return OutNoData(h, vr::REG_WAIT, which, static_cast<std::uint16_t>(cycles & 0xFF));
}

// --- I2C ---

bool VR_I2C1_WRITE(BoardHandle h, std::uint8_t addressByte, std::uint8_t reg, std::uint8_t data) {
    return I2cWrite(h, vr::I2C1_WRITE, addressByte, reg, data);
}
bool VR_I2C1_READ(BoardHandle h, std::uint8_t addressByte, std::uint8_t reg, std::uint8_t& data) {
    return I2cRead(h, vr::I2C1_READ, addressByte, reg, data);
}
bool VR_I2C2_WRITE(BoardHandle h, std::uint8_t addressByte, std::uint8_t reg, std::uint8_t data) {
    return I2cWrite(h, vr::I2C2_WRITE, addressByte, reg, data);
}
bool VR_I2C2_READ(BoardHandle h, std::uint8_t addressByte, std::uint8_t reg, std::uint8_t& data) {
    return I2cRead(h, vr::I2C2_READ, addressByte, reg, data);
}

bool VR_I2CX_WRITE(BoardHandle h, std::uint16_t port, std::uint16_t c, std::uint16_t d,
                   std::span<const std::uint8_t> bytes) {
    const std::size_t total = std::size_t{c} + d;
    if (!HasBoard(h)) return false;
    if (total > kMaxStage || total > bytes.size()) return false;
    if (!Out(h, vr::I2CX_WRITE, static_cast<std::uint16_t>(port << 10 | c), d, bytes.first(total)))
        return false;
    std::uint8_t status = 0;
    return In(h, vr::I2CX_WRITE, 0, 0, std::span<std::uint8_t>(&status, 1)) && status == 1;
}

bool VR_I2CX_READ(BoardHandle h, std::uint16_t port, std::uint16_t c, std::uint16_t d,
                  std::span<const std::uint8_t> bytes, std::uint8_t& first,
                  std::span<std::uint8_t> dataOut) {
    const std::size_t total = std::size_t{c} + d;
    if (!HasBoard(h)) return false;
    if (total > kMaxStage || total > bytes.size()) return false;
    if (!Out(h, vr::I2CX_READ, static_cast<std::uint16_t>(port << 10 | c), d, bytes.first(total)))
        return false;
    std::array<std::uint8_t, kMaxStage + 1> stage{};  // status, then d data bytes
    if (!In(h, vr::I2CX_READ, 0, 0, std::span<std::uint8_t>(stage.data(), std::size_t{d} + 1)) ||
        stage[0] != 1)
        return false;
    if (d > 0) first = stage[1];
    const std::size_t n = std::min<std::size_t>(d, dataOut.size());
    std::copy_n(stage.begin() + 1, n, dataOut.begin());
    return true;
}

// --- temperature, GPIF, suspend ---

bool VR_TEMP_READ(BoardHandle h, std::uint16_t sensor, std::uint16_t& value) {
    std::array<std::uint8_t, 2> b{};  // hundredths, whole degrees
    if (!In(h, vr::TEMP_READ, sensor, 0, b)) return false;
    value = static_cast<std::uint16_t>(b[0] | b[1] << 8);
    return true;
}

bool VR_GPIF_WAVE(BoardHandle h, std::uint16_t direction, std::uint16_t mode) {
    return OutNoData(h, vr::GPIF_WAVE, direction, mode);
}

bool VR_SUSPEND_SET(BoardHandle h, std::uint16_t mode) {
    return OutNoData(h, vr::SUSPEND_SET, mode, 0);
}

// --- extended registers ---

bool VR_REGEX_WRITE(BoardHandle h, std::uint16_t address, std::span<const std::uint8_t> bytes) {
    if (!HasBoard(h)) return false;
    if (!RegexArgsOk(address, bytes.size())) return false;
    if (!Out(h, vr::REGEX, RegexValue(address, bytes.size()), 0, bytes)) return false;
    // The firmware needs this long to hand the burst to the FPGA before it takes
    // the next request.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

bool VR_REGEX_READ(BoardHandle h, std::uint16_t address, std::span<std::uint8_t> bytes) {
    if (!HasBoard(h)) return false;
    if (!RegexArgsOk(address, bytes.size())) return false;
    return In(h, vr::REGEX, RegexValue(address, bytes.size()), 0, bytes);
}

// --- supervision ---

bool VR_TEMPALERT_SET(BoardHandle h, std::uint8_t value) {
    return OutByte(h, vr::TEMPALERT, 0, 0, value);
}

bool VR_TEMPALERT_GET(BoardHandle h, std::uint8_t& value) {
    std::uint8_t b = 0;
    if (!In(h, vr::TEMPALERT, 0, 0, std::span<std::uint8_t>(&b, 1))) return false;
    value = b;
    return true;
}

bool VR_WATCHDOG_SET(BoardHandle h, std::uint8_t seconds) {
    return OutByte(h, vr::WATCHDOG, 0, 0, seconds);
}

bool VR_WATCHDOG_GET(BoardHandle h, std::uint8_t& seconds) {
    std::uint8_t b = 0;
    if (!In(h, vr::WATCHDOG, 0, 0, std::span<std::uint8_t>(&b, 1))) return false;
    seconds = b;
    return true;
}

bool VR_FW_RESET(BoardHandle h) {
    return OutNoData(h, vr::FW_RESET, 0, 0);
}

bool VR_DAC1_SET(BoardHandle h, std::uint16_t word1, std::uint16_t word2) {
    return InStatus(h, vr::DAC1_SET, word1, word2);
}

bool VR_DAC2_SET(BoardHandle h, std::uint16_t word1, std::uint16_t word2) {
    return InStatus(h, vr::DAC2_SET, word1, word2);
}

}  // namespace quillon::link
