// The real program, started the way a user (or a check on a fresh machine) does.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <fstream>

#include "app/instance_lock.h"
#include "app_test_support.h"

namespace quillon::test {
namespace {

QProcessEnvironment PanelEnvironment(const FreshHome& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QUILLON_DIALOGS", "stderr");
    env.insert("XDG_DATA_HOME", QString::fromStdString(home.data()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(home.config()));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(home.root() + "/run"));
    return env;
}

// The texts of the newest log file, stamps removed.
std::vector<std::string> LogOf(const FreshHome& home) {
    std::vector<std::string> lines;
    std::error_code ec;
    std::filesystem::path newest;
    for (const auto& e : std::filesystem::directory_iterator(home.logFolder(), ec)) {
        if (newest.empty() || e.path() > newest) newest = e.path();
    }
    if (newest.empty()) return lines;
    std::ifstream in(newest);
    for (std::string line; std::getline(in, line);) {
        const auto at = line.find("】 ");
        lines.push_back(at == std::string::npos ? line : line.substr(at + 4));
    }
    return lines;
}

// Waits (pumping nothing; the program runs in its own process) until `done`.
template <typename F>
bool WaitFor(F done, int ms) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QThread::msleep(20);
    }
    return true;
}

TEST(Program, SecondStartIsRefusedAndTheFirstRunsOn) {
    EnsureApp();
    FreshHome home;
    QProcess first;
    first.setProcessEnvironment(PanelEnvironment(home));
    first.start(QUILLON_BIN, {"--board", "sim"});
    ASSERT_TRUE(first.waitForStarted(10000));
    // The first copy has come up once its log shows the board's state.
    ASSERT_TRUE(WaitFor(
        [&] {
            const auto lines = LogOf(home);
            return lines.size() >= 3 || first.state() == QProcess::NotRunning;
        },
        20000));
    ASSERT_EQ(first.state(), QProcess::Running) << first.readAllStandardError().toStdString();

    const auto lines = LogOf(home);
    EXPECT_TRUE(lines[0].starts_with("Brightlink Series：Quillon Application7 Ver"));
    EXPECT_TRUE(lines[1].starts_with("winusb.sys = Ver")) << lines[1];
    EXPECT_EQ(lines[2], "USB OPEN!!");

    QProcess second;
    second.setProcessEnvironment(PanelEnvironment(home));
    second.start(QUILLON_BIN, {});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 1);
    const std::string err = second.readAllStandardError().toStdString();
    EXPECT_NE(err.find("2重起動は出来ません。"), std::string::npos) << err;
    EXPECT_NE(err.find("[warning]"), std::string::npos) << err;
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    if (!first.waitForFinished(5000)) {
        first.kill();
        first.waitForFinished(5000);
    }
}

// The panel's stored settings run `text` as the automatic script at start-up.
void AutomaticScript(const FreshHome& home, const std::string& text) {
    const std::string script = home.root() + "/auto.tcl";
    std::ofstream(script) << text;
    std::filesystem::create_directories(std::filesystem::path(home.iniPath()).parent_path());
    std::ofstream(home.iniPath()) << "[SETUP]\nAUTO_TCL=1\nAUTO_TCL_NAME=" << script << "\n";
}

// Whatever a power loss or a stray command left where the lock lives, the
// panel starts (and ends through its automatic script's "exit").
TEST(Program, LeftoverLockNeverKeepsThePanelOut) {
    EnsureApp();
    FreshHome home;
    AutomaticScript(home, "exit 0\n");
    const std::filesystem::path lock = home.root() + "/run/KVX-Quillon-Panel7.lock";
    const auto leave = [&](const std::string& what) {
        std::filesystem::remove_all(lock);
        if (what == "empty") std::ofstream(lock.string());
        if (what == "garbage") std::ofstream(lock.string()) << "\x01\x02 not a pid\n\n";
        if (what == "pid of a live process") std::ofstream(lock.string()) << ::getpid() << "\n";
        if (what == "folder") std::filesystem::create_directories(lock);
        if (what == "folder with contents") std::filesystem::create_directories(lock / "x");
        if (what == "fifo") ::mkfifo(lock.c_str(), 0600);
    };
    for (const char* what : {"empty", "garbage", "pid of a live process", "folder",
                             "folder with contents", "fifo"}) {
        leave(what);
        QProcess p;
        p.setProcessEnvironment(PanelEnvironment(home));
        p.start(QUILLON_BIN, {"--board", "sim"});
        ASSERT_TRUE(p.waitForFinished(30000)) << what;
        EXPECT_EQ(p.exitCode(), 0) << what << p.readAllStandardError().toStdString();
    }
}

// A profile that is not a regular file is refused before the window comes up.
TEST(Program, SimProfileThatIsNoFileIsStatus2) {
    EnsureApp();
    FreshHome home;
    const std::string fifo = home.root() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& profile : {fifo, home.root(), std::string("/dev/zero")}) {
        QProcess p;
        p.setProcessEnvironment(PanelEnvironment(home));
        p.start(QUILLON_BIN, {"--board", "sim", "--sim-profile", QString::fromStdString(profile)});
        ASSERT_TRUE(p.waitForFinished(30000)) << profile;
        EXPECT_EQ(p.exitCode(), 2) << profile;
        const std::string err = p.readAllStandardError().toStdString();
        EXPECT_NE(err.find("the sim profile " + profile + " is not a regular file"),
                  std::string::npos)
            << err;
    }
}

TEST(Program, BadBoardOptionIsRefusedWithUsage) {
    EnsureApp();
    FreshHome home;
    QProcess p;
    p.setProcessEnvironment(PanelEnvironment(home));
    p.start(QUILLON_BIN, {"--board", "parallel-port"});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_NE(p.readAllStandardError().indexOf("usage: quillon"), -1);
}

// The panel finishes its trace on a script's "exit" too: whole in a file, and a
// trace that could not be written ends the run with status 4.
TEST(Program, TraceIsFinishedOnExitAndItsLossIsStatus4) {
    EnsureApp();
    FreshHome home;
    AutomaticScript(home, "KVX_COMMAND {RR -A1}\nexit 0\n");
    const std::string trace = home.root() + "/trace.txt";
    for (const std::string& target : {trace, std::string("/dev/full")}) {
        if (!std::filesystem::exists(target) && target == "/dev/full") continue;
        QProcess p;
        p.setProcessEnvironment(PanelEnvironment(home));
        p.start(QUILLON_BIN, {"--board", "sim", "--trace", QString::fromStdString(target)});
        ASSERT_TRUE(p.waitForFinished(30000));
        const std::string err = p.readAllStandardError().toStdString();
        if (target == trace) {
            EXPECT_EQ(p.exitCode(), 0) << err;
            std::ifstream in(trace);
            const std::string text((std::istreambuf_iterator<char>(in)), {});
            EXPECT_NE(text.find("CTRL bm=C0 req=B0 val=0001 "), std::string::npos) << text;
        } else {
            EXPECT_EQ(p.exitCode(), 4) << err;
            EXPECT_NE(err.find("/dev/full"), std::string::npos) << err;
        }
    }
}

// The board chosen in the panel is used at the next start, unless the
// command line names one; a stored choice that cannot be used falls back to
// USB and says so in the log.
TEST(Program, StoredBoardChoiceIsUsedUnlessTheCommandLineNamesOne) {
    struct Case {
        const char* board;
        const char* profile;  // "GONE": a profile that is not there any more
        QStringList args;
        std::vector<std::string> lines;  // the log's lines from the third on
    };
    const Case cases[] = {
        {"sim", "", {}, {"保存されたﾎﾞｰﾄﾞの選択を使います: sim", "USB OPEN!!"}},
        {"sim", "", {"--board", "usb"}, {"USB NOT OPEN!!"}},
        {"pci", "", {}, {"設定のBOARD｢pci｣は使えないため、USBﾎﾞｰﾄﾞを使います。", "USB NOT OPEN!!"}},
        {"sim",
         "GONE",
         {},
         {"保存されたﾎﾞｰﾄﾞの選択(sim (GONE))を使えないため、USBﾎﾞｰﾄﾞを使います", "USB NOT OPEN!!"}},
    };
    EnsureApp();
    for (const Case& c : cases) {
        FreshHome home;
        const std::string gone = home.root() + "/gone.profile";
        const std::string profile = std::string(c.profile) == "GONE" ? gone : c.profile;
        std::filesystem::create_directories(std::filesystem::path(home.iniPath()).parent_path());
        // No USB board can match, whatever is plugged into this machine.
        std::ofstream(home.iniPath()) << "[SETUP]\nUSB_IDS=FFFF:FFFF\nBOARD=" << c.board
                                      << "\nSIM_PROFILE=" << profile << "\n";
        QProcess p;
        p.setProcessEnvironment(PanelEnvironment(home));
        p.start(QUILLON_BIN, c.args);
        ASSERT_TRUE(p.waitForStarted(10000));
        ASSERT_TRUE(WaitFor(
            [&] {
                const auto lines = LogOf(home);
                return (!lines.empty() && lines.back().find("USB ") == 0) ||
                       p.state() == QProcess::NotRunning;
            },
            20000))
            << c.board;
        p.terminate();
        if (!p.waitForFinished(5000)) {
            p.kill();
            p.waitForFinished(5000);
        }
        auto lines = LogOf(home);
        ASSERT_GE(lines.size(), 2u) << p.readAllStandardError().toStdString();
        lines.erase(lines.begin(), lines.begin() + 2);
        ASSERT_EQ(lines.size(), c.lines.size()) << c.board << ": " << testing::PrintToString(lines);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::string want = c.lines[i];
            if (const auto at = want.find("GONE"); at != std::string::npos)
                want.replace(at, 4, gone);
            EXPECT_EQ(lines[i].rfind(want, 0), 0u) << lines[i];
        }
    }
}

}  // namespace
}  // namespace quillon::test
