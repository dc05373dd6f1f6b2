#include "app/log_window.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QTextBlock>

#include "app/main_window.h"
#include "app/ui_fonts.h"
#include "app_test_support.h"
#include "log/log_file.h"
#include "platform/settings_store.h"

namespace quillon::test {
namespace {

using app::LogWindow;

struct Placement {
    int top, left, height, width;
    bool operator==(const Placement&) const = default;
};

std::optional<Placement> Stored() {
    SettingsStore s;
    if (s.ReadString(kSetup, "LogView1Top", "-").starts_with('-') &&
        s.ReadString(kSetup, "LogView1Width", "-").starts_with('-')) {
        return std::nullopt;
    }
    return Placement{
        s.ReadInteger(kSetup, "LogView1Top", -1), s.ReadInteger(kSetup, "LogView1Left", -1),
        s.ReadInteger(kSetup, "LogView1Height", -1), s.ReadInteger(kSetup, "LogView1Width", -1)};
}

void Settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

TEST(LogWindowPlacement, FirstStartAtTheCornerAndNothingStoredBeforePlacing) {
    PanelTest t;
    LogWindow* w = LogWindow::Create(nullptr);
    w->move(40, 30);  // what the window system does before start-up placed it
    Settle();
    EXPECT_FALSE(LogWindow::PlacementReady());
    EXPECT_FALSE(Stored());

    LogWindow::Place();
    Settle();
    EXPECT_TRUE(LogWindow::PlacementReady());
    EXPECT_EQ(w->pos(), QPoint(0, 0));
    EXPECT_EQ(w->size(), QSize(600, 220));
}

TEST(LogWindowPlacement, MovesAreStoredRestoredAndReset) {
    PanelTest t;
    LogWindow::Create(nullptr);
    LogWindow::Place();
    LogWindow* w = LogWindow::Instance();
    w->move(120, 80);
    w->resize(500, 300);
    Settle();
    EXPECT_EQ(Stored(), (Placement{80, 120, 300, 500}));

    // The next start puts it back there.
    LogWindow::Destroy();
    LogWindow::Create(nullptr);
    LogWindow::Place();
    Settle();
    EXPECT_EQ(LogWindow::Instance()->pos(), QPoint(120, 80));
    EXPECT_EQ(LogWindow::Instance()->size(), QSize(500, 300));

    // "LOG View位置初期化", through the main window's menu.
    LogWindow::Instance()->hide();
    app::MainWindow main(app::MainWindow::Options{0});
    main.MenuAction("View1")->trigger();
    Settle();
    EXPECT_EQ(Stored(), (Placement{0, 0, 220, 600}));
    EXPECT_TRUE(LogWindow::Instance()->isVisible());
}

// Stored values are whatever text the file holds: the window always ends up
// whole on the screen, paintable, with a readable font.
TEST(LogWindowPlacement, DamagedValuesKeepTheWindowOnTheScreen) {
    PanelTest t;
    const QRect screen = QGuiApplication::primaryScreen()->availableVirtualGeometry();
    for (const char* value : {"100000", "2147483647", "-2147483648", "-5", "0", "junk"}) {
        {
            SettingsStore s;
            for (const char* key : {"LogView1Top", "LogView1Left", "LogView1Height", "LogView1Width"})
                s.WriteString(kSetup, key, value);
            s.WriteString(kSetupLog, "SIZE", value);
        }
        LogWindow::Destroy();
        LogWindow* w = LogWindow::Create(nullptr);
        LogWindow::Place();
        Settle();
        EXPECT_TRUE(screen.contains(w->frameGeometry().topLeft())) << value;
        EXPECT_TRUE(screen.contains(w->frameGeometry())) << value;
        EXPECT_GE(w->width(), 200) << value;
        EXPECT_FALSE(w->grab().isNull()) << value;
        EXPECT_LE(w->memo()->font().pointSize(), 200) << value;
    }
}

// A deep log folder is cut in the middle on the label; the whole sentence is
// its tooltip and what a screen reader reads.
TEST(LogWindowFolder, ADeepFolderIsCutInTheMiddleAndWholeInItsTooltip) {
    PanelTest t;
    LogWindow* w = LogWindow::Create(nullptr);
    LogWindow::Place();
    const std::string whole = "ﾛｸﾞﾌｧｲﾙは｢/home/somebody/" + std::string(12, 'd') +
                              "/projects/board-bring-up/logs/Quillon7｣に保存されます。";
    LogWindow::SetFolderLabel(whole);
    for (const int width : {600, 420}) {
        w->resize(width, 220);
        Settle();
        app::LinkLabel* label = w->folderLabel();
        EXPECT_EQ(label->text().toStdString(), whole);
        EXPECT_EQ(label->toolTip().toStdString(), whole);
        EXPECT_EQ(
            QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name).toStdString(),
            whole);
        const QString shown = label->shownText();
        EXPECT_TRUE(shown.startsWith(QString::fromUtf8("ﾛｸﾞﾌｧｲﾙは｢/home")) &&
                    shown.endsWith(QString::fromUtf8("｣に保存されます。")) &&
                    shown.contains(QChar(0x2026)))
            << width << " " << shown.toStdString();
        // It ends before the buttons.
        EXPECT_LE(label->geometry().right(), w->findChild<QWidget*>("Button1")->x());
    }
}

TEST(LogWindowLines, PutReplacesTheLastLineAndLeavesTheLogFileAlone) {
    PanelTest t;
    ASSERT_TRUE(LogFile::Open());
    LogWindow* w = LogWindow::Create(nullptr);
    LogFile::Write("first");
    LogWindow::Put(false, "progress 10%");
    LogWindow::Put(true, "progress 20%");
    LogWindow::Put(true, "progress 30%");
    QPlainTextEdit* memo = w->memo();
    EXPECT_EQ(memo->blockCount(), 2);
    EXPECT_TRUE(memo->document()->lastBlock().text().endsWith("】 progress 30%"));
    EXPECT_TRUE(memo->document()->firstBlock().text().endsWith("】 first"));
    EXPECT_EQ(t.LogLines(), std::vector<std::string>{"first"});

    // With the log writer switched off (a macro runs) Put still shows.
    LogFile::SetEnabled(false);
    LogWindow::Put(true, "done");
    LogFile::SetEnabled(true);
    EXPECT_TRUE(memo->document()->lastBlock().text().endsWith("】 done"));

    w->Button1Click();  // "ｸﾘｱ"
    EXPECT_TRUE(memo->document()->isEmpty());
    LogWindow::Put(true, "alone");  // nothing to replace: the line is added
    EXPECT_EQ(memo->blockCount(), 1);
    EXPECT_TRUE(memo->toPlainText().endsWith("alone"));
}

TEST(LogWindowFont, CancelChangesNothingAndAChoiceIsStored) {
    PanelTest t;
    LogWindow* w = LogWindow::Create(nullptr);
    const QFont before = w->memo()->font();

    t.prompter.setNextFont(std::nullopt);
    w->N1Click();
    EXPECT_EQ(w->memo()->font(), before);
    {
        SettingsStore s;
        EXPECT_EQ(s.ReadString(kSetupLog, "NAME", "none"), "none");
    }
    ASSERT_EQ(t.prompter.asked().size(), 1u);
    // The dialog starts from its own font, not the text area's.
    EXPECT_EQ(t.prompter.asked()[0].text, app::ResolvedFamily("Tahoma").toStdString());

    t.prompter.setNextFont(FontChoice{"IPAGothic", 14, 0});
    w->N1Click();
    EXPECT_EQ(w->memo()->font().pointSize(), 14);
    SettingsStore s;
    EXPECT_EQ(s.ReadString(kSetupLog, "NAME", ""), "IPAGothic");
    EXPECT_EQ(s.ReadInteger(kSetupLog, "SIZE", 0), 14);

    // A new window applies the stored font.
    LogWindow::Destroy();
    EXPECT_EQ(LogWindow::Create(nullptr)->memo()->font().pointSize(), 14);
}

// Lines are copied out for bug reports: from the right-click menu and with the keys.
TEST(LogWindowCopy, MenuAndKeysCopyTheLines) {
    PanelTest t;
    LogWindow* w = LogWindow::Create(nullptr);
    LogWindow::Put(false, "USB OPEN!!");
    LogWindow::Put(false, "REG READ NG");
    QApplication::clipboard()->clear();

    std::unique_ptr<QMenu> menu = w->ContextMenu();
    QStringList items;
    for (QAction* a : menu->actions()) {
        if (!a->isSeparator()) items << a->text();
    }
    EXPECT_EQ(items, QStringList({"ｺﾋﾟｰ", "すべて選択", "表示ﾌｫﾝﾄ変更"}));
    QAction* copy = menu->actions()[0];
    EXPECT_FALSE(copy->isEnabled());  // nothing selected yet

    menu->actions()[1]->trigger();
    menu = w->ContextMenu();
    ASSERT_TRUE(menu->actions()[0]->isEnabled());
    menu->actions()[0]->trigger();
    const QString copied = QApplication::clipboard()->text();
    EXPECT_TRUE(copied.contains("】 USB OPEN!!\n")) << copied.toStdString();
    EXPECT_TRUE(copied.endsWith("】 REG READ NG")) << copied.toStdString();

    // The same by keyboard in the read-only text area.
    QApplication::clipboard()->clear();
    w->memo()->moveCursor(QTextCursor::End);
    QTest::keyClick(w->memo(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(w->memo(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), copied);
}

TEST(LogWindowFolder, ClickOpensTheLogFolder) {
    PanelTest t;
    ASSERT_TRUE(LogFile::Open());
    LogWindow::Create(nullptr)->FolderClick();
    ASSERT_EQ(t.prompter.asked().size(), 1u);
    EXPECT_EQ(t.prompter.asked()[0].kind, app::QtPrompter::Kind::Open);
    EXPECT_EQ(t.prompter.asked()[0].text, t.home.logFolder());
}

}  // namespace
}  // namespace quillon::test
