#pragma once
// What a simulated board is: its firmware's answers, its link speed, how its
// FPGA comes up, and the faults it is told to show. A profile file is plain
// "key = value" lines; docs/manual/simulated-board.html lists every key.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sim/flash_profile.h"

namespace quillon::sim {

enum class LinkSpeed {
    Fast,  // as fast as the host allows
    Usb2,  // about 40 MB/s bulk, about 125 us a control request
    Usb3,  // about 350 MB/s bulk, about 60 us a control request
};

// Bulk pace of a link, bytes per second; 0 = no pacing.
double BulkRate(LinkSpeed s);

// Faults armed on a board. Request numbers count every control transfer the
// board has seen since it was made (1 = the first); 0 switches a fault off.
struct Faults {
    std::uint64_t failRequest = 0;      // that request ends with an I/O error, nothing done
    std::uint64_t stallRequest = 0;     // that request is stalled, nothing done
    std::uint64_t unplugAtRequest = 0;  // the board leaves the bus instead of answering it
    // Bulk transfers are counted the same way, on their own (1 = the first).
    std::uint64_t stallBulk = 0;     // that bulk transfer is stalled, nothing moves
    std::uint64_t unplugAtBulk = 0;  // the board leaves the bus instead of doing it
    // That bulk transfer neither moves nor fails (a design that stopped
    // serving the FIFO) until the host cancels it or the board leaves the bus.
    std::uint64_t hangBulk = 0;
    // The next bulk transfer moves this many bytes fewer than asked (and still
    // reports success); used once.
    std::uint32_t shortBulkBy = 0;
    // The board leaves the bus once this many bulk bytes have moved after the
    // faults were set; the transfer in flight returns what moved with NoDevice.
    std::uint64_t unplugAfterBulkBytes = 0;
    // I2C byte requests, I2CX requests and DAC requests answer status 0.
    bool i2cStatusZero = false;
    // Register 2 in configuration mode reads this value instead of the
    // board's own verdict (0 = accepted, 1 = nothing loaded).
    std::optional<std::uint8_t> configStatus;
};

struct Profile {
    // Board information (VR_BOARD_INFO).
    std::uint16_t firmwareVersion = 0x0210;
    std::uint16_t productId = 0x8003;
    std::uint16_t chipRevision = 0x0004;
    // Connection speed code; unset = follows the link speed (usb2 1, else 2).
    std::optional<std::uint16_t> speedCode;

    // USB identity shown by the descriptors (umockdev testbeds, USB_IDS).
    std::uint16_t usbVendorId = 0x04B4;
    std::uint16_t usbProductId = 0x00F1;
    // The serial number string the firmware reports (string descriptor 3);
    // empty: none (iSerialNumber 0). At most kMaxSerial printable ASCII characters.
    std::string usbSerial;
    static constexpr std::size_t kMaxSerial = 126;

    LinkSpeed linkSpeed = LinkSpeed::Fast;

    // FPGA: the user design at power-up, or nothing until a stream loads one.
    bool unconfiguredAtPowerUp = false;

    // Block registers: from the blockMismatchRead-th block read on (1-based;
    // 0 = every read) byte blockMismatchByte of the data read comes back
    // inverted. -1 = off.
    int blockMismatchByte = -1;
    std::uint64_t blockMismatchRead = 0;

    // Temperature: fixed (whole degrees << 8 | hundredths), or drifting around 40 C.
    std::optional<std::uint16_t> fixedTemperature;  // e.g. 4250 = 42.50 C
    std::uint8_t tempAlertThreshold = 85;
    std::uint8_t watchdogSeconds = 0;

    // GPIO input levels of the pins of ports A, C, E while they are inputs.
    std::uint8_t gpioInput[3] = {0x00, 0x00, 0x00};

    // EEPROMs on both I2C ports (256 bytes at A0, 64 KiB with two-byte word
    // addresses at wideEepromAddress); erased state.
    std::uint8_t eepromFill = 0xFF;
    std::uint8_t wideEepromAddress = 0xA8;

    // VR_FW_RESET: answer the request before leaving the bus (true) or drop
    // off with the request unanswered (false: the host sees an error).
    bool fwResetAnswers = true;
    int resetDelayMs = 300;

    // Memory behind the FPGA: pages stored at most (MiB); further pages with
    // data other than one repeated byte are dropped (read back as 0).
    std::uint64_t memoryLimitMiB = 8192;
    // Discard: the memory keeps nothing; writes are dropped and every read
    // gives the address pattern (each 64-bit word holds its own byte address,
    // least significant byte first). For runs that measure the host alone.
    bool memoryDiscard = false;

    // The flash memories and the designs that reach them.
    FlashProfile flash;

    Faults faults;
};

// Reads a profile from text; nullopt with `error` ("line 3: unknown key 'foo'").
std::optional<Profile> ParseProfile(std::string_view text, std::string& error);
// A profile is a few dozen short lines; anything much larger is not one.
inline constexpr std::uint64_t kMaxProfileBytes = 1u << 20;
// Reads a profile file; an empty path gives the default profile. Only a
// regular file of at most kMaxProfileBytes is read.
std::optional<Profile> LoadProfile(const std::string& path, std::string& error);

const char* LinkSpeedName(LinkSpeed s);  // "fast", "usb2", "usb3"

// How values of the profile are read, for the keys parsed elsewhere too
// (sim/flash_profile.cpp): blanks trimmed, names compared in lower case,
// numbers decimal or 0x-hexadecimal up to `max`.
std::string_view ProfileTrim(std::string_view text);
std::string ProfileLower(std::string_view text);
std::optional<std::uint64_t> ProfileNumber(std::string_view text, std::uint64_t max);

}  // namespace quillon::sim
