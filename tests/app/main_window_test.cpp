#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTimer>
#include <fstream>

#include "app/page_table.h"
#include "app/par_flash.h"
#include "app/startup_hooks.h"
#include "app/wrap_tab_bar.h"
#include "app_test_support.h"
#include "log/log_file.h"

namespace quillon::test {
namespace {

using app::MainWindow;

MainWindow::Options NoSplash() {
    return MainWindow::Options{0};
}

void RunQueued() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

TEST(StartUp, WithBoardLogsCaptionDriverAndOpenInOrder) {
    PanelTest t;
    t.bus->present = true;
    t.Store("AUTO_CONFIG", "1");
    t.Store("AUTO_TCL", "1");
    t.Store("TEMP_ALERT", "1");

    MainWindow w(NoSplash());
    // The pages fill the hooks when they are built; these stand in for them.
    std::vector<std::string> order;
    app::Hooks().tclInit = [&] { order.push_back("tcl"); };
    app::Hooks().autoConfig = [&] { order.push_back("config"); };
    app::Hooks().autoScript = [&] { order.push_back("script"); };
    w.FormCreate();

    const auto lines = t.LogLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Brightlink Series：Quillon Application7 Ver" QUILLON_VERSION);
    EXPECT_EQ(lines[1], "winusb.sys = Ver1.0.26.11724");
    EXPECT_EQ(lines[2], "USB OPEN!!");
    EXPECT_EQ(w.windowTitle().toStdString(), lines[0]);
    EXPECT_EQ(order, (std::vector<std::string>{"tcl", "config", "script"}));
    EXPECT_TRUE(link::BoardLink::Instance().IsOpen());
    EXPECT_TRUE(w.MenuAction("N20")->isEnabled());
    EXPECT_TRUE(w.MenuAction("N8")->isChecked());
}

TEST(StartUp, WithoutBoardSkipsAutomaticStepsAndDisablesBoardItems) {
    PanelTest t;
    t.bus->driverVersion.clear();  // the stack's version cannot be told
    t.Store("AUTO_CONFIG", "1");
    t.Store("AUTO_TCL", "1");
    for (const char* key : {"GPIF_WAVE", "TEMP_ALERT", "FX3WATCHDOG", "FX3RESET"})
        t.Store(key, "1");

    MainWindow w(NoSplash());
    bool automatic = false;
    app::Hooks().autoConfig = [&] { automatic = true; };
    app::Hooks().autoScript = [&] { automatic = true; };
    w.FormCreate();

    const auto lines = t.LogLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "ﾄﾞﾗｲﾊﾞﾊﾞｰｼﾞｮﾝの取得に失敗しました。");
    EXPECT_EQ(lines[2], "USB NOT OPEN!!");
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_FALSE(automatic);
    for (const char* name : {"N12", "N20", "N21", "N23", "N24", "FX31"}) {
        EXPECT_FALSE(w.MenuAction(name)->isEnabled()) << name;
    }
    for (const char* name : {"N8", "N9", "N14", "N15", "View1", "N3", "N5", "Quillon71"}) {
        EXPECT_TRUE(w.MenuAction(name)->isEnabled()) << name;
    }
}

TEST(StartUp, WithoutALogFolderNothingElseStarts) {
    PanelTest t;
    t.bus->present = true;
    // A file where the data folder should be: the log folder cannot be made.
    { std::ofstream(t.home.root() + "/blocked") << "x"; }
    ::setenv("XDG_DATA_HOME", (t.home.root() + "/blocked").c_str(), 1);
    MainWindow w(NoSplash());
    bool tcl = false;
    app::Hooks().tclInit = [&] { tcl = true; };
    w.FormCreate();

    EXPECT_EQ(t.prompter.messages(),
              std::vector<std::string>{"ｱﾌﾟﾘｹｰｼｮﾝﾃﾞｨﾚｸﾄﾘの作成に失敗しました。"});
    EXPECT_FALSE(link::BoardLink::Instance().IsOpen());
    EXPECT_FALSE(tcl);
    // A board that arrives later still opens the link.
    t.bus->Plug();
    RunQueued();
    EXPECT_TRUE(link::BoardLink::Instance().IsOpen());
    EXPECT_TRUE(w.BoardOpen());
}

TEST(StartUp, ABoardArrivingDuringTheSplashIsKeptNotOpenedTwice) {
    PanelTest t;
    t.bus->present = true;
    QTimer::singleShot(0, [&] { t.bus->Plug(); });
    MainWindow w(MainWindow::Options{100});
    w.FormCreate();
    EXPECT_EQ(t.bus->opens, 1);
    EXPECT_TRUE(link::BoardLink::Instance().IsOpen());
    EXPECT_TRUE(w.BoardOpen());
    const auto lines = t.LogLines();
    EXPECT_EQ(lines.back(), "USB OPEN!!");
}

TEST(StartUp, EmptyStoreShowsTheDefaultPagesAndOptions) {
    PanelTest t;
    MainWindow w(NoSplash());
    w.FormCreate();

    std::vector<int> shown;
    for (int n = 1; n <= app::kPageCount; ++n) {
        if (w.pageShown(n)) shown.push_back(n);
        EXPECT_EQ(w.tabBar()->tabText(n - 1).toStdString(), app::PageInfoOf(n).caption);
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 4, 6, 7, 19}));
    EXPECT_EQ(w.tabBar()->tabText(18).toStdString(), "GPIF2_Master");
    EXPECT_EQ(w.currentPage(), 1);

    for (const char* name : {"N8", "N9", "N14", "N15", "View1"}) {
        EXPECT_TRUE(w.MenuAction(name)->isVisible()) << name;
    }
    for (const char* name : {"N12", "N17", "Tessera1", "N20", "N21", "N23", "N24", "FX31"}) {
        EXPECT_FALSE(w.MenuAction(name)->isVisible()) << name;
    }
    EXPECT_TRUE(w.MenuAction("Burst1")->isChecked());
    EXPECT_TRUE(w.MenuAction("Burst2")->isChecked());
    EXPECT_FALSE(w.MenuAction("N14")->isChecked());
    EXPECT_FALSE(w.Timer(1)->isActive());
    EXPECT_EQ(w.Timer(1)->interval(), 500);
    EXPECT_EQ(w.Timer(2)->interval(), 5000);
}

// The window grows with the rows the tabs take, by the rule measured at a
// 217-pixel page area.
TEST(StartUp, WindowHeightFollowsTheRowsOfTabs) {
    for (bool everyPage : {false, true}) {
        PanelTest t;
        if (everyPage) {
            for (int n = 1; n <= app::kPageCount; ++n) {
                if (const char* key = app::PageInfoOf(n).visibilityKey) t.Store(key, "1");
            }
        }
        MainWindow w(NoSplash());
        w.FormCreate();
        const int h = w.FirstPageClientHeight(217);
        const int expected = h >= 180 ? 327 : h >= 150 ? 381 : 375;
        EXPECT_EQ(w.designHeight(), expected) << "every page: " << everyPage;
        const int area = expected == 327 ? 217 : expected == 381 ? 241 : 265;
        EXPECT_EQ(w.pageArea()->height(), area);
        EXPECT_EQ(w.findChild<QPushButton*>("Button3")->y(), area + 16);
        // The taller page area gives the rows back: the page keeps its designed room.
        EXPECT_GE(w.FirstPageClientHeight(area), 190);
        if (everyPage) {
            const int rows = w.tabBar()->rowsForWidth(586);
            EXPECT_GT(rows, 1);
            EXPECT_NE(w.designHeight(), 327);
            // The current tab's row is the one next to the page.
            const int lastRowY = (rows - 1) * app::WrapTabBar::kRowHeight;
            EXPECT_EQ(w.tabBar()->tabButton(0)->y(), lastRowY);
            ASSERT_TRUE(w.RequestPage(19));
            EXPECT_EQ(w.tabBar()->tabButton(18)->y(), lastRowY);
            EXPECT_NE(w.tabBar()->tabButton(0)->y(), lastRowY);
        }
        // No tab is cut off or stacked onto another one.
        for (int i = 0; i < w.tabBar()->count(); ++i) {
            if (!w.tabBar()->isTabVisible(i)) continue;
            const QRect r = w.tabBar()->tabButton(i)->geometry();
            EXPECT_LE(r.right(), 586);
            EXPECT_GE(r.width(), w.tabBar()->tabButton(i)->sizeHint().width());
        }
    }
}

TEST(BoardControls, FollowTheBoardArrivingAndLeaving) {
    PanelTest t;
    t.Store("FX3RESET", "1");
    MainWindow w(NoSplash());
    QPushButton read("Read");
    QCheckBox tessera("Tessera mode??");
    QCheckBox tavel("Tavel??");
    QPushButton log("ﾛｸﾞ");
    w.RegisterBoardControl(&read);
    w.RegisterBoardControl(&tavel, [&tessera](bool open) { return open && tessera.isChecked(); });
    w.FormCreate();

    EXPECT_FALSE(read.isEnabled());
    EXPECT_FALSE(tavel.isEnabled());

    t.bus->Plug();
    RunQueued();
    EXPECT_TRUE(link::BoardLink::Instance().IsOpen());
    EXPECT_TRUE(read.isEnabled());
    EXPECT_FALSE(tavel.isEnabled()) << "Tavel?? needs Tessera mode?? checked";
    EXPECT_TRUE(w.MenuAction("FX31")->isEnabled());
    tessera.setChecked(true);
    w.RefreshBoardControls();
    EXPECT_TRUE(tavel.isEnabled());

    t.bus->Unplug();
    RunQueued();
    EXPECT_FALSE(link::BoardLink::Instance().IsOpen());
    EXPECT_FALSE(read.isEnabled());
    EXPECT_FALSE(tavel.isEnabled());
    EXPECT_FALSE(w.MenuAction("FX31")->isEnabled());
    EXPECT_TRUE(log.isEnabled());

    const auto lines = t.LogLines();
    EXPECT_EQ(lines.back(), "USB CLOSE!!");
}

TEST(BoardControls, AControlRegisteredLateTakesTheCurrentStateAndMayGoAway) {
    PanelTest t;
    t.bus->present = true;
    MainWindow w(NoSplash());
    w.FormCreate();
    {
        QPushButton late("late");
        w.RegisterBoardControl(&late);
        EXPECT_TRUE(late.isEnabled());
    }
    // The destroyed control left the list: switching must not touch it.
    w.EnableBoardControls(false);
    w.EnableBoardControls(true);
    EXPECT_TRUE(w.BoardOpen());
}

TEST(PageChange, GuardRefusesWhileTheParallelFlashRuns) {
    PanelTest t;
    t.Store("NorBridge2", "1");
    MainWindow w(NoSplash());
    app::Hooks().memLengthDisplay = [&w] { w.SetStatus("length 00800000"); };
    w.FormCreate();
    ASSERT_TRUE(w.RequestPage(app::kNorBridge2Page));

    app::SetParFlashRunning(true);
    w.tabBar()->tabButton(0)->click();  // the user clicks "ﾚｼﾞｽﾀ操作"
    EXPECT_EQ(w.currentPage(), app::kNorBridge2Page);
    EXPECT_EQ(w.tabBar()->currentIndex(), app::kNorBridge2Page - 1);
    EXPECT_EQ(w.statusText().toStdString(), app::kPageGuardText);

    app::SetParFlashRunning(false);
    w.tabBar()->tabButton(0)->click();
    EXPECT_EQ(w.currentPage(), 1);
    EXPECT_TRUE(w.statusText().isEmpty());

    w.tabBar()->tabButton(app::kMemoryPage - 1)->click();
    EXPECT_EQ(w.currentPage(), app::kMemoryPage);
    EXPECT_EQ(w.statusText().toStdString(), "length 00800000");
}

TEST(PageChange, HiddenPagesCannotBeChosen) {
    PanelTest t;
    MainWindow w(NoSplash());
    w.FormCreate();
    EXPECT_FALSE(w.RequestPage(5));  // "I2C操作" without I2CCont
    EXPECT_FALSE(w.RequestPage(0));
    EXPECT_FALSE(w.RequestPage(20));
    EXPECT_EQ(w.currentPage(), 1);
}

TEST(PageChange, AssistiveTechnologyPressesATabLikeAClick) {
    PanelTest t;
    MainWindow w(NoSplash());
    w.FormCreate();
    QAccessibleInterface* tab =
        QAccessible::queryAccessibleInterface(w.tabBar()->tabButton(app::kTclPage - 1));
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->role(), QAccessible::PageTab);
    EXPECT_EQ(tab->text(QAccessible::Name).toStdString(), "TCLｽｸﾘﾌﾟﾄ");
    ASSERT_NE(tab->actionInterface(), nullptr);
    tab->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(w.currentPage(), app::kTclPage);
    EXPECT_TRUE(tab->state().selected);
}

TEST(Exit, ClosesAnOpenLinkAndEnds) {
    PanelTest t;
    t.bus->present = true;
    MainWindow w(NoSplash());
    w.FormCreate();
    QSignalSpy exits(&w, &MainWindow::exitRequested);
    ASSERT_TRUE(link::BoardLink::Instance().IsOpen());
    w.MenuAction("N10")->trigger();
    EXPECT_FALSE(link::BoardLink::Instance().IsOpen());
    EXPECT_EQ(exits.count(), 1);
}

TEST(Exit, ClosingTheWindowLeavesTheLinkOpen) {
    PanelTest t;
    t.bus->present = true;
    MainWindow w(NoSplash());
    w.FormCreate();
    w.show();
    w.close();
    EXPECT_TRUE(link::BoardLink::Instance().IsOpen());
}

}  // namespace
}  // namespace quillon::test
