// The 512-byte block-register soak test against the simulated board.

#include "features/registers/reg512_test.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "link/usb_cause.h"
#include "platform/settings_store.h"
#include "support/feature_support.h"

namespace quillon::features {
namespace {

using test::LogLine;
using test::Warning;

std::string Stored(const char* key) {
    return SettingsStore().ReadString(kSetup, key, "-");
}

sim::Profile MismatchAt(int byte, std::uint64_t fromRead) {
    sim::Profile p;
    p.blockMismatchByte = byte;
    p.blockMismatchRead = fromRead;
    return p;
}

class Reg512 : public ::testing::Test, public test::SimBoardFixture {
  protected:
    explicit Reg512(sim::Profile p = {}) : SimBoardFixture(p) { ResetRegTestRandomForTest(); }
    test::RecordingReporter rec;
};

TEST(RegTestRandomDraws, FreshStateGivesTheKnownPattern) {
    ResetRegTestRandomForTest();
    std::vector<int> bytes;
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<int>(RegTestRandom() % 256));
    EXPECT_EQ(bytes, (std::vector<int>{0x00, 0x77, 0x78, 0x9D, 0x09, 0x74, 0x62, 0xA5}));
    // Bits 32..62 only: the value never has bit 31 set.
    for (int i = 0; i < 1000; ++i) EXPECT_LT(RegTestRandom(), 0x80000000u);
}

TEST_F(Reg512, RunsWriteReadVerifyAndStoresOnlyAfterACompleteRun) {
    ASSERT_TRUE(Reg512Test(link::CurrentBoard(), "0x12345", "2", rec));
    EXPECT_EQ(rec.Logs(),
              (std::vector<std::string>{"ﾚｼﾞｽﾀｱﾄﾞﾚｽ：74565, ﾘﾋﾟｰﾄ回数：2", "ﾙｰﾌﾟ：0 Successfully!!",
                                        "ﾙｰﾌﾟ：1 Successfully!!", "正常終了"}));
    EXPECT_EQ(rec.pumps, 2);
    EXPECT_EQ(Stored("REG512_ADRS"), "74565");
    EXPECT_EQ(Stored("REG512_REPEAT"), "2");
    // Two writes and two reads of 512 bytes, address split over wValue/wIndex.
    ASSERT_EQ(wire().size(), 4u);
    for (const test::Wire& w : wire()) {
        EXPECT_EQ(w.setup.bRequest, 0xA0);
        EXPECT_EQ(w.setup.wValue, 0x2345);
        EXPECT_EQ(w.setup.wIndex, 0x0001);
        EXPECT_EQ(w.setup.wLength, 512);
    }
    EXPECT_EQ(wire()[0].setup.bmRequestType, 0x40);
    EXPECT_EQ(wire()[1].setup.bmRequestType, 0xC0);
}

TEST_F(Reg512, EveryPassOfEveryRunGetsANewPattern) {
    ASSERT_TRUE(Reg512Test(link::CurrentBoard(), "6", "1", rec));
    std::vector<std::uint8_t> first = board().BlockRegisters(6, 512);
    EXPECT_EQ(std::vector<std::uint8_t>(first.begin(), first.begin() + 8),
              (std::vector<std::uint8_t>{0x00, 0x77, 0x78, 0x9D, 0x09, 0x74, 0x62, 0xA5}));
    ASSERT_TRUE(Reg512Test(link::CurrentBoard(), "6", "1", rec));
    EXPECT_NE(board().BlockRegisters(6, 512), first);
}

TEST_F(Reg512, RepeatCountZeroRunsNoPassButCompletes) {
    ASSERT_TRUE(Reg512Test(link::CurrentBoard(), "9", "0", rec));
    EXPECT_TRUE(wire().empty());
    EXPECT_EQ(rec.Logs(), (std::vector<std::string>{"ﾚｼﾞｽﾀｱﾄﾞﾚｽ：9, ﾘﾋﾟｰﾄ回数：0", "正常終了"}));
    EXPECT_EQ(Stored("REG512_ADRS"), "9");
    EXPECT_EQ(Stored("REG512_REPEAT"), "0");
    ASSERT_TRUE(Reg512Test(link::CurrentBoard(), "9", "-5", rec));
    EXPECT_EQ(Stored("REG512_REPEAT"), "-5");
}

TEST_F(Reg512, BadSettingsAreRefusedBeforeAnything) {
    for (auto [adrs, rep] : {std::pair{"abc", "1"}, {"6", ""}, {"-1", "1"}, {"2097152", "1"}}) {
        EXPECT_FALSE(Reg512Test(link::CurrentBoard(), adrs, rep, rec));
    }
    EXPECT_TRUE(wire().empty());
    EXPECT_EQ(rec.Logs().size(), 0u);
    // The box says which field held what.
    const char* kBad = "設定値が正しくありません。";
    EXPECT_EQ(rec.Boxes(),
              (std::vector<test::Shown>{
                  Warning(kBad, "ﾚｼﾞｽﾀｱﾄﾞﾚｽ: 「abc」は整数ではありません"),
                  Warning(kBad, "ﾘﾋﾟｰﾄ回数: 値がありません"),
                  Warning(kBad, "ﾚｼﾞｽﾀｱﾄﾞﾚｽ: 「-1」は範囲外です(0～2097151)"),
                  Warning(kBad, "ﾚｼﾞｽﾀｱﾄﾞﾚｽ: 「2097152」は範囲外です(0～2097151)")}));
    EXPECT_EQ(Stored("REG512_ADRS"), "-");
    // The last 21-bit address is fine.
    EXPECT_TRUE(Reg512Test(link::CurrentBoard(), "2097151", "1", rec));
}

TEST_F(Reg512, FailedTransfersEndTheRunWithoutStoring) {
    ASSERT_TRUE(Reg512Test(link::CurrentBoard(), "6", "1", rec));  // a good run first
    rec.shown.clear();
    FailNextRequest();
    EXPECT_FALSE(Reg512Test(link::CurrentBoard(), "7", "3", rec));
    sim::Faults f = board().GetFaults();
    f.failRequest = board().RequestCount() + 4;  // the read of pass 1
    board().SetFaults(f);
    EXPECT_FALSE(Reg512Test(link::CurrentBoard(), "8", "3", rec));
    EXPECT_EQ(rec.shown,
              (std::vector<test::Shown>{
                  LogLine("ﾚｼﾞｽﾀｱﾄﾞﾚｽ：7, ﾘﾋﾟｰﾄ回数：3"), LogLine("ﾙｰﾌﾟ：0 Write Failed!!"),
                  LogLine(test::kIoCause), Warning("ﾚｼﾞｽﾀﾗｲﾄに失敗しました。", test::kIoCause),
                  LogLine("ﾚｼﾞｽﾀｱﾄﾞﾚｽ：8, ﾘﾋﾟｰﾄ回数：3"), LogLine("ﾙｰﾌﾟ：0 Successfully!!"),
                  LogLine("ﾙｰﾌﾟ：1 Read Failed!!"), LogLine(test::kIoCause),
                  Warning("ﾚｼﾞｽﾀﾘｰﾄﾞに失敗しました。", test::kIoCause)}));
    EXPECT_EQ(Stored("REG512_ADRS"), "6");
    EXPECT_EQ(Stored("REG512_REPEAT"), "1");
}

TEST_F(Reg512, BoardRemovedBetweenPassesEndsTheRunCleanly) {
    rec.onPump = [this] {
        if (rec.pumps == 2) Unplug();
    };
    EXPECT_FALSE(Reg512Test(link::CurrentBoard(), "6", "100", rec));
    std::vector<std::string> logs = rec.Logs();
    ASSERT_EQ(logs.size(), 5u);
    EXPECT_EQ(logs[3], "ﾙｰﾌﾟ：2 Write Failed!!");
    EXPECT_EQ(logs[4], link::kNoBoardCause);
    EXPECT_EQ(Stored("REG512_REPEAT"), "-");
}

class Reg512Mismatch : public Reg512 {
  protected:
    // The fourth block read (pass 3) comes back with byte 17 inverted.
    Reg512Mismatch() : Reg512(MismatchAt(17, 4)) {}
};

TEST_F(Reg512Mismatch, LogsTheByteIndexNotThePass) {
    EXPECT_FALSE(Reg512Test(link::CurrentBoard(), "6", "5", rec));
    std::vector<std::uint8_t> written = board().BlockRegisters(6, 512);
    char expected[64];
    std::snprintf(expected, sizeof expected, "ﾙｰﾌﾟ：17 %02X:%02X", written[17],
                  static_cast<std::uint8_t>(~written[17]));
    EXPECT_EQ(rec.shown,
              (std::vector<test::Shown>{
                  LogLine("ﾚｼﾞｽﾀｱﾄﾞﾚｽ：6, ﾘﾋﾟｰﾄ回数：5"), LogLine("ﾙｰﾌﾟ：0 Successfully!!"),
                  LogLine("ﾙｰﾌﾟ：1 Successfully!!"), LogLine("ﾙｰﾌﾟ：2 Successfully!!"),
                  LogLine(expected), Warning("ﾗｲﾄﾃﾞｰﾀとﾘｰﾄﾞﾃﾞｰﾀが一致しませんでした。")}));
    EXPECT_EQ(Stored("REG512_ADRS"), "-");
}

}  // namespace
}  // namespace quillon::features
