// Board information, I2C, the DAC, GPIO and the GPIF2 bridge: what reached the
// simulated board and what the user was shown.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "features/board/board_info.h"
#include "features/board/gpif2_master.h"
#include "features/board/gpio.h"
#include "features/board/i2c.h"
#include "support/feature_support.h"

namespace quillon::features {
namespace {

using test::LogLine;
using test::StatusText;
using test::Warning;

class BoardOps : public ::testing::Test, public test::SimBoardFixture {
  protected:
    explicit BoardOps(sim::Profile p = {}) : SimBoardFixture(p) {}
    link::BoardHandle h() const { return link::CurrentBoard(); }
    void I2cStatusZero() {
        sim::Faults f = board().GetFaults();
        f.i2cStatusZero = true;
        board().SetFaults(f);
    }
    test::RecordingReporter rec;
};

// --- Board information --------------------------------------------------------

TEST(BoardInfoTables, ProductNamesAndSpeeds) {
    EXPECT_EQ(ProductName(0x6311), "Velder.");
    EXPECT_EQ(ProductName(0x3100), "Bramwell Kit Reference Board.(AN2131SC)");
    EXPECT_EQ(ProductName(0x8007), "Prestane.");
    EXPECT_EQ(ProductName(0x1234), "該当なし");
    EXPECT_EQ(SpeedText(0), "Full Speed Mode.");
    EXPECT_EQ(SpeedText(1), "HIGH Speed Mode.");
    EXPECT_EQ(SpeedText(0x80), "HIGH Speed Mode.");
    EXPECT_EQ(SpeedText(2), "Super Speed Mode.");
    EXPECT_EQ(SpeedText(3), "Unknown Speed Mode.");
}

class BoardInfoVelder : public BoardOps {
  protected:
    static sim::Profile Velder() {
        sim::Profile p;
        p.productId = 0x6311;
        p.speedCode = 3;
        return p;
    }
    BoardInfoVelder() : BoardOps(Velder()) {}
};

TEST_F(BoardInfoVelder, UpdateReadsFourItemsInOrderAndLogsEach) {
    const BoardInfoLabels l = BoardInfoUpdate(h(), rec);
    EXPECT_TRUE(l.ok);
    EXPECT_EQ(l.firmwareVersion, "0210h");
    EXPECT_EQ(l.productId, "6311h");
    EXPECT_EQ(l.productName, "Velder.");
    EXPECT_EQ(l.chipRevision, "04h");  // two digits on the label, four in the log
    EXPECT_EQ(l.speed, "Unknown Speed Mode.");
    EXPECT_EQ(rec.shown, (std::vector<test::Shown>{
                             LogLine("ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝ ：0210h"), LogLine("ﾌﾟﾛﾀﾞｸﾄID ：6311h"),
                             LogLine("製品名 : Velder."), LogLine("FX2ﾁｯﾌﾟﾘﾋﾞｼﾞｮﾝ ：0004h"),
                             LogLine("接続ｽﾋﾟｰﾄﾞ : Unknown Speed Mode."), LogLine("3"),
                             StatusText("ﾎﾞｰﾄﾞ情報取得に成功しました。")}));
    ASSERT_EQ(wire().size(), 4u);
    const std::uint16_t items[] = {0xC0, 0x40, 0x80, 0x00};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(wire()[i].setup.bRequest, 0xB3);
        EXPECT_EQ(wire()[i].setup.wValue, items[i]);
        EXPECT_EQ(wire()[i].setup.wLength, 2);
    }
}

TEST_F(BoardOps, AFailedItemEndsTheUpdateWithOneBoxNamingIt) {
    sim::Faults f = board().GetFaults();
    f.failRequest = board().RequestCount() + 2;  // the product ID
    board().SetFaults(f);
    const BoardInfoLabels l = BoardInfoUpdate(h(), rec);
    EXPECT_FALSE(l.ok);
    EXPECT_EQ(l.firmwareVersion, "0210h");
    EXPECT_FALSE(l.productId || l.productName || l.chipRevision || l.speed);
    EXPECT_EQ(rec.Boxes(), (std::vector<test::Shown>{
                               Warning("ﾌﾟﾛﾀﾞｸﾄIDの取得に失敗しました。", test::kIoCause)}));
    const auto logs = rec.Logs();
    EXPECT_EQ((std::vector<std::string>(logs.end() - 2, logs.end())),
              (std::vector<std::string>{"ﾌﾟﾛﾀﾞｸﾄIDの取得に失敗しました。", test::kIoCause}));
    EXPECT_EQ(wire().size(), 2u);
}

// Each label is shown as soon as its answer is in: after its own request,
// before its log line and before the next request goes out.
TEST_F(BoardOps, LabelsFillInAsTheAnswersArrive) {
    struct Seen {
        BoardInfoItem item;
        std::string text;
        std::size_t requests, shown;
        bool operator==(const Seen&) const = default;
    };
    for (const bool failRevision : {false, true}) {
        SCOPED_TRACE(failRevision);
        wire().clear();
        rec.Clear();
        if (failRevision) {
            sim::Faults f = board().GetFaults();
            f.failRequest = board().RequestCount() + 3;
            board().SetFaults(f);
        }
        std::vector<Seen> seen;
        BoardInfoUpdate(h(), rec, [&](BoardInfoItem item, const std::string& text) {
            seen.push_back({item, text, wire().size(), rec.shown.size()});
        });
        std::vector<Seen> want = {{BoardInfoItem::FirmwareVersion, "0210h", 1, 0},
                                  {BoardInfoItem::ProductId, "8003h", 2, 1},
                                  {BoardInfoItem::ProductName, "Hembry.", 2, 2}};
        if (!failRevision) {
            want.push_back({BoardInfoItem::ChipRevision, "04h", 3, 3});
            want.push_back({BoardInfoItem::Speed, "Super Speed Mode.", 4, 4});
        }
        EXPECT_EQ(seen, want);
    }
}

// --- I2C ----------------------------------------------------------------------

TEST_F(BoardOps, ByteAccessMasksTheFieldsAndRewritesThem) {
    // Type "A", bits "9": address byte A << 4 | (9 & 7) << 1 = A2, which no
    // part answers; the 256-byte EEPROM sits at A0.
    I2cByteFields f{"a", "9", "10", "00"};
    EXPECT_FALSE(I2cByteRead(h(), 0, f, rec));
    EXPECT_EQ(wire().back().setup.wValue, 0xA2);
    EXPECT_EQ(f.bits, "9");  // kept as typed after a failure

    f = {"a", "8", "110", "1a5"};  // register and data keep their low 8 bits
    ASSERT_TRUE(I2cByteWrite(h(), 0, f, rec));
    EXPECT_EQ(wire().back().setup.bRequest, 0xC0);
    EXPECT_EQ(wire().back().setup.wIndex, 0xA510);
    EXPECT_EQ(board().Eeprom(0)[0x10], 0xA5);
    EXPECT_EQ((std::array<std::string, 4>{f.type, f.bits, f.reg, f.data}),
              (std::array<std::string, 4>{"A", "0", "10", "A5"}));

    I2cByteFields r{"A", "0", "10", "00"};
    ASSERT_TRUE(I2cByteRead(h(), 0, r, rec));
    EXPECT_EQ(r.data, "A5");
    EXPECT_EQ(rec.shown, (std::vector<test::Shown>{
                             LogLine("I2C READ NG"), Warning("I2Cﾘｰﾄﾞに失敗しました。"),
                             LogLine("I2C Write → DevType=Ah,DevAdrs=0h,RegAdrs=10h,WD=A5h"),
                             LogLine("I2C Read → DevType=Ah,DevAdrs=0h,RegAdrs=10h,RD=A5h")}));
}

TEST_F(BoardOps, SecondPortUsesItsOwnRequestsAndPart) {
    I2cByteFields f{"A", "0", "05", "3C"};
    ASSERT_TRUE(I2cByteWrite(h(), 1, f, rec));
    EXPECT_EQ(wire().back().setup.bRequest, 0xC3);
    EXPECT_EQ(board().Eeprom(1)[5], 0x3C);
    EXPECT_EQ(board().Eeprom(0)[5], 0xFF);
    ASSERT_TRUE(I2cByteRead(h(), 1, f, rec));
    EXPECT_EQ(wire().back().setup.bRequest, 0xC4);
    // A port the board lacks fails without a request.
    const std::size_t sent = wire().size();
    std::uint8_t byte = 0;
    EXPECT_FALSE(I2cReadRegister(h(), 2, 0xA0, 0, byte));
    EXPECT_EQ(wire().size(), sent);
}

TEST_F(BoardOps, ByteFailuresReportOnceAndKeepTheFields) {
    I2cByteFields bad{"7", "0", "1G", "00"};
    EXPECT_FALSE(I2cByteWrite(h(), 0, bad, rec));  // refused before any request
    EXPECT_TRUE(wire().empty());
    I2cStatusZero();
    I2cByteFields f{"A", "0", "01", "77"};
    EXPECT_FALSE(I2cByteWrite(h(), 0, f, rec));  // the transfer worked, status 0
    EXPECT_EQ(wire().size(), 1u);
    EXPECT_TRUE(wire()[0].ok);
    EXPECT_EQ(f.data, "77");
    // The field is named; a status 0 has no cause the program could tell.
    const std::string notHex = "Reg Address: 「1G」は16進数ではありません";
    EXPECT_EQ(rec.shown, (std::vector<test::Shown>{
                             LogLine("I2C WRITE NG"), LogLine(notHex),
                             Warning("I2Cﾗｲﾄに失敗しました。", notHex), LogLine("I2C WRITE NG"),
                             Warning("I2Cﾗｲﾄに失敗しました。")}));
    EXPECT_EQ(board().Eeprom(0)[1], 0xFF);
}

TEST_F(BoardOps, CommandModesReachBothEepromsAsTheirAddressesNeed) {
    // 4-byte mode to the 64 KiB part at A8: address, word address 12 34, data;
    // five bytes go out, the last a zero.
    I2cCommandFields w{{"A8", "12", "34", "6B"}, "00"};
    ASSERT_TRUE(I2cCommandWrite(h(), 0, 1, w, rec));
    EXPECT_EQ(wire()[0].setup.wValue, 4);
    EXPECT_EQ(wire()[0].setup.wIndex, 1);
    EXPECT_EQ(wire()[0].data, (std::vector<std::uint8_t>{0xA8, 0x12, 0x34, 0x6B, 0x00}));
    EXPECT_EQ(board().WideEeprom(0, 0x1234, 1)[0], 0x6B);

    I2cCommandFields r{{"a8", "12", "34", "a9"}, "00"};
    ASSERT_TRUE(I2cCommandRead(h(), 0, 1, r, rec));
    EXPECT_EQ(r.result, "6B");
    EXPECT_EQ(r.bytes[3], "A9");
    // 3-byte mode gives that part one address byte: it does not acknowledge.
    I2cCommandFields three{{"A8", "12", "A9", "00"}, "6B"};
    EXPECT_FALSE(I2cCommandRead(h(), 1, 0, three, rec));
    EXPECT_EQ(three.result, "6B");
    // The 256-byte part answers 3-byte mode on the second port.
    board().SetEeprom(1, std::vector<std::uint8_t>{0x5C}, 0x20);
    I2cCommandFields small{{"A0", "20", "A1", "00"}, "00"};
    ASSERT_TRUE(I2cCommandRead(h(), 1, 0, small, rec));
    EXPECT_EQ(small.result, "5C");
    EXPECT_EQ(wire().back().setup.wLength, 2);  // status and one data byte
    EXPECT_EQ(rec.shown, (std::vector<test::Shown>{LogLine("I2C READ2 NG"),
                                                   Warning("I2Cﾘｰﾄﾞに失敗しました。")}));
}

TEST_F(BoardOps, DacSendsItsFourBytesUninterpreted) {
    ASSERT_TRUE(DacParameterSet(h(), 0, {"c0", "40", "80", "0"}, rec));
    EXPECT_EQ(wire()[0].setup.bRequest, 0xE0);
    EXPECT_EQ(wire()[0].setup.wValue, 0xC040);
    EXPECT_EQ(wire()[0].setup.wIndex, 0x8000);
    EXPECT_EQ(board().Dac(0).value, 0x800);
    ASSERT_TRUE(DacParameterSet(h(), 1, {"C0", "0F", "FF", "00"}, rec));
    EXPECT_EQ(wire()[1].setup.bRequest, 0xE1);
    EXPECT_EQ(board().Dac(1).value, 0xFFF);
    EXPECT_TRUE(rec.shown.empty());  // success is silent

    EXPECT_FALSE(DacParameterSet(h(), 0, {"C0", "", "00", "00"}, rec));
    EXPECT_EQ(wire().size(), 2u);
    I2cStatusZero();
    EXPECT_FALSE(DacParameterSet(h(), 0, {"C0", "40", "00", "00"}, rec));
    EXPECT_EQ(rec.shown, (std::vector<test::Shown>{Warning("無効な文字列です。"),
                                                   LogLine("MCP4725ﾊﾟﾗﾒｰﾀｾｯﾄに失敗しました。"),
                                                   Warning("MCP4715ﾊﾟﾗﾒｰﾀｾｯﾄに失敗しました。")}));
}

// --- GPIO ---------------------------------------------------------------------

TEST_F(BoardOps, GpioWriteReadAndDirection) {
    ASSERT_EQ(GpioWrite(h(), 2, "a5", rec), "A5");
    EXPECT_EQ(wire()[0].setup.bRequest, 0xB5);
    EXPECT_EQ(wire()[0].setup.wValue, 2);
    EXPECT_EQ(wire()[0].setup.wIndex, 0xA5);
    EXPECT_EQ(GpioWrite(h(), 2, "1ff", rec), "FF");  // the low 8 bits go out
    EXPECT_FALSE(GpioWrite(h(), 2, "G1", rec));
    EXPECT_EQ(wire().size(), 2u);

    board().SetGpioInput(1, 0x3C);
    EXPECT_EQ(GpioRead(h(), 1, rec), "3C");  // an input port reads its pins
    ASSERT_TRUE(GpioDirectionSet(h(), 1, "OUT", rec));
    EXPECT_EQ(board().Gpio(1).direction, 1);
    EXPECT_EQ(wire().back().setup.wIndex, 1);
    const std::string notHex = "Port E Write: 「G1」は16進数ではありません";
    EXPECT_EQ(rec.shown,
              (std::vector<test::Shown>{StatusText("GPIO-Write成功"), StatusText("GPIO-Write成功"),
                                        LogLine("ﾗｲﾄﾃﾞｰﾀが無効です。"), LogLine(notHex),
                                        Warning("ﾗｲﾄﾃﾞｰﾀが無効です。", notHex),
                                        StatusText("GPIO-Read成功"),
                                        StatusText("PortCのDIR(OUT)を切り換えました。")}));
}

TEST_F(BoardOps, PortALogsItsDirectionWordEvenWhenTheRequestFails) {
    FailNextRequest();
    EXPECT_FALSE(GpioDirectionSet(h(), 0, "OUT", rec));
    EXPECT_TRUE(GpioDirectionSet(h(), 0, "IN", rec));
    EXPECT_EQ(rec.shown,
              (std::vector<test::Shown>{LogLine("OUT"), LogLine("GPIO-DIR切り換えに失敗しました。"),
                                        LogLine(test::kIoCause),
                                        Warning("GPIO-DIR切り換えに失敗しました。", test::kIoCause),
                                        LogLine("IN"),
                                        StatusText("PortAのDIR(IN)を切り換えました。")}));
}

// --- GPIF2 master bridge --------------------------------------------------------

TEST_F(BoardOps, BaseAddressesTakeTheLow32BitsAndReadBack) {
    ASSERT_TRUE(G2mBaseWrite(h(), G2mBase::Reg, "123456789", rec));
    ASSERT_TRUE(G2mBaseWrite(h(), G2mBase::Mem, "40000000", rec));
    EXPECT_EQ(G2mBaseRead(h(), G2mBase::Reg, rec), "23456789");
    EXPECT_EQ(G2mBaseRead(h(), G2mBase::Mem, rec), "40000000");
    EXPECT_FALSE(G2mBaseWrite(h(), G2mBase::Reg, "xyz", rec));  // silently refused
    EXPECT_EQ(rec.shown,
              (std::vector<test::Shown>{LogLine("G2M:REG_BASE_ADRS=23456789h に設定しました。"),
                                        LogLine("G2M:MEM_BASE_ADRS=40000000h に設定しました。")}));
    // 4-byte transfers at 1FFFFF (wValue FFFF, wIndex 1F), least significant first.
    EXPECT_EQ(wire()[0].setup.wValue, 0xFFFF);
    EXPECT_EQ(wire()[0].setup.wIndex, 0x1F);
    EXPECT_EQ(wire()[0].data, (std::vector<std::uint8_t>{0x89, 0x67, 0x45, 0x23}));
    EXPECT_EQ(wire().size(), 4u);
}

TEST_F(BoardOps, CaptureRunsIntoMemoryThroughTheMemoryWindow) {
    ASSERT_TRUE(G2mBaseWrite(h(), G2mBase::Mem, "40000000", rec));
    ASSERT_TRUE(DmaStartSet(h(), rec));
    ASSERT_TRUE(CapStartIssue(h(), rec));
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    ASSERT_TRUE(CapRegistersDump(h(), rec));
    const auto logs = rec.Logs();
    ASSERT_EQ(logs.size(), 12u);
    EXPECT_EQ(logs[1], "SET DMA_START_ADRS OK!!");
    EXPECT_EQ(logs[2], "CAP_START OK!!");
    EXPECT_EQ(logs[3], "----");
    EXPECT_EQ(logs[4], "00010002");  // one capture started, done
    EXPECT_EQ(logs[5], "60000000");  // DMA start
    EXPECT_EQ(logs[11], "47324D01");
    // DMA start - memory base = 20000000h into memory 0.
    EXPECT_EQ(board().ReadMemory(0, 0x20000000, 8),
              (std::vector<std::uint8_t>{0, 0, 0, 1, 1, 0, 0, 1}));
}

TEST_F(BoardOps, DumpStopsAtTheFirstFailedRead) {
    sim::Faults f = board().GetFaults();
    f.failRequest = board().RequestCount() + 3;
    board().SetFaults(f);
    EXPECT_FALSE(CapRegistersDump(h(), rec));
    EXPECT_EQ(wire().size(), 3u);
    const auto logs = rec.Logs();
    ASSERT_EQ(logs.size(), 5u);
    EXPECT_EQ(logs[0], "----");
    EXPECT_EQ(logs[3], "C2Mﾚｼﾞｽﾀの取得に失敗しました。");
    EXPECT_EQ(logs[4], test::kIoCause);
    EXPECT_EQ(rec.Boxes(), (std::vector<test::Shown>{
                               Warning("C2Mﾚｼﾞｽﾀの取得に失敗しました。", test::kIoCause)}));
}

class NoBoard : public ::testing::Test, public test::SimBoardFixture {
  protected:
    NoBoard() : SimBoardFixture({}, false) {}
    test::RecordingReporter rec;
};

TEST_F(NoBoard, EveryOperationFailsWithItsOwnWordsAndSendsNothing) {
    const link::BoardHandle h = link::kNoBoard;
    I2cByteFields f;
    I2cCommandFields c;
    EXPECT_FALSE(BoardInfoUpdate(h, rec).ok);
    EXPECT_FALSE(I2cByteRead(h, 0, f, rec));
    EXPECT_FALSE(I2cCommandWrite(h, 0, 0, c, rec));
    EXPECT_FALSE(GpioRead(h, 0, rec));
    EXPECT_FALSE(CapStartIssue(h, rec));
    EXPECT_FALSE(G2mBaseRead(h, G2mBase::Mem, rec));
    EXPECT_TRUE(wire().empty());
    EXPECT_EQ(
        rec.Boxes(),
        (std::vector<test::Shown>{
            Warning("ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝの取得に失敗しました。", link::kNoBoardCause),
            Warning("I2Cﾘｰﾄﾞに失敗しました。", link::kNoBoardCause),
            Warning("I2Cﾗｲﾄに失敗しました。", link::kNoBoardCause),
            Warning("GPIO-Readに失敗しました。", link::kNoBoardCause),
            Warning("C2M:CAP_STARTｺﾏﾝﾄﾞの発行に失敗しました。", link::kNoBoardCause),
            Warning("G2M:MEM_BASE_ADRSの取得に失敗しました。", link::kNoBoardCause)}));
}

}  // namespace
}  // namespace quillon::features
