// Register waits: what the firmware gets and what the log says it got.

#include "features/registers/reg_wait.h"

#include <gtest/gtest.h>

#include "support/feature_support.h"

namespace quillon::features {
namespace {

using test::LogLine;
using test::Warning;

class RegWaits : public ::testing::Test, public test::SimBoardFixture {
  protected:
    test::RecordingReporter rec;
};

TEST_F(RegWaits, ValueIsTakenModulo256OnTheWireAndInTheLog) {
    ASSERT_TRUE(RegWaitSet(link::CurrentBoard(), RegWaitKind::Read, "300", rec));
    EXPECT_EQ(board().ReadWait(), 44);
    ASSERT_EQ(wire().size(), 1u);
    EXPECT_EQ(wire()[0].setup.bRequest, 0xB7);
    EXPECT_EQ(wire()[0].setup.wValue, 0);
    EXPECT_EQ(wire()[0].setup.wIndex, 44);
    ASSERT_TRUE(RegWaitSet(link::CurrentBoard(), RegWaitKind::Write, "7", rec));
    EXPECT_EQ(board().WriteWait(), 7);
    EXPECT_EQ(wire()[1].setup.wValue, 1);
    // A negative entry wraps as the byte on the wire does.
    ASSERT_TRUE(RegWaitSet(link::CurrentBoard(), RegWaitKind::Write, "-1", rec));
    EXPECT_EQ(board().WriteWait(), 255);
    EXPECT_EQ(rec.Logs(),
              (std::vector<std::string>{"[ﾚｼﾞｽﾀﾘｰﾄﾞｳｪｲﾄ] ﾘｰﾄﾞｳｪｲﾄｻｲｸﾙを｢44｣に設定しました。",
                                        "[ﾚｼﾞｽﾀﾗｲﾄｳｪｲﾄ] ﾗｲﾄｳｪｲﾄｻｲｸﾙを｢7｣に設定しました。",
                                        "[ﾚｼﾞｽﾀﾗｲﾄｳｪｲﾄ] ﾗｲﾄｳｪｲﾄｻｲｸﾙを｢255｣に設定しました。"}));
}

TEST_F(RegWaits, RefusalsAndFailures) {
    EXPECT_FALSE(RegWaitSet(link::kNoBoard, RegWaitKind::Read, "1", rec));
    EXPECT_FALSE(RegWaitSet(link::CurrentBoard(), RegWaitKind::Read, "1a", rec));
    EXPECT_FALSE(RegWaitSet(link::CurrentBoard(), RegWaitKind::Write, "", rec));
    EXPECT_TRUE(wire().empty());
    FailNextRequest();
    EXPECT_FALSE(RegWaitSet(link::CurrentBoard(), RegWaitKind::Read, "3", rec));
    FailNextRequest();
    EXPECT_FALSE(RegWaitSet(link::CurrentBoard(), RegWaitKind::Write, "3", rec));
    EXPECT_EQ(rec.shown,
              (std::vector<test::Shown>{
                  Warning("ﾃﾞﾊﾞｲｽが見つかりません。"),
                  Warning("無効な文字列です。", "ﾚｼﾞｽﾀﾘｰﾄﾞ: 「1a」は整数ではありません"),
                  Warning("無効な文字列です。", "ﾚｼﾞｽﾀﾗｲﾄ: 値がありません"),
                  LogLine("ﾚｼﾞｽﾀﾘｰﾄﾞのｳｪｲﾄ設定に失敗しました"), LogLine(test::kIoCause),
                  Warning("ﾚｼﾞｽﾀﾘｰﾄﾞのｳｪｲﾄ設定に失敗しました。", test::kIoCause),
                  LogLine("ﾚｼﾞｽﾀﾗｲﾄのｳｪｲﾄ設定に失敗しました"), LogLine(test::kIoCause),
                  Warning("ﾚｼﾞｽﾀﾗｲﾄのｳｪｲﾄ設定に失敗しました。", test::kIoCause)}));
    EXPECT_EQ(board().ReadWait(), 0);
}

}  // namespace
}  // namespace quillon::features
