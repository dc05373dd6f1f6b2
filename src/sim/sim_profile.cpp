#include "sim/sim_profile.h"

#include <cctype>
#include <charconv>

#include "platform/file_io.h"

namespace quillon::sim {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

// Decimal, or hexadecimal with 0x.
bool ParseUnsigned(std::string_view text, std::uint64_t max, std::uint64_t& out) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return false;
    std::uint64_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, base);
    if (ec != std::errc() || end != text.data() + text.size() || v > max) return false;
    out = v;
    return true;
}

bool ParseBool(std::string_view text, bool& out) {
    const std::string t = Lower(text);
    if (t == "1" || t == "true" || t == "yes" || t == "on") {
        out = true;
        return true;
    }
    if (t == "0" || t == "false" || t == "no" || t == "off") {
        out = false;
        return true;
    }
    return false;
}

// "42.5" or "42.50" into hundredths (whole degrees 0..255).
bool ParseTemperature(std::string_view text, std::uint16_t& out) {
    const auto dot = text.find('.');
    std::uint64_t whole = 0, frac = 0;
    if (!ParseUnsigned(text.substr(0, dot), 255, whole)) return false;
    if (dot != std::string_view::npos) {
        std::string_view f = text.substr(dot + 1);
        if (f.empty() || f.size() > 2) return false;
        for (char c : f)
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        if (!ParseUnsigned(f, 99, frac)) return false;
        if (f.size() == 1) frac *= 10;
    }
    out = static_cast<std::uint16_t>(whole << 8 | frac);
    return true;
}

}  // namespace

std::string_view ProfileTrim(std::string_view text) {
    return Trim(text);
}

std::string ProfileLower(std::string_view text) {
    return Lower(text);
}

std::optional<std::uint64_t> ProfileNumber(std::string_view text, std::uint64_t max) {
    std::uint64_t v = 0;
    if (!ParseUnsigned(text, max, v)) return std::nullopt;
    return v;
}

const char* LinkSpeedName(LinkSpeed s) {
    switch (s) {
        case LinkSpeed::Fast:
            return "fast";
        case LinkSpeed::Usb2:
            return "usb2";
        case LinkSpeed::Usb3:
            return "usb3";
    }
    return "fast";
}

std::optional<Profile> ParseProfile(std::string_view text, std::string& error) {
    Profile p;
    int lineNo = 0;
    while (!text.empty()) {
        const auto nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        ++lineNo;
        if (const auto hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);
        line = Trim(line);
        if (line.empty()) continue;
        const auto eq = line.find('=');
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        if (eq == std::string_view::npos) {
            error = where + "expected key = value";
            return std::nullopt;
        }
        const std::string key = Lower(Trim(line.substr(0, eq)));
        const std::string_view value = Trim(line.substr(eq + 1));
        const auto bad = [&]() {
            error = where + "bad value '" + std::string(value) + "' for " + key;
            return std::nullopt;
        };
        std::uint64_t n = 0;
        bool b = false;
        auto u16 = [&](std::uint16_t& field) {
            if (!ParseUnsigned(value, 0xFFFF, n)) return false;
            field = static_cast<std::uint16_t>(n);
            return true;
        };
        auto u8 = [&](std::uint8_t& field) {
            if (!ParseUnsigned(value, 0xFF, n)) return false;
            field = static_cast<std::uint8_t>(n);
            return true;
        };
        auto u64 = [&](std::uint64_t& field) {
            if (!ParseUnsigned(value, UINT64_MAX, n)) return false;
            field = n;
            return true;
        };
        if (key == "firmware_version") {
            if (!u16(p.firmwareVersion)) return bad();
        } else if (key == "product_id") {
            if (!u16(p.productId)) return bad();
        } else if (key == "chip_revision") {
            if (!u16(p.chipRevision)) return bad();
        } else if (key == "speed_code") {
            if (Lower(value) == "auto") {
                p.speedCode.reset();
            } else {
                std::uint16_t v = 0;
                if (!u16(v)) return bad();
                p.speedCode = v;
            }
        } else if (key == "usb_vid") {
            if (!u16(p.usbVendorId)) return bad();
        } else if (key == "usb_pid") {
            if (!u16(p.usbProductId)) return bad();
        } else if (key == "usb_serial") {
            if (value.size() > Profile::kMaxSerial) return bad();
            for (char c : value)
                if (c < 0x20 || c > 0x7E) return bad();
            p.usbSerial = std::string(value);
        } else if (key == "link_speed") {
            const std::string v = Lower(value);
            if (v == "fast")
                p.linkSpeed = LinkSpeed::Fast;
            else if (v == "usb2")
                p.linkSpeed = LinkSpeed::Usb2;
            else if (v == "usb3")
                p.linkSpeed = LinkSpeed::Usb3;
            else
                return bad();
        } else if (key == "fpga_at_power_up") {
            const std::string v = Lower(value);
            if (v == "user")
                p.unconfiguredAtPowerUp = false;
            else if (v == "unconfigured")
                p.unconfiguredAtPowerUp = true;
            else
                return bad();
        } else if (key == "block_mismatch_byte") {
            if (Lower(value) == "off") {
                p.blockMismatchByte = -1;
            } else {
                if (!ParseUnsigned(value, 511, n)) return bad();
                p.blockMismatchByte = static_cast<int>(n);
            }
        } else if (key == "block_mismatch_read") {
            if (!u64(p.blockMismatchRead)) return bad();
        } else if (key == "temperature") {
            if (Lower(value) == "drift") {
                p.fixedTemperature.reset();
            } else {
                std::uint16_t t = 0;
                if (!ParseTemperature(value, t)) return bad();
                p.fixedTemperature = t;
            }
        } else if (key == "temp_alert") {
            if (!u8(p.tempAlertThreshold)) return bad();
        } else if (key == "watchdog") {
            if (!u8(p.watchdogSeconds)) return bad();
        } else if (key == "gpio_input_a") {
            if (!u8(p.gpioInput[0])) return bad();
        } else if (key == "gpio_input_c") {
            if (!u8(p.gpioInput[1])) return bad();
        } else if (key == "gpio_input_e") {
            if (!u8(p.gpioInput[2])) return bad();
        } else if (key == "eeprom_fill") {
            if (!u8(p.eepromFill)) return bad();
        } else if (key == "wide_eeprom_address") {
            // An address byte of its own: even, and not the other parts'.
            if (!ParseUnsigned(value, 0xFE, n) || (n & 1) || n == 0xA0 || n == 0xC0) return bad();
            p.wideEepromAddress = static_cast<std::uint8_t>(n);
        } else if (key == "fw_reset_answers") {
            if (!ParseBool(value, b)) return bad();
            p.fwResetAnswers = b;
        } else if (key == "reset_delay_ms") {
            if (!ParseUnsigned(value, 60000, n)) return bad();
            p.resetDelayMs = static_cast<int>(n);
        } else if (key == "memory_limit_mib") {
            if (!u64(p.memoryLimitMiB)) return bad();
        } else if (key == "memory_store") {
            const std::string v = Lower(value);
            if (v == "scratch")
                p.memoryDiscard = false;
            else if (v == "discard")
                p.memoryDiscard = true;
            else
                return bad();
        } else if (key == "fail_request") {
            if (!u64(p.faults.failRequest)) return bad();
        } else if (key == "stall_request") {
            if (!u64(p.faults.stallRequest)) return bad();
        } else if (key == "unplug_at_request") {
            if (!u64(p.faults.unplugAtRequest)) return bad();
        } else if (key == "stall_bulk") {
            if (!u64(p.faults.stallBulk)) return bad();
        } else if (key == "hang_bulk") {
            if (!u64(p.faults.hangBulk)) return bad();
        } else if (key == "unplug_at_bulk") {
            if (!u64(p.faults.unplugAtBulk)) return bad();
        } else if (key == "short_bulk") {
            if (!ParseUnsigned(value, 0xFFFFFFFFu, n)) return bad();
            p.faults.shortBulkBy = static_cast<std::uint32_t>(n);
        } else if (key == "unplug_after_bulk_bytes") {
            if (!u64(p.faults.unplugAfterBulkBytes)) return bad();
        } else if (key == "i2c_status_zero") {
            if (!ParseBool(value, b)) return bad();
            p.faults.i2cStatusZero = b;
        } else if (key == "config_status") {
            if (Lower(value) == "auto") {
                p.faults.configStatus.reset();
            } else {
                std::uint8_t v = 0;
                if (!u8(v)) return bad();
                p.faults.configStatus = v;
            }
        } else if (std::string why; ParseFlashKey(key, value, p.flash, why)) {
            if (!why.empty()) {
                error = where + why;
                return std::nullopt;
            }
        } else {
            error = where + "unknown key '" + key + "'";
            return std::nullopt;
        }
    }
    return p;
}

std::optional<Profile> LoadProfile(const std::string& path, std::string& error) {
    if (path.empty()) return Profile{};
    const platform::WholeFile file = platform::ReadWholeFile(path, kMaxProfileBytes);
    if (!file.ok()) {
        error = "the sim profile " + path + " " + file.Describe(kMaxProfileBytes);
        return std::nullopt;
    }
    std::string why;
    auto p = ParseProfile(
        std::string_view(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size()), why);
    if (!p) error = path + ": " + why;
    return p;
}

}  // namespace quillon::sim
