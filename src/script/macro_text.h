#pragma once
// Operations as values, and the one place that turns each into the text of its
// KVX_COMMAND macro. The session recorder writes these lines and the macro
// parser reads them back; the two agree because a test runs every form through
// the real dispatcher.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace quillon::script {

// RW: one register, ordinary space or (extended) the byte-wide extended space.
struct RegWriteOp {
    std::uint32_t address = 0;
    int bits = 8;  // 8, 16, 32, 64
    std::uint64_t value = 0;
    bool extended = false;
};
// RR.
struct RegReadOp {
    std::uint32_t address = 0;
    int bits = 8;
    bool extended = false;
};
// MW and MR: one transfer of `length` bytes with VR_MEM_CMD framing.
struct MemWriteOp {
    std::string file;  // full path
    std::uint64_t length = 0;
    int bits = 8;
};
struct MemReadOp {
    std::string file;
    std::uint64_t length = 0;
    int bits = 8;
};
// UC: the standard configuration stream.
struct ConfigureOp {
    std::string file;
    bool xilinx = false, bitswap = false, encrypt = false;
};
// FC.
struct FileCompareOp {
    std::string first, second;
};
// WAIT.
struct WaitOp {
    std::int32_t milliseconds = 0;
};
// I2C: the address byte is (type << 4) | (bits << 1), the direction bit clear.
// form 1: IW/IR on the first port; 2: IW2/IR2 on `port`; 3: IW3/IR3 with
// `mode` (3 or 4) command bytes on `port`.
struct I2cWriteOp {
    int form = 1;
    int port = 0;
    int mode = 3;
    std::uint8_t addressByte = 0xA0;
    std::uint32_t reg = 0;
    std::uint8_t data = 0;
};
struct I2cReadOp {
    int form = 1;
    int port = 0;
    int mode = 3;
    std::uint8_t addressByte = 0xA0;
    std::uint32_t reg = 0;
};
// GW, GR, GD: ports 0, 1, 2 are A, C and E.
struct GpioWriteOp {
    int port = 0;
    std::uint8_t value = 0;
};
struct GpioReadOp {
    int port = 0;
};
struct GpioDirectionOp {
    int port = 0;
    bool output = false;
};
// STA, GTA.
struct TempAlertSetOp {
    std::uint8_t degrees = 0;
};
struct TempAlertGetOp {};

using MacroOp =
    std::variant<RegWriteOp, RegReadOp, MemWriteOp, MemReadOp, ConfigureOp, FileCompareOp, WaitOp,
                 I2cWriteOp, I2cReadOp, GpioWriteOp, GpioReadOp, GpioDirectionOp, TempAlertSetOp,
                 TempAlertGetOp>;

// The macro text ("RW -A2 -W8 -D5A"). nullopt, with `why` in a few words, when
// the macro cannot carry the operation: a file name with a blank or a control
// character (a macro's file value ends at the first blank), an address byte
// with its direction bit set, a value outside what the macro takes.
std::optional<std::string> MacroTextOf(const MacroOp& op, std::string* why = nullptr);

// The Tcl command that runs a macro text: KVX_COMMAND {RW -A2 -W8 -D5A}, or the
// text in double quotes with Tcl's special characters escaped when braces
// would not keep it as it is.
std::string KvxCommandLine(std::string_view macroText);

// A Tcl comment line ("# text"): line breaks become blanks, and a backslash at
// its end cannot join the next line to the comment.
std::string TclComment(std::string_view text);

// The line the recorder writes for an operation: the command, with " ;# " and
// `note` after it when a note is given; for an operation the macro cannot
// carry, a comment that says what was done and why it is not replayed.
std::string RecordedLine(const MacroOp& op, std::string_view note = {});

// What an operation is in a few words, for such comments ("MemWrite 512 bytes
// of /tmp/a b.bin at 8bit").
std::string DescribeOp(const MacroOp& op);

}  // namespace quillon::script
