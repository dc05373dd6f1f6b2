// Development tool: renders every page and window of the panel to PNG files
// for a look at fonts and clipping.
//   QT_QPA_PLATFORM=offscreen panel_screenshots OUT_DIR [--board sim]
// Run it with XDG_CONFIG_HOME/XDG_DATA_HOME pointing at a demo home.

#include <QApplication>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <cmath>

#include "app/log_window.h"
#include "app/memory_windows.h"
#include "app/qt_prompter.h"
#include "app/secondary_windows.h"
#include "sim/sim_backend.h"
#include "support/panel_harness.h"

using namespace quillon;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    test::PanelHarness harness;
    if (!harness.Start(argc, argv, "panel_screenshots")) return 2;
    const QString& out = harness.out;
    app::MainWindow& w = *harness.window;
    for (int n = 1; n <= app::kPageCount; ++n) {
        if (!w.pageShown(n)) continue;
        w.RequestPage(n);
        QApplication::processEvents();
        w.grab().save(QString("%1/page-%2.png").arg(out).arg(n, 2, 10, QChar('0')));
    }
    // The temperature monitor after a minute or so of readings (the simulated
    // sensor is told what to read).
    if (w.pageShown(11) && sim::ActiveSimBackend()) {
        w.RequestPage(11);
        auto* update = w.page(11)->findChild<QPushButton*>("Button34");
        for (int i = 0; i < 64 && update; ++i) {
            const double c = 40.0 + 2.5 * std::sin(i / 9.0) + 0.6 * std::sin(i / 2.3);
            const int hundredths = static_cast<int>(std::lround(c * 100));
            sim::ActiveSimBackend()->board().SetTemperature(
                static_cast<std::uint16_t>((hundredths / 100) << 8 | (hundredths % 100)));
            update->click();
        }
        QApplication::processEvents();
        w.grab().save(out + "/page-11-chart.png");
        sim::ActiveSimBackend()->board().SetTemperature(std::nullopt);
    }
    // Board information read (its result in the status bar), and the configuration page without a
    // board (its disabled buttons).
    w.RequestPage(4);
    if (auto* update = w.page(4)->findChild<QPushButton*>("Button18")) update->click();
    QApplication::processEvents();
    w.grab().save(out + "/status-bar.png");
    w.EnableBoardControls(false);
    w.RequestPage(3);
    QApplication::processEvents();
    w.grab().save(out + "/page-03-no-board.png");
    w.EnableBoardControls(true);
    int i = 0;
    for (QMenu* m : w.menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) {
        m->popup(QPoint(0, 0));
        QApplication::processEvents();
        m->grab().save(QString("%1/menu-%2.png").arg(out).arg(++i));
        m->hide();
    }
    app::LogWindow::Instance()->grab().save(out + "/log-window.png");
    app::VersionWindow::Create(&w)->grab().save(out + "/version.png");
    app::BusyWindow::Show("Processing for Configure ...");
    app::BusyWindow::Instance()->grab().save(out + "/busy.png");
    app::SplashPicture().save(out + "/splash.png");
    // The run-long windows that program entry creates after the version window.
    if (auto* split = w.findChild<app::TSplitForm*>()) {
        split->SetSize("10485760 Bytes");
        split->SetPiece("1/5", "2 MiBytes");
        split->grab().save(out + "/split.png");
    }
    if (auto* note = w.findChild<app::TNoteForm*>()) note->grab().save(out + "/note.png");
    {
        auto box = app::MakeInputBox(&w, "温度警告設定値の変更",
                                     "温度警告の設定値を整数(0-255)で入力してください｡", "");
        box->show();
        QApplication::processEvents();
        box->grab().save(out + "/input-box.png");
    }
    std::printf("window %dx%d, first page client height %d\n", w.width(), w.height(),
                w.FirstPageClientHeight(217));
    return 0;
}
