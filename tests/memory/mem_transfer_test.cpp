// Memory write and read against the simulated board: what the board received
// or gave, the files produced, and what the user was shown.

#include "features/memory/mem_transfer.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>

#include "features/busy_gate.h"
#include "features/memory/file_stream.h"
#include "platform/cause.h"
#include "support/as_user.h"
#include "support/feature_support.h"
#include "support/file_text.h"

namespace quillon::test {
namespace {

using features::MemTransferRequest;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

constexpr std::uint64_t MiB = 1 << 20;

struct RecordingView : features::MemTransferView {
    void ShowSplit() override { events.push_back("show"); }
    void HideSplit() override { events.push_back("hide"); }
    void SplitSize(const std::string& t) override { size = t; }
    void SplitPiece(const std::string& c, const std::string& b) override {
        pieces.push_back(c + " " + b);
    }
    void SetButtonEnabled(bool on) override { events.push_back(on ? "button on" : "button off"); }
    std::vector<std::string> events, pieces;
    std::string size;
};

std::vector<std::uint8_t> Random(std::size_t n, unsigned seed = 1) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> v(n);
    for (auto& b : v) b = static_cast<std::uint8_t>(rng());
    return v;
}

using quillon::test::FileBytes;

// The log without the rate line, whose figures depend on the machine.
Lines Steady(Lines logs) {
    std::erase_if(logs, [](const std::string& l) { return l.starts_with(" → 転送時間"); });
    return logs;
}

features::DiskQueries Disk(std::uint64_t free = 1ull << 40, std::string fs = "ext4") {
    features::DiskQueries d;
    d.freeSpace = [free](const std::string&) { return std::optional<std::uint64_t>(free); };
    d.fileSystem = [fs](const std::string&) { return fs; };
    return d;
}

class MemTransfer : public ::testing::Test, public SimBoardFixture {
  protected:
    MemTransferRequest Req(const std::string& path, const std::string& length, bool split) {
        MemTransferRequest r;
        r.path = path;
        r.lengthText = length;
        r.split = split;
        return r;
    }
    bool Write(const MemTransferRequest& r) {
        return features::MemWriteRun(link::CurrentBoard(), r, rec, view);
    }
    bool Read(const MemTransferRequest& r, features::DiskQueries disk = Disk()) {
        return features::MemReadRun(link::CurrentBoard(), r, rec, view, disk);
    }
    std::vector<std::uint8_t> Memory(std::size_t n) { return board().ReadMemory(0, 0, n); }
    std::string Path(const std::string& name) { return home().root() + "/" + name; }

    LogRecordingReporter rec;
    RecordingView view;
};

TEST_F(MemTransfer, ShortFileIsZeroFilledInANormalWriteAndFailsASplitOne) {
    const auto data = Random(100);
    const std::string path = File("short.bin", data);
    board().WriteMemory(0, 0, std::vector<std::uint8_t>(512, 0xEE));

    ASSERT_TRUE(Write(Req(path, "200", false)));
    auto expected = data;
    expected.resize(512, 0);
    EXPECT_EQ(Memory(512), expected);
    EXPECT_EQ(Order(), (Lines{"B1:C0", "BULK:512", "B1:40"}));
    EXPECT_EQ(Steady(rec.Logs()),
              (Lines{"ﾃﾞｰﾀﾌｧｲﾙより設定されている転送ﾚﾝｸﾞｽが大きいのでﾗｲﾄﾃﾞｰﾀの後半は｢0｣で埋められま"
                     "す。",
                     "Normal Memory Write[SCRAMBLE OFF]", " → FileName：[" + path + "]"}));
    EXPECT_EQ(view.events, (Lines{"button off", "button on"}));
    EXPECT_EQ(rec.shown.front().kind, Shown::Busy);
    EXPECT_EQ(rec.shown.front().text, "Processing for MemWrite ...");
    EXPECT_EQ(rec.shown.back().kind, Shown::BusyHide);

    rec.Clear();
    view.events.clear();
    EXPECT_FALSE(Write(Req(path, "200", true)));
    const std::string shortFile = FileCause(path, "転送ﾚﾝｸﾞｽより短いﾌｧｲﾙです");
    EXPECT_EQ(rec.Logs(), (Lines{"ﾒﾓﾘﾗｲﾄに失敗しました。", shortFile}));
    EXPECT_EQ(rec.Boxes(), std::vector<Shown>{Warning("ﾒﾓﾘﾗｲﾄに失敗しました。", shortFile)});
    EXPECT_EQ(view.events, (Lines{"show", "hide"}));
}

TEST_F(MemTransfer, SplitWriteSendsWholePiecesAndShowsThem) {
    const auto data = Random(6 * MiB);
    const std::string path = File("six.bin", data);
    ASSERT_TRUE(Write(Req(path, "600000", true)));
    EXPECT_EQ(view.size, "6291456 Bytes");
    EXPECT_EQ(view.pieces, (Lines{"0/3 0 MiBytes", "1/3 2 MiBytes", "2/3 4 MiBytes"}));
    EXPECT_EQ(Order(),
              (Lines{"B1:C0", "BULK:2097152", "BULK:2097152", "BULK:2097152", "B1:40"}));
    EXPECT_EQ(Memory(data.size()), data);
    EXPECT_EQ(Steady(rec.Logs()),
              (Lines{"Split Memory Write[SCRAMBLE OFF]", " → FileName：[" + path + "]"}));

    // Exactly one piece's length goes as a rest: no piece labels.
    view.pieces.clear();
    wire().clear();
    ASSERT_TRUE(Write(Req(path, "200000", true)));
    EXPECT_TRUE(view.pieces.empty());
    EXPECT_EQ(Order(), (Lines{"B1:C0", "BULK:2097152", "B1:40"}));
}

TEST_F(MemTransfer, CancelStopsAfterTheNextWholePiece) {
    const auto data = Random(10 * MiB);
    const std::string path = File("ten.bin", data);
    board().WriteMemory(0, 0, std::vector<std::uint8_t>(10 * MiB, 0xEE));
    // The press is served in the event pass after piece 1.
    rec.onPump = [&] {
        if (view.pieces.size() == 2) features::RequestSplitCancel();
    };
    ASSERT_TRUE(Write(Req(path, "A00000", true)));
    EXPECT_EQ(Steady(rec.Logs()),
              (Lines{"ﾕｰｻﾞｰｷｬﾝｾﾙ", "転送回数:[3]", "Split Memory Write[SCRAMBLE OFF]",
                     " → FileName：[" + path + "]"}));
    const auto logs = rec.Logs();
    EXPECT_TRUE(logs.back().ends_with("転送ﾊﾞｲﾄ数 6291456 Byte ") ||
                logs.back() == " → 転送時間が｢0ms｣なので計算できませんでした。")
        << logs.back();
    const auto memory = Memory(10 * MiB);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 6 * MiB, memory.begin()));
    EXPECT_EQ(memory[6 * MiB], 0xEE);
    EXPECT_EQ(Order().back(), "B1:40");  // the end command follows a cancel
    EXPECT_TRUE(features::SplitCancelRequested());

    // A press served after the last whole piece does not stop the rest.
    rec.Clear();
    const std::string longer = File("longer.bin", Random(6 * MiB + 512));
    rec.onPump = [&] {
        if (view.pieces.size() == 3) features::RequestSplitCancel();
    };
    view.pieces.clear();
    ASSERT_TRUE(Write(Req(longer, "600200", true)));
    EXPECT_EQ(Steady(rec.Logs()),
              (Lines{"Split Memory Write[SCRAMBLE OFF]", " → FileName：[" + longer + "]"}));
}

TEST_F(MemTransfer, CancelledSplitReadKeepsWhatArrived) {
    const auto data = Random(10 * MiB);
    board().WriteMemory(0, 0, data);
    rec.onPump = [&] {
        if (view.pieces.size() == 1) features::RequestSplitCancel();
    };
    const std::string out = Path("dump.bin");
    ASSERT_TRUE(Read(Req(out, "A00000", true)));
    EXPECT_EQ(Steady(rec.Logs()),
              (Lines{"ﾕｰｻﾞｰｷｬﾝｾﾙ", "転送回数:[2]", "Split Memory Read[SCRAMBLE OFF]",
                     " → FileName：[" + out + "]"}));
    EXPECT_EQ(FileBytes(out), std::vector<std::uint8_t>(data.begin(), data.begin() + 4 * MiB));
    EXPECT_EQ(Order().back(), "B1:00");
}

// A cancel whose end command then fails is a failed read: the file that was
// there stays, and the board's refusal is in the log.
TEST_F(MemTransfer, CancelledSplitReadWhoseEndFailsKeepsTheOldFile) {
    const std::string out = File("keep.bin", {'k', 'e', 'e', 'p'});
    rec.onPump = [&] {
        if (view.pieces.size() != 1) return;
        features::RequestSplitCancel();
        FailNextRequest();  // the read end command
    };
    EXPECT_FALSE(Read(Req(out, "600000", true)));
    EXPECT_EQ(Steady(rec.Logs()),
              (Lines{"MC", "0", "0", "1", "ﾒﾓﾘﾘｰﾄﾞに失敗しました。", kIoCause}));
    EXPECT_EQ(FileBytes(out), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
    for (const auto& e : fs::directory_iterator(home().root()))
        EXPECT_EQ(e.path().string().find(".part-"), std::string::npos) << e.path();
}

TEST_F(MemTransfer, ScrambleOnTheWayInAndOut) {
    const std::vector<std::uint8_t> plain = {0x00, 0xFF, 0x12, 0x34};
    const std::vector<std::uint8_t> scrambled = {0xAA, 0x55, 0xB8, 0x9E};
    auto file = plain;
    file.resize(512, 0);
    const std::string path = File("plain.bin", file);
    for (bool split : {false, true}) {
        SCOPED_TRACE(split ? "split" : "normal");
        board().WriteMemory(0, 0, std::vector<std::uint8_t>(512, 0));
        auto req = Req(path, "200", split);
        req.scramble = true;
        rec.Clear();
        ASSERT_TRUE(Write(req));
        EXPECT_EQ(Memory(4), scrambled);
        EXPECT_EQ(rec.Logs().front(),
                  split ? "Split Memory Write[SCRAMBLE ON]" : "Normal Memory Write[SCRAMBLE ON]");

        const std::string out = Path(split ? "back-split.bin" : "back.bin");
        auto back = Req(out, "200", split);
        back.scramble = true;
        ASSERT_TRUE(Read(back));
        EXPECT_EQ(FileBytes(out), file);
    }
}

TEST_F(MemTransfer, WriteRefusesBadInputBeforeAnyRequest) {
    const std::string path = File("ok.bin", Random(512));
    struct Case {
        std::string path, length;
        bool split;
        std::string log, box;
        MsgIcon icon;
        std::string cause = {};
    } cases[] = {
        {Path("missing.bin"), "200", true, "ﾒﾓﾘﾗｲﾄに失敗しました。(ﾌｧｲﾙ無し)",
         "指定されたﾌｧｲﾙは存在しません。\nﾌｧｲﾙ：" + Path("missing.bin") + "\nﾌｧｲﾙがありません。",
         MsgIcon::Error},
        {path, "xyz", true, "ﾒﾓﾘﾗｲﾄに失敗しました。(転送ｻｲｽﾞ不明)",
         "転送ｻｲｽﾞをHEX値で指定して下さい。", MsgIcon::Error,
         "転送ﾚﾝｸﾞｽ: 「xyz」は16進数ではありません"},
        {path, "0", true, "ﾒﾓﾘﾗｲﾄに失敗しました。(転送ｻｲｽﾞｴﾗｰ)",
         "転送ｻｲｽﾞが0ﾊﾞｲﾄ、又は512ﾊﾞｲﾄの整数倍ではありません。", MsgIcon::Error},
        {path, "201", false, "ﾒﾓﾘﾗｲﾄに失敗しました。(転送ｻｲｽﾞｴﾗｰ)",
         "転送ｻｲｽﾞが0ﾊﾞｲﾄ、又は512ﾊﾞｲﾄの整数倍ではありません。", MsgIcon::Error},
        {path, "100000000", false, "4GiB以上は分割ﾒﾓﾘ転送を使用して下さい。",
         "4GiB以上は分割ﾒﾓﾘ転送を使用して下さい。", MsgIcon::Warning},
    };
    for (const Case& c : cases) {
        rec.Clear();
        EXPECT_FALSE(Write(Req(c.path, c.length, c.split)));
        const Lines logs = c.cause.empty() ? Lines{c.log} : Lines{c.log, c.cause};
        EXPECT_EQ(rec.Logs(), logs) << c.length;
        const std::string box = c.cause.empty() ? c.box : c.box + "\n" + c.cause;
        EXPECT_EQ(rec.Boxes(), (std::vector<Shown>{{Shown::Box, box, c.icon}}));
    }
    EXPECT_TRUE(wire().empty());
    // The longest normal length passes the checks (and fails without a board).
    Unplug();
    rec.Clear();
    EXPECT_FALSE(Write(Req(path, "FFFFFE00", false)));
    const Lines logs = rec.Logs();
    EXPECT_EQ(Lines(logs.end() - 3, logs.end()),
              (Lines{"1", "ﾒﾓﾘﾗｲﾄに失敗しました。", link::kNoBoardCause}));
}

TEST_F(MemTransfer, ReadChecksTheDiskFirst) {
    const std::string out = Path("out.bin");
    int fsAsked = 0;
    auto disk = Disk(0x200);
    EXPECT_FALSE(Read(Req(out, "200", false), disk));
    EXPECT_EQ(rec.Logs(), Lines{"HDDの空き容量が足りません。"});
    // The box names the file, the folder checked and what it has.
    const std::string where = "\nﾌｧｲﾙ：" + out + "\n空き容量を調べたﾌｫﾙﾀﾞ：" + home().root();
    EXPECT_EQ(rec.Boxes(),
              std::vector<Shown>{Warning("HDDの空き容量が足りません。" + where +
                                         "\n空き容量：512 ﾊﾞｲﾄ、転送ﾚﾝｸﾞｽ：512 ﾊﾞｲﾄ")});

    // A folder whose free space cannot be told stops the read.
    rec.Clear();
    auto unknown = Disk();
    unknown.freeSpace = [](const std::string&) { return std::optional<std::uint64_t>(); };
    EXPECT_FALSE(Read(Req(out, "200", false), unknown));
    EXPECT_EQ(rec.Logs(), Lines{"HDDの空き容量が取得できませんでした"});
    EXPECT_EQ(rec.Boxes(), std::vector<Shown>{Warning("HDDの空き容量が取得できませんでした。" + where)});

    // The default "*.bin" is a pattern, not a file: refused before the disk is asked.
    rec.Clear();
    EXPECT_FALSE(Read(Req("*.bin", "200", false), unknown));
    EXPECT_EQ(rec.Logs(), Lines{"ﾒﾓﾘﾘｰﾄﾞに失敗しました。(ﾌｧｲﾙ作成ｴﾗｰ)"});
    EXPECT_EQ(rec.Boxes(), std::vector<Shown>{Warning(
                               "ﾒﾓﾘﾘｰﾄﾞに失敗しました。\nﾌｧｲﾙ：*.bin\n"
                               "ﾜｲﾙﾄﾞｶｰﾄﾞ(*や?)を含む名前はﾌｧｲﾙ名ではありません。")});

    disk = Disk(1ull << 40, "FAT32");
    disk.fileSystem = [&](const std::string&) {
        ++fsAsked;
        return std::string("FAT32");
    };
    rec.Clear();
    EXPECT_FALSE(Read(Req(out, "100000000", true), disk));
    EXPECT_EQ(rec.Logs(), Lines{"FAT32の上限ﾌｧｲﾙｻｲｽﾞを超えています。"});
    EXPECT_EQ(fsAsked, 1);
    // Below 4 GiB the file system is not asked.
    Unplug();
    EXPECT_FALSE(Read(Req(out, "FFFFFE00", false), disk));
    EXPECT_EQ(fsAsked, 1);
    rec.Clear();
    EXPECT_FALSE(Read(Req(out, "100000000", true), Disk(1ull << 40, "")));
    EXPECT_EQ(rec.Logs(), Lines{"ﾃﾞｰﾀﾄﾞﾗｲﾌﾞのﾌｫｰﾏｯﾄ種別を取得出来ませんでした。"});
    EXPECT_TRUE(wire().empty());
}

// A name MemRead cannot write, or MemWrite cannot read, is refused before
// the disk or the board is asked anything, with the full path and the reason.
TEST_F(MemTransfer, UnusableNamesAreRefusedWithThePathAndTheReason) {
    const std::string root = home().root();
    ::chmod(root.c_str(), 0755);  // an ordinary user reaches the folders below
    fs::create_directories(root + "/ro");
    ::chmod((root + "/ro").c_str(), 0555);
    fs::create_directories(root + "/dir");
    ASSERT_EQ(::mkfifo((root + "/fifo").c_str(), 0600), 0);
    const std::string noFolder = "ﾌｫﾙﾀﾞがありません：" + root + "/none";
    const std::string pattern = "ﾜｲﾙﾄﾞｶｰﾄﾞ(*や?)を含む名前はﾌｧｲﾙ名ではありません。";
    struct Case {
        std::string path, readInto, writeFrom;  // the reasons MemRead and MemWrite give
        bool absent;                            // MemWrite: "no such file"
    } cases[] = {
        {root + "/none/x.bin", noFolder, noFolder, true},
        {root + "/ro/x.bin", "ﾌｫﾙﾀﾞに書き込む権限がありません：" + root + "/ro",
         "ﾌｧｲﾙがありません。", true},
        {root + "/fifo", "ﾌｧｲﾙではなくFIFO(名前付きﾊﾟｲﾌﾟ)です。",
         "ﾌｧｲﾙではなくFIFO(名前付きﾊﾟｲﾌﾟ)です。", false},
        {root + "/dir", "ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。", "ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。", false},
        {root + "/*.bin", pattern, pattern, true},
    };
    int diskAsked = 0;
    auto disk = Disk();
    disk.freeSpace = [&](const std::string&) {
        ++diskAsked;
        return std::optional<std::uint64_t>(1ull << 40);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        RecordingReporter read, write;
        RecordingView view;
        bool ran = false;
        {
            const AsOrdinaryUser user;
            ran = features::MemReadRun(link::CurrentBoard(), Req(c.path, "200", true), read, view,
                                       disk) ||
                  features::MemWriteRun(link::CurrentBoard(), Req(c.path, "200", true), write, view);
        }
        EXPECT_FALSE(ran);
        const std::string where = "\nﾌｧｲﾙ：" + c.path + "\n";
        EXPECT_EQ(read.shown, (std::vector<Shown>{
                                  LogLine("ﾒﾓﾘﾘｰﾄﾞに失敗しました。(ﾌｧｲﾙ作成ｴﾗｰ)"),
                                  Warning("ﾒﾓﾘﾘｰﾄﾞに失敗しました。" + where + c.readInto)}));
        if (c.absent)
            EXPECT_EQ(write.shown,
                      (std::vector<Shown>{LogLine("ﾒﾓﾘﾗｲﾄに失敗しました。(ﾌｧｲﾙ無し)"),
                                          {Shown::Box,
                                           "指定されたﾌｧｲﾙは存在しません。" + where + c.writeFrom,
                                           MsgIcon::Error}}));
        else
            EXPECT_EQ(write.shown,
                      (std::vector<Shown>{
                          LogLine("ﾒﾓﾘﾗｲﾄに失敗しました。"),
                          Warning("ﾃﾞｰﾀﾌｧｲﾙがｵｰﾌﾟﾝ出来ませんでした。" + where + c.writeFrom)}));
        EXPECT_TRUE(view.events.empty());
    }
    EXPECT_EQ(diskAsked, 0);
    EXPECT_TRUE(wire().empty());
    EXPECT_FALSE(fs::exists(root + "/ro/x.bin"));
    EXPECT_FALSE(fs::exists(root + "/*.bin"));
}

// A FIFO that has a reader, or a device, takes no memory read, split or not:
// both give the same refusal at once and nothing reaches the board.
TEST_F(MemTransfer, SplitAndNormalReadRefuseAStreamAlike) {
    const std::string fifo = Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A reader waits on the FIFO: a writer's open would not fail on its own.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    for (const std::string& target : {fifo, std::string("/dev/null")}) {
        SCOPED_TRACE(target);
        std::vector<Shown> answers[2];
        for (bool split : {false, true}) {
            RecordingReporter r;
            RecordingView v;
            EXPECT_FALSE(features::MemReadRun(link::CurrentBoard(), Req(target, "200", split), r,
                                              v, Disk()));
            answers[split] = r.shown;
        }
        EXPECT_EQ(answers[0], answers[1]);
        ASSERT_FALSE(answers[0].empty());
        EXPECT_EQ(answers[0].front(), LogLine("ﾒﾓﾘﾘｰﾄﾞに失敗しました。(ﾌｧｲﾙ作成ｴﾗｰ)"));
    }
    ::close(reader);
    EXPECT_TRUE(wire().empty());
}

TEST_F(MemTransfer, FailedNormalReadLeavesTheOldFile) {
    const std::string out = File("keep.bin", {'k', 'e', 'e', 'p'});
    sim::Faults f;
    f.stallBulk = board().BulkCount() + 1;
    board().SetFaults(f);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(Read(Req(out, "200", false)));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(rec.Logs(), (Lines{"D3", "ﾒﾓﾘﾘｰﾄﾞに失敗しました。", kStallCause}));
    EXPECT_EQ(FileBytes(out), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
    // Nothing is left beside it.
    for (const auto& e : fs::directory_iterator(home().root()))
        EXPECT_EQ(e.path().string().find(".part-"), std::string::npos) << e.path();

    // So does a split read, whether its begin is refused or a piece is lost.
    rec.Clear();
    FailNextRequest();
    EXPECT_FALSE(Read(Req(out, "200", true)));
    f.stallBulk = board().BulkCount() + 2;
    board().SetFaults(f);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(Read(Req(out, "400200", true)));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(FileBytes(out), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
    for (const auto& e : fs::directory_iterator(home().root()))
        EXPECT_EQ(e.path().string().find(".part-"), std::string::npos) << e.path();
}

TEST_F(MemTransfer, FullDiskIsNeverSuccess) {
    board().WriteMemory(0, 0, Random(4 * MiB));
    // A device (here one that takes nothing) is no file: refused before the
    // board is asked anything.
    EXPECT_FALSE(Read(Req("/dev/full", "400000", true)));
    EXPECT_EQ(rec.Logs(), Lines{"ﾒﾓﾘﾘｰﾄﾞに失敗しました。(ﾌｧｲﾙ作成ｴﾗｰ)"});
    EXPECT_TRUE(wire().empty());

    // A split and a normal read that hit the file size limit: the old file stays.
    const std::string out = File("old.bin", {1, 2, 3});
    struct rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = MiB;
    auto previous = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::vector<Lines> logs;
    bool ok = false;
    for (const bool split : {true, false}) {
        rec.Clear();
        ok = ok || Read(Req(out, "400000", split));
        logs.push_back(rec.Logs());
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, previous);
    EXPECT_FALSE(ok);
    for (const Lines& l : logs)
        EXPECT_EQ(l, (Lines{"ﾒﾓﾘﾘｰﾄﾞに失敗しました。", FileErrorCause(out, EFBIG)}));
    EXPECT_EQ(FileBytes(out), (std::vector<std::uint8_t>{1, 2, 3}));
    // The split read stopped at its first piece, the normal one carried the
    // whole transfer all the same.
    EXPECT_EQ(Order(), (Lines{"B1:80", "B1:80", "B1:00"}));
}

TEST_F(MemTransfer, LengthFramingCarriesTheUnits) {
    const std::string path = File("quarter.bin", Random(0x40000));
    auto req = Req(path, "40000", false);
    req.tessera = true;
    ASSERT_TRUE(Write(req));
    ASSERT_EQ(wire().size(), 3u);
    EXPECT_EQ(wire()[0].setup.bRequest, link::vr::MEM_CMDLEN);
    EXPECT_EQ(wire()[0].setup.wValue, 0x0000);
    EXPECT_EQ(wire()[0].setup.wIndex, 0xC001);
    EXPECT_EQ(wire()[2].setup.wIndex, 0x4001);
    wire().clear();
    auto read = Req(Path("q.bin"), "40000", true);
    read.tessera = true;
    ASSERT_TRUE(Read(read));
    EXPECT_EQ(wire().front().setup.wIndex, 0x8001);
    EXPECT_EQ(wire().back().setup.wIndex, 0x0001);
}

// The board leaves at every request and every bulk transfer of a split
// write and read: each time the transfer fails the user's way and returns.
TEST(MemTransferUnplug, EveryStepOfASplitTransfer) {
    const std::uint64_t length = 6 * MiB + 512;  // begin, 3 pieces, a rest, end
    for (bool write : {true, false}) {
        for (int step = 1; step <= 6; ++step) {
            SCOPED_TRACE((write ? "write step " : "read step ") + std::to_string(step));
            SimBoardFixture f;
            const std::string path =
                write ? f.File("src.bin", Random(length)) : f.home().root() + "/dst.bin";
            sim::Faults faults;
            // Steps 1 and 6 are the memory commands, 2 to 5 the bulk transfers.
            if (step == 1 || step == 6)
                faults.unplugAtRequest = f.board().RequestCount() + (step == 1 ? 1 : 2);
            else
                faults.unplugAtBulk = f.board().BulkCount() + static_cast<std::uint64_t>(step - 1);
            f.board().SetFaults(faults);
            LogRecordingReporter rec;
            RecordingView view;
            MemTransferRequest req;
            req.path = path;
            req.lengthText = "600200";
            req.split = true;
            testing::internal::CaptureStdout();
            const bool ok = write ? features::MemWriteRun(link::CurrentBoard(), req, rec, view)
                                  : features::MemReadRun(link::CurrentBoard(), req, rec, view,
                                                         features::DiskQueries::Platform());
            testing::internal::GetCapturedStdout();
            EXPECT_FALSE(ok);
            const char* failed = write ? "ﾒﾓﾘﾗｲﾄに失敗しました。" : "ﾒﾓﾘﾘｰﾄﾞに失敗しました。";
            // Whichever step the board left at, the failure says so.
            const Lines logs = rec.Logs();
            EXPECT_EQ(Lines(logs.end() - 2, logs.end()), (Lines{failed, kRemovedCause}));
            EXPECT_EQ(rec.Boxes(), std::vector<Shown>{Warning(failed, kRemovedCause)});
            EXPECT_EQ(view.events.back(), write ? "hide" : "button on");
            EXPECT_FALSE(features::BusyGate::Busy());
        }
    }
}

// A board that leaves the bus during a transfer marks the link gone at once,
// whichever way the data travels: whoever ends the run waits for the removal
// notice instead of taking the board for present.
TEST(MemTransferUnplug, EveryTransferMarksTheLinkGone) {
    for (int way = 0; way < 4; ++way) {  // write or read, split or normal
        const bool write = way < 2;
        SimBoardFixture f;
        MemTransferRequest req;
        req.path = write ? f.File("src.bin", Random(4 * MiB)) : f.home().root() + "/dst.bin";
        req.lengthText = "400000";
        req.split = way % 2 == 0;
        SCOPED_TRACE(req.path + (req.split ? " split" : " normal"));
        sim::Faults faults;
        faults.unplugAtBulk = f.board().BulkCount() + 1;
        f.board().SetFaults(faults);
        RecordingReporter quiet;
        RecordingView view;
        testing::internal::CaptureStdout();
        EXPECT_FALSE(write ? features::MemWriteRun(link::CurrentBoard(), req, quiet, view)
                           : features::MemReadRun(link::CurrentBoard(), req, quiet, view,
                                                  features::DiskQueries::Platform()));
        testing::internal::GetCapturedStdout();
        EXPECT_TRUE(link::BoardLink::Instance().RemovalPending());
    }
}

TEST_F(MemTransfer, OneTransferAtATime) {
    const std::string path = File("six.bin", Random(6 * MiB));
    bool tried = false;
    rec.onPump = [&] {
        if (tried || view.pieces.empty()) return;
        tried = true;
        // Pressed while the split write runs: refused, nothing sent.
        const std::size_t before = wire().size();
        RecordingReporter other;
        RecordingView otherView;
        EXPECT_FALSE(features::MemReadRun(link::CurrentBoard(), Req(Path("x.bin"), "200", false),
                                          other, otherView, Disk()));
        EXPECT_EQ(other.shown, std::vector<Shown>{StatusText(features::kBusyRefusal)});
        EXPECT_EQ(wire().size(), before);
        EXPECT_EQ(features::BusyGate::Holder(), "MemWrite");
    };
    ASSERT_TRUE(Write(Req(path, "600000", true)));
    EXPECT_TRUE(tried);
    EXPECT_FALSE(features::BusyGate::Busy());
}

}  // namespace
}  // namespace quillon::test
