// The memory and transfer-rate pages, their windows and the Options menu's
// memory items, in the real main window on the simulated board.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <random>
#include <set>

#include "app/main_window.h"
#include "app/memory_windows.h"
#include "app/pages/memory_page.h"
#include "app/pages/path_field.h"
#include "app/secondary_windows.h"
#include "support/feature_support.h"
#include "support/sim_panel.h"

namespace quillon::test {
namespace {

using Lines = std::vector<std::string>;

class Panel : public ::testing::Test, public SimPanel {
  protected:
    void SetUp() override { fixture_ = std::make_unique<SimBoardFixture>(); }
    void TearDown() override {
        Close();
        fixture_.reset();
    }
    void Store(const char* key, const std::string& value) {
        SettingsStore().WriteString(kSetup, key, value);
    }
    std::string Stored(const char* key) { return SettingsStore().ReadString(kSetup, key, "-"); }
    void Start() {
        SimPanel::Start();
        window->RequestPage(app::kMemoryPage);
    }
    app::MemoryPage& page() { return *static_cast<app::MemoryPage*>(window->page(2)); }
    template <typename W>
    W* Find(const char* name, int pageNumber = 2) {
        return window->page(pageNumber)->findChild<W*>(name);
    }
    QAction* Item(const char* name) { return window->MenuAction(name); }
    // A menu item as the user picks it; its handler may run once events do.
    void Trigger(const char* name) {
        Item(name)->trigger();
        QCoreApplication::processEvents();
    }
    sim::SimBoard& board() { return fixture_->board(); }
    SimBoardFixture& fixture() { return *fixture_; }

    // Answers the notice when it comes, with the box ticked or not; counts it.
    // Trigger() then lets the handler run.
    void AnswerNotice(bool suppress, bool ok = true) {
        answer_ = std::make_unique<QTimer>();
        QObject::connect(answer_.get(), &QTimer::timeout, [this, suppress, ok] {
            auto* note = qobject_cast<app::TNoteForm*>(QApplication::activeModalWidget());
            if (!note) return;
            ++notices;
            answer_->stop();
            note->suppressBox()->setChecked(suppress);
            if (ok)
                note->okButton()->click();
            else
                note->reject();  // the close box
        });
        answer_->start(0);
    }

    std::unique_ptr<SimBoardFixture> fixture_;
    int notices = 0;
    std::unique_ptr<QTimer> answer_;
};

TEST_F(Panel, MemoryPageRestoresFollowsTheBoardAndNamesItsControls) {
    Store("MEM_NUM", "3");
    Store("MEM_LIST0", "DDR");
    Store("MEM_LENGTH", "200");
    Start();
    auto* target = Find<QComboBox>("ComboBox4");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->count(), 3);
    EXPECT_EQ(target->itemText(0).toStdString(), "DDR(REG1=00h)");
    EXPECT_EQ(target->itemText(1).toStdString(), "unknown(REG1=01h)");
    EXPECT_EQ(window->statusText().toStdString(), "転送ﾚﾝｸﾞｽ → 512Bytes");
    Find<QLineEdit>("Edit12")->setText("zz");
    EXPECT_EQ(window->statusText().toStdString(), "???");
    EXPECT_EQ(Find<QLineEdit>("Edit13")->text().toStdString(), "*.bin");

    // Every control a check can look for has a name of its own.
    std::set<std::string> names;
    for (QWidget* w : window->page(2)->findChildren<QWidget*>()) {
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
            qobject_cast<QAbstractButton*>(w)) {
            const std::string name = w->accessibleName().isEmpty()
                                         ? w->property("text").toString().toStdString()
                                         : w->accessibleName().toStdString();
            EXPECT_FALSE(name.empty()) << w->objectName().toStdString();
            EXPECT_TRUE(names.insert(name).second) << name;
        }
    }
    EXPECT_TRUE(names.count("転送ﾚﾝｸﾞｽ →"));
    EXPECT_TRUE(names.count("ﾒﾓﾘﾋﾞｯﾄ幅"));

    EXPECT_TRUE(Find<QPushButton>("Button15")->isEnabled());
    fixture().Unplug();
    window->BoardState(false);
    EXPECT_FALSE(Find<QPushButton>("Button15")->isEnabled());
    EXPECT_FALSE(Find<QLineEdit>("Edit12")->isEnabled());
    EXPECT_TRUE(Find<QCheckBox>("CheckBox4")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("Button26", 7)->isEnabled());
}

TEST_F(Panel, OptionsStoreTheirKeysAndTheNextTransferHonoursThem) {
    Start();
    Item("N15")->trigger();
    EXPECT_EQ(Stored("MW_SCRAMBLE"), "1");
    Item("N14")->trigger();
    Item("N14")->trigger();
    EXPECT_EQ(Stored("MR_SCRAMBLE"), "0");
    Item("Tessera1")->trigger();
    EXPECT_EQ(Stored("MEM_CMD_MODE"), "1");

    const std::string path =
        fixture().File("plain.bin", std::vector<std::uint8_t>{0x00, 0xFF, 0x12, 0x34});
    Find<QLineEdit>("Edit13")->setText(QString::fromStdString(path));
    Find<QLineEdit>("Edit12")->setText("200");
    Find<QCheckBox>("CheckBox4")->setChecked(false);
    Find<QPushButton>("Button15")->click();
    EXPECT_EQ(board().ReadMemory(0, 0, 4), (std::vector<std::uint8_t>{0xAA, 0x55, 0xB8, 0x9E}));
    EXPECT_TRUE(board().LastMemCommand().lengthFraming);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], "Normal Memory Write[SCRAMBLE ON]");
    EXPECT_FALSE(app::BusyWindow::Instance()->isVisible());
    EXPECT_TRUE(Find<QPushButton>("Button15")->isEnabled());
}

TEST_F(Panel, CancelButtonOfTheSplitWindowStopsTheTransfer) {
    std::vector<std::uint8_t> data(10u << 20);
    std::mt19937 rng(3);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    Start();
    Find<QLineEdit>("Edit13")->setText(QString::fromStdString(fixture().File("ten.bin", data)));
    Find<QLineEdit>("Edit12")->setText("A00000");
    app::TSplitForm& form = page().splitForm();
    // The user presses Cancel once the window shows piece 1.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (form.isVisible() && form.countLabel()->text() == "1/5") form.cancelButton()->click();
    });
    watch.start(0);
    Find<QPushButton>("Button15")->click();
    watch.stop();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.sizeLabel()->text().toStdString(), "10485760 Bytes");
    const auto user = std::find(log.begin(), log.end(), "ﾕｰｻﾞｰｷｬﾝｾﾙ");
    ASSERT_NE(user, log.end());
    // Piece 2 was already on its way when the press was served.
    EXPECT_EQ(*(user + 1), "転送回数:[3]");
    EXPECT_EQ(*(user + 2), "Split Memory Write[SCRAMBLE OFF]");
}

// The file dialog takes a name that does not exist yet and MemRead creates
// it; a relative name goes to the folder the page states; a pattern is
// refused with the full path it stood for. The log names the file used.
TEST_F(Panel, MemReadCreatesANewNameAndResolvesRelativeOnes) {
    namespace fs = std::filesystem;
    const std::string root = fixture().home().root();
    // No Documents folder in this home: relative names go to the home itself.
    struct HomeAt {
        explicit HomeAt(const std::string& at) : old(std::getenv("HOME") ? std::getenv("HOME") : "") {
            ::setenv("HOME", at.c_str(), 1);
        }
        ~HomeAt() { ::setenv("HOME", old.c_str(), 1); }
        std::string old;
    } home(root);
    Start();
    auto* base = Find<app::RelativeBaseLabel>("RelativeBase");
    ASSERT_TRUE(base);
    EXPECT_EQ(base->toolTip().toStdString(), "相対ﾊﾟｽの基準：" + root);
    auto logged = [this](const std::string& path) {
        return std::count(log.begin(), log.end(), " → FileName：[" + path + "]");
    };

    fs::create_directory(root + "/out");
    const std::string chosen = root + "/out/new.bin";
    prompter.setNextFileName(chosen);
    Find<QPushButton>("Button12")->click();
    ASSERT_EQ(prompter.fileRequests().size(), 1u);
    const FileDialogRequest& asked = prompter.fileRequests()[0];
    EXPECT_EQ(asked.title, "ﾊﾞｲﾅﾘﾌｧｲﾙを選択してください。");
    EXPECT_EQ(asked.filter, "ﾊﾞｲﾅﾘﾌｧｲﾙ(*.bin);;全て(*.*)");
    EXPECT_EQ(asked.selectedFilter, 0);
    EXPECT_EQ(asked.folder, root);
    EXPECT_TRUE(asked.newName);
    EXPECT_FALSE(asked.save);
    EXPECT_EQ(Stored("MemFileDir"), root + "/out");
    EXPECT_EQ(base->toolTip().toStdString(), "相対ﾊﾟｽの基準：" + root + "/out");

    Find<QLineEdit>("Edit12")->setText("200");
    Find<QPushButton>("Button14")->click();
    EXPECT_EQ(fs::file_size(chosen), 512u);
    EXPECT_EQ(logged(chosen), 1);

    Find<QLineEdit>("Edit13")->setText("sub/../rel.bin");
    Find<QPushButton>("Button14")->click();
    EXPECT_EQ(fs::file_size(root + "/out/rel.bin"), 512u);
    EXPECT_EQ(logged(root + "/out/rel.bin"), 1);
    EXPECT_TRUE(prompter.messages().empty());

    Find<QLineEdit>("Edit13")->setText("*.bin");
    Find<QPushButton>("Button14")->click();
    EXPECT_EQ(prompter.messages(),
              std::vector<std::string>{"ﾒﾓﾘﾘｰﾄﾞに失敗しました。\nﾌｧｲﾙ：" + root +
                                       "/out/*.bin\nﾜｲﾙﾄﾞｶｰﾄﾞ(*や?)を含む名前はﾌｧｲﾙ名ではありません。"});
    EXPECT_EQ(log.back(), "ﾒﾓﾘﾘｰﾄﾞに失敗しました。(ﾌｧｲﾙ作成ｴﾗｰ)");
}

TEST_F(Panel, WaveformItemsNoticeSendAndMoveTheirMarks) {
    Store("GPIF_WAVE", "1");
    Start();
    // The notice comes first; closed with its close box it stores nothing.
    AnswerNotice(true, false);
    Trigger("Word2");
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(Stored("GPIF_WAVE_NOTE"), "-");
    EXPECT_EQ(board().GpifWave(1), 1);
    EXPECT_TRUE(Item("Word2")->isChecked());
    EXPECT_FALSE(Item("Burst2")->isChecked());
    EXPECT_TRUE(Item("Burst1")->isChecked());  // the MemRead marks stay
    EXPECT_EQ(log.back(), "ﾒﾓﾘ転送のﾓｰﾄﾞ(MemWrite-Word)を切り換えました。");
    EXPECT_EQ(window->statusText().toStdString(), log.back());

    // OK with the box ticked: never again.
    AnswerNotice(true);
    Trigger("Burst2");
    EXPECT_EQ(notices, 2);
    EXPECT_EQ(Stored("GPIF_WAVE_NOTE"), "1");
    EXPECT_TRUE(Item("Burst2")->isChecked());
    AnswerNotice(false);  // would close an unwanted notice instead of hanging
    Trigger("Word1");
    answer_.reset();
    EXPECT_EQ(notices, 2);

    // A refused request leaves the marks as they were.
    sim::Faults f;
    f.stallRequest = board().RequestCount() + 1;
    board().SetFaults(f);
    Trigger("Burst1");
    EXPECT_TRUE(Item("Word1")->isChecked());
    EXPECT_FALSE(Item("Burst1")->isChecked());
    EXPECT_EQ(prompter.messages().back(), "GPIF-ﾒﾓﾘ転送波形切り換えに失敗しました。\n" + kStallCause);
}

TEST_F(Panel, RatePageMeasuresAndGivesItsControlsBack) {
    Start();
    window->RequestPage(7);
    Find<QComboBox>("ComboBox6", 7)->setCurrentIndex(7);
    Find<QPushButton>("Button26", 7)->click();
    EXPECT_EQ(log.back(), "転送ﾚｰﾄ測定正常終了しました。");
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.starts_with("MemRead"); }),
              16);
    EXPECT_TRUE(Find<QPushButton>("Button26", 7)->isEnabled());
    EXPECT_TRUE(Find<QComboBox>("ComboBox6", 7)->isEnabled());
}

}  // namespace
}  // namespace quillon::test
