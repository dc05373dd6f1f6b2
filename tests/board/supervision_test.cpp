// Temperature, suspend, alert, watchdog and firmware reset: the requests, the
// chart's view and what the user reads.

#include "features/board/supervision.h"

#include <gtest/gtest.h>

#include "support/feature_support.h"

namespace quillon::features {
namespace {

using test::LogLine;
using test::Shown;
using test::StatusText;
using test::Warning;

Shown Info(std::string t) {
    return {Shown::Box, std::move(t), MsgIcon::Information};
}

TEST(Temperature, ReadingFormatsWholeDegreesAndHundredths) {
    TempReading r = FormatTemperature(0x2A32);
    EXPECT_EQ(r.text, "42.50℃");
    EXPECT_DOUBLE_EQ(r.value, 42.5);
    r = FormatTemperature(0x1E05);
    EXPECT_EQ(r.text, "30.05℃");
    EXPECT_DOUBLE_EQ(r.value, 30.05);
    EXPECT_EQ(FormatTemperature(0x0300).text, "03.00℃");
}

TEST(Temperature, ChartScrollsByOneFromTheFiftyFirstPoint) {
    TempChart chart;
    for (int i = 0; i < 50; ++i) EXPECT_FALSE(chart.Append(40.0 + i % 3));
    EXPECT_EQ(chart.xMin(), 0);
    EXPECT_EQ(chart.xMax(), 49);
    EXPECT_TRUE(chart.Append(45.0));  // point 51 at x = 50
    EXPECT_EQ(chart.xMin(), 1);
    EXPECT_EQ(chart.xMax(), 50);
    EXPECT_TRUE(chart.Append(30.0));
    EXPECT_EQ(chart.xMax(), 51);
    EXPECT_EQ(chart.points().size(), 52u);  // older points stay in the series
    // The left axis spans the points in view with a margin either side.
    const auto [lo, hi] = chart.YRange();
    EXPECT_LT(lo, 30.0);
    EXPECT_GT(hi, 45.0);
    EXPECT_GT(lo, 28.0);
    EXPECT_LT(hi, 47.0);
}

class Supervision : public ::testing::Test, public test::SimBoardFixture {
  protected:
    static sim::Profile Warm() {
        sim::Profile p;
        p.fixedTemperature = 0x2A32;
        p.watchdogSeconds = 0;
        return p;
    }
    Supervision() : SimBoardFixture(Warm()) {}
    link::BoardHandle h() const { return link::CurrentBoard(); }
    test::RecordingReporter rec;
    test::QueuePrompter prompts;
};

TEST_F(Supervision, TemperatureReadLogsItsTextAndFailsQuietly) {
    auto r = TemperatureReadAndShow(h(), rec);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->text, "42.50℃");
    EXPECT_EQ(wire()[0].setup.bRequest, 0xC2);
    EXPECT_EQ(wire()[0].setup.wLength, 2);
    FailNextRequest();
    EXPECT_FALSE(TemperatureReadAndShow(h(), rec));
    EXPECT_EQ(rec.shown, (std::vector<Shown>{LogLine("42.50℃")}));
}

TEST_F(Supervision, AlertValueIsCutToItsLowByte) {
    prompts.answers = {"300", "abc", std::nullopt, " -1 "};
    ASSERT_TRUE(TempAlertChange(h(), rec));
    EXPECT_EQ(board().TempAlertThreshold(), 44);
    EXPECT_EQ(wire().back().data, std::vector<std::uint8_t>{44});
    EXPECT_FALSE(TempAlertChange(h(), rec));  // not an integer: refused, not logged
    EXPECT_FALSE(TempAlertChange(h(), rec));  // cancelled: nothing at all
    ASSERT_TRUE(TempAlertChange(h(), rec));
    EXPECT_EQ(board().TempAlertThreshold(), 255);
    EXPECT_EQ(wire().size(), 2u);
    ASSERT_EQ(prompts.asked.size(), 4u);
    EXPECT_EQ(prompts.asked[0].caption, "温度警告設定値の変更");
    EXPECT_EQ(prompts.asked[0].prompt, "温度警告の設定値を整数(0-255)で入力してください｡");
    EXPECT_EQ(prompts.asked[0].initial, "");
    EXPECT_EQ(rec.shown, (std::vector<Shown>{LogLine("温度警告温度を 44℃ に変更しました。"),
                                             Info("温度警告温度を 44℃ に変更しました。"),
                                             Warning("整数値で入力してください。"),
                                             LogLine("温度警告温度を 255℃ に変更しました。"),
                                             Info("温度警告温度を 255℃ に変更しました。")}));
}

TEST_F(Supervision, WatchdogZeroMeansDisabled) {
    prompts.answers = {"0", "30"};
    ASSERT_TRUE(WatchdogShow(h(), rec));
    ASSERT_TRUE(WatchdogChange(h(), rec));
    ASSERT_TRUE(WatchdogChange(h(), rec));
    EXPECT_EQ(board().Watchdog(), 30);
    ASSERT_TRUE(WatchdogShow(h(), rec));
    EXPECT_EQ(prompts.asked[0].caption, "ｳｵｯﾁﾄﾞｸﾞﾀｲﾏ設定値の変更");
    EXPECT_EQ(rec.Boxes(), (std::vector<Shown>{Info("ｳｵｯﾁﾄﾞｸﾞﾀｲﾏは無効に設定されています。"),
                                               Info("ｳｵｯﾁﾄﾞｸﾞﾀｲﾏを無効に設定しました。"),
                                               Info("ｳｵｯﾁﾄﾞｸﾞﾀｲﾏの設定値を 30秒 に変更しました。"),
                                               Info("現在のｳｵｯﾁﾄﾞｸﾞﾀｲﾏは 30秒です。")}));
    EXPECT_EQ(rec.Logs().size(), 4u);
}

TEST_F(Supervision, FailedRequestsShowOnlyTheirFailure) {
    FailNextRequest();
    EXPECT_FALSE(TempAlertShow(h(), rec));
    FailNextRequest();
    EXPECT_FALSE(SuspendSet(h(), true, rec));
    prompts.answers = {"5"};
    FailNextRequest();
    EXPECT_FALSE(WatchdogChange(h(), rec));
    EXPECT_TRUE(SuspendSet(h(), true, rec));
    EXPECT_EQ(board().Suspend(), 1);
    const std::string io = test::kIoCause;
    EXPECT_EQ(rec.shown, (std::vector<Shown>{LogLine("温度警告設定値の取得に失敗しました。"),
                                             LogLine(io),
                                             Warning("温度警告設定値の取得に失敗しました。", io),
                                             LogLine("ｻｽﾍﾟﾝﾄﾞﾓｰﾄﾞ切り換えに失敗しました。"),
                                             LogLine(io),
                                             Warning("ｻｽﾍﾟﾝﾄﾞﾓｰﾄﾞ切り換えに失敗しました。", io),
                                             LogLine("ｳｵｯﾁﾄﾞｸﾞﾀｲﾏ設定値の変更に失敗しました。"),
                                             LogLine(io),
                                             Warning("ｳｵｯﾁﾄﾞｸﾞﾀｲﾏ設定値の変更に失敗しました。", io),
                                             StatusText("SUSPENDﾓｰﾄﾞを切り換えました。")}));
}

TEST(DecimalInput, IntegersOnly) {
    EXPECT_EQ(ParseDecimalInput("300"), 300);
    EXPECT_EQ(ParseDecimalInput(" +7 "), 7);
    EXPECT_EQ(ParseDecimalInput("-1"), -1);
    for (const char* bad : {"", " ", "1.5", "0x10", "12a", "+-1", "99999999999"})
        EXPECT_FALSE(ParseDecimalInput(bad)) << bad;
}

class ResetBoard : public ::testing::Test, public test::SimBoardFixture {
  protected:
    static sim::Profile Silent() {
        sim::Profile p;
        p.fwResetAnswers = false;  // drops off before answering
        p.resetDelayMs = 10;
        return p;
    }
    ResetBoard() : SimBoardFixture(Silent()) {}
    test::RecordingReporter rec;
};

TEST_F(ResetBoard, OnlyAResetWhoseAnswerIsLostIsReported) {
    EXPECT_FALSE(FirmwareReset(link::CurrentBoard(), rec));
    EXPECT_EQ(board().FirmwareResets(), 1u);
    EXPECT_EQ(wire()[0].setup.bRequest, 0xC9);
    EXPECT_EQ(rec.shown, (std::vector<Shown>{LogLine("FX3ﾌｧｰﾑｳｪｱﾘｾｯﾄを実行しました。"),
                                             Warning("FX3ﾌｧｰﾑｳｪｱﾘｾｯﾄを実行しました。")}));
}

TEST_F(Supervision, AnsweredResetIsSilentAndTheBoardDropsOff) {
    EXPECT_TRUE(FirmwareReset(h(), rec));
    EXPECT_TRUE(rec.shown.empty());
    EXPECT_FALSE(board().OnBus());
    EXPECT_EQ(board().FirmwareResets(), 1u);
}

}  // namespace
}  // namespace quillon::features
