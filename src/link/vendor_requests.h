#pragma once
// Every vendor request the board understands. Each takes the BoardHandle first,
// performs exactly its control transfer(s) and returns true on success: the
// transfer succeeded, moved exactly wLength bytes, and the request's own test
// (status byte) holds. With the handle at -1 a request fails at once without
// bus traffic, unless noted.

#include <cstdint>
#include <span>

#include "link/board_link.h"

namespace quillon::link {

enum class RegWidth : std::uint8_t { Bits8 = 0x00, Bits16 = 0x40, Bits32 = 0x80, Bits64 = 0xC0 };
inline constexpr int RegWidthBytes(RegWidth w) {
    return w == RegWidth::Bits8 ? 1 : w == RegWidth::Bits16 ? 2 : w == RegWidth::Bits32 ? 4 : 8;
}
// Width list index (0 = 8bit .. 3 = 64bit) to code.
inline constexpr RegWidth RegWidthFromIndex(int index) {
    return static_cast<RegWidth>((index & 3) << 6);
}

// Memory commands of VR_MEM_CMD / VR_MEM_CMDLEN.
inline constexpr std::uint8_t kMemWriteBegin = 0xC0;
inline constexpr std::uint8_t kMemWriteEnd = 0x40;
inline constexpr std::uint8_t kMemReadBegin = 0x80;
inline constexpr std::uint8_t kMemReadEnd = 0x00;

// VR_CFG_MODE mode bytes.
inline constexpr std::uint8_t kCfgBegin = 0xC1;
inline constexpr std::uint8_t kCfgEnd = 0x41;

// VR_BOARD_INFO items.
inline constexpr std::uint8_t kInfoFirmwareVersion = 0xC0;
inline constexpr std::uint8_t kInfoProductId = 0x40;
inline constexpr std::uint8_t kInfoChipRevision = 0x80;
inline constexpr std::uint8_t kInfoSpeed = 0x00;

// Request codes.
namespace vr {
inline constexpr std::uint8_t REG512 = 0xA0;
inline constexpr std::uint8_t MEM_CMDLEN = 0xA1;
inline constexpr std::uint8_t REG = 0xB0;
inline constexpr std::uint8_t MEM_CMD = 0xB1;
inline constexpr std::uint8_t CFG_MODE = 0xB2;
inline constexpr std::uint8_t BOARD_INFO = 0xB3;
inline constexpr std::uint8_t GPIO_DIR = 0xB4;
inline constexpr std::uint8_t GPIO_WRITE = 0xB5;
inline constexpr std::uint8_t GPIO_READ = 0xB6;
inline constexpr std::uint8_t REG_WAIT = 0xB7;
inline constexpr std::uint8_t I2C1_WRITE = 0xC0;
inline constexpr std::uint8_t I2C1_READ = 0xC1;
inline constexpr std::uint8_t TEMP_READ = 0xC2;
inline constexpr std::uint8_t GPIF_WAVE = 0xC3;  // OUT
inline constexpr std::uint8_t I2C2_WRITE = 0xC3; // IN
inline constexpr std::uint8_t SUSPEND_SET = 0xC4; // OUT
inline constexpr std::uint8_t I2C2_READ = 0xC4;  // IN
inline constexpr std::uint8_t I2CX_WRITE = 0xC5;
inline constexpr std::uint8_t I2CX_READ = 0xC6;  // OUT then IN, like REGEX
inline constexpr std::uint8_t REGEX = 0xC6;
inline constexpr std::uint8_t TEMPALERT = 0xC7;
inline constexpr std::uint8_t WATCHDOG = 0xC8;
inline constexpr std::uint8_t FW_RESET = 0xC9;
inline constexpr std::uint8_t DAC1_SET = 0xE0;
inline constexpr std::uint8_t DAC2_SET = 0xE1;
}  // namespace vr

// Register address/width packing of VR_REG_WRITE / VR_REG_READ.
inline constexpr std::uint16_t RegWValue(std::uint16_t address, RegWidth width) {
    return static_cast<std::uint16_t>(((address & 0x3FC0) << 2) | (address & 0x3F) |
                                      (static_cast<std::uint8_t>(width) & 0xC0));
}

// Block registers (21-bit address, 1..512 bytes). With no board the write logs "E3".
bool VR_REG512_WRITE(BoardHandle h, std::uint32_t address, std::span<const std::uint8_t> bytes);
bool VR_REG512_READ(BoardHandle h, std::uint32_t address, std::span<std::uint8_t> bytes);
// 32-bit block register value, least significant byte first.
bool VR_REG512_READ32(BoardHandle h, std::uint32_t address, std::uint32_t& value);

// Memory framing. No board test of their own (callers test the handle); failures
// leave their log lines ("MC" and the numbers).
bool VR_MEM_CMDLEN(BoardHandle h, std::uint8_t command, std::uint32_t units);
bool VR_MEM_CMD(BoardHandle h, std::uint8_t command, std::uint8_t memoryWidth);

// Ordinary registers: 14-bit numbers, the value masked to the width.
bool VR_REG_WRITE(BoardHandle h, std::uint16_t address, RegWidth width, std::uint32_t low,
                  std::uint32_t high);
bool VR_REG_READ(BoardHandle h, std::uint16_t address, RegWidth width, std::uint32_t& low,
                 std::uint32_t& high);

bool VR_CFG_MODE(BoardHandle h, std::uint8_t mode);
bool VR_BOARD_INFO(BoardHandle h, std::uint8_t item, std::uint16_t& value);

bool VR_GPIO_DIR(BoardHandle h, std::uint16_t port, std::uint16_t direction);
bool VR_GPIO_WRITE(BoardHandle h, std::uint16_t port, std::uint16_t value);
bool VR_GPIO_READ(BoardHandle h, std::uint16_t port, std::uint8_t& value);

// which: 0 = register read wait, 1 = register write wait; cycles & 0xFF on the wire.
bool VR_REG_WAIT(BoardHandle h, std::uint16_t which, std::uint32_t cycles);

bool VR_I2C1_WRITE(BoardHandle h, std::uint8_t addressByte, std::uint8_t reg, std::uint8_t data);
bool VR_I2C1_READ(BoardHandle h, std::uint8_t addressByte, std::uint8_t reg, std::uint8_t& data);
bool VR_I2C2_WRITE(BoardHandle h, std::uint8_t addressByte, std::uint8_t reg, std::uint8_t data);
bool VR_I2C2_READ(BoardHandle h, std::uint8_t addressByte, std::uint8_t reg, std::uint8_t& data);

// Byte 0 hundredths, byte 1 whole degrees: value = b0 | b1 << 8.
bool VR_TEMP_READ(BoardHandle h, std::uint16_t sensor, std::uint16_t& value);

// direction 0 = memory read, 1 = memory write; mode 0 = burst, 1 = word.
bool VR_GPIF_WAVE(BoardHandle h, std::uint16_t direction, std::uint16_t mode);
bool VR_SUSPEND_SET(BoardHandle h, std::uint16_t mode);

// Two-phase requests on I2C port `port`: the first c + d bytes of `bytes` go out;
// success needs status 1. c + d is at most 512.
bool VR_I2CX_WRITE(BoardHandle h, std::uint16_t port, std::uint16_t c, std::uint16_t d,
                   std::span<const std::uint8_t> bytes);
bool VR_I2CX_READ(BoardHandle h, std::uint16_t port, std::uint16_t c, std::uint16_t d,
                  std::span<const std::uint8_t> bytes, std::uint8_t& first,
                  std::span<std::uint8_t> dataOut = {});

// Extended registers: 1024 byte registers in bursts of 1..64. The write waits
// 1 ms after success.
bool VR_REGEX_WRITE(BoardHandle h, std::uint16_t address, std::span<const std::uint8_t> bytes);
bool VR_REGEX_READ(BoardHandle h, std::uint16_t address, std::span<std::uint8_t> bytes);

bool VR_TEMPALERT_SET(BoardHandle h, std::uint8_t value);
bool VR_TEMPALERT_GET(BoardHandle h, std::uint8_t& value);
bool VR_WATCHDOG_SET(BoardHandle h, std::uint8_t seconds);
bool VR_WATCHDOG_GET(BoardHandle h, std::uint8_t& seconds);
bool VR_FW_RESET(BoardHandle h);

bool VR_DAC1_SET(BoardHandle h, std::uint16_t word1, std::uint16_t word2);
bool VR_DAC2_SET(BoardHandle h, std::uint16_t word1, std::uint16_t word2);

}  // namespace quillon::link
