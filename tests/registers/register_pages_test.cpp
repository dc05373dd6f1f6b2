// The four register pages in a small frame: what a press shows and sends.

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QToolButton>
#include <QValidator>

#include "app/pages/gpif_page.h"
#include "app/pages/reg512_page.h"
#include "app/pages/regex_page.h"
#include "app/pages/register_page.h"
#include "features/registers/reg512_test.h"
#include "platform/settings_store.h"
#include "support/feature_support.h"

namespace quillon::app {
namespace {

using test::LogLine;
using test::StatusText;
using test::Warning;

using test::AppFirst;
using test::Find;

using FakeFrame = test::FakeFrame;

class RegisterPages : public ::testing::Test, public AppFirst, public test::SimBoardFixture {
  protected:
    void SetEmulate(bool on) { SettingsStore().WriteBool(kSetup, "REGEX_EMULATE", on); }
    FakeFrame frame;
    test::RecordingReporter& rec() { return frame.rec(); }
};

TEST_F(RegisterPages, RegisterGroupOneTopNumberFailsWithTheButtonsMessage) {
    RegisterPage page(frame);
    auto* number = Find<QLineEdit>(&page, "regNumber1");
    auto* value = Find<QLineEdit>(&page, "regValue1");
    auto* readBack = Find<QLineEdit>(&page, "regReadBack1");
    // The arrows stop at 16384 for group 1 and at 16383 for the others.
    number->setText("16380");
    auto* up = Find<UpDown>(&page, "regUpDown1");
    for (int i = 0; i < 10; ++i) up->Step(1);
    EXPECT_EQ(number->text(), "16384");
    Find<UpDown>(&page, "regUpDown2")->Step(100000);
    EXPECT_EQ(Find<QLineEdit>(&page, "regNumber2")->text(), "16383");

    value->setText("5a");
    Find<QPushButton>(&page, "Button4")->click();
    Find<QPushButton>(&page, "Button5")->click();
    const std::string beyond = "ﾚｼﾞｽﾀ番号: 「16384」は範囲外です(0～16383)";
    EXPECT_EQ(rec().shown, (std::vector<test::Shown>{
                               LogLine("REG READ NG"), LogLine(beyond),
                               Warning("ﾚｼﾞｽﾀﾘｰﾄﾞに失敗しました。", beyond),
                               LogLine("REG WRITE NG"), LogLine(beyond),
                               Warning("ﾚｼﾞｽﾀﾗｲﾄに失敗しました。", beyond)}));
    EXPECT_TRUE(wire().empty());
    EXPECT_EQ(value->text(), "5a");

    rec().shown.clear();
    up->Step(-1);
    Find<QPushButton>(&page, "Button5")->click();
    Find<QPushButton>(&page, "Button4")->click();
    EXPECT_EQ(rec().shown,
              (std::vector<test::Shown>{StatusText("ﾚｼﾞｽﾀﾗｲﾄ成功"), StatusText("ﾚｼﾞｽﾘｰﾄﾞ成功")}));
    EXPECT_EQ(value->text(), "5A");
    EXPECT_EQ(readBack->text(), "5A");
    EXPECT_EQ(board().Register(16383), 0x5Au);
}

TEST_F(RegisterPages, RegisterGroupsWorkAtTheirOwnWidths) {
    RegisterPage page(frame);
    EXPECT_EQ(Find<QLineEdit>(&page, "regNumber1")->text(), "2");
    EXPECT_EQ(Find<QLineEdit>(&page, "regNumber3")->text(), "4");
    Find<QComboBox>(&page, "regWidth3")->setCurrentIndex(1);
    Find<QLineEdit>(&page, "regValue3")->setText("12345678");
    Find<QPushButton>(&page, "Button9")->click();
    ASSERT_EQ(wire().size(), 1u);
    EXPECT_EQ(wire()[0].data, (std::vector<std::uint8_t>{0x78, 0x56}));
    EXPECT_EQ(Find<QLineEdit>(&page, "regValue3")->text(), "12345678");
    board().SetRegister(3, 0x0A);
    Find<QPushButton>(&page, "Button6")->click();
    EXPECT_EQ(Find<QLineEdit>(&page, "regReadBack2")->text(), "0A");

    // Group 3's number takes digits only; the others take what the integer
    // conversion reads.
    QString typed = "1a";
    int pos = 0;
    EXPECT_EQ(Find<QLineEdit>(&page, "regNumber3")->validator()->validate(typed, pos),
              QValidator::Invalid);
    EXPECT_EQ(Find<QLineEdit>(&page, "regNumber1")->validator(), nullptr);
}

TEST_F(RegisterPages, RegisterEmulatedReadFailureShowsBothReports) {
    RegisterPage page(frame);
    SetEmulate(true);
    FailNextRequest();
    Find<QPushButton>(&page, "Button4")->click();
    // The first report tells the cause; the button's own follows as it was.
    EXPECT_EQ(rec().shown, (std::vector<test::Shown>{
                               LogLine("REG READ NG"), LogLine(test::kIoCause),
                               Warning("ﾚｼﾞｽﾀﾘｰﾄﾞEXに失敗しました。", test::kIoCause),
                               LogLine("REG READ NG"), Warning("ﾚｼﾞｽﾀﾘｰﾄﾞに失敗しました。")}));
    EXPECT_EQ(Find<QLineEdit>(&page, "regReadBack1")->text(), "00");
    // The flag is read at each press.
    SetEmulate(false);
    Find<QPushButton>(&page, "Button4")->click();
    SetEmulate(true);
    Find<QPushButton>(&page, "Button4")->click();
    ASSERT_EQ(wire().size(), 3u);
    EXPECT_EQ(wire()[1].setup.bRequest, 0xB0);
    EXPECT_EQ(wire()[2].setup.bRequest, 0xC6);
}

TEST_F(RegisterPages, BoardControlsExcludeTheArrows) {
    RegisterPage reg(frame);
    EXPECT_EQ(frame.controls.size(), 18u);
    EXPECT_TRUE(frame.Registered(Find<QLineEdit>(&reg, "regReadBack2")));
    EXPECT_TRUE(frame.Registered(Find<QPushButton>(&reg, "Button9")));
    EXPECT_FALSE(frame.Registered(Find<UpDown>(&reg, "regUpDown1")));
    frame.controls.clear();
    RegExPage regex(frame);
    EXPECT_EQ(frame.controls.size(), 5u);
    EXPECT_FALSE(frame.Registered(Find<QTableWidget>(&regex, "readGrid")));
    frame.controls.clear();
    GpifPage gpif(frame);
    EXPECT_EQ(frame.controls.size(), 4u);
    frame.controls.clear();
    Reg512Page r512(frame);
    EXPECT_EQ(frame.controls.size(), 3u);
}

TEST_F(RegisterPages, RegExGridsReadOnlyTheBurstAndShadeBeyondIt) {
    RegExPage page(frame);
    auto* readGrid = Find<QTableWidget>(&page, "readGrid");
    auto* writeGrid = Find<QTableWidget>(&page, "writeGrid");
    EXPECT_EQ(readGrid->verticalHeaderItem(7)->text(), "+56");
    EXPECT_EQ(readGrid->horizontalHeaderItem(7)->text(), "+7");
    EXPECT_EQ(writeGrid->item(7, 7)->text(), "00");

    for (int i = 0; i < 4; ++i) writeGrid->item(0, i)->setText(QString("A%1").arg(i));
    Find<QSlider>(&page, "TrackBar1")->setValue(4);
    Find<QSlider>(&page, "TrackBar2")->setValue(40);
    EXPECT_EQ(Find<QLabel>(&page, "Label21")->text(), "4");
    EXPECT_EQ(Find<QLabel>(&page, "Label22")->text(), "40");
    Find<QPushButton>(&page, "Button50")->click();
    EXPECT_EQ(board().ExtendedRegister(43), 0xA3);
    EXPECT_EQ(board().ExtendedRegister(44), 0x00);

    Find<QSlider>(&page, "TrackBar1")->setValue(3);
    Find<QPushButton>(&page, "Button49")->click();
    EXPECT_EQ(readGrid->item(0, 2)->text(), "A2");
    EXPECT_EQ(readGrid->item(0, 3)->text(), "00") << "only the first three cells change";
    EXPECT_EQ(rec().Logs(), (std::vector<std::string>{"[ﾚｼﾞｽﾀﾗｲﾄEX] ｱﾄﾞﾚｽ=40,ﾚﾝｸﾞｽ=4",
                                                      "[ﾚｼﾞｽﾀﾘｰﾄﾞEX] ｱﾄﾞﾚｽ=40,ﾚﾝｸﾞｽ=3"}));
    // Cells at or beyond the length are shaded in both grids.
    const QColor beyond = page.palette().color(QPalette::Dark);
    EXPECT_NE(readGrid->item(0, 2)->background().color(), beyond);
    EXPECT_EQ(readGrid->item(0, 3)->background().color(), beyond);
    EXPECT_EQ(writeGrid->item(0, 3)->background().color(), beyond);
    Find<QSlider>(&page, "TrackBar1")->setValue(64);
    EXPECT_NE(writeGrid->item(7, 7)->background().color(), beyond);
}

TEST_F(RegisterPages, RegExEmptyCellBlocksEveryWrite) {
    RegExPage page(frame);
    auto* writeGrid = Find<QTableWidget>(&page, "writeGrid");
    writeGrid->item(0, 0)->setText("100");
    writeGrid->item(7, 7)->setText("");
    Find<QPushButton>(&page, "Button50")->click();
    EXPECT_TRUE(wire().empty());
    EXPECT_EQ(rec().shown,
              (std::vector<test::Shown>{Warning("[]は無効な数値です。\n有効な数値は0～FFです。")}));
    EXPECT_EQ(writeGrid->item(0, 0)->text(), "00");

    writeGrid->item(7, 7)->setText("ff");
    Find<QPushButton>(&page, "Button50")->click();
    ASSERT_EQ(wire().size(), 1u);
    EXPECT_EQ(wire()[0].data, (std::vector<std::uint8_t>{0x00}));
    EXPECT_EQ(writeGrid->item(7, 7)->text(), "FF");

    // Text still in an open cell editor is what gets written.
    page.show();
    writeGrid->setCurrentCell(0, 0);
    writeGrid->editItem(writeGrid->item(0, 0));
    auto* editor = writeGrid->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("5c");
    Find<QPushButton>(&page, "Button50")->click();
    ASSERT_EQ(wire().size(), 2u);
    EXPECT_EQ(wire()[1].data, (std::vector<std::uint8_t>{0x5C}));
    EXPECT_EQ(writeGrid->item(0, 0)->text(), "5C");
}

TEST_F(RegisterPages, RegExValueLabelsOpenTheirInputBoxes) {
    test::QueuePrompter prompter;
    RegExPage page(frame);
    auto* length = Find<QSlider>(&page, "TrackBar1");
    prompter.answers = {"0", "abc", "40", std::nullopt};
    for (int i = 0; i < 4; ++i) page.Label21Click();
    EXPECT_EQ(length->value(), 40);
    ASSERT_EQ(prompter.asked.size(), 4u);
    EXPECT_EQ(prompter.asked[0].caption, "ﾚｼﾞｽﾀﾚﾝｸﾞｽ(DEC) 1～64の範囲で指定して下さい。");
    EXPECT_EQ(prompter.asked[0].prompt, "1～64Bytesで指定してください");
    EXPECT_EQ(prompter.asked[0].initial, "1");
    EXPECT_EQ(prompter.asked[3].initial, "40");
    EXPECT_EQ(rec().Boxes(), (std::vector<test::Shown>{
                                 Warning("[0]は範囲外です。\n有効な数値は1～64です。"),
                                 Warning("[abc]は無効な数値です。\n有効な数値は1～64です。")}));

    prompter.answers = {"1023"};
    page.Label22Click();
    EXPECT_EQ(Find<QSlider>(&page, "TrackBar2")->value(), 1023);
    EXPECT_EQ(prompter.asked[4].caption, "ﾚｼﾞｽﾀｱﾄﾞﾚｽ(DEC) 0～1023の範囲で指定して下さい。");
    EXPECT_EQ(prompter.asked[4].prompt, "0～1023で指定してください");
}

TEST_F(RegisterPages, EmulateSwitchFollowsAndStoresTheKey) {
    SettingsStore().WriteBool(kSetup, "REGEX_EMULATE", true);
    RegExPage page(frame);
    QAction* n17 = frame.MenuAction("N17");
    page.RestoreUiState(SettingsStore());
    EXPECT_TRUE(n17->isChecked());
    EXPECT_FALSE(n17->isVisible()) << "REGEX_EMULATE_VISIBLE defaults to false";
    n17->trigger();
    EXPECT_FALSE(n17->isChecked());
    EXPECT_FALSE(SettingsStore().ReadBool(kSetup, "REGEX_EMULATE", true));
    n17->trigger();
    EXPECT_TRUE(SettingsStore().ReadBool(kSetup, "REGEX_EMULATE", false));
    SettingsStore().WriteBool(kSetup, "REGEX_EMULATE_VISIBLE", true);
    page.RestoreUiState(SettingsStore());
    EXPECT_TRUE(n17->isVisible());
}

TEST_F(RegisterPages, GpifWaitIsSentAndLoggedModulo256) {
    GpifPage page(frame);
    Find<QLineEdit>(&page, "readWait")->setText("300");
    Find<QPushButton>(&page, "Button47")->click();
    EXPECT_EQ(board().ReadWait(), 44);
    EXPECT_EQ(rec().Logs(),
              (std::vector<std::string>{"[ﾚｼﾞｽﾀﾘｰﾄﾞｳｪｲﾄ] ﾘｰﾄﾞｳｪｲﾄｻｲｸﾙを｢44｣に設定しました。"}));
    Find<QLineEdit>(&page, "writeWait")->setText("x");
    Find<QPushButton>(&page, "Button48")->click();
    EXPECT_EQ(rec().Boxes(), (std::vector<test::Shown>{Warning(
                                 "無効な文字列です。", "ﾚｼﾞｽﾀﾗｲﾄ: 「x」は整数ではありません")}));
}

TEST_F(RegisterPages, Reg512RestoresDecimalTextAndStoresAfterACompleteRun) {
    SettingsStore().WriteString(kSetup, "REG512_ADRS", "0x10");
    Reg512Page page(frame);
    page.RestoreUiState(SettingsStore());
    EXPECT_EQ(Find<QLineEdit>(&page, "reg512Address")->text(), "16");
    EXPECT_EQ(Find<QLineEdit>(&page, "reg512Repeat")->text(), "1");
    Find<QLineEdit>(&page, "reg512Repeat")->setText("0");
    Find<QPushButton>(&page, "Button53")->click();
    EXPECT_EQ(rec().Logs().back(), "正常終了");
    EXPECT_EQ(SettingsStore().ReadString(kSetup, "REG512_ADRS", ""), "16");
    EXPECT_EQ(SettingsStore().ReadString(kSetup, "REG512_REPEAT", ""), "0");
}

TEST_F(RegisterPages, Reg512ControlsStayOffWhileARunPumps) {
    features::ResetRegTestRandomForTest();
    Reg512Page page(frame);
    frame.RefreshBoardControls();
    auto* run = Find<QPushButton>(&page, "Button53");
    ASSERT_TRUE(run->isEnabled());
    std::vector<bool> enabledDuringPump;
    rec().onPump = [&] {
        enabledDuringPump.push_back(run->isEnabled());
        page.Button53Click();  // a press that got through meanwhile is ignored
    };
    Find<QLineEdit>(&page, "reg512Repeat")->setText("2");
    run->click();
    EXPECT_EQ(enabledDuringPump, (std::vector<bool>{false, false}));
    EXPECT_TRUE(run->isEnabled());
    EXPECT_EQ(wire().size(), 4u) << "one run of two passes";
}

}  // namespace
}  // namespace quillon::app
