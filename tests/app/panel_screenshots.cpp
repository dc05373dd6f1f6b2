// Development tool: renders every page and window of the panel to PNG files,
// for a look at fonts and clipping and as the manual's pictures.
//   QT_QPA_PLATFORM=offscreen panel_screenshots OUT_DIR [--lang en] [--board sim]
// scripts/screenshots.sh runs it in a fresh demo home; `make screenshots`
// copies the pictures the manual shows into docs/manual/images. The names
// written here are the names the manual uses; first-*.png are the steps of the
// manual's first hour, made last. With --lang en it renders the pages alone,
// in English, as page-NAME-en.png for the manual's English half.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <cstdint>

#include "app/board_chooser.h"
#include "app/log_window.h"
#include "app/long_work.h"
#include "app/memory_windows.h"
#include "app/page_chooser.h"
#include "app/qt_prompter.h"
#include "app/secondary_windows.h"
#include "app/session_recording.h"
#include "app/viewer/data_viewer.h"
#include "platform/platform.h"
#include "sim/sim_backend.h"
#include "support/panel_harness.h"

using namespace quillon;

namespace {

// Page number -> the name of its picture (page-NAME.png).
const char* const kPageNames[app::kPageCount + 1] = {
    nullptr,        "registers", "memory",      "configuration",      "board-info",
    "i2c",          "tcl-script", "transfer-rate", "spi",             "serbridge",
    "suspend",      "temperature", "gpio",      "norbridge2",         "gpif",
    "extended-registers", "registers-512", "dac", "i2c2",             "gpif2-master"};

void Save(QWidget* w, const QString& file) {
    QApplication::processEvents();
    w->grab().save(file);
}

// A popup menu is drawn only while it is shown.
void SaveMenu(QMenu* m, const QPoint& at, const QString& file) {
    m->popup(at);
    Save(m, file);
    m->hide();
}

// A control of a page, by its objectName; a missing one is named on standard
// error (the pictures that need it are then not made, which the manual check
// reports).
template <typename W>
W* Control(app::MainWindow& w, int page, const char* name) {
    W* control = w.page(page)->findChild<W*>(name);
    if (!control) std::fprintf(stderr, "panel_screenshots: page %d has no %s\n", page, name);
    return control;
}

// The first hour as the manual's walkthrough takes it (first-*.png), on the
// pages a fresh install shows: no board, the simulated board chosen, a
// register written and read back, a file written into memory and read back
// into another, the self-test script that scripts/screenshots.sh put into the
// documents folder. It runs last: it changes the pages shown and the board.
// The log view is cleared ("ｸﾘｱ") before each step, so that its picture shows
// that step's lines.
bool FirstHour(app::MainWindow& w, app::LogWindow* log, const QString& out) {
    sim::SimBackend* sim = sim::ActiveSimBackend();
    if (!sim) return true;  // the pictures of the simulated board only

    // "表示するﾍﾟｰｼﾞ..." answered with the pages of a fresh install.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&answer] {
        auto* chooser = qobject_cast<app::PageChooser*>(QApplication::activeModalWidget());
        if (!chooser) return;
        answer.stop();
        for (int n = 1; n <= app::kPageCount; ++n) {
            if (QCheckBox* box = chooser->box(n))
                box->setChecked(app::PageInfoOf(n).visibleByDefault);
        }
        chooser->accept();
    });
    answer.start(0);
    w.ChoosePages();
    w.RequestPage(1);
    sim->Unplug();
    QApplication::processEvents();
    Save(&w, out + "/first-no-board.png");

    boards::BoardOptions simBoard;
    simBoard.board = "sim";
    log->Button1Click();
    if (!w.SwitchBoard(simBoard)) return false;
    QApplication::processEvents();
    Save(log, out + "/first-log-board.png");

    // Register 16 at 16 bits: 1234 written, then read back.
    auto* number = Control<QLineEdit>(w, 1, "regNumber1");
    auto* width = Control<QComboBox>(w, 1, "regWidth1");
    auto* value = Control<QLineEdit>(w, 1, "regValue1");
    auto* read = Control<QPushButton>(w, 1, "Button4");
    auto* write = Control<QPushButton>(w, 1, "Button5");
    if (!number || !width || !value || !read || !write) return false;
    number->setText("16");
    width->setCurrentIndex(1);
    value->setText("1234");
    write->click();
    read->click();
    Save(&w, out + "/first-registers.png");

    // 1 MiB of a file into memory (MemWrite), read back into another (MemRead),
    // both named relative to the documents folder.
    const QString docs = QString::fromStdString(platform::DocumentsFolder());
    QByteArray pattern(1 << 20, '\0');
    std::uint32_t x = 2463534242u;
    for (char& c : pattern) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    QFile source(docs + "/pattern.bin");
    if (!source.open(QIODevice::WriteOnly) || source.write(pattern) != pattern.size()) return false;
    source.close();
    w.RequestPage(2);
    auto* length = Control<QLineEdit>(w, 2, "Edit12");
    auto* file = Control<QLineEdit>(w, 2, "Edit13");
    auto* memRead = Control<QPushButton>(w, 2, "Button14");
    auto* memWrite = Control<QPushButton>(w, 2, "Button15");
    if (!length || !file || !memRead || !memWrite) return false;
    length->setText("100000");
    file->setText("pattern.bin");
    log->Button1Click();
    memWrite->click();
    file->setText("readback.bin");
    memRead->click();
    Save(&w, out + "/first-memory.png");
    Save(log, out + "/first-log-memory.png");
    QFile back(docs + "/readback.bin");
    if (!back.open(QIODevice::ReadOnly) || back.readAll() != pattern) {
        std::fprintf(stderr, "panel_screenshots: the memory did not give the file back\n");
        return false;
    }

    // The self-test script on the script page.
    w.RequestPage(6);
    auto* script = Control<QLineEdit>(w, 6, "LabeledEdit1");
    auto* run = Control<QPushButton>(w, 6, "Button24");
    if (!script || !run) return false;
    script->setText("selftest.tcl");
    log->Button1Click();
    run->click();
    Save(&w, out + "/first-script.png");
    Save(log, out + "/first-log-script.png");
    return true;
}


// The data viewer on a capture of 16-bit ADC samples (a slow sine, noise and
// one spike), then beside a read-back with three bytes changed; also at
// 1280x720, the smallest screen it is made for.
void WaitFor(app::TDataViewForm& form) {
    for (int i = 0; i < 3000 && (form.busy() || i < 5); ++i) {
        QApplication::processEvents();
        QThread::msleep(2);
    }
}

void Viewer(app::MainWindow& w, const QString& out) {
    const QString folder = platform::AppDataFolder().c_str() + QString("/Quillon7");
    QDir().mkpath(folder);
    std::vector<std::uint8_t> capture(1u << 20);
    std::uint32_t noise = 7;
    for (std::size_t i = 0; i < capture.size() / 2; ++i) {
        noise = noise * 1664525u + 1013904223u;
        int v = static_cast<int>(9000 * std::sin(static_cast<double>(i) / 9000.0) +
                                 static_cast<int>(noise >> 24) - 128);
        if (i == 300000) v = 30000;  // the one sample the plot must not lose
        capture[2 * i] = static_cast<std::uint8_t>(v & 0xFF);
        capture[2 * i + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    }
    auto write = [&](const QString& name, const std::vector<std::uint8_t>& bytes) {
        QFile f(folder + "/" + name);
        f.open(QIODevice::WriteOnly);
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return (folder + "/" + name).toStdString();
    };
    const std::string written = write("adc_capture.bin", capture);
    for (const std::size_t at : {0x1234u, 0x1235u, 0x20000u}) capture[at] ^= 0x10;
    const std::string read = write("adc_readback.bin", capture);

    app::TDataViewForm* form = app::TDataViewForm::Open({written, {}, {}}, &w);
    if (!form) return;
    form->findChild<QComboBox*>("WordWidth")->setCurrentIndex(1);
    form->findChild<QCheckBox*>("WordSigned")->setChecked(true);
    form->resize(1180, 640);
    form->show();
    WaitFor(*form);
    Save(form, out + "/viewer.png");
    form->resize(1280, 720);
    WaitFor(*form);
    Save(form, out + "/viewer-1280x720.png");
    form->SetCompare(read, {});
    form->resize(1180, 640);
    WaitFor(*form);
    Save(form, out + "/viewer-compare.png");
    form->close();
    QApplication::processEvents();
}

// Every page shown, as it opens: page-NAME.png, page-NAME-en.png in English.
void Pages(app::MainWindow& w, const QString& out, const QString& suffix) {
    for (int n = 1; n <= app::kPageCount; ++n) {
        if (!w.pageShown(n)) continue;
        w.RequestPage(n);
        Save(&w, QString("%1/page-%2%3.png").arg(out, kPageNames[n], suffix));
    }
}

// The two pages the manual shows after some work: the temperature monitor
// after a minute or so of readings (the simulated sensor is told what to
// read), and board information read (its result in the status bar).
void PagesAtWork(app::MainWindow& w, const QString& out, const QString& suffix) {
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
        Save(&w, out + "/page-temperature-chart" + suffix + ".png");
        sim::ActiveSimBackend()->board().SetTemperature(std::nullopt);
    }
    w.RequestPage(4);
    if (auto* update = w.page(4)->findChild<QPushButton*>("Button18")) update->click();
    Save(&w, out + "/page-board-info-read" + suffix + ".png");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    test::PanelHarness harness;
    if (!harness.Start(argc, argv, "panel_screenshots")) return 2;
    const QString& out = harness.out;
    app::MainWindow& w = *harness.window;
    app::LogWindow* log = app::LogWindow::Instance();

    if (harness.language == UiLanguage::English) {
        Pages(w, out, "-en");
        PagesAtWork(w, out, "-en");
        return 0;
    }
    // The log as start-up leaves it.
    Save(log, out + "/log-view.png");
    Pages(w, out, "");
    // A recording on: the status bar's mark and the checked item of the file menu.
    if (app::StartRecording(platform::AppDataFolder() + "/session.tcl")) {
        w.RequestPage(1);
        Save(&w, out + "/main-recording.png");
        if (QMenu* file = w.menuBar()->actions().value(0)->menu())
            SaveMenu(file,
                     w.mapToGlobal(w.menuBar()->actionGeometry(file->menuAction()).bottomLeft()),
                     out + "/menu-file-recording.png");
        app::StopRecording();
    }
    PagesAtWork(w, out, "");
    // The configuration page without a board (its disabled buttons).
    w.EnableBoardControls(false);
    w.RequestPage(3);
    Save(&w, out + "/page-configuration-no-board.png");
    w.EnableBoardControls(true);
    w.RequestPage(1);
    // The board pulled out: the band that says why, and the dialog that chooses another.
    if (sim::SimBackend* sim = sim::ActiveSimBackend()) {
        sim->Unplug();
        QApplication::processEvents();
        Save(&w, out + "/main-no-board.png");
        boards::BoardOptions current;
        current.board = "sim";
        app::BoardChooser chooser(current, &w);
        chooser.show();
        Save(&chooser, out + "/board-chooser.png");
        chooser.hide();
        sim->Plug();
        QApplication::processEvents();
    }

    const char* const menuNames[] = {"file", "options", "help"};
    int i = 0;
    for (QAction* a : w.menuBar()->actions()) {
        if (!a->menu() || i >= 3) continue;
        SaveMenu(a->menu(), w.mapToGlobal(w.menuBar()->actionGeometry(a).bottomLeft()),
                 QString("%1/menu-%2.png").arg(out, menuNames[i++]));
    }
    Save(log, out + "/log-view-later.png");
    {
        log->memo()->selectAll();
        std::unique_ptr<QMenu> menu = log->ContextMenu();
        SaveMenu(menu.get(), log->mapToGlobal(QPoint(200, 60)), out + "/log-menu.png");
        log->memo()->moveCursor(QTextCursor::End);
    }
    Save(app::VersionWindow::Create(&w), out + "/version.png");
    {
        // The page chooser as a fresh install opens it: only the pages shown by default ticked.
        app::PageChooser chooser(&w, [](int n) { return app::PageInfoOf(n).visibleByDefault; });
        chooser.show();
        Save(&chooser, out + "/page-chooser.png");
    }
    app::BusyWindow::Show("Processing for Configure ...");
    Save(app::BusyWindow::Instance(), out + "/busy.png");
    app::BusyWindow::Hide();
    {
        // A normal MemRead a second and more into its 256 MiB, with its Cancel.
        const app::LongWork::Scope scope({.cancellable = true});
        app::BusyWindow::Show("Processing for MemRead ...");
        app::LongWork::Progress(0, 256u << 20, features::Reporter::Unit::Bytes);
        QThread::msleep(1100);
        app::LongWork::Progress(100u << 20, 256u << 20, features::Reporter::Unit::Bytes);
        Save(app::BusyWindow::Instance(), out + "/busy-progress.png");
        app::BusyWindow::Hide();
    }
    app::SplashPicture().save(out + "/splash.png");
    // The run-long windows that program entry creates after the version window.
    if (auto* split = w.findChild<app::TSplitForm*>()) {
        split->SetSize("10485760 Bytes");
        split->SetPiece("1/5", "2 MiBytes");
        split->progress()->Set(4u << 20, 10u << 20, features::Reporter::Unit::Bytes);
        Save(split, out + "/split.png");
    }
    if (auto* note = w.findChild<app::TNoteForm*>()) Save(note, out + "/note.png");
    {
        auto box = app::MakeInputBox(&w, "温度警告設定値の変更",
                                     "温度警告の設定値を整数(0-255)で入力してください｡", "");
        box->show();
        Save(box.get(), out + "/input-box.png");
    }
    // Qt's own dialogs, in Japanese as the panel shows them: the script page's
    // file dialog in the log folder, and the log view's font dialog.
    {
        FileDialogRequest request;
        request.title = "TCLﾌｧｲﾙを選択してください。";
        request.folder = platform::AppDataFolder() + "/Quillon7";
        request.filter = "TCLﾌｧｲﾙ(*.tcl);;全て(*.*)";
        auto files = app::MakeFileDialog(&w, request);
        files->resize(640, 400);
        files->show();
        Save(files.get(), out + "/file-dialog.png");
        auto font = app::MakeFontDialog(&w, FontChoice{"IPAGothic", 10, 0});
        font->show();
        Save(font.get(), out + "/font-dialog.png");
    }
    Viewer(w, out);
    std::printf("window %dx%d, first page client height %d\n", w.width(), w.height(),
                w.FirstPageClientHeight(217));
    return FirstHour(w, log, out) ? 0 : 1;
}
