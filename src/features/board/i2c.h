#pragma once
// I2C through the board's firmware: single register bytes, three- and
// four-byte commands, and the DAC parameter set. The board has two I2C ports,
// 0 ("EXT1-I2C") and 1 ("EXT2-I2C"); the firmware runs the bus transaction and
// answers a status byte.
//
// The request sequences here serve the I2C pages and the I2C macros alike;
// the page operations below add the field conversion and the reporting.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "features/reporter.h"
#include "link/board_link.h"

namespace quillon::features {

inline constexpr int kI2cPorts = 2;

// The I2C address byte of a device type T (4 bits) and device address bits A
// (3 bits): T << 4 | A << 1, direction bit clear.
inline std::uint8_t I2cAddressByte(std::uint32_t type, std::uint32_t bits) {
    return static_cast<std::uint8_t>(((type & 0x0F) << 4) | ((bits & 0x07) << 1));
}

// --- Request sequences ------------------------------------------------------

// One register byte on port 0 or 1; any other port fails without a request.
bool I2cWriteRegister(link::BoardHandle h, int port, std::uint8_t addressByte, std::uint8_t reg,
                      std::uint8_t data);
bool I2cReadRegister(link::BoardHandle h, int port, std::uint8_t addressByte, std::uint8_t reg,
                     std::uint8_t& data);

// The zero-filled command buffer of a three- or four-byte command.
using I2cCommandBuffer = std::array<std::uint8_t, 512>;
// Mode 3: address byte, register & FF, last; mode 4: address byte, register
// bits 15..8, bits 7..0, last. `last` is the data byte of a write or the read
// address (address byte + 1) of a read.
I2cCommandBuffer I2cCommandBytes(int mode, std::uint8_t addressByte, std::uint32_t reg,
                                 std::uint8_t last);
// A command of `length` (3 or 4) header bytes and one data byte: length + 1
// bytes of `buffer` go out.
bool I2cSendCommand(link::BoardHandle h, int port, int length, const I2cCommandBuffer& buffer);
bool I2cReadCommand(link::BoardHandle h, int port, int length, const I2cCommandBuffer& buffer,
                    std::uint8_t& data);

// The four DAC parameter bytes as the two request words (first << 8 | second,
// third << 8 | fourth), port 0 or 1.
bool DacSend(link::BoardHandle h, int port, const std::array<std::uint8_t, 4>& bytes);

// --- Page operations --------------------------------------------------------

// The fields of one group of the "I2C操作" page, hexadecimal without prefix.
// `data` is the byte read (read) or the byte to write (write).
struct I2cByteFields {
    std::string type = "7";
    std::string bits = "0";
    std::string reg = "00";
    std::string data = "00";
};

// Converts the fields, runs the request and, on success, rewrites them in
// upper-case hexadecimal (type and bits one digit, register and data two) and
// logs the access. Any failure (a field that does not convert, the request)
// logs "I2C READ NG" / "I2C WRITE NG" and shows the warning; the fields keep
// what was typed.
bool I2cByteRead(link::BoardHandle h, int port, I2cByteFields& fields,
                 Reporter& reporter = DefaultReporter());
bool I2cByteWrite(link::BoardHandle h, int port, I2cByteFields& fields,
                  Reporter& reporter = DefaultReporter());

// The fields of one group of the "I2C操作2" page: the bytes "0:", "1:",
// "2/WD:", "WD:" and the result of a read.
struct I2cCommandFields {
    std::array<std::string, 4> bytes = {"A0", "00", "A1", "00"};
    std::string result = "00";
};

// Port list index 0 = port 0, any other = port 1; length list index 0 = three
// header bytes, any other = four. The four fields are the first bytes of the
// command buffer. Success rewrites them with two digits (and the result of a
// read) without a log line; failure logs "I2C READ2 NG" / "I2C WRITE2 NG"
// and shows the warning.
bool I2cCommandRead(link::BoardHandle h, int portIndex, int lengthIndex, I2cCommandFields& fields,
                    Reporter& reporter = DefaultReporter());
bool I2cCommandWrite(link::BoardHandle h, int portIndex, int lengthIndex, I2cCommandFields& fields,
                     Reporter& reporter = DefaultReporter());

// The "MCP4725" page's SET: four hexadecimal fields (low 8 bits each), sent
// uninterpreted. A field that does not convert is refused ("無効な文字列です。",
// nothing logged); a failed request is logged and shown. Success is silent.
bool DacParameterSet(link::BoardHandle h, int portIndex, const std::array<std::string, 4>& fields,
                     Reporter& reporter = DefaultReporter());

// A hexadecimal field as the board-service pages convert it ("0x" + text read
// as an integer): hexadecimal digits only, at most 32 bits.
std::optional<std::uint32_t> ParseHexInt(std::string_view text);

}  // namespace quillon::features
