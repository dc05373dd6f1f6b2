// The data viewer window: what it shows of a file, a comparison, files it
// cannot show, a file replaced while shown, and the memory page's round trip.

#include "app/viewer/data_viewer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <filesystem>

#include "app/main_window.h"
#include "app/viewer/data_plot.h"
#include "app/viewer/hex_view.h"
#include "support/feature_support.h"
#include "support/sim_panel.h"

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

class Viewer : public ::testing::Test, public SimPanel {
  protected:
    void SetUp() override { fixture_ = std::make_unique<SimBoardFixture>(); }
    void TearDown() override {
        Close();
        fixture_.reset();
    }
    static std::vector<std::uint8_t> Ramp(std::size_t n, int step = 7) {
        std::vector<std::uint8_t> v(n);
        for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * step + 3);
        return v;
    }
    std::string File(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        return fixture_->File(name, bytes);
    }
    // Lets the window's whole-file work end and its result arrive.
    static void Settle(app::TDataViewForm& form) {
        for (int i = 0; i < 2000 && (form.busy() || i < 3); ++i) {
            QCoreApplication::processEvents();
            QThread::msleep(2);
        }
    }
    static std::string Row(app::TDataViewForm& form, int i) { return form.hexView()->RowText(i); }

    std::unique_ptr<SimBoardFixture> fixture_;
};

TEST_F(Viewer, ShowsRowsPlotAndComparison) {
    auto a = Ramp(0x4000);
    auto b = a;
    b[0x1234] ^= 0xFF;
    app::TDataViewForm* form = app::TDataViewForm::Open({File("a.bin", a), {}, {}});
    ASSERT_TRUE(form);
    form->resize(1280, 720);
    form->show();
    Settle(*form);
    EXPECT_EQ(Row(*form, 0),
              "00000000  03 0A 11 18 1F 26 2D 34 3B 42 49 50 57 5E 65 6C  .....&-4;BIPW^el");
    // One stroke (two points) a pixel column, the whole file in view.
    EXPECT_GT(form->plot()->points(), 400);
    EXPECT_EQ(form->plot()->last(), 0x4000);

    // Find, then copy the match as hex text.
    form->findChild<QLineEdit*>("PatternEdit")->setText("18 1f 26");
    form->findChild<QPushButton*>("FindButton")->click();
    EXPECT_EQ(form->hexView()->selectionStart(), 3u);
    EXPECT_EQ(form->hexView()->selectionEnd(), 5u);
    form->findChild<QPushButton*>("CopyButton")->click();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "18 1F 26\n");
    form->findChild<QLineEdit*>("OffsetEdit")->setText("3ff0");
    form->findChild<QPushButton*>("GoButton")->click();
    EXPECT_EQ(form->hexView()->cursor(), 0x3FF0u);

    ASSERT_TRUE(form->SetCompare(File("b.bin", b), {}));
    Settle(*form);
    const std::string line = form->compareText().toStdString();
    EXPECT_NE(line.find("0x00001234"), std::string::npos) << line;
    EXPECT_NE(line.find("相違ﾊﾞｲﾄ数：1"), std::string::npos) << line;
    // The first difference is selected; stepping finds no other.
    EXPECT_EQ(form->hexView()->cursor(), 0x1234u);
    form->findChild<QPushButton*>("NextDiff")->click();
    EXPECT_EQ(form->hexView()->cursor(), 0x1234u);

    form->close();
}

TEST_F(Viewer, RefusesWhatItCannotShowAndSaysWhy) {
    const std::string dir = fs::path(File("x.bin", {1})).parent_path().string();
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        const char* why;
    } cases[] = {{dir + "/none.bin", "ﾌｧｲﾙがありません。"},
                 {dir, "ﾌｫﾙﾀﾞです"},
                 {fifo, "FIFO"},
                 {"/dev/zero", "ﾃﾞﾊﾞｲｽ"}};
    for (const auto& c : cases) {
        const std::size_t before = prompter.messages().size();
        EXPECT_EQ(app::TDataViewForm::Open({c.path, {}, {}}), nullptr) << c.path;
        ASSERT_EQ(prompter.messages().size(), before + 1) << c.path;
        const std::string box = prompter.messages().back();
        EXPECT_NE(box.find("ﾃﾞｰﾀを表示できません。"), std::string::npos) << box;
        EXPECT_NE(box.find(c.path), std::string::npos) << box;
        EXPECT_NE(box.find(c.why), std::string::npos) << box;
    }
    // A compared file that cannot be read is refused as such.
    EXPECT_EQ(app::TDataViewForm::Open({File("ok.bin", {1, 2}), dir, {}}), nullptr);
    EXPECT_NE(prompter.messages().back().find("比較するﾌｧｲﾙを読めません。"), std::string::npos);

    app::TDataViewForm* empty = app::TDataViewForm::Open({File("empty.bin", {}), {}, {}});
    ASSERT_TRUE(empty);
    Settle(*empty);
    EXPECT_EQ(Row(*empty, 0), "");
    EXPECT_NE(empty->statusText().toStdString().find("空のﾌｧｲﾙ"), std::string::npos);
    delete empty;
}

// A MemRead puts its file in place by renaming: the viewer shows the new
// contents whole, rows and plot alike.
TEST_F(Viewer, ShowsAReplacedFileAgainFromItsNewContents) {
    const std::string path = File("live.bin", std::vector<std::uint8_t>(0x1000, 0x11));
    app::TDataViewForm* form = app::TDataViewForm::Open({path, {}, {}});
    ASSERT_TRUE(form);
    form->show();
    Settle(*form);
    ASSERT_EQ(form->summary()->words(), 0x1000u);
    const std::string fresh = File("live.new", std::vector<std::uint8_t>(0x2000, 0x22));
    fs::rename(fresh, path);
    for (int i = 0;
         i < 300 && (form->busy() || !form->summary() || form->summary()->words() != 0x2000u);
         ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    ASSERT_TRUE(form->summary());
    EXPECT_EQ(form->summary()->words(), 0x2000u);
    EXPECT_EQ(Row(*form, 0).substr(0, 15), "00000000  22 22");
    delete form;
}

// MemWrite with write scramble, MemRead without: "表示" offers the written
// file, and the comparison matches because the board holds scrambled bytes.
TEST_F(Viewer, MemoryPageComparesARoundTripAsTheBoardHoldsIt) {
    window = std::make_unique<app::MainWindow>(app::MainWindow::Options{0});
    window->FormCreate();
    window->RequestPage(app::kMemoryPage);
    QWidget* page = window->page(2);
    ASSERT_TRUE(window->MenuAction("DataView1"));
    window->MenuAction("N15")->trigger();  // write scramble on
    const std::string written = File("out.bin", Ramp(0x400, 3));
    const std::string read = fs::path(written).parent_path().string() + "/in.bin";
    auto* file = page->findChild<QLineEdit*>("Edit13");
    page->findChild<QLineEdit*>("Edit12")->setText("400");
    file->setText(QString::fromStdString(written));
    page->findChild<QPushButton*>("Button15")->click();
    file->setText(QString::fromStdString(read));
    page->findChild<QPushButton*>("Button14")->click();
    ASSERT_TRUE(fs::exists(read));
    page->findChild<QPushButton*>("ViewButton")->click();
    auto* form = window->findChild<app::TDataViewForm*>();
    ASSERT_TRUE(form);
    auto* oneClick = form->findChild<QPushButton*>("WrittenCompareButton");
    ASSERT_TRUE(oneClick && !oneClick->isHidden());
    oneClick->click();
    Settle(*form);
    EXPECT_NE(form->compareText().toStdString().find("相違なし"), std::string::npos)
        << form->compareText().toStdString();
    // Without the scramble taken into account every byte would differ.
    EXPECT_EQ(Row(*form, 0).substr(10, 2), "A9");  // 0x03 ^ 0xAA as read
    delete form;
}

}  // namespace
}  // namespace quillon::test
