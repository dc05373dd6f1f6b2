// The causes, hints and log lines of the layers below the panel, with the
// English catalogue installed and without it: without it (quillon-run, the
// Python module, every other test) the Japanese comes out byte for byte as
// it always has; with it the same text reads whole in English, the parts put
// in (paths, numbers, libusb's names) left exactly as given.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTranslator>
#include <functional>

#include "features/reporter.h"
#include "link/usb_cause.h"
#include "log/log_file.h"
#include "platform/cause.h"
#include "script/session_recorder.h"
#include "script/tcl_host.h"
#include "support/fresh_home.h"

namespace quillon {
namespace {

bool HoldsJapanese(const std::string& text) {
    static const QRegularExpression japanese(
        QString::fromUtf8("[\u3000-\u30ff\u3400-\u4dbf\u4e00-\u9fff\uff00-\uffef]"));
    return QString::fromStdString(text).contains(japanese);
}

// The catalogue in and out of the process, test by test.
class Catalogue {
  public:
    static void Use(bool english) {
        static int argc = 1;
        static char name[] = "lang_lower_tests";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
        static QTranslator* translator = [] {
            auto* t = new QTranslator(&app);
            EXPECT_TRUE(t->load(QString::fromUtf8(QUILLON_EN_QM))) << QUILLON_EN_QM;
            return t;
        }();
        if (english)
            QCoreApplication::installTranslator(translator);
        else
            QCoreApplication::removeTranslator(translator);
    }
};

struct Case {
    const char* name;
    std::function<std::string()> text;
    std::string japanese;
    std::string english;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

// The text a cause function leaves in the slot.
std::function<std::string()> Left(std::function<void()> note) {
    return [note] {
        ClearCause();
        note();
        return TakeCause().value_or("(none)");
    };
}

class InBothLanguages : public ::testing::TestWithParam<Case> {};

TEST_P(InBothLanguages, JapaneseAsBeforeAndEnglishWhole) {
    const Case& c = GetParam();
    Catalogue::Use(false);
    EXPECT_EQ(c.text(), c.japanese);
    Catalogue::Use(true);
    const std::string english = c.text();
    Catalogue::Use(false);
    EXPECT_EQ(english, c.english);
    EXPECT_FALSE(HoldsJapanese(english)) << english;
}

INSTANTIATE_TEST_SUITE_P(
    Causes, InBothLanguages,
    ::testing::Values(
        Case{"UsbTimeout", [] { return link::UsbCauseText(link::UsbError::Timeout, -7); },
             "USBのﾀｲﾑｱｳﾄ [LIBUSB_ERROR_TIMEOUT] → ﾎﾞｰﾄﾞが時間内に応答しませんでした。FPGAの"
             "ﾃﾞｻﾞｲﾝがﾃﾞｰﾀを受け渡しているか確認して下さい",
             "USB time-out [LIBUSB_ERROR_TIMEOUT] → The board did not answer in time. Check that "
             "the FPGA design sends and takes the data"},
        // A code that does not fit the error: the error's own words.
        Case{"UsbStallNumberedOtherwise",
             [] { return link::UsbCauseText(link::UsbError::Stall, -7); },
             "ｽﾄｰﾙ [LIBUSB_ERROR_PIPE] → ﾎﾞｰﾄﾞが要求を受け付けませんでした。FPGAが"
             "ｺﾝﾌｨｸﾞﾚｰｼｮﾝされているか確認して下さい",
             "Stall [LIBUSB_ERROR_PIPE] → The board refused the request. Check that the FPGA is "
             "configured"},
        Case{"UsbNoHint", [] { return link::UsbCauseText(link::UsbError::Io, -99); },
             "USBのｴﾗｰ [LIBUSB_ERROR_OTHER]", "USB error [LIBUSB_ERROR_OTHER]"},
        Case{"WrongCount", Left([] { link::NoteWrongCount(510, 512); }),
             "ﾎﾞｰﾄﾞとの転送ﾊﾞｲﾄ数が違います(510/512ﾊﾞｲﾄ)",
             "Wrong number of bytes moved with the board (510/512 bytes)"},
        Case{"NoBoard", Left([] { link::NoteNoBoard(); }), "ﾎﾞｰﾄﾞが接続されていません",
             "No board is connected"},
        // A path that holds a %1 of its own keeps it.
        Case{"FileCause", [] { return FileCause("/tmp/%2 100%1.bin", "No space left on device"); },
             "ﾌｧｲﾙ「/tmp/%2 100%1.bin」: No space left on device",
             "File \"/tmp/%2 100%1.bin\": No space left on device"},
        Case{"Folder", [] { return NotRegularFileCause("/tmp", true); }, "ﾌｧｲﾙ「/tmp」: ﾌｫﾙﾀﾞです",
             "File \"/tmp\": it is a folder"},
        Case{"Fifo", [] { return NotRegularFileCause("/tmp/p", false); },
             "ﾌｧｲﾙ「/tmp/p」: 通常のﾌｧｲﾙではありません(FIFO、ﾃﾞﾊﾞｲｽ等)",
             "File \"/tmp/p\": not a regular file (FIFO, device, ...)"},
        Case{"NotHex", [] { return NotHexCause("Data Write", "1G"); },
             "Data Write: 「1G」は16進数ではありません", "Data Write: \"1G\" is not a hex number"},
        Case{"TooManyDigits", [] { return NotHexCause("Address", "0123456789", 8); },
             "Address: 「0123456789」は8桁を超えています",
             "Address: \"0123456789\" has more than 8 digits"},
        Case{"NoValue", [] { return NotIntegerCause("Count", ""); }, "Count: 値がありません",
             "Count: no value"},
        Case{"NotInteger", [] { return NotIntegerCause("Count", "1.5"); },
             "Count: 「1.5」は整数ではありません", "Count: \"1.5\" is not an integer"},
        Case{"OutOfRange", [] { return OutOfRangeCause("Register", "16384", 0, 16383); },
             "Register: 「16384」は範囲外です(0～16383)",
             "Register: \"16384\" is out of range (0 to 16383)"},
        Case{"RecordIntoRunningScript",
             [] {
                 script::SetRunningScript("/tmp/running.tcl");
                 std::string why;
                 script::SessionRecorder::Start("/tmp/running.tcl", "sim", why);
                 script::SetRunningScript("");
                 return why;
             },
             "実行中のｽｸﾘﾌﾟﾄには記録できません。",
             "Cannot record into the script that is running."}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

class LineReporter : public features::Reporter {
  public:
    void Log(std::string_view text) override { lines.emplace_back(text); }
    std::vector<std::string> lines;
};

// The lines a script run writes to the log, in English; the script's own
// output and path as they are.
TEST(TclHostInEnglish, SaysWhyItCannotRunAndLogsTheRunFrame) {
    test::FreshHome home;
    LogFile::ResetForTest();
    LineReporter reporter;
    // The one interpreter of the process is not made yet.
    ASSERT_FALSE(script::TclHost::Ready());
    Catalogue::Use(false);
    EXPECT_EQ(script::TclHost::Result(), "TCLの初期化に失敗しました。");
    Catalogue::Use(true);
    EXPECT_EQ(script::TclHost::Result(), "Tcl initialization failed.");
    ASSERT_TRUE(script::TclHost::Init(reporter));
    const std::string path = home.root() + "/ok ｽｸﾘﾌﾟﾄ.tcl";
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_TRUE(f);
    std::fputs("TPRINT ﾃｽﾄ\n", f);
    std::fclose(f);

    EXPECT_FALSE(script::TclHost::RunLogged(path).failed);
    EXPECT_EQ(reporter.lines, (std::vector<std::string>{"-------- Tcl script started --------",
                                                        "Tcl script file: " + path, "ﾃｽﾄ",
                                                        "-------- Tcl script finished --------"}));
    reporter.lines.clear();
    script::TclHost::RunAutoScript(home.root() + "/missing.tcl");
    script::TclHost::RunAutoScript(path);
    Catalogue::Use(false);
    ASSERT_EQ(reporter.lines.size(), 4u);
    EXPECT_EQ(reporter.lines[0], "Auto Tcl script failed (no file)");
    EXPECT_EQ(reporter.lines[2], "AUTO TCL[" + path + "]");
    EXPECT_EQ(reporter.lines[3].rfind(" → Auto Tcl run time: ", 0), 0u) << reporter.lines[3];
    EXPECT_EQ(reporter.lines[3].substr(reporter.lines[3].size() - 3), " ms");
    script::TclHost::SetReporter(features::DefaultReporter());
}

}  // namespace
}  // namespace quillon
