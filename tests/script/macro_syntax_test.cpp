// The macro text rules: the list rule, the sscanf-like option patterns and the
// limits, and the dispatcher's answers, without Tcl and without a board.

#include "script/macro_syntax.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/log_file.h"
#include "platform/prompter.h"
#include "script/dispatcher.h"

namespace quillon::script {
namespace {

using Items = std::vector<std::string>;

TEST(MacroItems, SeparatorsQuotesAndEmptyItems) {
    EXPECT_EQ(SplitMacroItems("RR -A16 -W32"), (Items{"RR", "-A16", "-W32"}));
    EXPECT_EQ(SplitMacroItems("  RR\t\t-A16   -W32  "), (Items{"RR", "-A16", "-W32"}));
    EXPECT_EQ(SplitMacroItems("RR,-A16 , -W32"), (Items{"RR", "-A16", "-W32"}));
    EXPECT_EQ(SplitMacroItems("\"RR\" \"-A16\",\"-W32\""), (Items{"RR", "-A16", "-W32"}));
    EXPECT_EQ(SplitMacroItems("MW \"-Fa b,c.bin\""), (Items{"MW", "-Fa b,c.bin"}));
    EXPECT_EQ(SplitMacroItems("X \"say \"\"hi\"\"\""), (Items{"X", "say \"hi\""}));
    EXPECT_EQ(SplitMacroItems("A,,B"), (Items{"A", "", "B"}));
    EXPECT_EQ(SplitMacroItems("A,"), (Items{"A", ""}));
    EXPECT_EQ(SplitMacroItems(",A"), (Items{"", "A"}));
    // A quote inside an unquoted item is an ordinary character; an unclosed
    // quoted item runs to the end.
    EXPECT_EQ(SplitMacroItems("A\"B C"), (Items{"A\"B", "C"}));
    EXPECT_EQ(SplitMacroItems("\"A B"), (Items{"A B"}));
    EXPECT_TRUE(SplitMacroItems("").empty());
    EXPECT_TRUE(SplitMacroItems("   ").empty());
}

TEST(MacroItems, UpperCasingTouchesAsciiLettersOnly) {
    EXPECT_EQ(UpperAscii("rr -a16 ﾃｽﾄ.bin"), "RR -A16 ﾃｽﾄ.BIN");
}

TEST(OptionScan, ConversionsReadLikeSscanf) {
    EXPECT_EQ(ScanDecimal("100"), 100u);
    EXPECT_EQ(ScanDecimal("-2"), static_cast<std::uint32_t>(-2));
    EXPECT_EQ(ScanDecimal("12AB"), 12u);
    EXPECT_EQ(ScanDecimal("0X1F"), 0u);
    EXPECT_EQ(ScanDecimal("FF"), std::nullopt);
    EXPECT_EQ(ScanDecimal("-"), std::nullopt);
    EXPECT_EQ(ScanDecimal(""), std::nullopt);
    EXPECT_EQ(ScanDecimal("300"), 300u);
    EXPECT_EQ(ScanHex("FF"), 255u);
    EXPECT_EQ(ScanHex("0X1F"), 31u);
    EXPECT_EQ(ScanHex("0XZ"), 0u);
    EXPECT_EQ(ScanHex("G"), std::nullopt);
    EXPECT_EQ(ScanHex("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(ScanString("  a.bin rest"), std::optional<std::string_view>("a.bin"));
    EXPECT_EQ(ScanString("   "), std::nullopt);
}

TEST(OptionScan, PrefixedHexAcceptsBareDigitsOnly) {
    EXPECT_EQ(ParsePrefixedHex("1234"), 0x1234u);
    EXPECT_EQ(ParsePrefixedHex("FFFFFFFFFFFFFFFF"), 0xFFFFFFFFFFFFFFFFull);
    EXPECT_EQ(ParsePrefixedHex("0X1234"), std::nullopt);  // "0x0X1234" does not convert
    EXPECT_EQ(ParsePrefixedHex("12G"), std::nullopt);
    EXPECT_EQ(ParsePrefixedHex("-1"), std::nullopt);
    EXPECT_EQ(ParsePrefixedHex("10000000000000000"), std::nullopt);
}

// The register read patterns: hexadecimal, then decimal deciding where it matches.
struct RrOptions {
    std::optional<std::uint32_t> address, width;
    bool regex = false;
    ScanError Scan(std::string_view text) {
        OptionPatterns p;
        p.Hex("-A", address)
            .Dec("-A", address)
            .Hex("-W", width)
            .Dec("-W", width)
            .Flag("-REGEX", regex);
        return p.Scan(text);
    }
};

TEST(OptionScan, LaterPatternDecidesWheneverItMatches) {
    auto address = [](std::string_view text) {
        RrOptions o;
        o.Scan(text);
        return o.address;
    };
    EXPECT_EQ(address("RR -A100"), 100u);
    EXPECT_EQ(address("RR -AFF"), 255u);
    EXPECT_EQ(address("RR -A1F"), 1u);
    EXPECT_EQ(address("RR -A0X1F"), 0u);
    EXPECT_EQ(address("RR -A0X10"), 0u);
    EXPECT_EQ(address("RR"), std::nullopt);
    // Item by item: the last item that matches keeps its value.
    EXPECT_EQ(address("RR -A10 -AFF"), 255u);
    EXPECT_EQ(address("RR -AFF -A10"), 10u);
}

TEST(OptionScan, CaseBlindOptionsFlagsAsWholeItems) {
    RrOptions o;
    EXPECT_EQ(o.Scan("rr -a16 -w32 -regex"), ScanError::None);
    EXPECT_EQ(o.address, 16u);
    EXPECT_EQ(o.width, 32u);
    EXPECT_TRUE(o.regex);
    RrOptions partial;
    partial.Scan("RR -REGEXX -REGE");
    EXPECT_FALSE(partial.regex);
}

TEST(OptionScan, StringValuesKeepTheScriptsLetterCase) {
    std::optional<std::string> file;
    OptionPatterns p;
    p.Str("-F", file);
    EXPECT_EQ(p.Scan("mw -fData/Image.bin"), ScanError::None);
    EXPECT_EQ(file, "Data/Image.bin");
    // %s stops at the first blank, even inside a quoted item.
    EXPECT_EQ(p.Scan("MW \"-Fmy file.bin\""), ScanError::None);
    EXPECT_EQ(file, "my");
}

// A NUL byte is no separator: it stays in its item, ends a number like any
// other stray byte, and makes a string value (a file name) refused.
TEST(OptionScan, NulStaysInItsItemAndIsRefusedInAValue) {
    using namespace std::string_literals;
    const MacroText text("MR -L10,-Fx\0y -A1\0"s);
    ASSERT_EQ(text.size(), 4u);
    EXPECT_EQ(text.item(2), "-Fx\0y"s);
    std::optional<std::string> file;
    std::optional<std::uint32_t> address;
    OptionPatterns p;
    p.Dec("-A", address);
    EXPECT_EQ(p.Scan(text), ScanError::None);
    EXPECT_EQ(address, 1u);
    p.Str("-F", file);
    EXPECT_EQ(p.Scan(text), ScanError::NulInValue);
    EXPECT_FALSE(file.has_value());
}

TEST(OptionScan, LimitsAreRefusedNotCut) {
    std::optional<std::string> file;
    OptionPatterns p;
    p.Str("-F", file);
    EXPECT_EQ(p.Scan("MW -F" + std::string(255, 'a')), ScanError::None);
    EXPECT_EQ(file->size(), 255u);
    file.reset();
    EXPECT_EQ(p.Scan("MW -F" + std::string(256, 'a')), ScanError::ValueTooLong);
    EXPECT_FALSE(file.has_value());
    EXPECT_EQ(p.Scan("MW -X" + std::string(509, 'a')), ScanError::None);  // 511 bytes
    EXPECT_EQ(p.Scan("MW -X" + std::string(510, 'a')), ScanError::ItemTooLong);
}

// A macro table that records what it was given.
struct Recorded {
    std::string text;
    bool logWasOn = true;
};
Recorded g_last;
MacroOutcome g_outcome = MacroOutcome::Done;

MacroOutcome Recorder(const MacroText& text, MacroContext&) {
    g_last.text.clear();
    for (std::size_t i = 0; i < text.size(); ++i)
        g_last.text += "[" + std::string(text.item(i)) + "]";
    g_last.logWasOn = LogFile::Enabled();
    return g_outcome;
}
MacroOutcome Failing(const MacroText&, MacroContext&) {
    return MacroOutcome::Failed;
}

constexpr MacroEntry kTable[] = {{"RR", Recorder}, {"MW", Failing}, {"RW", Failing}};

class RecordingPrompter : public StderrPrompter {
  public:
    MsgAnswer Message(const std::string& text, MsgIcon, MsgButtons) override {
        messages.push_back(text);
        return MsgAnswer::Ok;
    }
    std::vector<std::string> messages;
};

class Dispatch : public ::testing::Test {
  protected:
    void SetUp() override {
        SetPrompter(&prompter_);
        g_last = {};
        g_outcome = MacroOutcome::Done;
    }
    void TearDown() override { SetPrompter(nullptr); }

    MacroAnswer Run(std::vector<std::string_view> words) {
        MacroContext ctx;
        return DispatchMacro(words, ctx, kTable);
    }
    RecordingPrompter prompter_;
};

TEST_F(Dispatch, NamesAreCaseBlindAndMacrosGetTheItemsAsWritten) {
    MacroAnswer a = Run({"rr -a16 -w32"});
    EXPECT_EQ(a.result, "1");
    EXPECT_FALSE(a.error);
    EXPECT_EQ(g_last.text, "[rr][-a16][-w32]");
    EXPECT_FALSE(g_last.logWasOn);
    EXPECT_TRUE(LogFile::Enabled());
    Run({"\"RR\",\"-A16\""});
    EXPECT_EQ(g_last.text, "[RR][-A16]");
}

TEST_F(Dispatch, WordsAreGluedWithoutSeparator) {
    MacroAnswer a = Run({"RR", "-A16"});
    EXPECT_EQ(a.result, "KVX_COMMAND not found!!(RR-A16)");
    EXPECT_TRUE(a.error);
    EXPECT_TRUE(g_last.text.empty());
}

TEST_F(Dispatch, UnknownAndEmptyNamesFailWithTheLogBackOn) {
    MacroAnswer a = Run({"xx -a1"});
    EXPECT_EQ(a.result, "KVX_COMMAND not found!!(XX)");
    EXPECT_TRUE(a.error);
    EXPECT_TRUE(LogFile::Enabled());
    a = Run({});
    EXPECT_EQ(a.result, "KVX_COMMAND not found!!()");
    EXPECT_TRUE(a.error);
    a = Run({"   "});
    EXPECT_EQ(a.result, "KVX_COMMAND not found!!()");
    EXPECT_TRUE(LogFile::Enabled());
}

TEST_F(Dispatch, OutcomesBecomeResultAndCode) {
    g_outcome = MacroOutcome::NotDone;
    MacroAnswer a = Run({"RR"});
    EXPECT_EQ(a.result, "0");
    EXPECT_FALSE(a.error);
    g_outcome = MacroOutcome::Failed;
    a = Run({"RR"});
    EXPECT_EQ(a.result, "0");
    EXPECT_TRUE(a.error);
    EXPECT_TRUE(prompter_.messages.empty());
    // Only MW follows its failure with the "ERROR" box.
    a = Run({"RW"});
    EXPECT_TRUE(prompter_.messages.empty());
    a = Run({"mw -fx"});
    EXPECT_TRUE(a.error);
    EXPECT_EQ(prompter_.messages, (std::vector<std::string>{"ERROR"}));
    EXPECT_TRUE(LogFile::Enabled());
}

// The real macros refuse bad input before they touch the board: with no board
// a request would fail too, so the refusal text tells the two apart.
TEST(MacroRefusals, BadOptionsRefuseBeforeAnyRequest) {
    struct Case {
        MacroFunction run;
        const char* text;
        bool refused;
    };
    const Case cases[] = {
        {RunRegisterWrite, "RW -A5 -W16 -D0x1234", true},
        {RunRegisterWrite, "RW -A5 -W16 -D1234", false},
        {RunRegisterWrite, "RW -W12", true},
        {RunRegisterWrite, "RW -A16384", true},
        {RunRegisterWrite, "RW -A1024 -REGEX", true},
        {RunRegisterWrite, "RW -A1023 -REGEX", false},
        {RunRegisterRead, "RR -A16383", false},
        {RunRegisterRead, "RR -A16384", true},
        {RunRegisterRead, "RR -A-1", true},
        {RunRegisterRead, "RR -W24", true},
        {RunMemoryWrite, "MW -W24 -FX", true},
        {RunMemoryWrite, "MW -L0 -FX", true},
        {RunMemoryWrite, "MW -LXYZ -FX", true},
        {RunMemoryWrite, "MW -L100000000 -FX", true},
        {RunMemoryRead, "MR -L10", true},
        {RunMemoryRead, "MR -L0 -FOUT.BIN", true},
        {RunConfigure, "UC -MX", true},
        {RunFileCompare, "FC -SA", true},
        {RunWait, "WAIT", true},
        {RunI2cWrite, "IW -DA -S0 -A10", true},
        {RunI2cWrite3, "IW3 -P2 -M3 -DA -S0 -A1 -W1", true},
        {RunI2cWrite3, "IW3 -P0 -M5 -DA -S0 -A1 -W1", true},
        {RunI2cRead3, "IR3 -P0 -M4 -DA -S0 -A1234", false},
        {RunGpioRead, "GR -P3", true},
        {RunGpioDirection, "GD -P1 -DOUTPUT", true},
        {RunGpioDirection, "GD -P1 -DOUT", false},
        {RunTempAlertSet, "STA", true},
    };
    for (const Case& c : cases) {
        MacroContext ctx;  // no board
        MacroOutcome o = c.run(c.text, ctx);
        EXPECT_EQ(!ctx.refusal.empty(), c.refused) << c.text << ": " << ctx.refusal;
        if (c.refused) {
            EXPECT_EQ(o, MacroOutcome::Failed) << c.text;
        }
    }
}

TEST(MacroRefusals, WaitWithNegativeOrZeroTimeReturnsAtOnce) {
    MacroContext ctx;
    int pumps = 0;
    ctx.pump = [&pumps] { ++pumps; };
    EXPECT_EQ(RunWait("WAIT -T-1", ctx), MacroOutcome::Done);
    EXPECT_EQ(RunWait("WAIT -T0", ctx), MacroOutcome::Done);
    EXPECT_EQ(pumps, 0);
    EXPECT_EQ(RunWait("WAIT -T5", ctx), MacroOutcome::Done);
    EXPECT_GT(pumps, 0);
}

TEST(MacroPaths, RelativeNamesResolveAgainstTheBaseDirectory) {
    MacroContext ctx;
    EXPECT_EQ(ResolveMacroPath(ctx, "a.bin"), "a.bin");
    ctx.baseDir = "/work/run";
    EXPECT_EQ(ResolveMacroPath(ctx, "a.bin"), "/work/run/a.bin");
    EXPECT_EQ(ResolveMacroPath(ctx, "/abs/a.bin"), "/abs/a.bin");
}

}  // namespace
}  // namespace quillon::script
