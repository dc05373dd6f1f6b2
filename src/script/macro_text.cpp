// The macro text of each operation. The option letters and their number bases
// are those the macros read: RW -A decimal, -D hexadecimal; RR -A decimal (its
// decimal reading overrides the hexadecimal one); MW/MR -L hexadecimal; the
// I2C options hexadecimal except -P; STA -T decimal.

#include "script/macro_text.h"

#include <cstdio>

#include "script/macro_syntax.h"

namespace quillon::script {

namespace {

std::string Hex(std::uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(v));
    return buf;
}

bool ValidBits(int bits) {
    return bits == 8 || bits == 16 || bits == 32 || bits == 64;
}

// A file value as one macro item "-F<path>". A blank or a control character
// would end the value early; a comma would split the item, so such an item is
// put in double quotes (a quote inside doubled).
std::optional<std::string> FileItem(std::string_view prefix, const std::string& path,
                                    std::string* why) {
    auto refuse = [&](const char* reason) -> std::optional<std::string> {
        if (why) *why = reason;
        return std::nullopt;
    };
    if (path.empty()) return refuse("no file name");
    if (path.size() > kMaxStringValueBytes)
        return refuse("a macro's file name is at most 255 bytes long");
    for (unsigned char c : path) {
        if (c <= 32) return refuse("a macro's file name ends at a blank or a control character");
    }
    std::string item = std::string(prefix) + path;
    if (item.find(',') == std::string::npos && item.front() != '"') return item;
    std::string quoted = "\"";
    for (char c : item) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

struct Formatter {
    std::string* why;

    std::optional<std::string> Refuse(const char* reason) const {
        if (why) *why = reason;
        return std::nullopt;
    }
    std::optional<std::string> Register(const char* name, std::uint32_t address, int bits,
                                        bool extended) const {
        if (!ValidBits(bits)) return Refuse("the width is not 8, 16, 32 or 64");
        if (address > (extended ? 0x3FFu : 0x3FFFu)) return Refuse("the register is out of range");
        return std::string(name) + " -A" + std::to_string(address) + " -W" + std::to_string(bits);
    }
    std::optional<std::string> Memory(const char* name, const std::string& file,
                                      std::uint64_t length, int bits) const {
        if (!ValidBits(bits)) return Refuse("the width is not 8, 16, 32 or 64");
        if (length == 0 || length > 0xFFFFFFFFull)
            return Refuse("one macro transfer moves 1 byte to 4 GiB - 1");
        auto f = FileItem("-F", file, why);
        if (!f) return std::nullopt;
        return std::string(name) + " -L" + Hex(length) + " -W" + std::to_string(bits) + " " + *f;
    }
    // The I2C options common to the three forms, from the port on.
    std::optional<std::string> I2c(const char* base, int form, int port, int mode,
                                   std::uint8_t addressByte, std::uint32_t reg) const {
        if (addressByte & 1) return Refuse("the I2C address byte has its read bit set");
        std::string text = base;
        if (form == 1) {
            if (port != 0) return Refuse("IW and IR reach the first I2C port only");
        } else if (form == 2 || form == 3) {
            if (port < 0 || port > 1) return Refuse("the I2C port is not 0 or 1");
            text += std::to_string(form) + " -P" + std::to_string(port);
            if (form == 3) {
                if (mode != 3 && mode != 4) return Refuse("the command length is not 3 or 4");
                text += " -M" + std::to_string(mode);
            }
        } else {
            return Refuse("no such I2C macro");
        }
        // Without -M3/-M4 one register byte is sent.
        if (form != 3 && reg > 0xFF) return Refuse("the register address is beyond one byte");
        if (form == 3 && mode == 3 && reg > 0xFF)
            return Refuse("the register address is beyond one byte");
        return text + " -D" + Hex(addressByte >> 4) + " -S" + Hex((addressByte >> 1) & 7) + " -A" +
               Hex(reg);
    }
    std::optional<std::string> Port(const char* name, int port) const {
        if (port < 0 || port > 2) return Refuse("the GPIO port is not 0, 1 or 2");
        return std::string(name) + " -P" + std::to_string(port);
    }

    std::optional<std::string> operator()(const RegWriteOp& o) const {
        auto t = Register("RW", o.address, o.bits, o.extended);
        if (!t) return t;
        return *t + " -D" + Hex(o.value) + (o.extended ? " -REGEX" : "");
    }
    std::optional<std::string> operator()(const RegReadOp& o) const {
        auto t = Register("RR", o.address, o.bits, o.extended);
        if (!t) return t;
        return *t + (o.extended ? " -REGEX" : "");
    }
    std::optional<std::string> operator()(const MemWriteOp& o) const {
        return Memory("MW", o.file, o.length, o.bits);
    }
    std::optional<std::string> operator()(const MemReadOp& o) const {
        return Memory("MR", o.file, o.length, o.bits);
    }
    std::optional<std::string> operator()(const ConfigureOp& o) const {
        auto f = FileItem("-F", o.file, why);
        if (!f) return f;
        return "UC " + *f + (o.xilinx ? " -MX" : " -MA") + (o.bitswap ? " -B" : "") +
               (o.encrypt ? " -E" : "");
    }
    std::optional<std::string> operator()(const FileCompareOp& o) const {
        auto a = FileItem("-S", o.first, why);
        if (!a) return a;
        auto b = FileItem("-D", o.second, why);
        if (!b) return b;
        return "FC " + *a + " " + *b;
    }
    std::optional<std::string> operator()(const WaitOp& o) const {
        if (o.milliseconds < 0) return Refuse("a negative time");
        return "WAIT -T" + std::to_string(o.milliseconds);
    }
    std::optional<std::string> operator()(const I2cWriteOp& o) const {
        auto t = I2c("IW", o.form, o.port, o.mode, o.addressByte, o.reg);
        if (!t) return t;
        return *t + " -W" + Hex(o.data);
    }
    std::optional<std::string> operator()(const I2cReadOp& o) const {
        return I2c("IR", o.form, o.port, o.mode, o.addressByte, o.reg);
    }
    std::optional<std::string> operator()(const GpioWriteOp& o) const {
        auto t = Port("GW", o.port);
        if (!t) return t;
        return *t + " -W" + Hex(o.value);
    }
    std::optional<std::string> operator()(const GpioReadOp& o) const { return Port("GR", o.port); }
    std::optional<std::string> operator()(const GpioDirectionOp& o) const {
        auto t = Port("GD", o.port);
        if (!t) return t;
        return *t + (o.output ? " -DOUT" : " -DIN");
    }
    std::optional<std::string> operator()(const TempAlertSetOp& o) const {
        return "STA -T" + std::to_string(o.degrees);
    }
    std::optional<std::string> operator()(const TempAlertGetOp&) const {
        return std::string("GTA");
    }
};

struct Describer {
    std::string operator()(const RegWriteOp& o) const {
        return std::string(o.extended ? "extended " : "") + "register " +
               std::to_string(o.address) + " write " + Hex(o.value) + " at " +
               std::to_string(o.bits) + "bit";
    }
    std::string operator()(const RegReadOp& o) const {
        return std::string(o.extended ? "extended " : "") + "register " +
               std::to_string(o.address) + " read at " + std::to_string(o.bits) + "bit";
    }
    std::string operator()(const MemWriteOp& o) const {
        return "MemWrite " + std::to_string(o.length) + " bytes of " + o.file + " at " +
               std::to_string(o.bits) + "bit";
    }
    std::string operator()(const MemReadOp& o) const {
        return "MemRead " + std::to_string(o.length) + " bytes into " + o.file + " at " +
               std::to_string(o.bits) + "bit";
    }
    std::string operator()(const ConfigureOp& o) const { return "configuration load of " + o.file; }
    std::string operator()(const FileCompareOp& o) const {
        return "file compare of " + o.first + " and " + o.second;
    }
    std::string operator()(const WaitOp& o) const {
        return "wait of " + std::to_string(o.milliseconds) + " ms";
    }
    std::string operator()(const I2cWriteOp& o) const {
        return "I2C write of " + Hex(o.data) + " to register " + Hex(o.reg) + " of device " +
               Hex(o.addressByte) + " on port " + std::to_string(o.port);
    }
    std::string operator()(const I2cReadOp& o) const {
        return "I2C read of register " + Hex(o.reg) + " of device " + Hex(o.addressByte) +
               " on port " + std::to_string(o.port);
    }
    std::string operator()(const GpioWriteOp& o) const {
        return "GPIO port " + std::to_string(o.port) + " write " + Hex(o.value);
    }
    std::string operator()(const GpioReadOp& o) const {
        return "GPIO port " + std::to_string(o.port) + " read";
    }
    std::string operator()(const GpioDirectionOp& o) const {
        return "GPIO port " + std::to_string(o.port) + " direction " + (o.output ? "OUT" : "IN");
    }
    std::string operator()(const TempAlertSetOp& o) const {
        return "temperature alert set to " + std::to_string(o.degrees);
    }
    std::string operator()(const TempAlertGetOp&) const { return "temperature alert read"; }
};

}  // namespace

std::optional<std::string> MacroTextOf(const MacroOp& op, std::string* why) {
    return std::visit(Formatter{why}, op);
}

std::string KvxCommandLine(std::string_view macroText) {
    if (macroText.find_first_of("{}\\") == std::string_view::npos)
        return "KVX_COMMAND {" + std::string(macroText) + "}";
    std::string line = "KVX_COMMAND \"";
    for (char c : macroText) {
        if (std::string_view("\\\"$[]{}").find(c) != std::string_view::npos) line += '\\';
        line += c;
    }
    return line + "\"";
}

std::string TclComment(std::string_view text) {
    std::string line = "# ";
    for (char c : text) line += (c == '\n' || c == '\r') ? ' ' : c;
    if (line.back() == '\\') line += ' ';
    return line;
}

std::string DescribeOp(const MacroOp& op) {
    return std::visit(Describer{}, op);
}

std::string RecordedLine(const MacroOp& op, std::string_view note) {
    std::string why;
    const std::optional<std::string> text = MacroTextOf(op, &why);
    if (!text) {
        std::string comment = DescribeOp(op);
        if (!note.empty()) comment += " (" + std::string(note) + ")";
        return TclComment(comment + ": not replayed, " + why);
    }
    std::string line = KvxCommandLine(*text);
    if (!note.empty()) line += " ;" + TclComment(note);
    return line;
}

}  // namespace quillon::script
