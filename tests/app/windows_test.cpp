#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/main_window.h"
#include "app/qt_language.h"
#include "app/qt_prompter.h"
#include "app/secondary_windows.h"
#include "app_test_support.h"

namespace quillon::test {
namespace {

using app::QtPrompter;

TEST(Prompter, QueuedAnswersComeFirstAndEveryQuestionIsRecorded) {
    EnsureApp();
    QtPrompter p;
    p.setHeadless(true);
    p.setNextAnswer(MsgAnswer::Yes);
    p.setNextFileName(std::string("/tmp/a.rbf"));
    p.setNextFileName(std::nullopt);
    p.setNextInput(std::string("42"));

    EXPECT_EQ(p.Message("erase?", MsgIcon::Warning, MsgButtons::YesNo), MsgAnswer::Yes);
    // Nothing queued any more: headless answers No, never Yes.
    EXPECT_EQ(p.Message("erase again?", MsgIcon::Warning, MsgButtons::YesNo), MsgAnswer::No);
    EXPECT_EQ(p.FileName({"open", "", "", "", false}), std::optional<std::string>("/tmp/a.rbf"));
    EXPECT_EQ(p.FileName({"open", "", "", "", false}), std::nullopt);
    EXPECT_EQ(p.FileName({"open", "", "", "", false}), std::nullopt);
    EXPECT_EQ(p.Input("c", "value", ""), std::optional<std::string>("42"));
    EXPECT_EQ(p.Input("c", "value", "x"), std::nullopt);

    ASSERT_EQ(p.asked().size(), 7u);
    EXPECT_EQ(p.asked()[0].caption, "Quillon Panel 7.0");
    EXPECT_EQ(p.asked()[0].icon, MsgIcon::Warning);
    EXPECT_EQ(p.asked()[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(p.messages(), (std::vector<std::string>{"erase?", "erase again?"}));
}

// The memory page's dialog: a name that does not exist yet is taken as it
// was typed, with the open dialog's button and no question about replacing.
TEST(Prompter, ANewNameDialogTakesAFileThatDoesNotExist) {
    EnsureApp();
    FreshHome home;
    FileDialogRequest request{"ﾊﾞｲﾅﾘﾌｧｲﾙを選択してください。", home.root(), "",
                              "ﾊﾞｲﾅﾘﾌｧｲﾙ(*.bin);;全て(*.*)", false};
    request.newName = true;
    const auto dialog = app::MakeFileDialog(nullptr, request);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(dialog->selectedNameFilter().toStdString(), "ﾊﾞｲﾅﾘﾌｧｲﾙ(*.bin)");
    const QString name = QString::fromStdString(home.root() + "/new.bin");
    dialog->selectFile(name);
    // As the dialog's own button does.
    QMetaObject::invokeMethod(dialog.get(), "accept", Qt::DirectConnection);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->selectedFiles(), QStringList{name});
    EXPECT_FALSE(QFile::exists(name));  // naming it creates nothing
}

TEST(Prompter, AQueuedNoForAnOkBoxStillAnswersOk) {
    EnsureApp();
    QtPrompter p;
    p.setHeadless(true);
    p.setNextAnswer(MsgAnswer::No);
    EXPECT_EQ(p.Message("done", MsgIcon::Information, MsgButtons::Ok), MsgAnswer::Ok);
}

TEST(BusyWindow, ShowsTheCallersTextUntilHidden) {
    PanelTest t;
    auto* busy = app::BusyWindow::Create();
    EXPECT_EQ(busy->text().toStdString(), "waiting for configure....");
    EXPECT_EQ(busy->size(), QSize(626, 140));
    app::BusyWindow::Show("Processing for MemWrite ...");
    EXPECT_TRUE(busy->isVisible());
    EXPECT_EQ(busy->text().toStdString(), "Processing for MemWrite ...");
    app::BusyWindow::Hide();
    EXPECT_FALSE(busy->isVisible());
}

TEST(VersionWindow, ShowsTheBuildVersionAndEscapeCloses) {
    PanelTest t;
    auto* v = app::VersionWindow::Create();
    EXPECT_EQ(v->windowTitle().toStdString(), "バージョン情報");
    EXPECT_EQ(v->versionText().toStdString(), QUILLON_VERSION);
    v->open();
    ASSERT_TRUE(v->isVisible());
    QTest::keyClick(v, Qt::Key_Escape);
    EXPECT_FALSE(v->isVisible());
}

// Qt draws the standard buttons and the file and font dialogs itself: they must
// speak Japanese like the panel, whatever the desktop's language.
TEST(QtTexts, StandardDialogsSpeakJapanese) {
    EnsureApp();
    ASSERT_TRUE(app::InstallJapaneseQtTexts(*qApp)) << "qt6-translations-l10n missing?";
    QMessageBox box(QMessageBox::Warning, "c", "t", QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(box.button(QMessageBox::Yes)->text().startsWith("はい"))
        << box.button(QMessageBox::Yes)->text().toStdString();
    const auto input = app::MakeInputBox(nullptr, "c", "p", "");
    input->show();  // the buttons are made when it is first shown
    QStringList buttons;
    for (auto* b : input->findChildren<QPushButton*>()) buttons << b->text();
    EXPECT_TRUE(buttons.join(' ').contains("キャンセル")) << buttons.join(' ').toStdString();
    const auto files = app::MakeFileDialog(nullptr, {"f", "", "", "*.tcl", false});
    QStringList labels;
    for (auto* l : files->findChildren<QLabel*>()) labels << l->text();
    EXPECT_TRUE(labels.join(' ').contains("ファイル")) << labels.join(' ').toStdString();
    const auto font = app::MakeFontDialog(nullptr, {"IPAGothic", 10, 0});
    labels.clear();
    for (auto* l : font->findChildren<QLabel*>()) labels << l->text();
    EXPECT_TRUE(labels.join(' ').contains("サイズ")) << labels.join(' ').toStdString();
}

TEST(Splash, WaitsWhileEventsRun) {
    PanelTest t;
    bool served = false;
    QTimer::singleShot(50, [&] { served = true; });
    QElapsedTimer clock;
    clock.start();
    app::SplashScreen::ShowFor(200);
    EXPECT_GE(clock.elapsed(), 200);
    EXPECT_TRUE(served);
    EXPECT_EQ(app::SplashPicture().size(), QSize(1000, 719));
}

TEST(HelpAndUpdate, HelpOpensTheManualBesideTheProgram) {
    PanelTest t;
    app::MainWindow w(app::MainWindow::Options{0});
    t.prompter.setNextOpenResult(true);  // a browser came up (without one, a box follows)
    w.MenuAction("N3")->trigger();
    ASSERT_EQ(t.prompter.asked().size(), 1u);
    EXPECT_EQ(t.prompter.asked()[0].kind, QtPrompter::Kind::Open);
    EXPECT_EQ(t.prompter.asked()[0].text,
              (app::ProgramFolder() + "/manual/index.html").toStdString());
}

// Without an updater beside it, the panel says where a new version comes from.
TEST(HelpAndUpdate, MissingUpdaterIsToldAndThePanelStays) {
    PanelTest t;
    ASSERT_FALSE(QFile::exists(app::ProgramFolder() + "/Loader"));
    app::MainWindow w(app::MainWindow::Options{0});
    w.show();
    w.MenuAction("Quillon71")->trigger();
    EXPECT_EQ(t.prompter.messages(),
              std::vector<std::string>{std::string(app::kUpdateFromHomePageText) + "\n" +
                                       app::VersionWindow::kHomePage + "\n" +
                                       app::kCurrentVersionLabel + QUILLON_VERSION});
    EXPECT_TRUE(w.isVisible());

    // Installed as a package: the package manager brings new versions. A
    // folder named Loader is no updater.
    t.prompter.clear();
    EXPECT_FALSE(app::OnlineUpdate(&w, "/usr/bin"));
    const QString folder = QString::fromStdString(t.home.root());
    ASSERT_TRUE(QDir(folder).mkdir("Loader"));
    EXPECT_FALSE(app::OnlineUpdate(&w, folder));
    EXPECT_EQ(t.prompter.messages(),
              (std::vector<std::string>{app::kUpdateByPackageText, app::kUpdaterMissingText}));
    EXPECT_TRUE(w.isVisible());
    for (const char* f : {"/usr/bin", "/usr/lib/quillon", "/usr/games/"})
        EXPECT_TRUE(app::InstalledAsPackage(f)) << f;
    for (const char* f : {"/usr/local/bin", "/opt/quillon/bin", "/home/u/build/bin", "/usr"})
        EXPECT_FALSE(app::InstalledAsPackage(f)) << f;
}

TEST(HelpAndUpdate, UpdaterThatCannotRunIsToldAndOneThatRunsClosesThePanel) {
    PanelTest t;
    const QString folder = QString::fromStdString(t.home.root());
    const QString loader = folder + "/Loader";
    {
        QFile f(loader);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nexit 0\n");
    }
    app::MainWindow w(app::MainWindow::Options{0});
    w.show();
    EXPECT_FALSE(app::OnlineUpdate(&w, folder));  // not executable
    EXPECT_EQ(t.prompter.messages(), std::vector<std::string>{app::kUpdaterFailedText});
    EXPECT_TRUE(w.isVisible());

    QFile::setPermissions(loader, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_TRUE(app::OnlineUpdate(&w, folder));
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(t.prompter.messages().size(), 1u);
}

}  // namespace
}  // namespace quillon::test
