// The start-up run of automatic configuration and its mode texts.

#include "features/config/auto_config.h"

#include <gtest/gtest.h>

#include "support/feature_support.h"
#include "features/config/config_stream.h"
#include "sim/sim_board.h"

namespace quillon::features {
namespace {

class AutoConfigRun : public ::testing::Test, public test::SimBoardFixture {
  protected:
    test::RecordingReporter rec;
};

TEST_F(AutoConfigRun, MissingFileLogsAndSendsNothing) {
    AutoConfigSettings s;
    s.enabled = true;  // the default name "*.rbf" is no file
    EXPECT_EQ(RunAutoConfig(link::CurrentBoard(), s, rec).outcome,
              AutoConfigResult::Outcome::NoFile);
    EXPECT_EQ(rec.Logs(), (std::vector<std::string>{"ｵｰﾄｺﾝﾌｨｸﾞ失敗(ﾌｧｲﾙ無し)"}));
    EXPECT_TRUE(wire().empty());
}

TEST_F(AutoConfigRun, TesseraAlwaysUsesTheAlteraLayout) {
    const std::vector<std::uint8_t> file{9, 8, 7, 6, 5};
    AutoConfigSettings s;
    s.enabled = s.tessera = s.xilinx = s.encrypt = true;
    s.path = File("auto.rbf", file);
    const auto result = RunAutoConfig(link::CurrentBoard(), s, rec);
    ASSERT_EQ(result.outcome, AutoConfigResult::Outcome::Loaded);
    EXPECT_EQ(board().Configuration().lastStreamLength, 16u * file.size());
    const auto logs = rec.Logs();
    ASSERT_EQ(logs.size(), 2u);  // no "!!" lines: not the standard layout
    EXPECT_EQ(logs[0], "AUTO Config[" + s.path + "]");
    EXPECT_EQ(logs[1], " → ｵｰﾄｺﾝﾌｨｸﾞ時間：" + std::to_string(result.elapsedMs) + "ms");
}

TEST_F(AutoConfigRun, StandardLoadWithStoredFlagsAndFailureLine) {
    const std::vector<std::uint8_t> file{0xA0, 0x01, 0x02};
    AutoConfigSettings s;
    s.enabled = s.xilinx = s.bitswap = true;
    s.path = File("auto.bin", file);
    ASSERT_EQ(RunAutoConfig(link::CurrentBoard(), s, rec).outcome,
              AutoConfigResult::Outcome::Loaded);
    const auto stream = ConfigStream::Build(file, {ConfigLayout::Standard, true, true, false});
    EXPECT_EQ(board().Configuration().lastStreamCrc32, sim::Crc32(stream->bytes()));
    const auto logs = rec.Logs();
    ASSERT_GE(logs.size(), 4u);
    EXPECT_EQ((std::vector<std::string>(logs.begin(), logs.begin() + 4)),
              (std::vector<std::string>{"!!", "1", "1", "0"}));

    rec.Clear();
    SetConfigStatus(1);
    EXPECT_EQ(RunAutoConfig(link::CurrentBoard(), s, rec).outcome,
              AutoConfigResult::Outcome::Failed);
    const auto failed = rec.Logs();
    EXPECT_EQ((std::vector<std::string>(failed.end() - 2, failed.end())),
              (std::vector<std::string>{"ｵｰﾄｺﾝﾌｨｸﾞ失敗 → " + s.path,
                                        "FPGAがｺﾝﾌｨｸﾞﾚｰｼｮﾝﾃﾞｰﾀを受け付けませんでした(ｽﾃｰﾀｽ 01h)。ﾌｧｲﾙの種類(Altera/Xilinx)と設定を確認して下さい"}));
}

}  // namespace
}  // namespace quillon::features
