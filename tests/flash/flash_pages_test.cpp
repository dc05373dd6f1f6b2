// The three flash pages in the real main window against the simulated board:
// the page guard during a parallel-flash write, the blinking erase notice,
// the SPI page's field handling, and the accessible names of every field.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/main_window.h"
#include "app/page_table.h"
#include "app/pages/spi_page.h"
#include "app/par_flash.h"
#include "app/wrap_tab_bar.h"
#include "features/flash/spi_memory.h"
#include "flash_support.h"
#include "platform/settings_store.h"

namespace quillon::test {
namespace {

constexpr int kSpiPage = 8, kSerBridgePage = 9;

// Yes to every question, OK to every box; keeps them all.
class YesPrompter : public QueuePrompter {
  public:
    MsgAnswer Message(const std::string& text, MsgIcon icon, MsgButtons buttons) override {
        messages.push_back({Shown::Box, text, icon});
        return buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
    }
};

// The panel with the three flash pages shown, on a simulated board.
class FlashPanel {
  public:
    explicit FlashPanel(sim::Profile profile = InstantFlash())
        : board(profile), designs(board.home().root()) {
        EnsureApp();
        SettingsStore store;
        for (const char* key : {"SPICont", "SerBridge", "NorBridge2"}) store.WriteBool(kSetup, key, true);
        window = std::make_unique<app::MainWindow>(app::MainWindow::Options{0});
        window->FormCreate();
    }
    ~FlashPanel() { app::SetParFlashRunning(false); }
    template <typename T>
    T* Find(int page, const char* name) {
        return window->page(page)->findChild<T*>(name);
    }

    SimBoardFixture board;
    BridgeFolder designs;
    YesPrompter prompter;
    std::unique_ptr<app::MainWindow> window;
};

TEST(FlashPages, PagesStayPutWhileTheParallelFlashIsWritten) {
    FlashPanel p;
    app::MainWindow& w = *p.window;
    ASSERT_TRUE(w.RequestPage(app::kNorBridge2Page));
    p.Find<QLineEdit>(app::kNorBridge2Page, "LabeledEdit20")
        ->setText(QString::fromStdString(p.board.File("d.bin", Pattern(40000))));

    // The first tab asked for while the run pumps events, the way an
    // accessibility client does it (its "Toggle" action).
    int pageDuringRun = 0;
    QString statusDuringRun;
    bool runningDuringRun = false;
    QTimer::singleShot(0, &w, [&] {
        runningDuringRun = app::ParFlashRunning();
        w.tabBar()->tabButton(0)->toggle();
        pageDuringRun = w.currentPage();
        statusDuringRun = w.statusText();
    });
    p.Find<QPushButton>(app::kNorBridge2Page, "Button46")->click();
    EXPECT_TRUE(runningDuringRun);
    EXPECT_EQ(pageDuringRun, app::kNorBridge2Page);
    EXPECT_EQ(statusDuringRun.toStdString(), app::kPageGuardText);
    EXPECT_EQ(p.Find<QLabel>(app::kNorBridge2Page, "Label52")->text(), "Successful!!");
    EXPECT_FALSE(app::ParFlashRunning());

    EXPECT_FALSE(w.tabBar()->tabButton(0)->isChecked());
    w.tabBar()->tabButton(0)->toggle();
    EXPECT_EQ(w.currentPage(), 1);
    EXPECT_TRUE(w.tabBar()->tabButton(0)->isChecked());
}

// A data file that cannot be read is refused on both bridge pages before
// their question and before anything reaches the board.
TEST(FlashPages, BridgePagesRefuseAnUnreadableDataFileFirst) {
    FlashPanel p;
    const std::string folder = p.board.home().root();
    struct Case {
        int page;
        const char *field, *button;
        std::string failure;
    } cases[] = {
        {kSerBridgePage, "LabeledEdit14", "Button32",
         "ﾃﾞｰﾀﾌｧｲﾙﾌｧｲﾙが存在しません。\nﾃﾞｰﾀﾌｧｲﾙのﾌｧｲﾙ名/ﾊﾟｽを確認してください。"},
        {app::kNorBridge2Page, "LabeledEdit20", "Button46", "ﾃﾞｰﾀﾌｧｲﾙがｵｰﾌﾟﾝ出来ませんでした。"},
    };
    for (const Case& c : cases) {
        p.prompter.messages.clear();
        ASSERT_TRUE(p.window->RequestPage(c.page));
        p.Find<QLineEdit>(c.page, c.field)->setText(QString::fromStdString(folder));
        p.Find<QPushButton>(c.page, c.button)->click();
        EXPECT_EQ(p.prompter.messages,
                  std::vector<Shown>{Warning(c.failure + "\nﾌｧｲﾙ：" + folder +
                                             "\nﾌｧｲﾙではなくﾌｫﾙﾀﾞです。")});
    }
    EXPECT_TRUE(p.board.wire().empty());
}

TEST(FlashPages, ChipEraseNoticeBlinksOnTimer1) {
    sim::Profile profile;
    profile.flash.timeScale = 2.0 / 105;  // the bulk erase takes 2 s
    FlashPanel p(profile);
    app::MainWindow& w = *p.window;
    ASSERT_TRUE(w.RequestPage(kSpiPage));
    auto* page = static_cast<app::SpiPage*>(w.page(kSpiPage));
    p.Find<QComboBox>(kSpiPage, "ComboBox9")->setCurrentIndex(1);
    std::vector<bool> seen;
    QObject::connect(w.Timer(1), &QTimer::timeout, &w,
                     [&] { seen.push_back(page->erasingLabel()->isVisibleTo(page)); });
    page->Button29Click();
    EXPECT_GE(seen.size(), 2u);
    EXPECT_NE(std::find(seen.begin(), seen.end(), false), seen.end());
    EXPECT_FALSE(w.Timer(1)->isActive());
    EXPECT_FALSE(page->erasingLabel()->isVisibleTo(page));
    EXPECT_EQ(w.statusText(), QString::fromUtf8("M25P128 ChipErase成功しました。"));
    EXPECT_EQ(p.prompter.messages.size(), 2u);  // the question and the 250 s notice
}

TEST(FlashPages, SpiFieldsFollowTheTargetAndRefuseBadText) {
    FlashPanel p;
    auto* page = static_cast<app::SpiPage*>(p.window->page(kSpiPage));
    auto* target = p.Find<QComboBox>(kSpiPage, "ComboBox9");
    auto* address = p.Find<QLineEdit>(kSpiPage, "LabeledEdit11");
    auto* read = p.Find<QLineEdit>(kSpiPage, "LabeledEdit12");
    auto* write = p.Find<QLineEdit>(kSpiPage, "LabeledEdit13");

    write->setText("xyz");
    target->setCurrentIndex(1);
    EXPECT_EQ(target->currentIndex(), 0);  // refused: nothing changes
    EXPECT_EQ(p.prompter.messages.back(), Warning("設定値が無効です。"));

    write->setText("1ABCD");
    address->setText("12345");
    target->setCurrentIndex(1);
    EXPECT_EQ(address->accessibleName(), QString::fromUtf8("ｱﾄﾞﾚｽ(0-FFFFFFh)"));
    EXPECT_EQ(address->text(), "012345");
    EXPECT_EQ(write->text(), "CD");
    target->setCurrentIndex(0);
    EXPECT_EQ(address->text(), "0145");

    // A UFM address above 1FFh goes out modulo 10000h and stays as typed.
    address->setText("10123");
    write->setText("BEEF");
    page->Button28Click();
    EXPECT_EQ(p.window->statusText(), QString::fromUtf8("SPI-Write 成功しました。"));
    page->Button27Click();
    EXPECT_EQ(address->text(), "10123");
    EXPECT_EQ(read->text(), "BEEF");
}

TEST(FlashPages, UfmChipEraseNamesTheSectorThatFailed) {
    std::uint64_t firstSector = 0;
    {
        SimBoardFixture f(InstantFlash());
        const std::uint64_t base = f.board().RequestCount();
        RecordingReporter rec;
        ASSERT_TRUE(features::SpiUfmEraseSector(link::CurrentBoard(), 24, 0, rec));
        firstSector = f.board().RequestCount() - base;
    }
    FlashPanel p;
    auto* page = static_cast<app::SpiPage*>(p.window->page(kSpiPage));
    sim::Faults faults;
    faults.failRequest = p.board.board().RequestCount() + firstSector + 1;
    p.board.board().SetFaults(faults);
    page->Button29Click();
    // The erase ran on the worker; its cause comes back with it.
    EXPECT_EQ(p.prompter.messages.back(), Warning("ﾁｯﾌﾟｲﾚｰｽ(ﾌﾞﾛｯｸ1)に失敗しました。", kIoCause));
    EXPECT_TRUE(p.Find<QPushButton>(kSpiPage, "Button29")->isEnabled());
}

TEST(FlashPages, EveryFieldIsNamedByItsCaption) {
    FlashPanel p;
    for (int n : {kSpiPage, kSerBridgePage, app::kNorBridge2Page}) {
        QWidget* page = p.window->page(n);
        for (QWidget* field : page->findChildren<QWidget*>()) {
            if (!qobject_cast<QLineEdit*>(field) && !qobject_cast<QComboBox*>(field)) continue;
            if (field->parentWidget() != page) continue;  // a combo box's own editor
            EXPECT_FALSE(field->accessibleName().isEmpty()) << n << " " << app::S(field->objectName());
        }
    }
    EXPECT_EQ(p.Find<QLineEdit>(kSerBridgePage, "LabeledEdit14")->accessibleName(), "WriteDataFile :");
    EXPECT_EQ(p.Find<QComboBox>(kSpiPage, "ComboBox9")->accessibleName(),
              QString::fromUtf8("ﾀｰｹﾞｯﾄﾒﾓﾘ："));
}

}  // namespace
}  // namespace quillon::test
