// Single-register access from page texts, checked on what reached the
// simulated board.

#include "features/registers/reg_page_ops.h"

#include <gtest/gtest.h>

#include "support/feature_support.h"

namespace quillon::features {
namespace {

using test::LogLine;
using test::Warning;

class RegPageOps : public ::testing::Test, public test::SimBoardFixture {
  protected:
    RegFieldResult Read(std::string_view number, int width, bool emulate = false,
                        std::string_view field = "00") {
        return RegPageRead(link::CurrentBoard(), number, width, field, emulate, rec);
    }
    RegFieldResult Write(std::string_view number, int width, std::string_view value,
                         bool emulate = false) {
        return RegPageWrite(link::CurrentBoard(), number, width, value, emulate, rec);
    }
    test::RecordingReporter rec;
};

TEST_F(RegPageOps, OrdinaryNumbersStopBelow16384) {
    board().SetRegister(16383, 0x5A);
    RegFieldResult r = Read("16383", 0);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.field, "5A");
    ASSERT_TRUE(Write("16383", 0, "a5").ok);
    EXPECT_EQ(board().Register(16383), 0xA5u);
    const std::size_t sent = wire().size();

    // 16384 is the group 1 arrows' top; "-1" wraps to a huge unsigned number.
    for (const char* bad : {"16384", "-1", "4294967295", "", "12x"}) {
        r = Read(bad, 0, false, "77");
        EXPECT_FALSE(r.ok) << bad;
        EXPECT_EQ(r.field, "77") << "a failed read keeps the field";
        EXPECT_FALSE(Write(bad, 0, "01").ok) << bad;
    }
    EXPECT_EQ(wire().size(), sent) << "refused numbers never reach the bus";
    // The integer conversion also takes hexadecimal with a prefix.
    board().SetRegister(16, 0x33);
    EXPECT_EQ(Read("0x10", 0).field, "33");
    EXPECT_EQ(Read("$10", 0).field, "33");
    // Failures of the ordinary path are the caller's to report.
    EXPECT_TRUE(rec.shown.empty());
}

TEST_F(RegPageOps, EmulatedNumbersStopBelow1024BeforeAnyTransfer) {
    ASSERT_TRUE(Write("1023", 0, "C3", true).ok);
    EXPECT_EQ(board().ExtendedRegister(1023), 0xC3);
    ASSERT_EQ(wire().size(), 1u);
    EXPECT_EQ(wire()[0].setup.bRequest, 0xC6);
    EXPECT_EQ(wire()[0].setup.wValue, 1023);
    EXPECT_EQ(wire()[0].setup.wLength, 1);
    EXPECT_EQ(Read("1023", 0, true).field, "C3");

    wire().clear();
    EXPECT_FALSE(Read("1024", 0, true).ok);
    EXPECT_FALSE(Write("1024", 0, "01", true).ok);
    EXPECT_TRUE(wire().empty());
    EXPECT_TRUE(rec.shown.empty()) << "a refused number is not a failed transfer";
}

TEST_F(RegPageOps, WriteSendsTheWidthAndShowsTheWholeTypedValue) {
    RegFieldResult r = Write("2", 1, "12345678");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.field, "12345678");
    ASSERT_EQ(wire().size(), 1u);
    EXPECT_EQ(wire()[0].setup.bmRequestType, 0x40);
    EXPECT_EQ(wire()[0].setup.bRequest, 0xB0);
    EXPECT_EQ(wire()[0].data, (std::vector<std::uint8_t>{0x78, 0x56}));
    EXPECT_EQ(board().Register(2) & 0xFFFF, 0x5678u);

    wire().clear();
    r = Write("3", 0, "1ff");
    EXPECT_EQ(r.field, "1FF");
    EXPECT_EQ(wire().at(0).data, (std::vector<std::uint8_t>{0xFF}));
    EXPECT_EQ(Write("3", 1, "a").field, "000A");
    EXPECT_EQ(Write("3", 2, "a").field, "0000000A");
    // A width index off the list counts as 8bit.
    wire().clear();
    EXPECT_EQ(Write("3", 7, "abc").field, "ABC");
    EXPECT_EQ(wire().at(0).setup.wLength, 1);

    wire().clear();
    r = Write("4", 3, "FEDCBA9876543210");
    EXPECT_EQ(r.field, "FEDCBA9876543210");
    EXPECT_EQ(wire().at(0).data,
              (std::vector<std::uint8_t>{0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE}));
}

TEST_F(RegPageOps, ValueThatIsNotHexadecimalSendsNothing) {
    for (const char* bad : {"1G", "", "0x12", " 12", "12 ", "-1", "11111111111111111"}) {
        RegFieldResult r = Write("2", 0, bad);
        EXPECT_FALSE(r.ok) << bad;
        EXPECT_EQ(r.field, bad);
    }
    EXPECT_TRUE(wire().empty());
    // Leading zeros beyond 16 digits still fit 64 bits.
    EXPECT_TRUE(Write("2", 0, "00000000000000001").ok);
}

TEST_F(RegPageOps, ReadShowsTheWidthsDigits) {
    board().SetRegister(2, 0x0A);
    EXPECT_EQ(Read("2", 0).field, "0A");
    board().SetRegister(5, 0x1122334455667788ull);
    EXPECT_EQ(Read("5", 3).field, "1122334455667788");
    EXPECT_EQ(Read("5", 2).field, "55667788");
    EXPECT_EQ(Read("5", 1).field, "7788");
}

TEST_F(RegPageOps, EmulatedAccessIsLittleEndianAndMasked) {
    ASSERT_TRUE(Write("100", 3, "0102030405060708", true).ok);
    EXPECT_EQ(wire().at(0).data,
              (std::vector<std::uint8_t>{0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ(wire().at(0).setup.wValue, 100 | (7 << 10));
    EXPECT_EQ(Read("100", 3, true).field, "0102030405060708");
    EXPECT_EQ(Read("100", 2, true).field, "05060708");
    EXPECT_EQ(Read("104", 1, true).field, "0304");
    // Only the width's bytes go out, whatever the value holds.
    wire().clear();
    ASSERT_TRUE(Write("200", 1, "ABCDEF", true).ok);
    EXPECT_EQ(wire().at(0).data, (std::vector<std::uint8_t>{0xEF, 0xCD}));
    EXPECT_EQ(board().ExtendedRegister(202), 0x00);
}

TEST_F(RegPageOps, FailedExtendedTransferReportsItsOwnLineAndBox) {
    FailNextRequest();
    RegFieldResult r = Read("5", 0, true, "AB");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.field, "AB");
    EXPECT_EQ(rec.shown, (std::vector<test::Shown>{
                             LogLine("REG READ NG"), LogLine(test::kIoCause),
                             Warning("ﾚｼﾞｽﾀﾘｰﾄﾞEXに失敗しました。", test::kIoCause)}));
    rec.shown.clear();
    FailNextRequest();
    EXPECT_FALSE(Write("5", 0, "01", true).ok);
    EXPECT_EQ(rec.shown, (std::vector<test::Shown>{
                             LogLine("REG WRITE NG"), LogLine(test::kIoCause),
                             Warning("ﾚｼﾞｽﾀﾗｲﾄEXに失敗しました。", test::kIoCause)}));
    // The ordinary path leaves the report to its caller.
    rec.shown.clear();
    FailNextRequest();
    EXPECT_FALSE(Read("5", 0).ok);
    EXPECT_TRUE(rec.shown.empty());
}

TEST_F(RegPageOps, NoBoardFailsWithoutTraffic) {
    EXPECT_FALSE(RegPageRead(link::kNoBoard, "2", 0, "00", false, rec).ok);
    EXPECT_FALSE(RegPageWrite(link::kNoBoard, "2", 0, "00", true, rec).ok);
    // A handle from before an unplug never reaches the board again.
    link::BoardHandle old = link::CurrentBoard();
    Unplug();
    backend().Plug();
    link::BoardLink::Instance().OnDeviceChange(link::DeviceNotice::Arrival);
    ASSERT_TRUE(link::BoardLink::Instance().IsOpen());
    const std::size_t sent = wire().size();
    EXPECT_FALSE(RegPageWrite(old, "2", 0, "00", false, rec).ok);
    EXPECT_EQ(wire().size(), sent);
    EXPECT_TRUE(rec.shown.empty());
}

}  // namespace
}  // namespace quillon::features
