// Where windows open: whole on the screen's free area and never over the main
// window's title and menu bars, on small screens too.

#include "app/placement.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <optional>
#include <sstream>

#include "app/log_window.h"
#include "app/main_window.h"
#include "app/secondary_windows.h"
#include "app_test_support.h"
#include "platform/settings_store.h"

namespace quillon::test {
namespace {

using app::KeepInView;
using app::Surroundings;

// The main window as it is shown: 586 wide, its menu bar 22 high under a
// title bar of `title` pixels, centred on the area unless placed.
Surroundings Around(QRect area, int mainHeight, int title, std::optional<QPoint> at = {}) {
    const QSize outer(586, mainHeight + title);
    const QPoint corner = at ? *at : area.center() - QPoint(outer.width() / 2, outer.height() / 2);
    const QRect main(corner, outer);
    return {area, main, QRect(main.left(), main.top(), main.width(), title + 22)};
}

struct Case {
    const char* what;
    Surroundings around;
    QRect wanted;      // outer
    QSize minimum;     // the wanted size: the window keeps its size
    bool clearOfMain;  // the log window's default place
};

constexpr int kFrame = 30;  // a title bar; the log window's frame below is that and 2 px sides
const QSize kLogMin(200 + 4, 92 + kFrame + 2);

std::vector<Case> Cases() {
    const QRect hd(0, 0, 1280, 720), hdPanel(0, 0, 1280, 690), wide(0, 0, 1366, 768),
        full(0, 0, 1920, 1080), small(0, 0, 800, 600), second(1920, 0, 1280, 720),
        topPanel(0, 32, 1280, 688);
    const QRect logDefault(0, 0, 604, 220 + kFrame + 2);
    const auto centred = [](const Surroundings& s, QSize size) {
        const QRect over = s.main.isEmpty() ? s.area : s.main;
        return QRect(over.center() - QPoint(size.width() / 2, size.height() / 2), size);
    };
    std::vector<Case> cases;
    for (const auto& [name, area] : {std::pair{"1280x720", hd},
                                     {"1280x720 with a panel", hdPanel},
                                     {"1366x768", wide},
                                     {"1920x1080", full},
                                     {"800x600", small},
                                     {"second screen", second},
                                     {"panel on top", topPanel}}) {
        for (const int title : {0, kFrame}) {
            for (const int height : {352, 420}) {  // with and without the no-board band
                const Surroundings s = Around(area, height, title);
                cases.push_back({name, s, logDefault.translated(area.topLeft()), kLogMin, true});
                cases.push_back({name, s, QRect(5000, 5000, 604, 252), kLogMin, false});
                cases.push_back({name, s, QRect(-30000, 200, 604, 252), kLogMin, false});
                cases.push_back({name, s, QRect(0, 0, 100000, 100000), kLogMin, false});
                // The busy window (with its progress strip), the version window,
                // a dialog over the main window, a large file dialog.
                for (const QSize fixed : {QSize(626, 140), QSize(626, 180), QSize(459, 285)})
                    cases.push_back({name, s, centred({area, {}, {}}, fixed), fixed, false});
                cases.push_back({name, s, centred(s, QSize(480, 300)), QSize(480, 300), false});
                cases.push_back({name, s, centred(s, QSize(800, 500)), QSize(500, 360), false});
            }
        }
        // The main window pushed to the top or the bottom of the screen.
        for (const int y : {area.top(), area.bottom() - 382}) {
            const Surroundings s = Around(area, 352, kFrame, QPoint(area.left() + 40, y));
            cases.push_back({name, s, logDefault.translated(area.topLeft()), kLogMin, true});
            cases.push_back(
                {name, s, centred({area, {}, {}}, QSize(626, 180)), QSize(626, 180), false});
        }
    }
    // A main window that fills the screen leaves no room beside it.
    const Surroundings tight = Around(QRect(0, 0, 640, 480), 440, kFrame, QPoint(0, 0));
    cases.push_back({"640x480", tight, QRect(0, 0, 604, 252), kLogMin, true});
    return cases;
}

bool Holds(const QRect& room, const QSize& size) {
    return room.width() >= size.width() && room.height() >= size.height();
}

TEST(Placement, EveryWindowOpensInsideTheScreenAndOffTheMenuBar) {
    for (const Case& c : Cases()) {
        const QRect got = KeepInView(c.wanted, c.minimum, c.around, c.clearOfMain);
        std::ostringstream where;
        where << c.what << ": wanted " << c.wanted.x() << "," << c.wanted.y() << " "
              << c.wanted.width() << "x" << c.wanted.height() << " main " << c.around.main.y()
              << " got " << got.x() << "," << got.y() << " " << got.width() << "x" << got.height();
        EXPECT_TRUE(c.around.area.contains(got)) << where.str();
        EXPECT_GE(got.width(), std::min(c.minimum.width(), c.wanted.width())) << where.str();
        EXPECT_GE(got.height(), std::min(c.minimum.height(), c.wanted.height())) << where.str();
        if (c.minimum == c.wanted.size()) {
            EXPECT_EQ(got.size(), c.wanted.size()) << where.str();
        }

        // Where the screen holds the window beside the main window, or at
        // least below its bars, that is where it is.
        const QRect& a = c.around.area;
        const QRect& m = c.around.main;
        const bool beside =
            Holds(a & QRect(a.topLeft(), QPoint(m.left() - 1, a.bottom())), c.minimum) ||
            Holds(a & QRect(QPoint(m.right() + 1, a.top()), a.bottomRight()), c.minimum) ||
            Holds(a & QRect(a.topLeft(), QPoint(a.right(), m.top() - 1)), c.minimum) ||
            Holds(a & QRect(QPoint(a.left(), m.bottom() + 1), a.bottomRight()), c.minimum);
        const bool belowBars =
            Holds(a & QRect(QPoint(a.left(), c.around.menuBand.bottom() + 1), a.bottomRight()),
                  c.minimum);
        if (beside || belowBars) {
            EXPECT_FALSE(got.intersects(c.around.menuBand)) << where.str();
        }
        if (c.clearOfMain && beside) {
            EXPECT_FALSE(got.intersects(m)) << where.str();
        }
    }
}

// A window that is already clear stays where it is; without a main window
// only the screen counts.
TEST(Placement, AWindowAlreadyInViewStays) {
    const Surroundings s = Around(QRect(0, 0, 1920, 1080), 352, kFrame);
    for (const QRect r :
         {QRect(0, 0, 604, 252), QRect(1300, 600, 300, 200), QRect(700, 800, 400, 200)})
        EXPECT_EQ(KeepInView(r, r.size(), s, true), r);
    // Over the main window's pages is in view for any window but the log view's default place.
    EXPECT_EQ(KeepInView(QRect(700, 500, 400, 200), {}, s), QRect(700, 500, 400, 200));
    const Surroundings none{QRect(0, 0, 1280, 720), {}, {}};
    EXPECT_EQ(KeepInView(QRect(0, 0, 604, 252), kLogMin, none, true), QRect(0, 0, 604, 252));
    EXPECT_EQ(KeepInView(QRect(2000, -50, 604, 252), kLogMin, none), QRect(676, 0, 604, 252));
}

QRect MenuBandOf(const app::MainWindow& w) {
    return QRect(w.pos(), QSize(w.width(), w.menuBar()->geometry().bottom() + 1));
}

// The real windows on the test screen: the log view moves off the main
// window once that is shown, and stores nothing for it; a dialog centred
// over the main window and the busy window keep off the menu bar.
TEST(Placement, TheLogViewDialogsAndTheBusyWindowKeepOffTheMainWindow) {
    PanelTest t;
    t.bus->present = true;  // no band about a missing board: the main window at its least height
    app::InstallWindowPlacement(*qApp);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    app::MainWindow main(app::MainWindow::Options{0});
    main.FormCreate();
    app::LogWindow* log = app::LogWindow::Instance();
    ASSERT_TRUE(log && log->isVisible());
    // Near the corner, where the log view's default place would cover its bars.
    main.move(area.topLeft() + QPoint(100, 100));
    main.show();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    const QRect mainRect(main.pos(), main.size());
    ASSERT_TRUE(area.contains(mainRect));
    EXPECT_TRUE(area.contains(log->frameGeometry()));
    EXPECT_FALSE(log->frameGeometry().intersects(mainRect));
    EXPECT_GE(log->height(), log->minimumHeight());
    EXPECT_EQ(SettingsStore().ReadString(kSetup, "LogView1Top", "none"), "none");

    // Qt centres a dialog over its parent: a tall one reaches over the bars.
    QDialog dialog(&main);
    dialog.resize(480, mainRect.height() + 40);
    dialog.show();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    EXPECT_TRUE(area.contains(dialog.frameGeometry()));
    EXPECT_FALSE(dialog.frameGeometry().intersects(MenuBandOf(main)));

    // The busy window centres on the screen, below the bars of a main window
    // that has its menu bar across the middle of the screen.
    main.move(main.x(), area.center().y() - 10);
    app::BusyWindow::Show("Waiting for Measuring ...");
    app::BusyWindow* busy = app::BusyWindow::Instance();
    EXPECT_TRUE(area.contains(busy->frameGeometry()));
    EXPECT_FALSE(busy->frameGeometry().intersects(MenuBandOf(main)));
    app::BusyWindow::Destroy();
    app::LogWindow::Destroy();
}

}  // namespace
}  // namespace quillon::test
