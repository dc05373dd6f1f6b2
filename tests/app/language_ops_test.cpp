// The operations behind the pages in English: run against the simulated
// board, each refused or failed on purpose, their log lines, boxes,
// questions, status texts and phases hold no Japanese. Part of lang_tests:
// the English catalogue, once installed, holds for the process.

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <functional>

#include "app/qt_language.h"
#include "app_test_support.h"
#include "features/board/board_info.h"
#include "features/board/supervision.h"
#include "features/busy_gate.h"
#include "features/config/auto_config.h"
#include "features/flash/ser_bridge.h"
#include "features/memory/data_view.h"
#include "features/memory/mem_transfer.h"
#include "features/registers/regex_burst.h"
#include "log/log_file.h"
#include "platform/cause.h"
#include "platform/ui_text.h"
#include "sim/sim_backend.h"

namespace quillon {
namespace {

using test::PanelTest;

bool HoldsJapanese(const std::string& text) {
    static const QRegularExpression japanese(
        QString::fromUtf8("[\u3000-\u30ff\u3400-\u4dbf\u4e00-\u9fff\uff00-\uffef]"));
    return QString::fromStdString(text).contains(japanese);
}

// Every line the log writer wrote (stamps taken off: they stay Japanese),
// every status text, and the page's phases; boxes and questions go to the
// panel's prompter.
class Seen : public features::Reporter {
  public:
    Seen() {
        LogFile::AttachEcho([this](const std::string& line) {
            const auto at = line.find("】 ");
            texts.push_back(at == std::string::npos ? line : line.substr(at + 4));
        });
    }
    ~Seen() override { LogFile::AttachEcho(nullptr); }
    void Status(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

struct NoView : features::MemTransferView {};

struct PhaseView : features::SerBridgeView {
    explicit PhaseView(std::vector<std::string>& texts) : texts_(texts) {}
    void SetProgress(int) override {}
    void SetPhase(const std::string& text) override { texts_.push_back(text); }
    void SetResult(features::RunResult) override {}
    void SetElapsed(std::optional<std::int64_t>) override {}
    void SetExecuteEnabled(bool) override {}
    void ShowLog() override {}

  private:
    std::vector<std::string>& texts_;
};

// The simulated board on the one link, in a panel test's fresh home with its
// prompter, the English catalogue installed.
class Ops : public PanelTest {
  public:
    Ops() {
        std::string problem;
        EXPECT_TRUE(app::InstallUiLanguage(*qApp, UiLanguage::English, problem)) << problem;
        link::BoardLink& bl = link::BoardLink::Instance();
        bl.ResetForTest();
        auto backend = std::make_unique<sim::SimBackend>();
        sim_ = backend.get();
        bl.SetBackend(std::move(backend));
        bl.Open();
        ClearCause();
    }
    sim::SimBoard& board() { return sim_->board(); }
    std::string Path(const std::string& name) const { return home.root() + "/" + name; }
    void Write(const std::string& name, std::size_t bytes) {
        std::FILE* f = std::fopen(Path(name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        for (std::size_t i = 0; i < bytes; ++i) std::fputc(0x5A, f);
        std::fclose(f);
    }
    // Everything shown, in one list: log lines, statuses and phases first,
    // then boxes, input captions and their prompts.
    std::vector<std::string> Shown() const {
        std::vector<std::string> all = seen.texts;
        for (const auto& a : prompter.asked()) {
            all.push_back(a.text);
            if (a.kind == app::QtPrompter::Kind::Input) all.push_back(a.caption);
        }
        return all;
    }

    Seen seen;

  private:
    sim::SimBackend* sim_ = nullptr;
};

struct Case {
    const char* name;
    std::function<void(Ops&)> run;
    // A piece of English the run must show: the catalogue was asked, not
    // just a text left out.
    const char* english;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class EnglishOperation : public ::testing::TestWithParam<Case> {};

TEST_P(EnglishOperation, ShowsNoJapanese) {
    Ops ops;
    GetParam().run(ops);
    const std::vector<std::string> shown = ops.Shown();
    ASSERT_FALSE(shown.empty());
    bool found = false;
    for (const std::string& text : shown) {
        EXPECT_FALSE(HoldsJapanese(text)) << text;
        found = found || text.find(GetParam().english) != std::string::npos;
    }
    EXPECT_TRUE(found) << GetParam().english << " in " << ::testing::PrintToString(shown);
}

const Case kCases[] = {
    {"MemReadIntoAMissingFolder",
     [](Ops& o) {
         features::MemTransferRequest req;
         req.path = o.Path("no/such/folder/dump.bin");
         req.lengthText = "200";
         req.split = false;
         NoView view;
         EXPECT_FALSE(features::MemReadRun(link::CurrentBoard(), req, o.seen, view));
     },
     "Memory read failed. (file create error)"},
    {"MemWriteOfALengthNotInBlocks",
     [](Ops& o) {
         o.Write("data.bin", 512);
         features::MemTransferRequest req;
         req.path = o.Path("data.bin");
         req.lengthText = "123";
         req.split = false;
         NoView view;
         EXPECT_FALSE(features::MemWriteRun(link::CurrentBoard(), req, o.seen, view));
     },
     "not a multiple of 512 bytes"},
    {"ExtendedRegisterOutOfRange",
     [](Ops& o) {
         features::RegExBurst out{};
         EXPECT_FALSE(features::RegExBurstRead(link::CurrentBoard(), 5000, 4, out, o.seen));
         EXPECT_FALSE(features::RegExRangeInput("zz", 0, 1023, o.seen));
     },
     "[zz] is not a valid number.\nValid numbers are 0 to 1023."},
    {"AutoConfigurationOfAMissingFile",
     [](Ops& o) {
         features::AutoConfigSettings s;
         s.path = o.Path("missing.rbf");
         features::RunAutoConfig(link::CurrentBoard(), s, o.seen);
     },
     "Auto configuration failed (no file)"},
    {"ConfigurationRefusedByTheFpga",
     [](Ops& o) {
         o.Write("design.rbf", 4096);
         sim::Faults f = o.board().GetFaults();
         f.configStatus = 0x03;
         o.board().SetFaults(f);
         features::AutoConfigSettings s;
         s.path = o.Path("design.rbf");
         features::RunAutoConfig(link::CurrentBoard(), s, o.seen);
     },
     "The FPGA did not accept the configuration data (status 03h)"},
    {"FlashRunWhileAnotherOperationRuns",
     [](Ops& o) {
         const features::BusyGate::Hold other = features::BusyGate::TryTake("MemRead");
         PhaseView view(o.seen.texts);
         EXPECT_FALSE(features::SerBridgeExecute(link::CurrentBoard(), 0, o.Path("image.bin"), view,
                                                 o.seen));
     },
     "another operation is running"},
    {"FlashRunOnADeviceNotSupported",
     [](Ops& o) {
         o.prompter.setNextAnswer(MsgAnswer::Yes);
         PhaseView view(o.seen.texts);
         EXPECT_FALSE(features::SerBridgeExecute(link::CurrentBoard(), 7, o.Path("image.bin"), view,
                                                 o.seen));
     },
     "This device is not supported."},
    {"TemperatureLimitThatIsNoInteger",
     [](Ops& o) {
         o.prompter.setNextInput("warm");
         EXPECT_FALSE(features::TempAlertChange(link::CurrentBoard(), o.seen));
     },
     "Enter an integer."},
    {"BoardInformation",
     [](Ops& o) { EXPECT_TRUE(features::BoardInfoUpdate(link::CurrentBoard(), o.seen).ok); },
     "Board information read."},
    {"TooManyLogFiles",
     [](Ops& o) {
         ASSERT_TRUE(LogFile::Open());
         o.prompter.setNextOpenResult(true);
         LogFile::CheckFolderCount(1);
     },
     "There are many log files."},
};

INSTANTIATE_TEST_SUITE_P(Cases, EnglishOperation, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

// A text built from pieces in Japanese is one format in English, whose
// numbers may stand elsewhere; the numbers themselves stay as they were.
TEST(EnglishSummary, ComparisonOfTwoFilesOfDifferentLength) {
    PanelTest t;
    std::string problem;
    ASSERT_TRUE(app::InstallUiLanguage(*qApp, UiLanguage::English, problem)) << problem;
    features::CompareResult r;
    r.ok = true;
    r.firstDifference = 0x10;
    r.differingBytes = 3;
    r.differingWords = 2;
    r.compared = 64;
    r.lengthA = 64;
    r.lengthB = 80;
    const std::string s = features::CompareSummary(r, 2);
    EXPECT_FALSE(HoldsJapanese(s)) << s;
    EXPECT_NE(s.find("differing bytes: 3"), std::string::npos) << s;
    EXPECT_NE(s.find("(16 bit): 2"), std::string::npos) << s;
    EXPECT_NE(s.find("16 bytes (64 / 80)"), std::string::npos) << s;
}

}  // namespace
}  // namespace quillon
