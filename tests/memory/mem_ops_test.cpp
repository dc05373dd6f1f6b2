// The memory page's register operations, the length display and target list,
// the transfer-rate measurement and the waveform switch.

#include <gtest/gtest.h>

#include "features/memory/gpif_wave.h"
#include "features/memory/mem_page.h"
#include "features/memory/rate_measure.h"
#include "support/feature_support.h"

namespace quillon::test {
namespace {

using Lines = std::vector<std::string>;

TEST(MemLengthDisplay, EachRangeAndBadText) {
    const std::pair<const char*, const char*> cases[] = {
        {"200", "転送ﾚﾝｸﾞｽ → 512Bytes"},
        {"600", "転送ﾚﾝｸﾞｽ → 1.50KiBytes[1536Bytes]"},
        {"00800000", "転送ﾚﾝｸﾞｽ → 8.00MiBytes[8388608Bytes]"},
        {"40000000", "転送ﾚﾝｸﾞｽ → 1.00GiBytes[1073741824Bytes]"},
        {"4EF9DB23", "転送ﾚﾝｸﾞｽ → 1.23GiBytes[1324997411Bytes]"},
        {"FFC00", "転送ﾚﾝｸﾞｽ → 1020.00KiBytes[1047552Bytes]"},
        {"18000000000", "転送ﾚﾝｸﾞｽ → 1.00TiBytes[1649267441664Bytes]"},
        {"xyz", "???"},
        {"", "???"},
    };
    for (const auto& [text, shown] : cases) EXPECT_EQ(features::MemLengthDisplay(text), shown) << text;
}

TEST(TargetMemoryList, NamesFromTheStoreOrTwoUnknowns) {
    FreshHome home;
    {
        SettingsStore store;
        EXPECT_EQ(features::TargetMemoryEntries(store),
                  (Lines{"unknown(REG1=00h)", "unknown(REG1=01h)"}));
        store.WriteInteger(kSetup, "MEM_NUM", 3);
        store.WriteString(kSetup, "MEM_LIST0", "name0");
        store.WriteString(kSetup, "MEM_LIST2", "name2");
    }
    SettingsStore store;
    EXPECT_EQ(features::TargetMemoryEntries(store),
              (Lines{"name0(REG1=00h)", "unknown(REG1=01h)", "name2(REG1=02h)"}));
    store.WriteInteger(kSetup, "MEM_NUM", 100000);
    const Lines many = features::TargetMemoryEntries(store);
    ASSERT_EQ(many.size(), 256u);
    EXPECT_EQ(many.back(), "unknown(REG1=FFh)");
}

class MemPageOps : public ::testing::Test, public SimBoardFixture {
  protected:
    LogRecordingReporter rec;
};

TEST_F(MemPageOps, AddressAndTargetRegisters) {
    const auto w = features::MemAddressWrite(link::CurrentBoard(), "abc", false, rec);
    EXPECT_TRUE(w.ok);
    EXPECT_EQ(w.field, "00000ABC");
    EXPECT_EQ(board().Register(0), 0xABCu);
    board().SetRegister(0, 0x12345678);
    EXPECT_EQ(features::MemAddressRead(link::CurrentBoard(), "00000000", false, rec).field,
              "12345678");

    EXPECT_TRUE(features::MemTargetWrite(link::CurrentBoard(), 10, "DDR(REG1=0Ah)", false, rec));
    EXPECT_EQ(board().Register(1), 0x0Au);
    EXPECT_EQ(rec.shown, (std::vector<Shown>{StatusText("ﾒﾓﾘｱﾄﾞﾚｽﾗｲﾄ成功"),
                                             StatusText("ﾒﾓﾘﾀｰｹﾞｯﾄﾗｲﾄ成功"),
                                             LogLine("ﾀｰｹﾞｯﾄﾒﾓﾘを【DDR(REG1=0Ah)】に切り替えました。")}));

    Unplug();
    rec.Clear();
    EXPECT_FALSE(features::MemAddressWrite(link::CurrentBoard(), "abc", false, rec).ok);
    EXPECT_FALSE(features::MemAddressRead(link::CurrentBoard(), "0", false, rec).ok);
    EXPECT_FALSE(features::MemTargetWrite(link::CurrentBoard(), 0, "x", false, rec));
    const std::string none = link::kNoBoardCause;
    EXPECT_EQ(rec.shown, (std::vector<Shown>{
                             LogLine("REG WRITE NG"), LogLine(none),
                             Warning("ﾒﾓﾘｱﾄﾞﾚｽﾗｲﾄに失敗しました。", none), LogLine("REG READ NG"),
                             LogLine(none), Warning("ﾒﾓﾘｱﾄﾞﾚｽﾘｰﾄﾞに失敗しました。", none),
                             LogLine("REG WRITE NG"), LogLine(none),
                             Warning("ﾒﾓﾘﾀｰｹﾞｯﾄﾗｲﾄに失敗しました。", none)}));
    // With the board there, the field that held no number is named.
    backend().Plug();
    link::BoardLink::Instance().OnDeviceChange(link::DeviceNotice::Arrival);
    rec.Clear();
    EXPECT_FALSE(features::MemAddressWrite(link::CurrentBoard(), "abcg", false, rec).ok);
    EXPECT_EQ(rec.Boxes(), (std::vector<Shown>{Warning(
                               "ﾒﾓﾘｱﾄﾞﾚｽﾗｲﾄに失敗しました。",
                               "転送開始ｱﾄﾞﾚｽ(ﾚｼﾞｽﾀ0): 「abcg」は16進数ではありません")}));
}

TEST_F(MemPageOps, RateOfSmallBlocksAndTheFraming) {
    std::vector<bool> enabled;
    ASSERT_TRUE(features::RunRateMeasurement(link::CurrentBoard(), 7, true, rec,
                                             [&](bool on) { enabled.push_back(on); }));
    EXPECT_EQ(enabled, (std::vector<bool>{false, true}));
    const Lines logs = rec.Logs();
    ASSERT_EQ(logs.size(), 2 * (1 + 16 + 3) + 1u);
    EXPECT_EQ(logs[0], "-------- MemWrite転送ﾚｰﾄ測定【転送ｻｲｽﾞ 512Bytes】 --------");
    EXPECT_TRUE(logs[1].starts_with("MemWrite00, 転送時間:")) << logs[1];
    EXPECT_TRUE(logs[1].ends_with(" KBytes/s")) << logs[1];
    EXPECT_TRUE(logs[17].starts_with("AVERAGE転送ﾚｰﾄ → ")) << logs[17];
    EXPECT_EQ(logs[20], "-------- MemRead転送ﾚｰﾄ測定【転送ｻｲｽﾞ 512Bytes】 --------");
    EXPECT_TRUE(logs[36].ends_with(" KByte/s")) << logs[36];
    EXPECT_TRUE(logs[39].starts_with("WORST転送ﾚｰﾄ → ")) << logs[39];
    EXPECT_EQ(logs.back(), "転送ﾚｰﾄ測定正常終了しました。");
    EXPECT_EQ(rec.shown.front().text, "Waiting for Measuring ...");
    // Writes use length framing, reads never do.
    int lengthFramed = 0, byteFramed = 0;
    for (const Wire& w : wire()) {
        if (w.bulk) continue;
        (w.setup.bRequest == link::vr::MEM_CMDLEN ? lengthFramed : byteFramed)++;
    }
    EXPECT_EQ(lengthFramed, 32);
    EXPECT_EQ(byteFramed, 32);
}

TEST_F(MemPageOps, FailedWriteEndsTheMeasurementAtOnce) {
    sim::Faults f;
    f.stallBulk = board().BulkCount() + 6;  // the write with i = 5
    board().SetFaults(f);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(features::RunRateMeasurement(link::CurrentBoard(), 7, false, rec, [](bool) {}));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR code :-9\n");
    const Lines logs = rec.Logs();
    ASSERT_EQ(logs.size(), 9u);
    EXPECT_TRUE(logs[5].starts_with("MemWrite04")) << logs[5];
    EXPECT_EQ(logs[6], "4");
    EXPECT_EQ(logs[7], "転送ﾚｰﾄ測定に失敗しました。");
    EXPECT_EQ(logs[8], kStallCause);
    EXPECT_EQ(rec.Boxes(), std::vector<Shown>{Warning("転送ﾚｰﾄ測定に失敗しました。", kStallCause)});
    EXPECT_EQ(rec.shown.back().kind, Shown::BusyHide);
}

// The page asks for a measurement with the FPGA unconfigured: the firmware
// serves the transfers itself then, with either framing of the writes.
class RateUnconfigured : public ::testing::TestWithParam<bool>, public SimBoardFixture {
  protected:
    static sim::Profile Cold() {
        sim::Profile p;
        p.unconfiguredAtPowerUp = true;
        return p;
    }
    RateUnconfigured() : SimBoardFixture(Cold()) {}
    LogRecordingReporter rec;
};

TEST_P(RateUnconfigured, MeasuresWithNoDesignLoaded) {
    ASSERT_FALSE(board().Configuration().configured);
    const std::uint64_t before = board().BulkBytes();
    ASSERT_TRUE(
        features::RunRateMeasurement(link::CurrentBoard(), 5, GetParam(), rec, [](bool) {}));
    int writes = 0, reads = 0;
    for (const std::string& line : rec.Logs()) {
        if (line.find(", 転送時間:") == std::string::npos) continue;
        (line.starts_with("MemWrite") ? writes : reads)++;
    }
    EXPECT_EQ(writes, 16);
    EXPECT_EQ(reads, 16);
    EXPECT_EQ(rec.Logs().back(), "転送ﾚｰﾄ測定正常終了しました。");
    EXPECT_TRUE(rec.Boxes().empty());
    EXPECT_EQ(board().BulkBytes() - before, 32u * 16384);
    EXPECT_FALSE(board().Configuration().configured);
    EXPECT_EQ(board().MemoryStoredPages(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Framing, RateUnconfigured, ::testing::Bool());

TEST_F(MemPageOps, WaveformSwitch) {
    using features::GpifDirection;
    using features::GpifWave;
    EXPECT_TRUE(features::SwitchGpifWave(link::CurrentBoard(), GpifDirection::MemWrite,
                                         GpifWave::Word, rec));
    EXPECT_EQ(board().GpifWave(1), 1);
    EXPECT_EQ(board().GpifWave(0), 0);
    const std::string text = "ﾒﾓﾘ転送のﾓｰﾄﾞ(MemWrite-Word)を切り換えました。";
    EXPECT_EQ(rec.shown, (std::vector<Shown>{StatusText(text), LogLine(text)}));
    ASSERT_EQ(wire().size(), 1u);
    EXPECT_EQ(wire()[0].setup.bRequest, 0xC3);
    EXPECT_EQ(wire()[0].setup.wValue, 1);
    EXPECT_EQ(wire()[0].setup.wIndex, 1);

    Unplug();
    rec.Clear();
    EXPECT_FALSE(features::SwitchGpifWave(link::CurrentBoard(), GpifDirection::MemRead,
                                          GpifWave::Burst, rec));
    EXPECT_EQ(rec.shown, (std::vector<Shown>{LogLine(features::kGpifWaveFailed),
                                             LogLine(link::kNoBoardCause),
                                             Warning(features::kGpifWaveFailed,
                                                     link::kNoBoardCause)}));
}

}  // namespace
}  // namespace quillon::test
