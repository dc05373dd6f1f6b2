// A session recorded on the real panel on the simulated board replays through
// quillon-run: the same register, memory-command and bulk requests in the same
// order, and the read file written again.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/log_window.h"
#include "app/main_window.h"
#include "app/page_table.h"
#include "app/qt_prompter.h"
#include "app/secondary_windows.h"
#include "app/session_recording.h"
#include "app/startup_hooks.h"
#include "boards/backends.h"
#include "link/board_link.h"
#include "log/log_file.h"
#include "platform/settings_store.h"
#include "script/session_recorder.h"
#include "support/fresh_home.h"

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The trace's register (B0), memory-command (B1, A1) and bulk lines, in order.
std::vector<std::string> BoardWork(const std::string& trace) {
    std::vector<std::string> lines;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("BULK", 0) == 0 || line.find("req=B0") != std::string::npos ||
            line.find("req=B1") != std::string::npos || line.find("req=A1") != std::string::npos)
            lines.push_back(line);
    }
    return lines;
}

class RecordedSession : public ::testing::Test {
  protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "session_record_test";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QApplication(argc, argv);
        LogFile::ResetForTest();
        link::BoardLink::Instance().ResetForTest();
        app::Hooks() = {};
        prompter.setHeadless(true);
        SetPrompter(&prompter);
        root = home.root();
    }
    void TearDown() override {
        app::StopRecording();
        QCoreApplication::processEvents();
        window.reset();
        app::LogWindow::Destroy();
        app::BusyWindow::Destroy();
        SetPrompter(nullptr);
        link::BoardLink::Instance().ResetForTest();
        LogFile::ResetForTest();
    }
    // The panel as `quillon --board sim --trace TRACE --record FILE` starts it.
    // `fromStart`: as main() does it, so that the start-up's own work is recorded.
    void StartPanel(const std::string& trace, const std::string& record, bool fromStart = false) {
        boards::BoardOptions options;
        options.board = "sim";
        options.boardGiven = true;
        options.traceFile = trace;
        std::string error;
        ASSERT_TRUE(boards::SetUpBoardLink(options, error)) << error;
        window = std::make_unique<app::MainWindow>(app::MainWindow::Options{0});
        window->SetBoardChoice(options);
        if (fromStart) app::RecordFromStart(record);
        window->FormCreate();
        window->show();
        if (!fromStart) {
            ASSERT_TRUE(app::StartRecording(record));
        }
    }
    template <typename W>
    W* Find(int page, const char* name) {
        W* w = window->page(page)->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    FreshHome home;
    std::string root;
    app::QtPrompter prompter;
    std::unique_ptr<app::MainWindow> window;
};

TEST_F(RecordedSession, PanelWorkReplaysThroughQuillonRun) {
    const std::string record = root + "/session.tcl";
    const std::string panelTrace = root + "/panel.trace";
    const std::string runTrace = root + "/run.trace";
    const std::string source = root + "/pattern.bin";
    const std::string readBack = root + "/read back.bin";  // a blank: the page takes it
    const std::string readFile = root + "/readback.bin";
    {
        std::string data(512, '\0');
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + 1);
        std::ofstream(source, std::ios::binary) << data;
    }
    StartPanel(panelTrace, record);
    EXPECT_TRUE(window->MenuAction("Record1")->isChecked());

    window->RequestPage(app::kRegisterPage);
    Find<QLineEdit>(1, "regNumber1")->setText("2");
    Find<QLineEdit>(1, "regValue1")->setText("5A");
    Find<QPushButton>(1, "Button5")->click();
    Find<QPushButton>(1, "Button4")->click();

    window->RequestPage(app::kMemoryPage);
    Find<QCheckBox>(2, "CheckBox4")->setChecked(false);
    Find<QLineEdit>(2, "Edit12")->setText("200");
    Find<QLineEdit>(2, "Edit13")->setText(QString::fromStdString(source));
    Find<QPushButton>(2, "Button15")->click();
    Find<QLineEdit>(2, "Edit13")->setText(QString::fromStdString(readFile));
    Find<QPushButton>(2, "Button14")->click();
    // A name the macro cannot carry is kept as a comment, not dropped.
    Find<QLineEdit>(2, "Edit13")->setText(QString::fromStdString(readBack));
    Find<QPushButton>(2, "Button14")->click();
    ASSERT_EQ(ReadFile(readFile), ReadFile(source));

    // "終了", then what program entry does after the loop.
    window->MenuAction("N10")->trigger();
    app::StopRecording();
    std::string error;
    ASSERT_TRUE(boards::FinishTrace(error)) << error;

    const std::string script = ReadFile(record);
    EXPECT_EQ(script.rfind("# Quillon Panel ", 0), 0u) << script;
    EXPECT_NE(script.find("KVX_COMMAND {RW -A2 -W8 -D5A}\n"), std::string::npos) << script;
    EXPECT_NE(script.find("KVX_COMMAND {RR -A2 -W8} ;# read -> 5A\n"), std::string::npos) << script;
    EXPECT_NE(script.find("KVX_COMMAND {MW -L200 -W8 -F" + source + "}\n"), std::string::npos);
    EXPECT_NE(script.find("KVX_COMMAND {MR -L200 -W8 -F" + readFile + "}\n"), std::string::npos);
    EXPECT_NE(script.find("# MemRead 512 bytes into " + readBack +
                          " at 8bit: not replayed, a macro's file name ends at a blank"),
              std::string::npos)
        << script;

    fs::remove(readFile);
    QProcess run;
    run.setProgram(QUILLON_RUN);
    run.setArguments({"--board", "sim", "--trace", QString::fromStdString(runTrace),
                      QString::fromStdString(record)});
    run.start();
    ASSERT_TRUE(run.waitForFinished(120000));
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    EXPECT_EQ(ReadFile(readFile), ReadFile(source));

    // The panel's last MemRead (into the name with a blank) is not replayed.
    std::vector<std::string> panel = BoardWork(ReadFile(panelTrace));
    const std::vector<std::string> replay = BoardWork(ReadFile(runTrace));
    ASSERT_GE(panel.size(), 3u);
    panel.resize(panel.size() - 3);
    EXPECT_EQ(replay, panel);
    EXPECT_GE(replay.size(), 8u);  // RW, RR, MW (3), MR (3)
}

// Every page action that reaches the board leaves a line: its macro, or a
// comment saying what it was and why it is not replayed.
struct HookCase {
    const char* name;
    int page;  // its number in the page table
    std::function<void(QWidget* page)> act;
    const char* line;  // the start of the line it leaves
};

void Type(QWidget* page, const char* name, const char* text) {
    auto* edit = page->findChild<QLineEdit*>(name);
    ASSERT_NE(edit, nullptr) << name;
    edit->setText(text);
}
void Choose(QWidget* page, const char* name, int index) {
    auto* list = page->findChild<QComboBox*>(name);
    ASSERT_NE(list, nullptr) << name;
    list->setCurrentIndex(index);
}
void Click(QWidget* page, const char* name) {
    auto* button = page->findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    ASSERT_TRUE(button->isEnabled()) << name;
    button->click();
}
void CommandBytes(QWidget* page, int first, const char* a, const char* b, const char* c,
                  const char* d) {
    int n = first;
    for (const char* byte : {a, b, c, d})
        Type(page, qPrintable(QString("LabeledEdit%1").arg(n++)), byte);
}

const HookCase kHooks[] = {
    {"IW3", 18,
     [](QWidget* p) {
         CommandBytes(p, 20, "A0", "05", "5A", "00");
         Click(p, "Button60");
     },
     "KVX_COMMAND {IW3 -P0 -M3 -DA -S0 -A5 -W5A}\n"},
    {"IR3", 18, [](QWidget* p) { Click(p, "Button59"); },
     "KVX_COMMAND {IR3 -P0 -M3 -DA -S0 -A0} ;# read -> "},
    {"IW3fourBytesSecondPort", 18,
     [](QWidget* p) {
         Choose(p, "ComboBox6", 1);
         Choose(p, "ComboBox7", 1);
         CommandBytes(p, 24, "A8", "01", "23", "77");
         Click(p, "Button62");
     },
     "KVX_COMMAND {IW3 -P1 -M4 -DA -S4 -A123 -W77}\n"},
    // A fourth byte after a 3-byte command: IW3 would send 00 there.
    {"IW3otherBytes", 18,
     [](QWidget* p) {
         CommandBytes(p, 20, "A0", "05", "5A", "11");
         Click(p, "Button60");
     },
     "# I2C command write of A0 05 5A 11 (3-byte) on port 0: not replayed, IW3 and IR3 send 00"},
    {"DAC", 17, [](QWidget* p) { Click(p, "Button58"); }, "# DAC parameter set of "},
    {"RegisterWait", 14,
     [](QWidget* p) {
         Type(p, "readWait", "3");
         Click(p, "Button47");
     },
     "# register read wait set to 3: not replayed"},
    {"Suspend", 10, [](QWidget* p) { Click(p, "Button33"); }, "# mode set to Normal: not replayed"},
    {"Gpif2Master", 19, [](QWidget* p) { Click(p, "Button67"); },
     "# GPIF II master CAP_START: not replayed"},
    {"Temperature", 11, [](QWidget* p) { Click(p, "Button34"); },
     "# temperature read: not replayed"},
};

void PrintTo(const HookCase& c, std::ostream* os) {
    *os << c.name;
}

class PageHook : public RecordedSession, public ::testing::WithParamInterface<HookCase> {};

TEST_P(PageHook, LeavesItsLine) {
    const HookCase& c = GetParam();
    const std::string record = root + "/hook.tcl";
    StartPanel("", record);
    QWidget* page = window->page(c.page);
    ASSERT_NE(page, nullptr) << c.page;
    c.act(page);
    app::StopRecording();
    const std::string script = ReadFile(record);
    EXPECT_NE(script.find(std::string("\n") + c.line), std::string::npos) << script;
}

INSTANTIATE_TEST_SUITE_P(Pages, PageHook, ::testing::ValuesIn(kHooks),
                         [](const auto& info) { return std::string(info.param.name); });

// A board switched during a recording is said in the file, and the automatic
// script the new board runs is sourced, in that order.
TEST_F(RecordedSession, BoardSwitchAndAutomaticScriptAreWritten) {
    const std::string record = root + "/switch.tcl";
    const std::string autoScript = root + "/auto.tcl";
    std::ofstream(autoScript) << "KVX_COMMAND {RW -A3 -W8 -D1}\n";
    {
        SettingsStore store;
        store.WriteBool(kSetup, "AUTO_TCL", true);
        store.WriteString(kSetup, "AUTO_TCL_NAME", autoScript);
    }
    StartPanel("", record);
    boards::BoardOptions sim;
    sim.board = "sim";
    ASSERT_TRUE(window->SwitchBoard(sim));
    app::StopRecording();
    const std::string script = ReadFile(record);
    const std::size_t changed = script.find("\n# board: changed to sim;");
    const std::size_t sourced = script.find("\nsource {" + autoScript + "}\n");
    EXPECT_NE(changed, std::string::npos) << script;
    EXPECT_NE(sourced, std::string::npos) << script;
    EXPECT_LT(changed, sourced) << script;
}

// `--record` records from the first action: the automatic script the
// start-up runs is the recording's first line after the header.
TEST_F(RecordedSession, RecordingFromTheStartHoldsTheStartUpsWork) {
    const std::string record = root + "/start.tcl";
    const std::string autoScript = root + "/auto.tcl";
    std::ofstream(autoScript) << "KVX_COMMAND {RW -A3 -W8 -D1}\n";
    {
        SettingsStore store;
        store.WriteBool(kSetup, "AUTO_TCL", true);
        store.WriteString(kSetup, "AUTO_TCL_NAME", autoScript);
    }
    StartPanel("", record, true);
    app::StopRecording();
    const std::string script = ReadFile(record);
    EXPECT_NE(script.find("\nsource {" + autoScript + "}\n"), std::string::npos) << script;
}

TEST_F(RecordedSession, RefusesTheRunningScriptAndFilesThatAreNoFiles) {
    const std::string script = root + "/running.tcl";
    std::ofstream(script) << "TPRINT hello\n";
    fs::create_directories(root + "/folder");
    script::SetRunningScript(script);
    for (const std::string& path : {script, root + "/folder", std::string("/dev/null"),
                                    root + "/no folder/x.tcl"}) {
        std::string why;
        EXPECT_EQ(script::SessionRecorder::Start(path, "sim", why), nullptr) << path;
        EXPECT_FALSE(why.empty()) << path;
    }
    script::SetRunningScript("");
    EXPECT_EQ(ReadFile(script), "TPRINT hello\n");
}

}  // namespace
}  // namespace quillon::test
