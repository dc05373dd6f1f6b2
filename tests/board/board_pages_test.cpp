// The board-service pages in a small frame: what a press shows and sends, which
// controls follow the board, and the temperature monitor's automatic update.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "app/elided_label.h"
#include "app/pages/board_info_page.h"
#include "app/pages/dac_page.h"
#include "app/pages/gpif2_master_page.h"
#include "app/pages/gpio_page.h"
#include "app/pages/i2c2_page.h"
#include "app/pages/i2c_page.h"
#include "app/pages/suspend_page.h"
#include "app/pages/temp_page.h"
#include "features/busy_gate.h"
#include "platform/settings_store.h"
#include "support/feature_support.h"

namespace quillon::app {
namespace {

using test::LogLine;
using test::Shown;
using test::StatusText;
using test::Warning;

using test::AppFirst;
using test::Find;

sim::Profile Board() {
    sim::Profile p;
    p.fixedTemperature = 0x2A32;
    return p;
}

class BoardPages : public ::testing::Test, public AppFirst, public test::SimBoardFixture {
  protected:
    BoardPages() : SimBoardFixture(Board()) {}
    test::FakeFrame frame;
    test::RecordingReporter& rec() { return frame.rec(); }
    int Registered() const { return static_cast<int>(frame.controls.size()); }
};

TEST_F(BoardPages, EveryFieldAndListCarriesTheNameOfItsLabel) {
    std::vector<std::unique_ptr<Page>> pages;
    pages.emplace_back(MakeBoardInfoPage(frame));
    pages.emplace_back(MakeI2cPage(frame));
    pages.emplace_back(MakeSuspendPage(frame));
    pages.emplace_back(MakeTempPage(frame));
    pages.emplace_back(MakeGpioPage(frame));
    pages.emplace_back(MakeDacPage(frame));
    pages.emplace_back(MakeI2c2Page(frame));
    pages.emplace_back(MakeGpif2MasterPage(frame));
    int fields = 0;
    for (const auto& p : pages) {
        for (QWidget* w : p->findChildren<QWidget*>()) {
            if (!qobject_cast<QLineEdit*>(w) && !qobject_cast<QComboBox*>(w)) continue;
            if (qobject_cast<QComboBox*>(w->parentWidget())) continue;  // a list's own editor
            ++fields;
            EXPECT_FALSE(w->accessibleName().isEmpty())
                << p->objectName().toStdString() << "/" << w->objectName().toStdString();
        }
    }
    // I2C 9, GPIO 9, MCP4725 5, I2C 2 12, GPIF2_Master 4: none left out.
    EXPECT_EQ(fields, 9 + 9 + 5 + 12 + 4);
}

TEST_F(BoardPages, BoardDependentControlsAreExactlyTheListedOnes) {
    // Board information: "更新"; I2C: two reads, two writes and eight edits;
    // suspend: both modes and "設定"; temperature: "更新" and "自動更新"; GPIO:
    // three lists, six buttons... eighteen; MCP4725: "SET" only; I2C 2: its
    // four buttons; GPIF2_Master: nothing.
    const std::pair<Page* (*)(PageContext&), int> expected[] = {
        {&MakeBoardInfoPage, 1}, {&MakeI2cPage, 12},       {&MakeSuspendPage, 3},
        {&MakeTempPage, 2},      {&MakeGpioPage, 18},      {&MakeDacPage, 1},
        {&MakeI2c2Page, 4},      {&MakeGpif2MasterPage, 0}};
    for (auto [make, count] : expected) {
        frame.controls.clear();
        std::unique_ptr<Page> page(make(frame));
        EXPECT_EQ(Registered(), count) << page->objectName().toStdString();
    }
}

TEST_F(BoardPages, I2cPortChoiceFollowsI2cCont2AndStartsAtTheFirstPort) {
    I2cPage page(frame);
    auto* port = Find<QComboBox>(&page, "ComboBox4");
    EXPECT_FALSE(frame.Registered(port));
    port->setCurrentIndex(1);
    page.RestoreUiState(SettingsStore());
    EXPECT_FALSE(port->isEnabled());
    EXPECT_EQ(port->currentIndex(), 0);
    SettingsStore().WriteBool(kSetup, "I2CCont2", true);
    port->setCurrentIndex(1);
    page.RestoreUiState(SettingsStore());
    EXPECT_TRUE(port->isEnabled());
    EXPECT_EQ(port->currentIndex(), 0);

    // Group 2 writes through the shared type and bits, then reads back.
    Find<QLineEdit>(&page, "Edit13")->setText("a");
    Find<QLineEdit>(&page, "Edit18")->setText("3");
    Find<QLineEdit>(&page, "Edit20")->setText("c4");
    Find<QPushButton>(&page, "Button22")->click();
    Find<QPushButton>(&page, "Button21")->click();
    EXPECT_EQ(Find<QLineEdit>(&page, "Edit13")->text(), "A");
    EXPECT_EQ(Find<QLineEdit>(&page, "Edit18")->text(), "03");
    EXPECT_EQ(Find<QLineEdit>(&page, "Edit19")->text(), "C4");
    EXPECT_EQ(board().Eeprom(0)[3], 0xC4);
    EXPECT_EQ(rec().Logs().back(), "I2C Read → DevType=Ah,DevAdrs=0h,RegAdrs=3h,RD=C4h");
}

TEST_F(BoardPages, BoardInformationLabelsShowWhatWasRead) {
    BoardInfoPage page(frame);
    EXPECT_EQ(Find<QLabel>(&page, "Label6")->text(), "-");
    Find<QPushButton>(&page, "Button18")->click();
    EXPECT_EQ(Find<QLabel>(&page, "Label3")->text(), "0210h");
    EXPECT_EQ(Find<QLabel>(&page, "Label5")->text(), "04h");
    EXPECT_EQ(Find<QLabel>(&page, "Label6")->text(), "Hembry.");
    EXPECT_EQ(Find<QLabel>(&page, "Label7")->text(), "Super Speed Mode.");
}

// The longest name of the product table is wider than the page: the label
// shows it cut in the middle and keeps the whole name for the tooltip and
// for screen readers.
class LongProductName : public ::testing::Test, public AppFirst, public test::SimBoardFixture {
  protected:
    static sim::Profile Ferrisk() {
        sim::Profile p;
        p.productId = 0x4000;
        return p;
    }
    LongProductName() : SimBoardFixture(Ferrisk()) {}
    test::FakeFrame frame;
};

TEST_F(LongProductName, IsCutInTheMiddleAndWholeInItsTooltip) {
    BoardInfoPage page(frame);
    page.resize(586, 200);
    page.show();
    Find<QPushButton>(&page, "Button18")->click();
    const std::string whole = "Ferrisk Mother Board.(AN2135SC Interrupt Support Device)";
    auto* name = Find<ElidedLabel>(&page, "Label6");
    EXPECT_EQ(name->text().toStdString(), whole);
    EXPECT_EQ(name->toolTip().toStdString(), whole);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(name)->text(QAccessible::Name).toStdString(),
              whole);
    const QString shown = name->shownText();
    EXPECT_TRUE(shown.startsWith("Ferrisk") && shown.endsWith("Device)") &&
                shown.contains(QChar(0x2026)))
        << shown.toStdString();
    EXPECT_LE(name->fontMetrics().horizontalAdvance(shown), name->contentsRect().width());
    // The page's width did not grow to fit the name.
    EXPECT_LE(page.width(), 586);
}

TEST_F(BoardPages, GpioAndDacPagesPassTheirFields) {
    GpioPage gpio(frame);
    Find<QLineEdit>(&gpio, "LabeledEdit7")->setText("a5");  // Port E write
    Find<QPushButton>(&gpio, "Button43")->click();
    EXPECT_EQ(Find<QLineEdit>(&gpio, "LabeledEdit7")->text(), "A5");
    EXPECT_EQ(board().Gpio(2).latch, 0xA5);
    Find<QComboBox>(&gpio, "ComboBox2")->setCurrentIndex(1);
    Find<QPushButton>(&gpio, "Button36")->click();
    EXPECT_EQ(board().Gpio(1).direction, 1);

    DacPage dac(frame);
    Find<QLineEdit>(&dac, "LabeledEdit18")->setText("80");
    Find<QPushButton>(&dac, "Button58")->click();
    EXPECT_EQ(board().Dac(0).value, 0x800);
    EXPECT_EQ(rec().shown, (std::vector<Shown>{StatusText("GPIO-Write成功"),
                                               StatusText("PortCのDIR(OUT)を切り換えました。")}));
}

TEST_F(BoardPages, Gpif2ReadFailureKeepsTheDisplay) {
    Gpif2MasterPage page(frame);
    auto* display = Find<QLineEdit>(&page, "Edit42");
    Find<QPushButton>(&page, "Button64")->click();
    Find<QPushButton>(&page, "Button63")->click();
    EXPECT_EQ(display->text(), "50000000");
    FailNextRequest();
    Find<QPushButton>(&page, "Button63")->click();
    EXPECT_EQ(display->text(), "50000000");
    EXPECT_EQ(rec().shown,
              (std::vector<Shown>{LogLine("G2M:REG_BASE_ADRS=50000000h に設定しました。"),
                                  LogLine("G2M:REG_BASE_ADRSの取得に失敗しました。"),
                                  LogLine(test::kIoCause),
                                  Warning("G2M:REG_BASE_ADRSの取得に失敗しました。",
                                          test::kIoCause)}));
}

class TempMonitor : public BoardPages {
  protected:
    TempMonitor() : page(frame) {}
    QCheckBox* Auto() { return Find<QCheckBox>(&page, "CheckBox2"); }
    TempPage page;
};

TEST_F(TempMonitor, UpdateShowsTheReadingAndAddsAChartPoint) {
    Find<QPushButton>(&page, "Button34")->click();
    EXPECT_EQ(Find<QLabel>(&page, "Label17")->text(), U("42.50℃"));
    ASSERT_EQ(page.chart().points().size(), 1u);
    EXPECT_DOUBLE_EQ(page.chart().points()[0], 42.5);
    EXPECT_EQ(rec().shown,
              (std::vector<Shown>{LogLine("42.50℃"), StatusText("FPGA温度を取得&表示しました。")}));
    FailNextRequest();
    Find<QPushButton>(&page, "Button34")->click();
    EXPECT_EQ(rec().Boxes(),
              (std::vector<Shown>{Warning("FPGA温度取得失敗しました。", test::kIoCause)}));
    EXPECT_EQ(page.chart().points().size(), 1u);
}

TEST_F(TempMonitor, AutoUpdateRunsOnTheCheckBoxAndTicks) {
    EXPECT_EQ(page.timer()->interval(), 5000);
    EXPECT_FALSE(page.timer()->isActive());
    Auto()->click();
    EXPECT_TRUE(page.timer()->isActive());
    page.Timer2Timer();
    page.Timer2Timer();
    EXPECT_EQ(page.chart().points().size(), 2u);
    {
        // A tick that comes while a long operation runs sends nothing.
        auto hold = features::BusyGate::TryTake("MemWrite");
        const std::size_t sent = wire().size();
        page.Timer2Timer();
        EXPECT_EQ(wire().size(), sent);
        EXPECT_TRUE(page.timer()->isActive());
    }
    Auto()->click();
    EXPECT_FALSE(page.timer()->isActive());
}

TEST_F(TempMonitor, UnplugDuringAutoUpdateWarnsOnceAndStops) {
    Auto()->click();
    // The cable goes; the tick comes before the removal notice is handled.
    backend().Unplug();
    page.Timer2Timer();
    EXPECT_FALSE(Auto()->isChecked());
    EXPECT_FALSE(page.timer()->isActive());
    link::BoardLink::Instance().OnDeviceChange(link::DeviceNotice::Removal);
    EXPECT_EQ(rec().Boxes(),
              (std::vector<Shown>{Warning("FPGA温度取得失敗しました。", test::kRemovedCause)}));
    EXPECT_EQ(rec().Logs(),
              (std::vector<std::string>{"FPGA温度取得失敗しました。", test::kRemovedCause}));
}

TEST_F(TempMonitor, RemovalNoticeAloneStopsTheUpdateQuietly) {
    Auto()->click();
    Unplug();  // with the notice handled at once
    EXPECT_FALSE(Auto()->isChecked());
    EXPECT_FALSE(page.timer()->isActive());
    EXPECT_TRUE(rec().shown.empty());
}

TEST_F(TempMonitor, OptionsItemsReachTheirHandlers) {
    test::QueuePrompter prompts;
    prompts.answers = {"300"};
    frame.MenuAction("N20")->trigger();
    frame.MenuAction("N21")->trigger();
    frame.MenuAction("N24")->trigger();
    EXPECT_EQ(board().TempAlertThreshold(), 44);
    const auto logs = rec().Logs();
    EXPECT_EQ(logs, (std::vector<std::string>{"温度警告温度を 44℃ に変更しました。",
                                              "現在の温度警告設定値は 44℃ です。",
                                              "ｳｵｯﾁﾄﾞｸﾞﾀｲﾏは無効に設定されています。"}));
    frame.MenuAction("FX31")->trigger();
    EXPECT_EQ(board().FirmwareResets(), 1u);
}

TEST_F(BoardPages, SuspendPageSendsTheChosenMode) {
    SuspendPage page(frame);
    EXPECT_TRUE(Find<QRadioButton>(&page, "RadioButton1")->isChecked());
    Find<QRadioButton>(&page, "RadioButton2")->setChecked(true);
    Find<QPushButton>(&page, "Button33")->click();
    EXPECT_EQ(board().Suspend(), 1);
    EXPECT_EQ(wire().back().setup.wValue, 1);
}

}  // namespace
}  // namespace quillon::app
