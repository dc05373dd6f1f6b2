// The "TCLｽｸﾘﾌﾟﾄ" page in a small frame of the test's own: runs from the page,
// the automatic-script menu item, the start-up run and the board controls.

#include "app/pages/tcl_page.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/qt_prompter.h"
#include "app/startup_hooks.h"
#include "log/log_file.h"
#include "platform/settings_store.h"
#include "script/tcl_host.h"
#include "support/fresh_home.h"

namespace quillon::app {
namespace {

namespace fs = std::filesystem;

void EnsureApp() {
    static int argc = 1;
    static char name[] = "tcl_page_test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
}

struct Message {
    std::string text;
    MsgIcon icon;
    bool operator==(const Message&) const = default;
};

class RecordingReporter : public features::Reporter {
  public:
    void Log(std::string_view text) override {
        logged.emplace_back(text);
        features::Reporter::Log(text);
    }
    MsgAnswer Message(const std::string& text, MsgIcon icon, MsgButtons) override {
        messages.push_back({text, icon});
        return MsgAnswer::Ok;
    }
    void Pump() override {
        if (onPump) onPump();
    }
    std::vector<std::string> logged;
    std::vector<struct Message> messages;
    std::function<void()> onPump;
};

class Frame : public PageContext {
  public:
    Frame() {
        n9.setObjectName("N9");
        n9.setCheckable(true);
    }
    void SetStatus(const QString&) override {}
    void RegisterBoardControl(QWidget* control, std::function<bool(bool)> rule) override {
        controls.push_back({control, std::move(rule)});
        Apply();
    }
    void RegisterBoardAction(QAction*) override {}
    void RefreshBoardControls() override { Apply(); }
    bool BoardOpen() const override { return open; }
    features::Reporter& reporter() override { return rec; }
    QAction* MenuAction(const char* name) override {
        return std::string(name) == "N9" ? &n9 : nullptr;
    }
    QTimer* Timer(int) override { return nullptr; }
    QWidget* PageWidget(int) override { return nullptr; }
    bool RunLong(const LongWorkOptions&, const std::function<void()>& work) override {
        work();
        return true;
    }

    void SetBoard(bool on) {
        open = on;
        Apply();
    }
    void Apply() {
        for (auto& [w, rule] : controls) w->setEnabled(rule ? rule(open) : open);
    }

    bool open = true;
    QAction n9;
    RecordingReporter rec;
    std::vector<std::pair<QWidget*, std::function<bool(bool)>>> controls;
};

// The application exists before the first widget or action.
struct AppFirst {
    AppFirst() { EnsureApp(); }
};

class TclPageTest : public ::testing::Test, public AppFirst {
  protected:
    void SetUp() override {
        LogFile::ResetForTest();
        ASSERT_TRUE(LogFile::Open());
        prompter_.setHeadless(true);
        SetPrompter(&prompter_);
        Hooks() = {};
        page_ = std::make_unique<TclPage>(frame_);
        if (Hooks().tclInit) Hooks().tclInit();
        ASSERT_TRUE(script::TclHost::Ready());
    }
    void TearDown() override {
        page_.reset();
        Hooks() = {};
        SetPrompter(nullptr);
    }
    template <typename T>
    T* Find(const char* name) {
        T* w = page_->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    std::string Script(const std::string& name, const std::string& text) {
        const fs::path p = fs::path(home_.root()) / name;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }
    void Press(const char* name) { Find<QPushButton>(name)->click(); }
    QString Text(const char* name) { return Find<QLabel>(name)->text(); }

    test::FreshHome home_;
    QtPrompter prompter_;
    Frame frame_;
    std::unique_ptr<TclPage> page_;
};

TEST_F(TclPageTest, RunFromThePageKeepsGlobalsForTheNextRun) {
    const std::string first = Script("first.tcl", "set ::kept 41\nTPRINT first\n");
    Find<QLineEdit>("LabeledEdit1")->setText(QString::fromStdString(first));
    // While the script runs (TPRINT pumps), the page's buttons are off.
    bool buttonsOff = false;
    frame_.rec.onPump = [&] {
        buttonsOff = !Find<QPushButton>("Button23")->isEnabled() &&
                     !Find<QPushButton>("Button24")->isEnabled() &&
                     !Find<QPushButton>("Button25")->isEnabled() &&
                     Text("ScriptStatus") == "Executing ... ";
    };
    Press("Button24");
    EXPECT_TRUE(buttonsOff);
    EXPECT_EQ(Text("ScriptStatus"), "Successfully!!");
    EXPECT_TRUE(Text("ScriptTime").endsWith("ms"));
    EXPECT_TRUE(Find<QPushButton>("Button24")->isEnabled());
    EXPECT_EQ(frame_.rec.logged, (std::vector<std::string>{"-------- TCLｽｸﾘﾌﾟﾄ実行開始 --------",
                                                           "TCLｽｸﾘﾌﾟﾄﾌｧｲﾙ：" + first, "first",
                                                           "-------- TCLｽｸﾘﾌﾟﾄ実行終了 --------"}));

    const std::string second = Script("second.tcl", "incr ::kept\n");
    Find<QLineEdit>("LabeledEdit1")->setText(QString::fromStdString(second));
    Press("Button24");
    EXPECT_EQ(script::TclHost::Variable("kept"), "42");
    EXPECT_TRUE(frame_.rec.messages.empty());
}

TEST_F(TclPageTest, FailedRunLogsTheResultAndShowsTheBox) {
    const std::string bad = Script("bad.tcl", "KVX_COMMAND {RW -W12}\n");
    Find<QLineEdit>("LabeledEdit1")->setText(QString::fromStdString(bad));
    Press("Button24");
    const std::string why = "line 1: KVX_COMMAND refused: RW: the width must be 8, 16, 32 or 64";
    EXPECT_EQ(frame_.rec.logged.back(), why);
    EXPECT_EQ(frame_.rec.logged.end()[-2], "0");
    EXPECT_EQ(frame_.rec.messages,
              (std::vector<Message>{{"TCLｽｸﾘﾌﾟﾄ実行に失敗しました。\n" + why, MsgIcon::Error}}));
    EXPECT_EQ(Text("ScriptStatus"), "Executing ... ");
    EXPECT_EQ(Text("ScriptTime"), "-");
    EXPECT_TRUE(Find<QPushButton>("Button24")->isEnabled());
}

// A relative name goes to the folder of the last chosen script; a name that
// is no script (the default "*.tcl") is refused before anything runs.
TEST_F(TclPageTest, RelativeNameResolvesAndAPatternIsRefused) {
    const std::string script = Script("rel.tcl", "TPRINT rel\n");
    SettingsStore().WriteString(kSetup, "TclFileDir", home_.root());
    Find<QLineEdit>("LabeledEdit1")->setText("rel.tcl");
    Press("Button24");
    ASSERT_GE(frame_.rec.logged.size(), 2u);
    EXPECT_EQ(frame_.rec.logged[1], "TCLｽｸﾘﾌﾟﾄﾌｧｲﾙ：" + script);
    EXPECT_EQ(Text("ScriptStatus"), "Successfully!!");

    frame_.rec.logged.clear();
    Find<QLineEdit>("LabeledEdit1")->setText("*.tcl");
    Press("Button24");
    EXPECT_TRUE(frame_.rec.logged.empty());
    EXPECT_EQ(frame_.rec.messages,
              (std::vector<Message>{{"TCLｽｸﾘﾌﾟﾄ実行に失敗しました。\nﾌｧｲﾙ：" + home_.root() +
                                         "/*.tcl\nﾜｲﾙﾄﾞｶｰﾄﾞ(*や?)を含む名前はﾌｧｲﾙ名ではありません。",
                                     MsgIcon::Error}}));
    EXPECT_EQ(Text("ScriptStatus"), "Successfully!!");  // the last run's, untouched
}

TEST_F(TclPageTest, FileSelectionStoresNameAndFolder) {
    const std::string chosen = Script("pick.tcl", "");
    prompter_.setNextFileName(chosen);
    Press("Button23");
    EXPECT_EQ(Find<QLineEdit>("LabeledEdit1")->text().toStdString(), chosen);
    SettingsStore store;
    EXPECT_EQ(store.ReadString(kSetup, "TclFileName", ""), chosen);
    EXPECT_EQ(store.ReadString(kSetup, "TclFileDir", ""), home_.root());
    ASSERT_FALSE(prompter_.asked().empty());
    EXPECT_EQ(prompter_.asked().back().text, "TCLﾌｧｲﾙを選択してください。");
    // Cancel changes nothing.
    prompter_.setNextFileName(std::nullopt);
    Find<QLineEdit>("LabeledEdit1")->setText("typed.tcl");
    Press("Button23");
    EXPECT_EQ(Find<QLineEdit>("LabeledEdit1")->text(), "typed.tcl");
    EXPECT_EQ(SettingsStore().ReadString(kSetup, "TclFileName", ""), chosen);
}

TEST_F(TclPageTest, OpenNamesAMissingFileOrAMissingProgram) {
    Find<QLineEdit>("LabeledEdit1")->setText("/nonexistent/x.tcl");
    Press("Button25");
    const std::string there = Script("there.tcl", "");
    Find<QLineEdit>("LabeledEdit1")->setText(QString::fromStdString(there));
    prompter_.setNextOpenResult(false);
    Press("Button25");
    EXPECT_EQ(frame_.rec.messages,
              (std::vector<Message>{{"ﾌｧｲﾙがありません。", MsgIcon::Warning},
                                    {"関連付けされたｱﾌﾟﾘｹｰｼｮﾝはありません。", MsgIcon::Warning}}));
}

TEST_F(TclPageTest, AutoScriptItemSetsShowsAndClears) {
    auto* notice = Find<QLabel>("AutoTclNotice");
    auto* name = Find<QLabel>("AutoTclName");
    const std::string path = Script("auto.tcl", "");
    prompter_.setNextFileName(path);
    frame_.n9.trigger();  // as a click: the handler decides the new state
    EXPECT_TRUE(frame_.n9.isChecked());
    EXPECT_FALSE(notice->isHidden());
    EXPECT_FALSE(name->isHidden());
    EXPECT_EQ(name->text().toStdString(), path);
    SettingsStore store;
    EXPECT_TRUE(store.ReadBool(kSetup, "AUTO_TCL", false));
    EXPECT_EQ(store.ReadString(kSetup, "AUTO_TCL_NAME", ""), path);
    EXPECT_EQ(store.ReadString(kSetup, "AUTO_TCL_DIR", ""), home_.root());

    page_->N9Click();
    EXPECT_FALSE(frame_.n9.isChecked());
    EXPECT_TRUE(notice->isHidden());
    EXPECT_EQ(name->text(), "-");
    EXPECT_FALSE(SettingsStore().ReadBool(kSetup, "AUTO_TCL", true));

    // On, then the dialog cancelled: the item stays on with the old name.
    prompter_.setNextFileName(std::nullopt);
    page_->N9Click();
    EXPECT_TRUE(frame_.n9.isChecked());
    EXPECT_TRUE(SettingsStore().ReadBool(kSetup, "AUTO_TCL", false));
    EXPECT_EQ(SettingsStore().ReadString(kSetup, "AUTO_TCL_NAME", ""), path);
    EXPECT_EQ(name->text(), "-");
}

TEST_F(TclPageTest, RestoreShowsTheStoredState) {
    {
        SettingsStore store;
        store.WriteString(kSetup, "TclFileName", "/scripts/run.tcl");
        store.WriteBool(kSetup, "AUTO_TCL", true);
        store.WriteString(kSetup, "AUTO_TCL_NAME", "/a/b/c.tcl");
    }
    page_->RestoreUiState(SettingsStore());
    EXPECT_EQ(Find<QLineEdit>("LabeledEdit1")->text(), "/scripts/run.tcl");
    EXPECT_TRUE(frame_.n9.isChecked());
    EXPECT_FALSE(Find<QLabel>("AutoTclNotice")->isHidden());
    EXPECT_EQ(Text("AutoTclName"), "/a/b/c.tcl");
    SettingsStore().WriteBool(kSetup, "AUTO_TCL", false);
    page_->RestoreUiState(SettingsStore());
    EXPECT_TRUE(Find<QLabel>("AutoTclNotice")->isHidden());
    EXPECT_EQ(Text("AutoTclName"), "-");
}

TEST_F(TclPageTest, StartUpRunReportsOnThePage) {
    SettingsStore().WriteString(kSetup, "AUTO_TCL_NAME", Script("ok.tcl", "set x 1\n"));
    ASSERT_TRUE(Hooks().autoScript);
    Hooks().autoScript();
    EXPECT_EQ(Text("ScriptStatus"), "Successfully!!");
    EXPECT_TRUE(Text("ScriptTime").endsWith("ms"));
    const std::string bad = Script("bad.tcl", "error boom\n");
    SettingsStore().WriteString(kSetup, "AUTO_TCL_NAME", bad);
    Hooks().autoScript();
    EXPECT_EQ(Text("ScriptStatus"), "Failed!!");
    EXPECT_EQ(frame_.rec.logged.end()[-2], "ｵｰﾄｺTCLｽｸﾘﾌﾟﾄ失敗 → " + bad);
    EXPECT_EQ(frame_.rec.logged.back(), "line 1: boom");
    EXPECT_TRUE(frame_.rec.messages.empty());
}

TEST_F(TclPageTest, ControlsFollowTheBoard) {
    frame_.SetBoard(false);
    for (const char* n : {"Button23", "Button24", "Button25"})
        EXPECT_FALSE(Find<QPushButton>(n)->isEnabled()) << n;
    EXPECT_FALSE(Find<QLineEdit>("LabeledEdit1")->isEnabled());
    frame_.SetBoard(true);
    EXPECT_TRUE(Find<QPushButton>("Button24")->isEnabled());
}

TEST(ShortenPath, KeepsRootAndFileNameAndFits) {
    EnsureApp();
    QFont font;
    font.setPixelSize(12);
    QFontMetrics fm(font);
    const QString shortOne = "/a/b.tcl";
    EXPECT_EQ(ShortenPath(shortOne, fm, 390), shortOne);
    QString longOne = "/home/user";
    for (int i = 0; i < 20; ++i) longOne += QString("/folder%1").arg(i);
    longOne += "/script.tcl";
    const QString s = ShortenPath(longOne, fm, 390);
    EXPECT_LE(fm.horizontalAdvance(s), 390);
    EXPECT_TRUE(s.startsWith("/..."));
    EXPECT_TRUE(s.endsWith("/folder19/script.tcl"));
}

}  // namespace
}  // namespace quillon::app
