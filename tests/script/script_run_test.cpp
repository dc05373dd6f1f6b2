// Scripts through the real quillon-run binary against the simulated board:
// the .tcl files under tcl/ check outcomes, variables, files and the wire
// trace themselves; this driver checks what only the caller sees (exit
// status, standard output and error, the capture file, the log).

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/fresh_home.h"

namespace {

namespace fs = std::filesystem;

struct RunResult {
    int exitCode = -1;
    std::string out, err;
    qint64 pid = 0;
};

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class ScriptRun : public ::testing::Test {
  protected:
    void SetUp() override {
        work_ = fs::path(home_.root()) / "work";
        fs::create_directories(work_);
        trace_ = (fs::path(home_.root()) / "trace.txt").string();
    }

    // quillon-run with `args`, started in the work folder; never waits forever.
    // `shell` runs it through bash -c with "$@" standing for the call.
    RunResult Exec(const std::vector<std::string>& args, int limitMs = 120000,
                   const std::string& shell = {}) {
        QProcess p;
        p.setProgram(QUILLON_RUN);
        QStringList list;
        for (const std::string& a : args) list << QString::fromStdString(a);
        if (!shell.empty()) {
            list.prepend(QUILLON_RUN);
            list.prepend("bash");
            list.prepend(QString::fromStdString(shell));
            list.prepend("-c");
            p.setProgram("bash");
        }
        p.setArguments(list);
        p.setWorkingDirectory(QString::fromStdString(work_.string()));
        p.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        p.start();
        RunResult r;
        r.pid = p.processId();
        if (!p.waitForFinished(limitMs)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "quillon-run did not finish";
            return r;
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput().toStdString();
        r.err = p.readAllStandardError().toStdString();
        return r;
    }

    // quillon-run with `args`: once `ready` shows in its output or its trace,
    // `signal` is sent (with `again`, every 200 ms until it ends). Bounded waits,
    // never a deadline the program must meet.
    RunResult Interrupt(const std::vector<std::string>& args, const std::string& ready, int signal,
                        bool again = false) {
        QProcess p;
        p.setProgram(QUILLON_RUN);
        QStringList list;
        for (const std::string& a : args) list << QString::fromStdString(a);
        p.setArguments(list);
        p.setWorkingDirectory(QString::fromStdString(work_.string()));
        p.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        p.start();
        RunResult r;
        if (!p.waitForStarted()) {
            ADD_FAILURE() << "quillon-run did not start";
            return r;
        }
        r.pid = p.processId();
        const auto giveUp = [&](const char* why) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << why << "\n" << r.out << p.readAllStandardError().toStdString();
            return r;
        };
        QDeadlineTimer start(60000);
        while (!Contains(r.out, ready) && !Contains(ReadFile(trace_), ready)) {
            if (start.hasExpired() || p.state() != QProcess::Running) return giveUp("never ready");
            p.waitForReadyRead(20);
            r.out += p.readAllStandardOutput().toStdString();
        }
        ::kill(static_cast<pid_t>(r.pid), signal);
        QDeadlineTimer end(10000);
        while (!p.waitForFinished(200)) {
            if (end.hasExpired()) return giveUp("still running after the signal");
            if (again) ::kill(static_cast<pid_t>(r.pid), signal);
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out += p.readAllStandardOutput().toStdString();
        r.err = p.readAllStandardError().toStdString();
        return r;
    }

    // A script of tests/script/tcl on the sim with the trace (written line by
    // line: the scripts read it as they go), optionally a profile.
    RunResult Script(const std::string& name, const std::string& profile = {},
                     const std::string& extra = {}) {
        std::vector<std::string> args = {"--board", "sim", "--trace", trace_, "--trace-sync"};
        if (!profile.empty()) {
            const fs::path pf = fs::path(home_.root()) / "profile.txt";
            WriteFile(pf, profile);
            args.insert(args.end(), {"--sim-profile", pf.string()});
        }
        args.push_back(std::string(QUILLON_TCL_DIR) + "/" + name);
        args.push_back(trace_);
        if (!extra.empty()) args.push_back(extra);
        return Exec(args);
    }

    // An inline script in the work folder, on the sim.
    RunResult Inline(const std::string& text, std::vector<std::string> extra = {}) {
        WriteFile(work_ / "inline.tcl", text);
        std::vector<std::string> args = {"--board", "sim", "inline.tcl"};
        args.insert(args.end(), extra.begin(), extra.end());
        return Exec(args);
    }

    // Where this run's puts went.
    std::string CaptureOf(const RunResult& r) const {
        return ReadFile(fs::path(home_.root()) / "run" /
                        ("quillon-run-" + std::to_string(r.pid) + "-stdout.txt"));
    }

    std::string LogText() const {
        std::string all;
        for (const auto& e : fs::directory_iterator(home_.logFolder())) all += ReadFile(e.path());
        return all;
    }

    quillon::test::FreshHome home_;
    fs::path work_;
    std::string trace_;
};

void ExpectPassed(const RunResult& r, const std::string& marker) {
    EXPECT_EQ(r.exitCode, 0) << r.err << r.out;
    EXPECT_TRUE(Contains(r.out, marker)) << r.out;
}

TEST_F(ScriptRun, RegisterMacros) {
    ExpectPassed(Script("registers.tcl"), "registers ok");
}

TEST_F(ScriptRun, IoMacrosAndWait) {
    ExpectPassed(Script("io.tcl"), "io ok");
}

TEST_F(ScriptRun, DispatcherAnswersAndTheLogComesBack) {
    ExpectPassed(Script("dispatch.tcl"), "log back on");
}

TEST_F(ScriptRun, MemoryMacrosWorkInTheCallersDirectory) {
    RunResult r = Script("memory.tcl");
    ExpectPassed(r, "memory ok");
    // Relative names resolved where quillon-run was started, not in the log folder.
    EXPECT_EQ(fs::file_size(work_ / "out.bin"), 256u);
    EXPECT_TRUE(fs::exists(work_ / "back.bin"));
    EXPECT_FALSE(fs::exists(fs::path(home_.logFolder()) / "out.bin"));
    // MW with a missing file: its name, then "ERROR", as lines on standard error.
    const auto name = r.err.find("not-there.bin");
    ASSERT_NE(name, std::string::npos) << r.err;
    EXPECT_NE(r.err.find("ERROR", name), std::string::npos) << r.err;
}

TEST_F(ScriptRun, ConfigureLoadsAndReportsTheBoardsVerdictSoftly) {
    ExpectPassed(Script("configure.tcl", {}, "1"), "configure ok");
    ExpectPassed(Script("configure.tcl", "config_status = 1\n", "0"), "configure ok");
}

TEST_F(ScriptRun, FailedBulkReadLeavesFilesAlone) {
    ExpectPassed(Script("mr_fault.tcl", "unplug_after_bulk_bytes = 1\n"), "mr fault ok");
}

TEST_F(ScriptRun, SilentI2cDeviceIsSoft) {
    ExpectPassed(Script("i2c_fault.tcl", "i2c_status_zero = true\n"), "i2c fault ok");
}

TEST_F(ScriptRun, FailedMacroStopsTheScriptWithStatus1) {
    RunResult r = Inline("TPRINT before\nKVX_COMMAND {RW -W12}\nTPRINT after\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.substr(0, 2), "0\n") << r.err;
    EXPECT_TRUE(Contains(r.err, "line 2")) << r.err;
    EXPECT_TRUE(Contains(r.out, "】 before\n"));
    EXPECT_TRUE(Contains(r.out, "】 0\n")) << r.out;  // logged as the page logs it
    EXPECT_FALSE(Contains(r.out, "after"));
    EXPECT_FALSE(Contains(r.out, "実行終了"));
    EXPECT_TRUE(Contains(LogText(), "】 0\n"));
}

TEST_F(ScriptRun, TclErrorGoesToStandardError) {
    RunResult r = Inline("TPRINT start\nno_such_command 1\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "invalid command name \"no_such_command\"")) << r.err;
}

// Each run has a capture of its own: the panel's stdout.txt beside it is left
// alone, and a capture nothing was written to does not stay behind.
TEST_F(ScriptRun, PutsGoesOnlyToTheRunsOwnCaptureFile) {
    const fs::path panelCapture = fs::path(home_.root()) / "run" / "stdout.txt";
    WriteFile(panelCapture, "the panel's\r");
    RunResult r = Inline("puts \"captured ﾃｽﾄ\"\nputs two\nTPRINT \"logged\" ignored\n");
    ExpectPassed(r, "】 logged\n");
    EXPECT_FALSE(Contains(r.out, "captured"));
    EXPECT_FALSE(Contains(r.out, "ignored"));
    EXPECT_FALSE(Contains(LogText(), "captured"));
    EXPECT_EQ(CaptureOf(r), "captured ﾃｽﾄ\rtwo\r");
    EXPECT_EQ(ReadFile(panelCapture), "the panel's\r");

    RunResult quiet = Inline("TPRINT quiet\n");
    ExpectPassed(quiet, "】 quiet\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(home_.root()) / "run"),
                            fs::directory_iterator()),
              2);  // the panel's and the first run's
}

TEST_F(ScriptRun, ScriptClosingStdoutEndsCleanly) {
    RunResult r = Inline("puts a\nclose stdout\nTPRINT closed\n");
    ExpectPassed(r, "】 closed\n");
    EXPECT_EQ(CaptureOf(r), "a\r");
}

TEST_F(ScriptRun, ScriptsAreReadAsUtf8WhateverTheLocale) {
    qputenv("LC_ALL", "C");
    RunResult r = Inline("TPRINT \"日本語ﾃｽﾄ\"\n");
    qunsetenv("LC_ALL");
    ExpectPassed(r, "】 日本語ﾃｽﾄ\n");
}

TEST_F(ScriptRun, ArgumentsReachTheScript) {
    RunResult r =
        Inline("TPRINT \"$argc|$argv|$argv0\"\nexit 7\n", {"one", "two words", "--board"});
    EXPECT_EQ(r.exitCode, 7);
    EXPECT_TRUE(Contains(r.out, "】 3|one {two words} --board|inline.tcl\n")) << r.out;
}

TEST_F(ScriptRun, StartAndEndLinesAsThePageWritesThem) {
    RunResult r = Inline("TPRINT mid\n");
    ExpectPassed(r, "USB OPEN!!");
    const auto start = r.out.find("-------- TCLｽｸﾘﾌﾟﾄ実行開始 --------");
    const auto file = r.out.find("TCLｽｸﾘﾌﾟﾄﾌｧｲﾙ：");
    const auto mid = r.out.find("】 mid");
    const auto end = r.out.find("-------- TCLｽｸﾘﾌﾟﾄ実行終了 --------");
    ASSERT_NE(end, std::string::npos) << r.out;
    EXPECT_LT(start, file);
    EXPECT_LT(file, mid);
    EXPECT_LT(mid, end);
    EXPECT_EQ(r.out, LogText());
}

// The examples a newcomer runs first keep working.
TEST_F(ScriptRun, ExamplesRunAgainstTheSim) {
    RunResult r = Exec({"--board", "sim", std::string(QUILLON_EXAMPLES_DIR) + "/selftest.tcl"});
    ExpectPassed(r, "passed, 0 failed");
    ExpectPassed(Exec({"--board", "sim", std::string(QUILLON_EXAMPLES_DIR) + "/i2c_gpio.tcl"}),
                 "EEPROM 10..13: 11 22 33 44");
    ExpectPassed(Exec({"--board", "sim", std::string(QUILLON_EXAMPLES_DIR) + "/memory_dump.tcl",
                       "200", "d.bin", "16"}),
                 "(512 bytes)");
    EXPECT_EQ(fs::file_size(work_ / "d.bin"), 512u);
}

// File names reach the file system as the script wrote them in UTF-8; a NUL
// inside one (which would cut the name short) is refused with a reason, and
// nothing is created.
TEST_F(ScriptRun, MacroFileNamesAreWholeUtf8AndANulIsRefused) {
    RunResult r = Inline(
        "set r [catch {KVX_COMMAND \"MR -L10 -Fx\\0y\"} msg]\n"
        "TPRINT \"nul $r $msg\"\n"
        "TPRINT $::errorInfo\n"
        "KVX_COMMAND \"MR -L10 -F\u00e9t\u00e9.bin\"\n"
        "KVX_COMMAND \"MR -L10 -F\xf0\x9f\x98\x80.bin\"\n");
    ExpectPassed(r, "】 nul 1 0\n");
    EXPECT_TRUE(Contains(r.out, "holds a NUL byte")) << r.out;
    EXPECT_FALSE(fs::exists(work_ / "x"));
    EXPECT_EQ(fs::file_size(work_ / "\xc3\xa9t\xc3\xa9.bin"), 16u);
    EXPECT_EQ(fs::file_size(work_ / "\xf0\x9f\x98\x80.bin"), 16u);
}

// The runner keeps the start directory for the script's own file commands:
// after a macro (and a log line) it is back there, even after a "cd"; a macro's
// relative name resolves there in any case.
TEST_F(ScriptRun, StartDirectoryComesBackAfterMacrosAndCd) {
    fs::create_directories(work_ / "sub");
    RunResult r = Inline(
        "cd sub\n"
        "KVX_COMMAND {MR -L10 -Fby-macro.bin}\n"
        "close [open after-macro.txt w]\n"
        "cd sub\n"
        "TPRINT moved\n"
        "close [open after-log.txt w]\n");
    ExpectPassed(r, "】 moved\n");
    for (const char* name : {"by-macro.bin", "after-macro.txt", "after-log.txt"}) {
        EXPECT_TRUE(fs::exists(work_ / name)) << name;
        EXPECT_FALSE(fs::exists(work_ / "sub" / name)) << name;
    }
}

// The gathered trace is whole when the run ends, also by "exit"; a trace that
// could not be written turns a good run into status 4, with the reason.
TEST_F(ScriptRun, TraceIsWholeAtTheEndAndItsLossIsStatus4) {
    WriteFile(work_ / "rr.tcl", "KVX_COMMAND {RR -A1}\nKVX_COMMAND {RW -A2 -D5}\n");
    WriteFile(work_ / "rr-exit.tcl", "KVX_COMMAND {RR -A1}\nexit 0\n");
    for (const char* script : {"rr.tcl", "rr-exit.tcl"}) {
        ExpectPassed(Exec({"--board", "sim", "--trace", trace_, script}), "");
        const std::string trace = ReadFile(trace_);
        EXPECT_TRUE(Contains(trace, "CTRL bm=C0 req=B0 val=0001 ")) << script << trace;
        if (std::string(script) == "rr.tcl") {
            EXPECT_TRUE(Contains(trace, "CTRL bm=40 req=B0 val=0002 "));
        }
    }
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    for (const char* script : {"rr.tcl", "rr-exit.tcl"}) {
        RunResult r = Exec({"--board", "sim", "--trace", "/dev/full", script});
        EXPECT_EQ(r.exitCode, 4) << script << r.err;
        EXPECT_TRUE(Contains(r.err, "/dev/full")) << r.err;
    }
    // A script that failed keeps its own status.
    WriteFile(work_ / "bad.tcl", "KVX_COMMAND {RR -A1}\nKVX_COMMAND {RW -W12}\n");
    EXPECT_EQ(Exec({"--board", "sim", "--trace", "/dev/full", "bad.tcl"}).exitCode, 1);
}

// What is not a regular file (a FIFO nobody writes, a folder, an endless
// device) is refused at once with its name and the reason, wherever a file is
// read: the script, the sim's profile, the macros' files. Each run has a time
// limit, so a run that waits fails here instead of holding the suite.
TEST_F(ScriptRun, SpecialFilesAreRefusedAtOnce) {
    ASSERT_EQ(::mkfifo((work_ / "fifo").c_str(), 0600), 0);
    fs::create_directories(work_ / "dir");
    WriteFile(work_ / "good.bin", "good");
    WriteFile(work_ / "ok.tcl", "TPRINT ran\n");
    WriteFile(work_ / "big.profile", std::string(2 << 20, '#'));
    constexpr int kLimit = 30000;

    for (const char* script : {"fifo", "dir", "/dev/zero"}) {
        RunResult r = Exec({"--board", "sim", script}, kLimit);
        EXPECT_EQ(r.exitCode, 2) << script << r.err;
        EXPECT_TRUE(Contains(r.err, "is not a regular file")) << r.err;
    }
    for (const std::string profile : {"fifo", "dir", "/dev/zero", "big.profile"}) {
        RunResult r = Exec({"--board", "sim", "--sim-profile", profile, "ok.tcl"}, kLimit);
        EXPECT_EQ(r.exitCode, 2) << profile << r.err;
        EXPECT_TRUE(Contains(r.err, "the sim profile " + profile + " is ")) << r.err;
        EXPECT_FALSE(Contains(r.out, "ran"));
    }
    EXPECT_TRUE(Contains(Exec({"--board", "sim", "--sim-profile", "big.profile", "ok.tcl"}).err,
                         "is larger than 1 MiB"));
    // The trace is written, not read: a FIFO without a reader is refused too.
    RunResult trace = Exec({"--board", "sim", "--trace", "fifo", "ok.tcl"}, kLimit);
    EXPECT_EQ(trace.exitCode, 2) << trace.err;
    EXPECT_TRUE(Contains(trace.err, "a FIFO without a reader")) << trace.err;

    WriteFile(work_ / "macros.tcl",
              "foreach m {{MW -L1000 -Ffifo} {FC -Sfifo -Dgood.bin} {FC -Sgood.bin -Ddir}\n"
              "           {UC -Ffifo} {MW -L10 -Fdir} {MW -L10 -F/dev/zero}} {\n"
              "    set r [catch {KVX_COMMAND $m} answer]\n"
              "    regexp {refused: ([^)]*)} $::errorInfo -> why\n"
              "    TPRINT \"$m => $r $answer: $why\"\n"
              "}\n");
    RunResult r = Exec({"--board", "sim", "--trace", trace_, "macros.tcl"}, kLimit);
    ExpectPassed(r, "");
    for (const char* line : {"MW -L1000 -Ffifo => 1 0: MW: fifo is not a regular file",
                             "FC -Sfifo -Dgood.bin => 1 0: FC: fifo is not a regular file",
                             "FC -Sgood.bin -Ddir => 1 0: FC: dir is not a regular file",
                             "UC -Ffifo => 1 0: UC: fifo is not a regular file",
                             "MW -L10 -Fdir => 1 0: MW: dir is not a regular file",
                             "MW -L10 -F/dev/zero => 1 0: MW: /dev/zero is not a regular file"}) {
        EXPECT_TRUE(Contains(r.out, line)) << line << "\n" << r.out;
    }
    // Refused before anything reached the board (UC would clear the FPGA).
    EXPECT_FALSE(Contains(ReadFile(trace_), "BULK")) << ReadFile(trace_);
    EXPECT_FALSE(Contains(ReadFile(trace_), "req=B1")) << ReadFile(trace_);
}

// MR onto an existing file on a disk that fills up: the failure is reported,
// the old file is whole and nothing of the new one is left beside it. The
// file-size limit stands in for the full disk (both end the write the same way).
TEST_F(ScriptRun, ReadOntoAFullDiskLeavesTheOldFileWhole) {
    WriteFile(work_ / "keep.bin", "keep me");
    WriteFile(work_ / "full.tcl",
              "set r [catch {KVX_COMMAND {MR -L4000 -Fkeep.bin}} answer]\n"
              "regexp {refused: ([^)]*)} $::errorInfo -> why\n"
              "TPRINT \"over $r $answer: $why\"\n"
              "set r [catch {KVX_COMMAND {MR -L4000 -Fnew.bin}} answer]\n"
              "TPRINT \"new $r $answer\"\n");
    RunResult r = Exec({"--board", "sim", "full.tcl"}, 120000,
                       "trap '' XFSZ; ulimit -f 8; exec \"$@\"");
    ExpectPassed(r, "】 over 1 0: MR: the file could not be written whole\n");
    EXPECT_TRUE(Contains(r.out, "】 new 1 0\n")) << r.out;
    EXPECT_EQ(ReadFile(work_ / "keep.bin"), "keep me");
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(work_)) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"full.tcl", "keep.bin"}));
}

// A board that leaves during a macro makes the script fail; the log tells why.
TEST_F(ScriptRun, UnplugThatFailsTheScriptIsInTheLog) {
    WriteFile(work_ / "profile.txt", "unplug_after_bulk_bytes = 1\n");
    WriteFile(work_ / "unplug.tcl", "KVX_COMMAND {MR -L100 -Fout.bin}\nTPRINT after\n");
    WriteFile(work_ / "unplug-exit.tcl",
              "if {[catch {KVX_COMMAND {MR -L100 -Fout.bin}}]} { exit 5 }\n");
    for (const char* script : {"unplug.tcl", "unplug-exit.tcl"}) {
        RunResult r = Exec({"--board", "sim", "--sim-profile", "profile.txt", script});
        EXPECT_EQ(r.exitCode, std::string(script) == "unplug.tcl" ? 1 : 5) << r.err;
        EXPECT_TRUE(Contains(r.out, "】 USB CLOSE!!\n")) << script << r.out;
        EXPECT_FALSE(Contains(r.out, "after"));
        EXPECT_FALSE(fs::exists(work_ / "out.bin"));
    }
    EXPECT_TRUE(Contains(LogText(), "USB CLOSE!!"));
}

TEST_F(ScriptRun, NoBoardMeansStatus3AndNoRun) {
    WriteFile(work_ / "touch.tcl", "set f [open ran.txt w]; close $f\n");
    RunResult r = Exec({"--board", "usb", "touch.tcl"});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_TRUE(Contains(r.out, "USB NOT OPEN!!"));
    EXPECT_FALSE(fs::exists(work_ / "ran.txt"));
}

TEST_F(ScriptRun, UsageErrorsAreStatus2) {
    EXPECT_EQ(Exec({}).exitCode, 2);
    EXPECT_EQ(Exec({"--board", "sim", "missing.tcl"}).exitCode, 2);
    WriteFile(work_ / "ok.tcl", "");
    EXPECT_EQ(Exec({"--bogus", "ok.tcl"}).exitCode, 2);
    EXPECT_EQ(Exec({"--board", "moon", "ok.tcl"}).exitCode, 2);
    EXPECT_EQ(Exec({"--board"}).exitCode, 2);
    RunResult help = Exec({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(Contains(help.out, "Exit status"));
    EXPECT_TRUE(Contains(help.out, "--sim-profile"));
}

}  // namespace

namespace {

// A run stopped by a signal: the transfer in flight ends with its end command,
// no catch in the script holds the stop, the file a read was replacing stays
// as it was, and the status says which signal it was.
struct StopCase {
    const char* name;
    const char* script;
    const char* ready;  // in the output or the trace
    int signal;
    int status;
    const char* lastRequest;  // the trace's last line; "" when no request is made
};

void PrintTo(const StopCase& c, std::ostream* os) {
    *os << c.name;
}

class ScriptStop : public ScriptRun, public ::testing::WithParamInterface<StopCase> {};

constexpr const char* kReadEnd = "CTRL bm=40 req=B1 val=0000 idx=0000 len=1 -> OK 1 data=00";
constexpr const char* kReadBegun = "req=B1 val=0000 idx=0000 len=1 -> OK 1 data=80";

TEST_P(ScriptStop, EndsTheTransferKeepsTheFileAndTellsTheSignal) {
    const StopCase& c = GetParam();
    WriteFile(work_ / "profile.txt", "hang_bulk = 1\n");
    WriteFile(work_ / "out.bin", "the good old contents");
    WriteFile(work_ / "stop.tcl", std::string(c.script) + "\nTPRINT after\n");
    RunResult r = Interrupt({"--board", "sim", "--sim-profile", "profile.txt", "--trace", trace_,
                             "--trace-sync", "stop.tcl"},
                            c.ready, c.signal);
    EXPECT_EQ(r.exitCode, c.status) << r.err;
    // One line says why; no progress line and no Tcl stack off a terminal.
    EXPECT_EQ(r.err, std::string("quillon-run: stopped by ") +
                         (c.signal == SIGINT ? "SIGINT" : "SIGTERM") + "\n");
    EXPECT_FALSE(Contains(r.out, "after")) << r.out;
    EXPECT_TRUE(Contains(r.out, "】 ﾕｰｻﾞｰｷｬﾝｾﾙ\n")) << r.out;
    EXPECT_TRUE(Contains(LogText(), "ﾕｰｻﾞｰｷｬﾝｾﾙ"));
    std::string trace = ReadFile(trace_);
    while (!trace.empty() && trace.back() == '\n') trace.pop_back();
    const std::string last = trace.substr(trace.rfind('\n') + 1);
    if (*c.lastRequest)
        EXPECT_EQ(last, c.lastRequest) << trace;
    else
        EXPECT_FALSE(Contains(trace, "req=B1")) << trace;
    EXPECT_EQ(ReadFile(work_ / "out.bin"), "the good old contents");
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(work_))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"out.bin", "profile.txt", "stop.tcl"}));
}

INSTANTIATE_TEST_SUITE_P(
    Signals, ScriptStop,
    ::testing::Values(
        StopCase{"ReadThatHangsBySigint", "KVX_COMMAND {MR -L1000000 -Fout.bin}", kReadBegun, SIGINT,
                 130, kReadEnd},
        StopCase{"ReadThatHangsBySigterm", "catch {KVX_COMMAND {MR -L1000000 -Fout.bin}}",
                 kReadBegun, SIGTERM, 143, kReadEnd},
        StopCase{"TclLoopInsideCatch", "TPRINT ready\nwhile 1 { catch { while 1 { incr i } } }",
                 "】 ready\n", SIGINT, 130, ""},
        StopCase{"WaitInsideCatch",
                 "TPRINT ready\nwhile 1 { catch { KVX_COMMAND {WAIT -T1000} } }\nexit 0",
                 "】 ready\n", SIGTERM, 143, ""}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

// A configuration load runs to its end whatever is asked; one that hangs is
// ended at once by a second SIGINT.
TEST_F(ScriptRun, SecondSigintEndsAHungConfigurationLoadAtOnce) {
    WriteFile(work_ / "profile.txt", "hang_bulk = 1\n");
    WriteFile(work_ / "design.rbf", std::string(4096, '\x5a'));
    WriteFile(work_ / "load.tcl", "KVX_COMMAND {UC -Fdesign.rbf}\nTPRINT after\n");
    RunResult r = Interrupt({"--board", "sim", "--sim-profile", "profile.txt", "--trace", trace_,
                             "--trace-sync", "load.tcl"},
                            "req=B1 val=0000 idx=0000 len=1 -> OK 1 data=C0", SIGINT, true);
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_EQ(r.err, "quillon-run: stopped at once by a second SIGINT\n");
    EXPECT_FALSE(Contains(r.out, "after")) << r.out;
}

// While standard error is a terminal a transfer shows one line there, and the
// line is gone before the next log line is echoed.
TEST_F(ScriptRun, ProgressLineOnATerminalIsClearedBeforeTheNextLogLine) {
    if (!fs::exists("/usr/bin/script")) GTEST_SKIP() << "no script(1) for a terminal";
    WriteFile(work_ / "read.tcl", "KVX_COMMAND {MR -L2000000 -Fbig.bin}\nTPRINT done\n");
    RunResult tty = Exec({"--board", "sim", "read.tcl"}, 120000,
                         "exec script -qec \"$(printf '%q ' \"$@\")\" /dev/null");
    EXPECT_EQ(tty.exitCode, 0) << tty.out;
    EXPECT_TRUE(Contains(tty.out, "\r0.0 MiB / 32.0 MiB\x1b[K")) << tty.out;
    const std::size_t done = tty.out.find("】 done");
    ASSERT_NE(done, std::string::npos) << tty.out;
    const std::size_t erased = tty.out.rfind("\x1b[K", done);
    ASSERT_NE(erased, std::string::npos);
    EXPECT_EQ(tty.out.substr(erased - 1, 4), "\r\x1b[K") << tty.out;

    RunResult plain = Exec({"--board", "sim", "read.tcl"});
    EXPECT_EQ(plain.exitCode, 0);
    EXPECT_EQ(plain.err, "");
}

}  // namespace
