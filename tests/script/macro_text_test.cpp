// Every macro form the recorder writes, run back through the Tcl host and the
// real dispatcher on a simulated board, sends what the operation it stands for
// sends when a page runs it: the same requests, the same arguments, in order.

#include "script/macro_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <type_traits>
#include <utility>
#include <variant>

#include "features/board/gpio.h"
#include "features/board/i2c.h"
#include "features/board/supervision.h"
#include "features/config/fpga_load.h"
#include "features/memory/mem_transfer.h"
#include "features/registers/reg_page_ops.h"
#include "script/tcl_host.h"
#include "support/feature_support.h"
#include "support/file_text.h"

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

// A transfer with everything that tells two apart.
std::string Describe(const Wire& w) {
    std::string s = w.Short();
    char buf[40];
    std::snprintf(buf, sizeof buf, " %02X/%04X/%04X/%u", w.setup.bmRequestType, w.setup.wValue,
                  w.setup.wIndex, w.setup.wLength);
    s += buf;
    for (std::uint8_t b : w.data) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        s += buf;
    }
    return s + (w.ok ? "" : " failed");
}

std::vector<std::string> Transfers(SimBoardFixture& f) {
    std::vector<std::string> out;
    for (const Wire& w : f.wire()) out.push_back(Describe(w));
    return out;
}

struct Files {
    std::string dir;
    std::string Make(const std::string& name, std::size_t bytes) const {
        const std::string path = dir + "/" + name;
        std::string data(bytes, '\0');
        for (std::size_t i = 0; i < bytes; ++i) data[i] = static_cast<char>(i * 13 + 5);
        std::ofstream(path, std::ios::binary) << data;
        return path;
    }
};

struct Case {
    const char* name;
    std::function<script::MacroOp(const Files&)> op;
    // What the page does for it, on the board `h`.
    std::function<void(link::BoardHandle h, const Files&)> page;
    const char* text;  // the macro text expected, with @ for the files' folder
};

features::RegFieldResult Quiet(features::RegFieldResult r) {
    EXPECT_TRUE(r.ok);
    return r;
}

const Case kCases[] = {
    {"RW",
     [](const Files&) {
         return script::RegWriteOp{2, 8, 0x5A, false};
     },
     [](link::BoardHandle h, const Files&) {
         Quiet(features::RegPageWrite(h, "2", 0, "5A", false));
     },
     "RW -A2 -W8 -D5A"},
    {"RW64extended",
     [](const Files&) {
         return script::RegWriteOp{1000, 64, 0x1122334455667788ull, true};
     },
     [](link::BoardHandle h, const Files&) {
         Quiet(features::RegPageWrite(h, "1000", 3, "1122334455667788", true));
     },
     "RW -A1000 -W64 -D1122334455667788 -REGEX"},
    {"RR",
     [](const Files&) {
         return script::RegReadOp{16383, 32, false};
     },
     [](link::BoardHandle h, const Files&) {
         Quiet(features::RegPageRead(h, "16383", 2, "0", false));
     },
     "RR -A16383 -W32"},
    {"RRextended",
     [](const Files&) {
         return script::RegReadOp{31, 16, true};
     },
     [](link::BoardHandle h, const Files&) { Quiet(features::RegPageRead(h, "31", 1, "0", true)); },
     "RR -A31 -W16 -REGEX"},
    // A comma in the name: the item goes in double quotes.
    {"MW",
     [](const Files& f) {
         return script::MemWriteOp{f.Make("a,\"b\".bin", 100), 0x400, 16};
     },
     [](link::BoardHandle h, const Files& f) {
         features::MemTransferView view;
         EXPECT_TRUE(features::MemWriteRun(h,
                                           {f.dir + "/a,\"b\".bin", "400", 1, false, false, false},
                                           features::DefaultReporter(), view));
     },
     "MW -L400 -W16 \"-F@/a,\"\"b\"\".bin\""},
    // Tcl's special characters in the name: a quoted Tcl word.
    {"MR",
     [](const Files& f) {
         return script::MemReadOp{f.dir + "/x{1}$[y]\\.bin", 0x200, 64};
     },
     [](link::BoardHandle h, const Files& f) {
         features::MemTransferView view;
         EXPECT_TRUE(
             features::MemReadRun(h, {f.dir + "/x{1}$[y]\\.bin", "200", 3, false, false, false},
                                  features::DefaultReporter(), view));
     },
     "MR -L200 -W64 -F@/x{1}$[y]\\.bin"},
    {"UC",
     [](const Files& f) {
         return script::ConfigureOp{f.Make("design.bin", 4096), true, true, false};
     },
     [](link::BoardHandle h, const Files& f) {
         EXPECT_TRUE(features::FpgaConfigure(h, f.dir + "/design.bin", true, true, false));
     },
     "UC -F@/design.bin -MX -B"},
    {"UCaltera",
     [](const Files& f) {
         return script::ConfigureOp{f.Make("d.rbf", 1000), false, false, true};
     },
     [](link::BoardHandle h, const Files& f) {
         EXPECT_TRUE(features::FpgaConfigure(h, f.dir + "/d.rbf", false, false, true));
     },
     "UC -F@/d.rbf -MA -E"},
    // A device that does not answer fails the request alike both ways: the I2C
    // cases compare the requests, whatever the board answers.
    {"IW", [](const Files&) { return script::I2cWriteOp{1, 0, 3, 0xA2, 0x10, 0x55}; },
     [](link::BoardHandle h, const Files&) {
         (void)features::I2cWriteRegister(h, 0, 0xA2, 0x10, 0x55);
     },
     "IW -DA -S1 -A10 -W55"},
    {"IR2",
     [](const Files&) {
         return script::I2cReadOp{2, 1, 3, 0xAE, 0x7F};
     },
     [](link::BoardHandle h, const Files&) {
         std::uint8_t d = 0;
         (void)features::I2cReadRegister(h, 1, 0xAE, 0x7F, d);
     },
     "IR2 -P1 -DA -S7 -A7F"},
    {"IW3", [](const Files&) { return script::I2cWriteOp{3, 0, 4, 0xA0, 0x1234, 0x99}; },
     [](link::BoardHandle h, const Files&) {
         (void)features::I2cSendCommand(h, 0, 4, features::I2cCommandBytes(4, 0xA0, 0x1234, 0x99));
     },
     "IW3 -P0 -M4 -DA -S0 -A1234 -W99"},
    {"IR3",
     [](const Files&) {
         return script::I2cReadOp{3, 1, 3, 0x50, 0x20};
     },
     [](link::BoardHandle h, const Files&) {
         std::uint8_t d = 0;
         (void)features::I2cReadCommand(h, 1, 3, features::I2cCommandBytes(3, 0x50, 0x20, 0x51), d);
     },
     "IR3 -P1 -M3 -D5 -S0 -A20"},
    {"GW",
     [](const Files&) {
         return script::GpioWriteOp{1, 0x3C};
     },
     [](link::BoardHandle h, const Files&) { EXPECT_TRUE(features::GpioWriteByte(h, 1, 0x3C)); },
     "GW -P1 -W3C"},
    {"GR", [](const Files&) { return script::GpioReadOp{2}; },
     [](link::BoardHandle h, const Files&) {
         std::uint8_t v = 0;
         EXPECT_TRUE(features::GpioReadByte(h, 2, v));
     },
     "GR -P2"},
    {"GD",
     [](const Files&) {
         return script::GpioDirectionOp{0, true};
     },
     [](link::BoardHandle h, const Files&) { EXPECT_TRUE(features::GpioSetDirection(h, 0, true)); },
     "GD -P0 -DOUT"},
    {"STA", [](const Files&) { return script::TempAlertSetOp{44}; },
     [](link::BoardHandle h, const Files&) { EXPECT_TRUE(features::TempAlertWrite(h, 44)); },
     "STA -T44"},
    {"GTA", [](const Files&) { return script::TempAlertGetOp{}; },
     [](link::BoardHandle h, const Files&) {
         std::uint8_t d = 0;
         EXPECT_TRUE(features::TempAlertRead(h, d));
     },
     "GTA"},
    // No board traffic: the macro answers "1" and sends nothing.
    {"WAIT", [](const Files&) { return script::WaitOp{5}; }, [](link::BoardHandle, const Files&) {},
     "WAIT -T5"},
    {"FC",
     [](const Files& f) {
         return script::FileCompareOp{f.Make("one.bin", 64), f.Make("two.bin", 64)};
     },
     [](link::BoardHandle, const Files&) {}, "FC -S@/one.bin -D@/two.bin"},
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class RoundTrip : public ::testing::TestWithParam<Case> {
  protected:
    static FreshHome* host_;

    static void SetUpTestSuite() {
        host_ = new FreshHome;
        ASSERT_TRUE(script::TclHost::Init());
    }
    static void TearDownTestSuite() {
        delete host_;
        host_ = nullptr;
    }
};
FreshHome* RoundTrip::host_ = nullptr;

TEST_P(RoundTrip, RecordedLineSendsWhatThePageSent) {
    const Case& c = GetParam();
    std::vector<std::string> byPage, byLine;
    std::string fileAfterPage;
    {
        SimBoardFixture f;
        const Files files{f.home().root()};
        c.op(files);  // the files it names
        c.page(link::CurrentBoard(), files);
        byPage = Transfers(f);
    }
    SimBoardFixture f;
    const Files files{f.home().root()};
    const script::MacroOp op = c.op(files);
    const std::optional<std::string> text = script::MacroTextOf(op);
    ASSERT_TRUE(text);
    std::string expected = c.text;
    for (std::size_t at; (at = expected.find('@')) != std::string::npos;)
        expected.replace(at, 1, files.dir);
    EXPECT_EQ(*text, expected);

    const std::string script = files.dir + "/replay.tcl";
    std::ofstream(script) << script::RecordedLine(op, "read -> 00") << "\n";
    const int code = script::TclHost::RunFile(script);
    EXPECT_EQ(code, 0) << script::TclHost::Result() << "\n" << script::RecordedLine(op);
    EXPECT_EQ(Transfers(f), byPage) << script::RecordedLine(op);
}

INSTANTIATE_TEST_SUITE_P(EveryMacro, RoundTrip, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What no macro carries is written as a comment that says so, and the script
// stays valid Tcl whatever the name holds.
TEST(RecordedLine, WhatAMacroCannotCarryBecomesAComment) {
    EXPECT_EQ(script::RecordedLine(script::MemWriteOp{"/tmp/a b.bin", 512, 8}),
              "# MemWrite 512 bytes of /tmp/a b.bin at 8bit: not replayed, a macro's file name "
              "ends at a blank or a control character");
    EXPECT_EQ(
        script::RecordedLine(script::MemReadOp{"/tmp/x\nKVX_COMMAND {RW}\\", 512, 8}).find('\n'),
        std::string::npos);
    EXPECT_EQ(script::TclComment("ends in \\").back(), ' ');
    EXPECT_FALSE(script::MacroTextOf(script::I2cReadOp{1, 0, 3, 0xA1, 0}));
    EXPECT_FALSE(script::MacroTextOf(script::RegWriteOp{1024, 8, 0, true}));
    EXPECT_FALSE(script::MacroTextOf(script::MemWriteOp{"/f", 0x100000000ull, 8}));
    EXPECT_EQ(script::RecordedLine(script::RegReadOp{2, 8, false}, "read -> 5A"),
              "KVX_COMMAND {RR -A2 -W8} ;# read -> 5A");
}

template <std::size_t... I>
std::vector<script::MacroOp> OneOfEach(std::index_sequence<I...>) {
    return {script::MacroOp(std::in_place_index<I>)...};
}

// Every macro the formatter can write, whatever operation grows a form later,
// is named in the manual's recording section: the two cannot drift apart.
TEST(RecordedLine, TheManualNamesEveryMacroTheRecorderWrites) {
    std::vector<script::MacroOp> ops =
        OneOfEach(std::make_index_sequence<std::variant_size_v<script::MacroOp>>{});
    for (int form : {2, 3}) {
        ops.push_back(script::I2cWriteOp{form});
        ops.push_back(script::I2cReadOp{form});
    }
    const std::string html = FileText(QUILLON_SOURCE_DIR "/docs/manual/scripting.html");
    const std::size_t from = html.find("<h2 id=\"record\">");
    ASSERT_NE(from, std::string::npos);
    const std::string section = html.substr(from, html.find("<h2", from + 1) - from);
    for (script::MacroOp& op : ops) {
        std::visit(
            [](auto& o) {
                using T = std::decay_t<decltype(o)>;
                if constexpr (std::is_same_v<T, script::MemWriteOp> ||
                              std::is_same_v<T, script::MemReadOp>) {
                    o.file = "/f";
                    o.length = 1;
                } else if constexpr (std::is_same_v<T, script::ConfigureOp>) {
                    o.file = "/f";
                } else if constexpr (std::is_same_v<T, script::FileCompareOp>) {
                    o.first = o.second = "/f";
                }
            },
            op);
        const std::optional<std::string> text = script::MacroTextOf(op);
        ASSERT_TRUE(text) << script::DescribeOp(op);
        const std::string name = text->substr(0, text->find(' '));
        EXPECT_TRUE(section.find("<code>" + name + "<") != std::string::npos ||
                    section.find("<code>" + name + " ") != std::string::npos)
            << name << " is not in the manual's recording section";
    }
}

}  // namespace
}  // namespace quillon::test
