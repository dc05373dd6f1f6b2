// Extended-register bursts and the checks of the extended registers page.

#include "features/registers/regex_burst.h"

#include <gtest/gtest.h>

#include "support/feature_support.h"

namespace quillon::features {
namespace {

using test::LogLine;
using test::Warning;

class RegExBursts : public ::testing::Test, public test::SimBoardFixture {
  protected:
    test::RecordingReporter rec;
};

TEST_F(RegExBursts, ReadFillsOnlyTheBurstAndLogsIt) {
    RegExBurst seed{};
    for (int i = 0; i < 8; ++i) seed[i] = static_cast<std::uint8_t>(0xA0 + i);
    ASSERT_TRUE(RegExBurstWrite(link::CurrentBoard(), 10, 8, seed, rec));
    RegExBurst out;
    out.fill(0xEE);
    ASSERT_TRUE(RegExBurstRead(link::CurrentBoard(), 10, 3, out, rec));
    EXPECT_EQ(out[0], 0xA0);
    EXPECT_EQ(out[2], 0xA2);
    EXPECT_EQ(out[3], 0xEE) << "bytes beyond the length are left alone";
    EXPECT_EQ(rec.Logs(), (std::vector<std::string>{"[ﾚｼﾞｽﾀﾗｲﾄEX] ｱﾄﾞﾚｽ=10,ﾚﾝｸﾞｽ=8",
                                                    "[ﾚｼﾞｽﾀﾘｰﾄﾞEX] ｱﾄﾞﾚｽ=10,ﾚﾝｸﾞｽ=3"}));
}

TEST_F(RegExBursts, LongestBurstAtTheLastAddressIsSentAsAsked) {
    RegExBurst out{};
    ASSERT_TRUE(RegExBurstRead(link::CurrentBoard(), 1023, 64, out, rec));
    ASSERT_EQ(wire().size(), 1u);
    EXPECT_EQ(wire()[0].setup.bmRequestType, 0xC0);
    EXPECT_EQ(wire()[0].setup.wValue, 0xFFFF);
    EXPECT_EQ(wire()[0].setup.wLength, 64);
}

TEST_F(RegExBursts, OutOfRangeBurstIsRefusedBeforeTheBus) {
    RegExBurst b{};
    EXPECT_FALSE(RegExBurstRead(link::CurrentBoard(), 1024, 1, b, rec));
    EXPECT_FALSE(RegExBurstWrite(link::CurrentBoard(), 0, 0, b, rec));
    EXPECT_FALSE(RegExBurstWrite(link::CurrentBoard(), 0, 65, b, rec));
    EXPECT_TRUE(wire().empty());
    EXPECT_EQ(rec.shown, (std::vector<test::Shown>{Warning("ﾚｼﾞｽﾀｱﾄﾞﾚｽが範囲外です。"),
                                                   Warning("ﾚｼﾞｽﾀﾚﾝｸﾞｽが範囲外です。"),
                                                   Warning("ﾚｼﾞｽﾀﾚﾝｸﾞｽが範囲外です。")}));
}

TEST_F(RegExBursts, FailedTransfersReportAndLeaveTheDataAlone) {
    RegExBurst out;
    out.fill(0x11);
    FailNextRequest();
    EXPECT_FALSE(RegExBurstRead(link::CurrentBoard(), 0, 4, out, rec));
    EXPECT_EQ(out[0], 0x11);
    FailNextRequest();
    EXPECT_FALSE(RegExBurstWrite(link::CurrentBoard(), 0, 4, out, rec));
    EXPECT_EQ(rec.shown,
              (std::vector<test::Shown>{
                  LogLine("REG READ NG"), LogLine(test::kIoCause),
                  Warning("ﾚｼﾞｽﾀﾘｰﾄﾞEXに失敗しました。", test::kIoCause), LogLine("REG WRITE NG"),
                  LogLine(test::kIoCause), Warning("ﾚｼﾞｽﾀﾗｲﾄEXに失敗しました。", test::kIoCause)}));
}

TEST(RegExCellsParse, CellsKeepTheirLowByteAndAnyBadCellStopsTheWrite) {
    test::RecordingReporter rec;
    RegExCells cells;
    cells.fill("00");
    cells[0] = "100";
    cells[1] = "1ff";
    cells[2] = "a";
    std::optional<RegExBurst> bytes = RegExParseCells(cells, rec);
    ASSERT_TRUE(bytes);
    EXPECT_EQ((*bytes)[0], 0x00);
    EXPECT_EQ((*bytes)[1], 0xFF);
    EXPECT_EQ((*bytes)[2], 0x0A);
    EXPECT_EQ(cells[0], "00");
    EXPECT_EQ(cells[1], "FF");
    EXPECT_EQ(cells[2], "0A");
    EXPECT_TRUE(rec.shown.empty());

    // The last cell empty: refused although a short burst would never send it.
    cells[0] = "1ff";
    cells[63] = "";
    cells[62] = "zz";
    EXPECT_FALSE(RegExParseCells(cells, rec));
    EXPECT_EQ(cells[0], "FF") << "cells before the bad one are rewritten";
    EXPECT_EQ(
        rec.shown,
        (std::vector<test::Shown>{Warning("[zz]は無効な数値です。\n有効な数値は0～FFです。")}));
    cells[62] = "0";
    rec.shown.clear();
    EXPECT_FALSE(RegExParseCells(cells, rec));
    EXPECT_EQ(rec.shown,
              (std::vector<test::Shown>{Warning("[]は無効な数値です。\n有効な数値は0～FFです。")}));
}

TEST(RegExInputs, LengthAndAddressBoxesTellInvalidFromOutOfRange) {
    test::RecordingReporter rec;
    EXPECT_EQ(RegExRangeInput("64", 1, 64, rec), 64);
    EXPECT_EQ(RegExRangeInput("1023", 0, 1023, rec), 1023);
    EXPECT_FALSE(RegExRangeInput("0", 1, 64, rec));
    EXPECT_FALSE(RegExRangeInput("abc", 1, 64, rec));
    EXPECT_FALSE(RegExRangeInput("1024", 0, 1023, rec));
    EXPECT_FALSE(RegExRangeInput("", 0, 1023, rec));
    EXPECT_EQ(rec.shown, (std::vector<test::Shown>{
                             Warning("[0]は範囲外です。\n有効な数値は1～64です。"),
                             Warning("[abc]は無効な数値です。\n有効な数値は1～64です。"),
                             Warning("[1024]は範囲外です。\n有効な数値は0～1023です。"),
                             Warning("[]は無効な数値です。\n有効な数値は0～1023です。")}));
}

}  // namespace
}  // namespace quillon::features
