// Scripts through the real quillon-run binary against the simulated board:
// the .tcl files under tcl/ check outcomes, variables, files and the wire
// trace themselves; this driver checks what only the caller sees (exit
// status, the script's output on standard output, the log lines on standard
// error, the log files, the JUnit report).

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QXmlStreamReader>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/file_text.h"
#include "support/fresh_home.h"

namespace {

namespace fs = std::filesystem;

struct RunResult {
    int exitCode = -1;
    std::string out, err;
    qint64 pid = 0;
};

using quillon::test::FileText;

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
        while (!Contains(r.out, ready) && !Contains(FileText(trace_), ready)) {
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

    // An inline script in the work folder, on the sim; `options` come before
    // the script, `extra` after it.
    RunResult Inline(const std::string& text, std::vector<std::string> extra = {},
                     const std::vector<std::string>& options = {}) {
        WriteFile(work_ / "inline.tcl", text);
        std::vector<std::string> args = {"--board", "sim"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back("inline.tcl");
        args.insert(args.end(), extra.begin(), extra.end());
        return Exec(args);
    }

    // The runner's own log folder, apart from the panel's.
    fs::path RunLogFolder() const { return fs::path(home_.data()) / "Quillon7-run-logs"; }

    std::vector<fs::path> RunLogs() const {
        std::vector<fs::path> logs;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(RunLogFolder(), ec)) logs.push_back(e.path());
        std::sort(logs.begin(), logs.end());
        return logs;
    }

    std::string LogText() const {
        std::string all;
        for (const fs::path& log : RunLogs()) all += FileText(log);
        return all;
    }

    quillon::test::FreshHome home_;
    fs::path work_;
    std::string trace_;
};

// Passed, and `marker` is among the log lines on standard error.
void ExpectPassed(const RunResult& r, const std::string& marker) {
    EXPECT_EQ(r.exitCode, 0) << r.err << r.out;
    EXPECT_TRUE(Contains(r.err, marker)) << r.err;
}

// A JUnit report as a CI system reads it: attributes by element, the
// verdict of the one test case and its text.
struct Junit {
    std::string xml;
    bool wellFormed = false;
    int testcases = 0;
    std::map<std::string, std::string> suites, suite, testcase, failure, properties;
    std::string verdict;  // "failure", "error", or empty for a pass
    std::string text;
    std::string unexpected;  // elements out of their place
};

Junit ReadJunit(const std::string& path) {
    Junit j;
    j.xml = FileText(path);
    QXmlStreamReader x(QByteArray::fromStdString(j.xml));
    const auto attributes = [&x] {
        std::map<std::string, std::string> m;
        for (const auto& a : x.attributes())
            m[a.name().toString().toStdString()] = a.value().toString().toStdString();
        return m;
    };
    std::vector<std::string> open;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isEndElement()) open.pop_back();
        if (!x.isStartElement()) continue;
        const std::string name = x.name().toString().toStdString();
        const std::string parent = open.empty() ? "" : open.back();
        open.push_back(name);
        if (name == "testsuites" && parent.empty()) {
            j.suites = attributes();
        } else if (name == "testsuite" && parent == "testsuites") {
            j.suite = attributes();
        } else if (name == "properties" && parent == "testsuite") {
        } else if (name == "property" && parent == "properties") {
            auto a = attributes();
            j.properties[a["name"]] = a["value"];
        } else if (name == "testcase" && parent == "testsuite") {
            j.testcase = attributes();
            ++j.testcases;
        } else if ((name == "failure" || name == "error") && parent == "testcase") {
            j.verdict = name;
            j.failure = attributes();
            j.text = x.readElementText().toStdString();
            open.pop_back();
        } else {
            j.unexpected += name + " in " + parent + "; ";
        }
    }
    j.wellFormed = !x.hasError() && !j.suites.empty();
    return j;
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

// With --quiet standard error holds the failure alone; the log has it all.
TEST_F(ScriptRun, FailedMacroStopsTheScriptWithStatus1) {
    RunResult r = Inline("TPRINT before\nKVX_COMMAND {RW -W12}\nTPRINT after\n", {}, {"--quiet"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.substr(0, 2), "0\n") << r.err;
    EXPECT_TRUE(Contains(r.err, "line 2")) << r.err;
    EXPECT_FALSE(Contains(r.err, "】")) << r.err;
    EXPECT_EQ(r.out, "");
    const std::string log = LogText();
    EXPECT_TRUE(Contains(log, "】 before\n"));
    EXPECT_TRUE(Contains(log, "】 0\n")) << log;  // logged as the page logs it
    EXPECT_FALSE(Contains(log, "after"));
    EXPECT_FALSE(Contains(log, "実行終了"));
}

// MR into a file that cannot be made (its folder is a file, or it is a
// folder): refused before the board is asked, and with the log silent the
// cause lines still reach the user in the Tcl error information.
TEST_F(ScriptRun, UnwritableReadTargetShowsItsCauseWithTheError) {
    WriteFile(work_ / "plain.txt", "x");
    fs::create_directories(work_ / "folder");
    for (const std::string target : {"plain.txt/out.bin", "folder"}) {
        SCOPED_TRACE(target);
        RunResult r = Inline("KVX_COMMAND {MR -L100 -F" + target + "}\n", {},
                             {"--quiet", "--trace", trace_});
        EXPECT_EQ(r.exitCode, 1);
        const std::string full = (work_ / target).string();
        EXPECT_TRUE(Contains(r.err, "\n    (KVX_COMMAND refused: MR: cannot write \"" + full))
            << r.err;
        EXPECT_TRUE(Contains(r.err, "\n    (ﾌｧｲﾙ「" + full + "」: ")) << r.err;
        EXPECT_TRUE(Contains(r.err, "(file \"" + (work_ / "inline.tcl").string() + "\" line 1)"))
            << r.err;
        EXPECT_FALSE(Contains(FileText(trace_), "req=B1")) << FileText(trace_);
        EXPECT_FALSE(Contains(FileText(trace_), "BULK")) << FileText(trace_);
    }
}

TEST_F(ScriptRun, TclErrorGoesToStandardError) {
    RunResult r = Inline("TPRINT start\nno_such_command 1\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "invalid command name \"no_such_command\"")) << r.err;
}

// puts goes to standard output, never to the log; --stdout-file keeps the
// panel's kind of capture (CR line ends) where it is asked for. The panel's
// stdout.txt is left alone either way.
TEST_F(ScriptRun, PutsGoesToStandardOutputOrTheFileAsked) {
    const fs::path panelCapture = fs::path(home_.root()) / "run" / "stdout.txt";
    WriteFile(panelCapture, "the panel's\r");
    const std::string script = "puts \"captured ﾃｽﾄ\"\nputs two\nTPRINT \"logged\" ignored\n";
    RunResult r = Inline(script);
    ExpectPassed(r, "】 logged\n");
    EXPECT_EQ(r.out, "captured ﾃｽﾄ\ntwo\n");
    EXPECT_FALSE(Contains(r.err, "captured"));
    EXPECT_FALSE(Contains(r.err, "ignored"));
    EXPECT_FALSE(Contains(LogText(), "captured"));

    RunResult file = Inline(script, {}, {"--stdout-file", "cap.txt"});
    ExpectPassed(file, "】 logged\n");
    EXPECT_EQ(file.out, "");
    EXPECT_EQ(FileText(work_ / "cap.txt"), "captured ﾃｽﾄ\rtwo\r");
    EXPECT_EQ(FileText(panelCapture), "the panel's\r");
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(home_.root()) / "run"),
                            fs::directory_iterator()),
              1);  // the panel's alone
}

TEST_F(ScriptRun, ScriptClosingStdoutEndsCleanly) {
    RunResult r = Inline("puts a\nclose stdout\nTPRINT closed\n");
    ExpectPassed(r, "】 closed\n");
    EXPECT_EQ(r.out, "a\n");
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
    EXPECT_TRUE(Contains(r.err, "】 3|one {two words} --board|inline.tcl\n")) << r.err;
}

TEST_F(ScriptRun, StartAndEndLinesAsThePageWritesThem) {
    RunResult r = Inline("TPRINT mid\n");
    ExpectPassed(r, "USB OPEN!!");
    const auto start = r.err.find("-------- TCLｽｸﾘﾌﾟﾄ実行開始 --------");
    const auto file = r.err.find("TCLｽｸﾘﾌﾟﾄﾌｧｲﾙ：");
    const auto mid = r.err.find("】 mid");
    const auto end = r.err.find("-------- TCLｽｸﾘﾌﾟﾄ実行終了 --------");
    ASSERT_NE(end, std::string::npos) << r.err;
    EXPECT_LT(start, file);
    EXPECT_LT(file, mid);
    EXPECT_LT(mid, end);
    EXPECT_EQ(r.err, LogText());
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
    EXPECT_TRUE(Contains(r.err, "holds a NUL byte")) << r.err;
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

// The gathered trace is whole when the run ends, also by "exit"; a trace or a
// log that could not be written turns a good run into status 4, with the reason.
TEST_F(ScriptRun, TraceIsWholeAtTheEndAndItsLossIsStatus4) {
    WriteFile(work_ / "rr.tcl", "KVX_COMMAND {RR -A1}\nKVX_COMMAND {RW -A2 -D5}\n");
    WriteFile(work_ / "rr-exit.tcl", "KVX_COMMAND {RR -A1}\nexit 0\n");
    for (const char* script : {"rr.tcl", "rr-exit.tcl"}) {
        ExpectPassed(Exec({"--board", "sim", "--trace", trace_, script}), "");
        const std::string trace = FileText(trace_);
        EXPECT_TRUE(Contains(trace, "CTRL bm=C0 req=B0 val=0001 ")) << script << trace;
        if (std::string(script) == "rr.tcl") {
            EXPECT_TRUE(Contains(trace, "CTRL bm=40 req=B0 val=0002 "));
        }
    }
    // So is a log file the disk stops taking (the file-size limit stands in
    // for a full disk); the lines still reach standard error.
    WriteFile(work_ / "many.tcl",
              "for {set i 0} {$i < 100} {incr i} { TPRINT [string repeat x 100] }\nTPRINT last\n");
    RunResult log =
        Exec({"--board", "sim", "many.tcl"}, 120000, "trap '' XFSZ; ulimit -f 4; exec \"$@\"");
    EXPECT_EQ(log.exitCode, 4) << log.err;
    EXPECT_TRUE(Contains(log.err, "】 last\n"));
    EXPECT_TRUE(Contains(log.err, "-run-logs/RUN-")) << log.err;
    EXPECT_TRUE(Contains(log.err, " is incomplete\n")) << log.err;

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
        EXPECT_FALSE(Contains(r.err, "ran"));
    }
    EXPECT_TRUE(Contains(Exec({"--board", "sim", "--sim-profile", "big.profile", "ok.tcl"}).err,
                         "is larger than 1 MiB"));
    // The files the run writes are checked before it starts: nothing runs.
    for (const char* option : {"--log", "--junit", "--stdout-file"}) {
        for (const auto& [name, why] : {std::pair{"fifo", "is a FIFO"}, {"dir", "is a folder"},
                                        {"/dev/zero", "is a device"},
                                        {"none/x", "is in a folder that does not exist"}}) {
            RunResult r = Exec({"--board", "sim", option, name, "ok.tcl"}, kLimit);
            EXPECT_EQ(r.exitCode, 2) << option << " " << name;
            EXPECT_TRUE(Contains(r.err, std::string(" ") + name + " " + why)) << r.err;
            EXPECT_FALSE(Contains(r.err, "ran"));
        }
    }
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
        EXPECT_TRUE(Contains(r.err, line)) << line << "\n" << r.err;
    }
    // Refused before anything reached the board (UC would clear the FPGA).
    EXPECT_FALSE(Contains(FileText(trace_), "BULK")) << FileText(trace_);
    EXPECT_FALSE(Contains(FileText(trace_), "req=B1")) << FileText(trace_);
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
    EXPECT_TRUE(Contains(r.err, "】 new 1 0\n")) << r.err;
    EXPECT_EQ(FileText(work_ / "keep.bin"), "keep me");
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
        EXPECT_TRUE(Contains(r.err, "】 USB CLOSE!!\n")) << script << r.err;
        EXPECT_FALSE(Contains(r.err, "after"));
        EXPECT_FALSE(fs::exists(work_ / "out.bin"));
    }
    EXPECT_TRUE(Contains(LogText(), "USB CLOSE!!"));
}

TEST_F(ScriptRun, NoBoardMeansStatus3AndNoRun) {
    WriteFile(work_ / "touch.tcl", "set f [open ran.txt w]; close $f\n");
    RunResult r = Exec({"--board", "usb", "touch.tcl"});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_TRUE(Contains(r.err, "USB NOT OPEN!!"));
    EXPECT_FALSE(fs::exists(work_ / "ran.txt"));
}

TEST_F(ScriptRun, UsageErrorsAreStatus2) {
    EXPECT_EQ(Exec({}).exitCode, 2);
    EXPECT_EQ(Exec({"--board", "sim", "missing.tcl"}).exitCode, 2);
    WriteFile(work_ / "ok.tcl", "");
    EXPECT_EQ(Exec({"--bogus", "ok.tcl"}).exitCode, 2);
    EXPECT_EQ(Exec({"--board", "moon", "ok.tcl"}).exitCode, 2);
    EXPECT_EQ(Exec({"--board"}).exitCode, 2);
    EXPECT_EQ(Exec({"--log"}).exitCode, 2);
    EXPECT_EQ(Exec({"--junit=", "ok.tcl"}).exitCode, 2);
    RunResult help = Exec({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(Contains(help.out, "Exit status"));
    EXPECT_TRUE(Contains(help.out, "--sim-profile"));
}

}  // namespace

namespace {

// What the script prints is standard output, byte for byte, however the
// script ends (as "quillon-run s.tcl > out.txt" keeps it); the log lines go
// to standard error, or with --quiet to the log file alone.
struct OutputCase {
    const char* name;
    const char* script;
    bool quiet;
    const char* out;
    int status;
};

void PrintTo(const OutputCase& c, std::ostream* os) {
    *os << c.name;
}

class ScriptOutput : public ScriptRun, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(ScriptOutput, StandardOutputIsWhatTheScriptPrinted) {
    const OutputCase& c = GetParam();
    WriteFile(work_ / "s.tcl", c.script);
    std::vector<std::string> args = {"--board", "sim", "s.tcl"};
    if (c.quiet) args.insert(args.begin(), "--quiet");
    RunResult r = Exec(args, 120000, "\"$@\" > ../out.txt");
    EXPECT_EQ(r.exitCode, c.status) << r.err;
    EXPECT_EQ(FileText(fs::path(home_.root()) / "out.txt"), c.out);
    EXPECT_EQ(Contains(r.err, "】 USB OPEN!!\n"), !c.quiet) << r.err;
    EXPECT_TRUE(Contains(LogText(), "】 USB OPEN!!\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Puts, ScriptOutput,
    ::testing::Values(
        OutputCase{"TwoLines", "puts hello\nputs world\n", false, "hello\nworld\n", 0},
        OutputCase{"PiecesAndAFlush",
                   "puts -nonewline ﾃｽﾄ\nflush stdout\nputs -nonewline { }\nputs x\n", false,
                   "ﾃｽﾄ x\n", 0},
        OutputCase{"PartLineBeforeExit", "puts -nonewline a\nexit 3\n", false, "a", 3},
        OutputCase{"PartLineBeforeAnError", "puts -nonewline b\nerror boom\n", false, "b", 1},
        OutputCase{"QuietKeepsTheLogInItsFile", "puts q\nTPRINT logged\n", true, "q\n", 0}),
    [](const ::testing::TestParamInfo<OutputCase>& info) { return std::string(info.param.name); });

// Runs started together keep a log file each, in the runner's own folder,
// named to the millisecond with the process number; the panel's folder keeps
// what it had (its own logs, and runners' logs from before, which it counts
// as it always did) and does not grow. --log names the file instead.
TEST_F(ScriptRun, RunsSideBySideKeepALogEachApartFromThePanels) {
    fs::create_directories(home_.logFolder());
    for (const char* old : {"LOG240131093005.txt", "LOG240131093006.txt"})
        WriteFile(fs::path(home_.logFolder()) / old, "old\n");
    WriteFile(work_ / "both.tcl", "TPRINT \"run $argv\"\n");
    QProcess runs[2];
    std::map<std::string, std::string> pidToRun;
    for (int i = 0; i < 2; ++i) {
        runs[i].setWorkingDirectory(QString::fromStdString(work_.string()));
        runs[i].start(QUILLON_RUN, {"--board", "sim", "both.tcl", i == 0 ? "a" : "b"});
        ASSERT_TRUE(runs[i].waitForStarted());
        pidToRun[std::to_string(runs[i].processId())] = i == 0 ? "a" : "b";
    }
    for (QProcess& run : runs) {
        ASSERT_TRUE(run.waitForFinished(120000));
        EXPECT_EQ(run.exitCode(), 0);
    }
    const std::vector<fs::path> logs = RunLogs();
    ASSERT_EQ(logs.size(), 2u);
    const std::regex pattern(R"(RUN-\d{6}-\d{6}\.\d{3}-(\d+)\.txt)");
    for (const fs::path& log : logs) {
        std::smatch m;
        const std::string name = log.filename().string();
        ASSERT_TRUE(std::regex_match(name, m, pattern)) << name;
        ASSERT_EQ(pidToRun.count(m[1]), 1u) << name;
        EXPECT_TRUE(Contains(FileText(log), "】 run " + pidToRun[m[1]] + "\n")) << name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(home_.logFolder()), fs::directory_iterator()),
              2);

    for (int i = 0; i < 2; ++i)
        ExpectPassed(Exec({"--board", "sim", "--log", "mine.log", "both.tcl", "c"}), "");
    EXPECT_EQ(RunLogs().size(), 2u);
    const std::string mine = FileText(work_ / "mine.log");
    EXPECT_NE(mine.find("】 run c\n"), mine.rfind("】 run c\n")) << mine;  // appended
}

// Tcl's library only when asked for: without it a script has what the
// panel's scripts have, and the error says what is missing; with it clock
// and msgcat work. A library that cannot be loaded ends the run at its start.
TEST_F(ScriptRun, TclLibraryOnlyWhenAskedFor) {
    const std::string clock = "puts [clock format 0 -format %Y -gmt 1]\n";
    const std::string msgcat = "package require msgcat\nputs [msgcat::mc hello]\n";
    RunResult with = Inline(clock + msgcat, {}, {"--tcl-library"});
    EXPECT_EQ(with.exitCode, 0) << with.err;
    EXPECT_EQ(with.out, "1970\nhello\n");
    for (const auto& [script, error] :
         {std::pair{clock, "invalid command name \"::tcl::clock::format\""},
          std::pair{msgcat, "can't find package msgcat"}}) {
        RunResult without = Inline(script);
        EXPECT_EQ(without.exitCode, 1);
        EXPECT_EQ(without.out, "");
        EXPECT_TRUE(Contains(without.err, error)) << without.err;
        EXPECT_TRUE(Contains(without.err, "; --tcl-library loads it\n")) << without.err;
    }

    // A library whose init.tcl spoils the loading of any other: Tcl then
    // finds no usable one, as on a host without it.
    fs::create_directories(work_ / "lib");
    WriteFile(work_ / "lib" / "init.tcl", "rename source {}\nerror {broken library}\n");
    qputenv("TCL_LIBRARY", QByteArray::fromStdString((work_ / "lib").string()));
    RunResult broken = Inline("puts ran\n", {}, {"--tcl-library"});
    RunResult plain = Inline("puts ran\n");
    qunsetenv("TCL_LIBRARY");
    EXPECT_EQ(broken.exitCode, 2);
    EXPECT_EQ(broken.out, "");
    EXPECT_TRUE(Contains(broken.err, "quillon-run: --tcl-library: Tcl's library cannot be loaded: "
                                     "Can't find a usable init.tcl"))
        << broken.err;
    EXPECT_FALSE(Contains(broken.err, "USB OPEN!!"));
    EXPECT_EQ(plain.out, "ran\n");  // never looked for without the option
}

// --junit: one test case for the script, failed (or in error when there was
// no verdict) with the reason and the last log lines, in XML any parser takes.
struct ReportCase {
    const char* name;
    const char* script;
    const char* board;
    const char* verdict;  // "failure", "error" or "" for a pass
    const char* type;
    const char* message;  // its beginning
    int status;
};

void PrintTo(const ReportCase& c, std::ostream* os) {
    *os << c.name;
}

class JunitReport : public ScriptRun, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(JunitReport, OneTestCaseForTheScript) {
    const ReportCase& c = GetParam();
    const std::string report = home_.root() + "/reports/report.xml";
    fs::create_directories(home_.root() + "/reports");
    WriteFile(report, "an old report");
    RunResult r = Inline(c.script, {}, {"--board", c.board, "--junit", report});
    EXPECT_EQ(r.exitCode, c.status) << r.err;

    const Junit j = ReadJunit(report);
    ASSERT_TRUE(j.wellFormed) << j.xml;
    EXPECT_EQ(j.unexpected, "") << j.xml;
    EXPECT_EQ(j.testcases, 1);
    const std::string failed = std::string(c.verdict) == "failure" ? "1" : "0";
    const std::string error = std::string(c.verdict) == "error" ? "1" : "0";
    for (const auto* counts : {&j.suites, &j.suite}) {
        EXPECT_EQ(counts->at("tests"), "1");
        EXPECT_EQ(counts->at("failures"), failed);
        EXPECT_EQ(counts->at("errors"), error);
    }
    EXPECT_EQ(j.testcase.at("name"), "inline.tcl");
    EXPECT_EQ(j.testcase.at("classname"), "quillon-run");
    EXPECT_GE(std::stod(j.testcase.at("time")), 0.0);
    EXPECT_EQ(j.properties.at("exit status"), std::to_string(c.status));
    EXPECT_TRUE(fs::is_regular_file(j.properties.at("log"))) << j.xml;
    EXPECT_EQ(j.verdict, c.verdict) << j.xml;
    if (*c.verdict) {
        EXPECT_EQ(j.failure.at("type"), c.type);
        EXPECT_EQ(j.failure.at("message").rfind(c.message, 0), 0u) << j.failure.at("message");
        // The last log lines follow the reason.
        EXPECT_TRUE(Contains(j.text, "Last log lines:\n【")) << j.text;
        EXPECT_TRUE(Contains(j.text, std::string(c.board) == "sim" ? "】 USB OPEN!!\n"
                                                                    : "】 USB NOT OPEN!!\n"));
    }
    // Written beside and renamed into place: nothing else is left there.
    EXPECT_EQ(std::distance(fs::directory_iterator(home_.root() + "/reports"),
                            fs::directory_iterator()),
              1);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, JunitReport,
    ::testing::Values(
        ReportCase{"Passed", "TPRINT fine\n", "sim", "", "", "", 0},
        ReportCase{"FailedMacro", "TPRINT before\nKVX_COMMAND {RW -W12}\n", "sim", "failure",
                   "TclError", "line 2: KVX_COMMAND refused: RW: ", 1},
        // Markup, a control character and Tcl's NUL reach the report as text.
        ReportCase{"MarkupInTheError", "error \"a<b & \\\"c\\\" \\x01 nul\\0\"\n", "sim", "failure",
                   "TclError", "line 1: a<b & \"c\" \xEF\xBF\xBD nul\xEF\xBF\xBD", 1},
        ReportCase{"ExitWithAStatus", "puts x\nexit 5\n", "sim", "failure", "exit",
                   "the script ended with exit 5", 5},
        ReportCase{"NoBoard", "TPRINT never\n", "usb", "error", "no board",
                   "no board could be opened", 3}),
    [](const ::testing::TestParamInfo<ReportCase>& info) { return std::string(info.param.name); });

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
    const std::string report = home_.root() + "/report.xml";
    RunResult r = Interrupt({"--board", "sim", "--sim-profile", "profile.txt", "--trace", trace_,
                             "--trace-sync", "--quiet", "--junit", report, "stop.tcl"},
                            c.ready, c.signal);
    EXPECT_EQ(r.exitCode, c.status) << r.err;
    const std::string name = c.signal == SIGINT ? "SIGINT" : "SIGTERM";
    // One line says why; no progress line and no Tcl stack off a terminal.
    EXPECT_EQ(r.err, "quillon-run: stopped by " + name + "\n");
    // What the script printed before the stop is out.
    EXPECT_EQ(r.out, std::string(c.ready) == "ready\n" ? "ready\n" : "");
    EXPECT_FALSE(Contains(LogText(), "after"));
    EXPECT_TRUE(Contains(LogText(), "】 ﾕｰｻﾞｰｷｬﾝｾﾙ\n"));
    const Junit junit = ReadJunit(report);
    EXPECT_EQ(junit.failure.at("message"), "stopped by " + name) << junit.xml;
    EXPECT_TRUE(Contains(junit.text, "ﾕｰｻﾞｰｷｬﾝｾﾙ")) << junit.xml;
    std::string trace = FileText(trace_);
    while (!trace.empty() && trace.back() == '\n') trace.pop_back();
    const std::string last = trace.substr(trace.rfind('\n') + 1);
    if (*c.lastRequest)
        EXPECT_EQ(last, c.lastRequest) << trace;
    else
        EXPECT_FALSE(Contains(trace, "req=B1")) << trace;
    EXPECT_EQ(FileText(work_ / "out.bin"), "the good old contents");
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
        StopCase{"TclLoopInsideCatch", "puts ready\nwhile 1 { catch { while 1 { incr i } } }",
                 "ready\n", SIGINT, 130, ""},
        StopCase{"WaitInsideCatch",
                 "puts ready\nwhile 1 { catch { KVX_COMMAND {WAIT -T1000} } }\nexit 0",
                 "ready\n", SIGTERM, 143, ""}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

// A configuration load runs to its end whatever is asked; one that hangs is
// ended at once by a second SIGINT.
TEST_F(ScriptRun, SecondSigintEndsAHungConfigurationLoadAtOnce) {
    WriteFile(work_ / "profile.txt", "hang_bulk = 1\n");
    WriteFile(work_ / "design.rbf", std::string(4096, '\x5a'));
    WriteFile(work_ / "load.tcl", "KVX_COMMAND {UC -Fdesign.rbf}\nTPRINT after\n");
    RunResult r = Interrupt({"--board", "sim", "--sim-profile", "profile.txt", "--trace", trace_,
                             "--trace-sync", "--quiet", "load.tcl"},
                            "req=B1 val=0000 idx=0000 len=1 -> OK 1 data=C0", SIGINT, true);
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_EQ(r.err, "quillon-run: stopped at once by a second SIGINT\n");
    EXPECT_FALSE(Contains(LogText(), "after"));
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

    RunResult plain = Exec({"--board", "sim", "--quiet", "read.tcl"});
    EXPECT_EQ(plain.exitCode, 0);
    EXPECT_EQ(plain.err, "");
}

}  // namespace
