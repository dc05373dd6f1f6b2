// The configuration page and automatic configuration in a small frame: every
// dialog answered through the seam, the board simulated, the store fresh.

#include "app/pages/config_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/mode_sel_form.h"
#include "app/startup_hooks.h"
#include "features/config/config_stream.h"
#include "features/config/fpga_load.h"
#include "platform/settings_store.h"
#include "sim/sim_board.h"
#include "support/feature_support.h"

namespace quillon::app {
namespace {

using Logs = std::vector<std::string>;

template <typename T>
T* Find(QWidget* root, const char* name) {
    T* w = root->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

QColor TextColor(QLabel* l) {
    return l->palette().color(QPalette::WindowText);
}

// The application has to exist before the frame's first widget.
struct AppFirst {
    AppFirst() { test::EnsureApp(); }
};

class ConfigPageTest : public ::testing::Test, private AppFirst, public test::SimBoardFixture {
  protected:
    // Stored keys first, then the page as the start-up restore leaves it.
    void Start(std::initializer_list<std::pair<const char*, const char*>> keys = {}) {
        {
            SettingsStore store;
            for (const auto& [k, v] : keys) store.WriteString(kSetup, k, v);
        }
        page.reset();
        frame.controls.clear();  // a new start: the frame forgets the old page's controls
        page = std::make_unique<ConfigPage>(frame);
        page->RestoreUiState(SettingsStore());
        frame.Enable(frame.BoardOpen());
    }
    std::string Stored(const char* key) { return SettingsStore().ReadString(kSetup, key, "-"); }
    QLineEdit* edit() { return Find<QLineEdit>(page.get(), "LabeledEdit1"); }
    QCheckBox* box(const char* name) { return Find<QCheckBox>(page.get(), name); }
    QLabel* label(const char* name) { return Find<QLabel>(page.get(), name); }
    QPushButton* button(const char* name) { return Find<QPushButton>(page.get(), name); }
    std::vector<test::Wire> RegisterWrites() {
        std::vector<test::Wire> w;
        for (const test::Wire& x : wire())
            if (!x.bulk && !x.setup.In() && x.setup.bRequest == link::vr::REG) w.push_back(x);
        return w;
    }

    test::QueuePrompter prompts;
    test::FakeFrame frame;
    std::unique_ptr<ConfigPage> page;
};

TEST_F(ConfigPageTest, PortModeRefusesEvenWithTheExternalBoxHidden) {
    Start({{"EXT_CFG_MODE", "PORT"}});
    ASSERT_TRUE(box("CheckBox3")->isHidden());
    edit()->setText(QString::fromStdString(File("d.rbf", {1, 2})));
    button("Button17")->click();
    const std::string text = "現在、この外部ｺﾝﾌｨｸﾞﾓｰﾄﾞはｻﾎﾟｰﾄされておりません。";
    EXPECT_EQ(frame.rec().Logs(), Logs{text});
    EXPECT_EQ(frame.rec().Boxes(),
              (std::vector<test::Shown>{{test::Shown::Box, text, MsgIcon::Error}}));
    EXPECT_TRUE(wire().empty());
    EXPECT_EQ(Stored("CONFIG_MODE"), "-");  // nothing stored
}

TEST_F(ConfigPageTest, ExternalModeBracketsTheLoadExceptInTesseraMode) {
    Start({{"EXT_CFG", "1"}, {"TESSERA_CONFIG", "1"}, {"CFG_TARGET_REG_ADRS", "16400"}});
    EXPECT_EQ(features::ConfigTargetRegister(), 16400 & 0x3FFF);
    edit()->setText(QString::fromStdString(File("d.rbf", {1, 2, 3, 4})));
    box("CheckBox3")->setChecked(true);

    button("Button17")->click();
    auto writes = RegisterWrites();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].setup.wValue, link::RegWValue(16, link::RegWidth::Bits8));
    EXPECT_EQ(writes[0].data, (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(writes[1].data, (std::vector<std::uint8_t>{0}));
    // The begin request comes after the first write, the end request before the second.
    EXPECT_EQ(wire().front().setup.bRequest, link::vr::REG);
    EXPECT_EQ(wire().back().setup.bRequest, link::vr::REG);
    EXPECT_EQ(frame.rec().Logs().front(), "ｺﾝﾌｨｸﾞﾀｰｹﾞｯﾄﾚｼﾞｽﾀｱﾄﾞﾚｽ：16");

    wire().clear();
    box("CheckBox7")->setChecked(true);
    button("Button17")->click();
    EXPECT_TRUE(RegisterWrites().empty());
    EXPECT_EQ(board().Configuration().lastStreamLength, 16u);  // Tessera Altera
    EXPECT_EQ(Stored("SUS_MODE"), "1");
}

TEST_F(ConfigPageTest, HiddenCheckedBitswapStillReversesTheStream) {
    Start({{"BITSWAP_VAL", "1"}, {"CONFIG_MODE", "1"}});
    ASSERT_TRUE(box("CheckBox5")->isHidden());
    const std::vector<std::uint8_t> file{0xA0, 0x01, 0x80};
    edit()->setText(QString::fromStdString(File("d.bin", file)));
    button("Button17")->click();
    const auto stream =
        features::ConfigStream::Build(file, {features::ConfigLayout::Standard, true, true, false});
    EXPECT_EQ(board().Configuration().lastStreamCrc32, sim::Crc32(stream->bytes()));
    EXPECT_EQ(label("Label1")->text(), "Successfully!!");
}

TEST_F(ConfigPageTest, SuccessfulLoadShowsTimeAndLogsPathAndTime) {
    Start();
    const std::string path = File("d.rbf", {1, 2, 3});
    edit()->setText(QString::fromStdString(path));
    bool disabledWhilePumped = false;
    frame.rec().onPump = [&] { disabledWhilePumped = !button("Button17")->isEnabled(); };
    button("Button17")->click();

    EXPECT_EQ(label("Label1")->text(), "Successfully!!");
    EXPECT_EQ(TextColor(label("Label1")), ConfigPage::kLoaded);
    const QString time = label("Label2")->text();
    ASSERT_TRUE(time.endsWith("ms"));
    const Logs logs = frame.rec().Logs();
    EXPECT_EQ(logs, (Logs{"!!", "0", "0", "0", "USB Config[" + path + "]",
                          " → ｺﾝﾌｨｸﾞ時間：" + time.toStdString()}));
    EXPECT_TRUE(disabledWhilePumped);
    EXPECT_TRUE(button("Button17")->isEnabled());
    EXPECT_EQ(frame.rec().shown.front(),
              (test::Shown{test::Shown::Busy, "Processing for Configure ..."}));
    EXPECT_EQ(frame.rec().shown.back().kind, test::Shown::BusyHide);
}

TEST_F(ConfigPageTest, FailedLoadKeepsTimeDashAndStoresTheOptions) {
    Start({{"ENCRYPT", "1"}});
    SetConfigStatus(1);
    const std::string path = File("d.rbf", {1, 2, 3});
    edit()->setText(QString::fromStdString(path));
    box("CheckBox6")->setChecked(true);
    button("Button17")->click();
    EXPECT_EQ(label("Label1")->text(), "Failed!!");
    EXPECT_EQ(TextColor(label("Label1")), ConfigPage::kFailed);
    EXPECT_EQ(label("Label2")->text(), "-");
    EXPECT_EQ(frame.rec().Logs(),
              (Logs{"!!", "0", "0", "1", "USBｺﾝﾌｨｸﾞ失敗 → " + path,
                    "FPGAがｺﾝﾌｨｸﾞﾚｰｼｮﾝﾃﾞｰﾀを受け付けませんでした(ｽﾃｰﾀｽ 01h)。ﾌｧｲﾙの種類(Altera/Xilinx)と設定を確認して下さい"}));
    EXPECT_TRUE(frame.rec().Boxes().empty());
    EXPECT_EQ(Stored("ENCRYPT_VAL"), "1");
    EXPECT_EQ(Stored("CONFIG_MODE"), "0");
}

TEST_F(ConfigPageTest, MissingFileResetsLabelsAndSendsNothing) {
    Start();
    SetConfigStatus(1);
    edit()->setText(QString::fromStdString(File("d.rbf", {1})));
    button("Button17")->click();  // leaves "Failed!!"
    wire().clear();
    frame.rec().Clear();
    const std::string gone = home().root() + "/gone.rbf";
    edit()->setText(QString::fromStdString(gone));
    button("Button17")->click();
    EXPECT_EQ(label("Label1")->text(), "-");
    EXPECT_EQ(TextColor(label("Label1")), ConfigPage::kReset);
    EXPECT_EQ(frame.rec().Logs(), Logs{"USBｺﾝﾌｨｸﾞ失敗(ﾌｧｲﾙ無し)"});
    // The box names the path tried and why it cannot be used.
    EXPECT_EQ(frame.rec().Boxes().at(0).text,
              "指定されたﾌｧｲﾙは存在しません。\nﾌｧｲﾙ：" + gone + "\nﾌｧｲﾙがありません。");
    EXPECT_EQ(frame.rec().Boxes().at(0).icon, MsgIcon::Error);
    EXPECT_TRUE(wire().empty());
}

TEST_F(ConfigPageTest, RelativeNameGoesToTheFolderOfTheLastChosenFile) {
    const std::string folder = home().root() + "/designs";
    std::filesystem::create_directory(folder);
    Start({{"CfgFileDir", folder.c_str()}});
    std::ofstream(folder + "/d.rbf") << "abc";
    EXPECT_EQ(Find<QLabel>(page.get(), "RelativeBase")->toolTip().toStdString(),
              "相対ﾊﾟｽの基準：" + folder);
    edit()->setText("d.rbf");
    button("Button17")->click();
    EXPECT_EQ(label("Label1")->text(), "Successfully!!");
    EXPECT_EQ(frame.rec().Logs().at(4), "USB Config[" + folder + "/d.rbf]");
}

TEST_F(ConfigPageTest, ClearColoursAndFailure) {
    Start();
    button("SpeedButton1")->click();
    EXPECT_EQ(label("Label1")->text(), "Successfully!!");
    EXPECT_EQ(TextColor(label("Label1")), ConfigPage::kCleared);
    EXPECT_EQ(frame.rec().Logs(), Logs{"FPGAをｸﾘｱしてIDLEﾓｰﾄﾞに移行させました。"});

    frame.rec().Clear();
    SetConfigStatus(0);
    button("SpeedButton1")->click();
    EXPECT_EQ(label("Label1")->text(), "Failed!!");
    EXPECT_EQ(frame.rec().Logs(), Logs{"FPGAｸﾘｱに失敗しました。"});
    EXPECT_EQ(frame.rec().Boxes().at(0).icon, MsgIcon::Warning);
}

TEST_F(ConfigPageTest, ChooseDialogFollowsTheFamilyAndStoresTheChoice) {
    Start({{"CONFIG_MODE", "1"}, {"CfgFileDir", "/some/where"}});
    prompts.fileAnswers = {std::nullopt, std::string("/data/fpga/top.bin")};
    const QString before = edit()->text();
    button("Button16")->click();  // cancelled
    EXPECT_EQ(edit()->text(), before);
    EXPECT_EQ(Stored("CfgFileName"), "-");
    button("Button16")->click();
    ASSERT_EQ(prompts.files.size(), 2u);
    EXPECT_EQ(prompts.files[0].title, "BINﾌｧｲﾙを選択してください。");
    EXPECT_EQ(prompts.files[0].selectedFilter, 1);
    EXPECT_EQ(prompts.files[0].folder, "/some/where");
    EXPECT_EQ(prompts.files[0].filter, "RBFﾌｧｲﾙ(*.rbf);;BINﾌｧｲﾙ(*.bin);;全て(*.*)");
    EXPECT_EQ(edit()->text(), "/data/fpga/top.bin");
    EXPECT_EQ(Stored("CfgFileDir"), "/data/fpga");
    EXPECT_EQ(Stored("CfgFileName"), "/data/fpga/top.bin");

    box("CheckBox1")->setChecked(false);
    button("Button16")->click();
    EXPECT_EQ(prompts.files[2].title, "RBFﾌｧｲﾙを選択してください。");
    EXPECT_EQ(prompts.files[2].selectedFilter, 0);
}

TEST_F(ConfigPageTest, TavelIsEnabledOnlyWithABoardAndTesseraChecked) {
    Start({{"TAVEL_CONFIG", "1"}, {"TESSERA_CONFIG", "1"}});
    QCheckBox* tavel = box("CheckBox8");
    EXPECT_FALSE(tavel->isEnabled());
    box("CheckBox7")->click();
    EXPECT_TRUE(tavel->isEnabled());
    frame.Enable(false);
    EXPECT_FALSE(tavel->isEnabled());
    EXPECT_FALSE(box("CheckBox7")->isEnabled());
    EXPECT_FALSE(button("Button17")->isEnabled());

    // Tessera and Xilinx together: the Tavel box is ignored.
    frame.Enable(true);
    tavel->setChecked(true);
    box("CheckBox1")->setChecked(true);
    edit()->setText(QString::fromStdString(File("d.bin", {1, 2, 3, 4})));
    button("Button17")->click();
    EXPECT_EQ(board().Configuration().lastStreamLength, 4u + 4194304u);
    EXPECT_EQ(Stored("TAVEL_CFG_MODE"), "1");
}

// --- Automatic configuration ---

// Runs `act` on the mode dialog once it is up; a watchdog ends a dialog that
// was left open, so a failing test cannot hang.
void WhenDialogShows(ConfigPage& page, std::function<void(TModeSelForm&)> act) {
    QTimer::singleShot(0, [&page, act] { act(page.modeDialog()); });
    QTimer::singleShot(5000, [&page] {
        if (page.modeDialog().isVisible()) page.modeDialog().done(0);
    });
}

TEST_F(ConfigPageTest, SwitchOnAsksModeAndFileThenTextsAfterDialogAndRestart) {
    Start({{"ENCRYPT", "1"}, {"BITSWAP", "1"}});
    bool bitswapEnabledAtFirst = true, warned = false;
    WhenDialogShows(*page, [&](TModeSelForm& d) {
        bitswapEnabledAtFirst = d.bitswapBox()->isEnabled();
        d.okButton()->click();  // nothing chosen: warning, stays open
        warned = d.isVisible();
        d.xilinxButton()->click();
        d.encryptBox()->click();
        d.okButton()->click();
    });
    prompts.fileAnswers = {std::string("/boards/a/very/long/folder/name/top_level_design.bin")};
    frame.n8()->trigger();

    EXPECT_FALSE(bitswapEnabledAtFirst);
    EXPECT_TRUE(warned);
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_EQ(prompts.messages[0].text, "ｺﾝﾌｨｸﾞﾓｰﾄﾞを選択して下さい。");
    EXPECT_EQ(prompts.messages[0].icon, MsgIcon::Warning);
    EXPECT_TRUE(frame.n8()->isChecked());
    EXPECT_TRUE(page->notice()->shown());
    EXPECT_EQ(page->notice()->mode()->text(), "Xilinxﾓｰﾄﾞ(+ENCRYPT)");
    ASSERT_EQ(prompts.files.size(), 1u);
    EXPECT_EQ(prompts.files[0].title, "BINﾌｧｲﾙを選択してください。");
    EXPECT_EQ(prompts.files[0].selectedFilter, 1);
    EXPECT_EQ(Stored("AUTO_CONFIG"), "1");
    EXPECT_EQ(Stored("AUTO_CONFIG_MODE"), "1");
    EXPECT_EQ(Stored("AUTO_CONFIG_ENCRYPT"), "1");
    EXPECT_EQ(Stored("AUTO_CONFIG_NAME"), "/boards/a/very/long/folder/name/top_level_design.bin");
    EXPECT_EQ(Stored("AUTO_CONFIG_DIR"), "/boards/a/very/long/folder/name");
    QLabel* path = page->notice()->path();
    EXPECT_LE(path->fontMetrics().horizontalAdvance(path->text()), AutoConfigNotice::kPathWidth);
    EXPECT_TRUE(path->text().endsWith("top_level_design.bin"));

    // The next start shows the shorter start-up text.
    Start();
    EXPECT_TRUE(frame.n8()->isChecked());
    EXPECT_TRUE(page->notice()->shown());
    EXPECT_EQ(page->notice()->mode()->text(), "Xilinxﾓｰﾄﾞ");
}

TEST_F(ConfigPageTest, SwitchOffHidesAndSwitchOnStartsCleared) {
    Start({{"AUTO_CONFIG", "1"}, {"AUTO_CONFIG_TESSERA", "1"}, {"AUTO_CONFIG_MODE", "1"}});
    EXPECT_EQ(page->notice()->mode()->text(), "Xilinx+Tesseraﾓｰﾄﾞ");
    frame.n8()->trigger();
    EXPECT_FALSE(frame.n8()->isChecked());
    EXPECT_FALSE(page->notice()->shown());
    EXPECT_EQ(page->notice()->path()->text(), "-");
    EXPECT_EQ(Stored("AUTO_CONFIG"), "0");

    bool cleared = false;
    WhenDialogShows(*page, [&](TModeSelForm& d) {
        cleared = !d.altera()->isChecked() && !d.xilinxButton()->isChecked() && !d.tessera();
        d.altera()->click();
        d.okButton()->click();
    });
    frame.n8()->trigger();  // file dialog cancelled
    EXPECT_TRUE(cleared);
    EXPECT_FALSE(page->notice()->shown());
    EXPECT_EQ(Stored("AUTO_CONFIG"), "1");
    EXPECT_EQ(Stored("AUTO_CONFIG_NAME"), "-");
    EXPECT_EQ(page->notice()->mode()->text(), "ALTERAﾓｰﾄﾞ");
}

TEST_F(ConfigPageTest, StartupRunThroughTheHook) {
    const std::vector<std::uint8_t> file{1, 2, 3};
    const std::string path = File("auto.rbf", file);
    Start({{"AUTO_CONFIG", "1"}, {"AUTO_CONFIG_TESSERA", "1"}, {"AUTO_CONFIG_MODE", "1"}});
    SettingsStore().WriteString(kSetup, "AUTO_CONFIG_NAME", path);
    ASSERT_TRUE(Hooks().autoConfig);
    Hooks().autoConfig();
    EXPECT_EQ(board().Configuration().lastStreamLength, 4u * file.size());  // Tessera Altera
    EXPECT_EQ(label("Label1")->text(), "Successfully!!");
    EXPECT_TRUE(label("Label2")->text().endsWith("ms"));
    EXPECT_TRUE(wire().size() > 0 && RegisterWrites().empty());
    EXPECT_TRUE(frame.rec().shown.size() == 2);  // two log lines, no busy window

    page.reset();
    EXPECT_FALSE(Hooks().autoConfig);
}

TEST(FitPathToWidth, DropsLeadingFoldersFirst) {
    test::EnsureApp();
    QFontMetrics fm{QFont()};
    const QString p = "/home/user/projects/fpga/build/output/top.rbf";
    EXPECT_EQ(FitPathToWidth(p, fm, 10000), p);
    const int w = fm.horizontalAdvance("/.../build/output/top.rbf");
    EXPECT_EQ(FitPathToWidth(p, fm, w), "/.../build/output/top.rbf");
    const QString tight = FitPathToWidth(p, fm, fm.horizontalAdvance(".../top.rbf"));
    EXPECT_EQ(tight, ".../top.rbf");
    EXPECT_LE(fm.horizontalAdvance(FitPathToWidth(p, fm, 20)), 20);
}

}  // namespace
}  // namespace quillon::app
