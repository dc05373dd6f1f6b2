// The pages the user chooses to show, and the panel worked from the keyboard.

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>
#include <set>

#include "app/main_window.h"
#include "app/page_chooser.h"
#include "app/page_table.h"
#include "app/par_flash.h"
#include "app/secondary_windows.h"
#include "app/wrap_tab_bar.h"
#include "app_test_support.h"
#include "platform/settings_store.h"

namespace quillon::test {
namespace {

using app::MainWindow;

// Shortcuts reach the active window only.
void Activate(MainWindow& w) {
    w.show();
    QApplication::setActiveWindow(&w);
}

void ShowEveryPage(PanelTest& t) {
    for (int n = 1; n <= app::kPageCount; ++n)
        if (const char* key = app::PageInfoOf(n).visibilityKey) t.Store(key, "1");
}

// Opens "表示するﾍﾟｰｼﾞ..." and lets `tick` change the boxes before OK.
void Choose(MainWindow& w, const std::function<void(app::PageChooser&)>& tick) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        app::PageChooser* chooser = w.findChild<app::PageChooser*>();
        if (!chooser || !chooser->isVisible()) return;
        seen = true;
        tick(*chooser);
        chooser->accept();
    });
    w.MenuAction("ShowPages1")->trigger();
    EXPECT_TRUE(seen) << "no page chooser";
}

TEST(PageChooser, ATickShowsOrHidesTheTabAtOnceAndWritesOnlyItsKey) {
    const struct {
        int page;
        bool show;
    } cases[] = {{12, true}, {18, true}, {app::kConfigPage, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(app::PageInfoOf(c.page).caption);
        PanelTest t;
        MainWindow w(MainWindow::Options{0});
        w.FormCreate();
        ASSERT_NE(w.pageShown(c.page), c.show);
        Choose(w, [&](app::PageChooser& chooser) {
            // A box for each page a key shows, ticked while its tab shows.
            for (int n = 1; n <= app::kPageCount; ++n) {
                QCheckBox* box = chooser.box(n);
                ASSERT_EQ(box != nullptr, app::PageInfoOf(n).visibilityKey != nullptr) << n;
                if (box) {
                    EXPECT_EQ(box->isChecked(), w.pageShown(n)) << n;
                }
            }
            chooser.box(c.page)->setChecked(c.show);
        });
        EXPECT_EQ(w.pageShown(c.page), c.show);
        SettingsStore store;
        EXPECT_EQ(store.ReadString(kSetup, app::PageInfoOf(c.page).visibilityKey, ""),
                  c.show ? "1" : "0");
        // The untouched keys stay as they were (absent).
        EXPECT_EQ(store.ReadString(kSetup, "REGEX", "absent"), "absent");
    }
}

TEST(PageChooser, HidingThePageInFrontMovesOnAndFitsTheWindowAsAStartWould) {
    PanelTest t;
    ShowEveryPage(t);
    MainWindow w(MainWindow::Options{0});
    w.FormCreate();
    ASSERT_TRUE(w.RequestPage(12));
    w.SetStatus("old");
    Choose(w, [](app::PageChooser& chooser) {
        for (int n = 1; n <= app::kPageCount; ++n)
            if (QCheckBox* box = chooser.box(n)) box->setChecked(n == 5);
    });
    EXPECT_EQ(w.currentPage(), 19);  // the next shown page after 12
    EXPECT_TRUE(w.statusText().isEmpty());
    MainWindow fresh(MainWindow::Options{0});
    fresh.FormCreate();
    EXPECT_EQ(w.designHeight(), fresh.designHeight());
    EXPECT_EQ(w.height(), fresh.height());

    // While NorBridge2 runs its page stays, and so does its tab.
    t.Store("NorBridge2", "1");
    Choose(w, [](app::PageChooser& chooser) { chooser.box(13)->setChecked(true); });
    ASSERT_TRUE(w.RequestPage(13));
    app::SetParFlashRunning(true);
    Choose(w, [](app::PageChooser& chooser) { chooser.box(13)->setChecked(false); });
    EXPECT_EQ(w.currentPage(), 13);
    EXPECT_TRUE(w.pageShown(13));
    EXPECT_EQ(w.statusText().toStdString(), app::kPageGuardText);
    app::SetParFlashRunning(false);
}

TEST(Keys, PageKeysStepThroughTheShownPagesBothWaysAndWrap) {
    PanelTest t;
    t.Store("GPIO", "1");
    MainWindow w(MainWindow::Options{0});
    w.FormCreate();
    Activate(w);
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        std::vector<int> pages;
    } cases[] = {
        {Qt::Key_Tab, Qt::ControlModifier, {2, 3, 4, 6, 7, 12, 19, 1}},
        {Qt::Key_PageDown, Qt::ControlModifier, {2, 3, 4, 6, 7, 12, 19, 1}},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, {19, 12, 7, 6, 4, 3, 2, 1}},
        {Qt::Key_PageUp, Qt::ControlModifier, {19, 12, 7, 6, 4, 3, 2, 1}},
    };
    for (const auto& c : cases) {
        std::vector<int> seen;
        for (std::size_t i = 0; i < c.pages.size(); ++i) {
            QTest::keyClick(&w, c.key, c.mods);
            seen.push_back(w.currentPage());
        }
        EXPECT_EQ(seen, c.pages) << QKeySequence(c.key | c.mods).toString().toStdString();
    }
    // The guard holds the page while NorBridge2 runs.
    app::SetParFlashRunning(true);
    QTest::keyClick(&w, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(w.currentPage(), 1);
    EXPECT_EQ(w.statusText().toStdString(), app::kPageGuardText);
    app::SetParFlashRunning(false);
}

TEST(Keys, F1OpensThePagesSectionOrABoxNamesTheManual) {
    PanelTest t;
    MainWindow w(MainWindow::Options{0});
    w.FormCreate();
    Activate(w);
    ASSERT_TRUE(w.RequestPage(app::kMemoryPage));
    const QString manual = app::ManualFolder() + "/memory.html";
    ASSERT_TRUE(QFile::exists(manual)) << manual.toStdString();
    t.prompter.setNextOpenResult(true);
    QTest::keyClick(&w, Qt::Key_F1);
    ASSERT_EQ(t.prompter.asked().size(), 1u);
    EXPECT_EQ(t.prompter.asked()[0].text, "file://" + manual.toStdString() + "#memory");

    t.prompter.setNextOpenResult(false);  // no browser
    QTest::keyClick(&w, Qt::Key_F1);
    EXPECT_EQ(t.prompter.messages(), std::vector<std::string>{std::string(app::kHelpNotShownText) +
                                                              "\n" + manual.toStdString()});
    t.prompter.clear();
    EXPECT_FALSE(app::HelpOpen("index.html", "/nonexistent/manual"));
    EXPECT_EQ(t.prompter.messages(), std::vector<std::string>{std::string(app::kHelpMissingText) +
                                                              "\n/nonexistent/manual/index.html"});
    // Every page's section is in the manual.
    for (int n = 1; n <= app::kPageCount; ++n) {
        const QString section = app::ManualSectionOf(n);
        QFile f(app::ManualFolder() + "/" + section.section('#', 0, 0));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << section.toStdString();
        EXPECT_TRUE(f.readAll().contains(("id=\"" + section.section('#', 1) + "\"").toUtf8()))
            << section.toStdString();
    }
}

TEST(Keys, CtrlQLeavesThroughTheExitAndF10AndMnemonicsOpenTheMenus) {
    PanelTest t;
    t.bus->present = true;
    MainWindow w(MainWindow::Options{0});
    w.FormCreate();
    Activate(w);
    const QList<QAction*> menus = w.menuBar()->actions();
    ASSERT_GE(menus.size(), 3);
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int menu;
    } opens[] = {{Qt::Key_F10, Qt::NoModifier, 0},
                 {Qt::Key_F, Qt::AltModifier, 0},
                 {Qt::Key_O, Qt::AltModifier, 1},
                 {Qt::Key_H, Qt::AltModifier, 2}};
    for (const auto& o : opens) {
        QTest::keyClick(&w, o.key, o.mods);
        EXPECT_EQ(QApplication::activePopupWidget(), menus[o.menu]->menu()) << o.menu;
        if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        w.menuBar()->setActiveAction(nullptr);
    }

    QSignalSpy exits(&w, &MainWindow::exitRequested);
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(exits.count(), 1);
    EXPECT_FALSE(link::BoardLink::Instance().IsOpen());
}

// A control whose parts take the focus in turn (the cells of a grid, a
// chart's view) counts once: as its outermost scroll area.
QWidget* Control(QWidget* w, QWidget* page) {
    QWidget* control = w;
    for (QWidget* a = w; a && a != page; a = a->parentWidget())
        if (qobject_cast<QAbstractScrollArea*>(a)) control = a;
    return control;
}

// The controls of page `n` in the order Tab reaches them, from its tab to
// where the focus leaves the page.
std::vector<QWidget*> TabWalk(MainWindow& w, int n, QWidget** left) {
    std::vector<QWidget*> walk;
    w.tabBar()->tabButton(app::kPageCount - 1)->setFocus();
    for (int i = 0; i < 200; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* f = QApplication::focusWidget();
        if (!f || !w.page(n)->isAncestorOf(f)) {
            *left = f;
            break;
        }
        f = Control(f, w.page(n));
        if (walk.empty() || walk.back() != f) walk.push_back(f);
    }
    return walk;
}

TEST(Keys, TabWalksEveryPageAlongItsRowsAndOnToTheButtons) {
    PanelTest t;
    t.bus->present = true;
    ShowEveryPage(t);
    for (const char* key : {"EXT_CFG", "BITSWAP", "ENCRYPT", "TESSERA_CONFIG"}) t.Store(key, "1");
    MainWindow w(MainWindow::Options{0});
    w.FormCreate();
    Activate(w);
    const std::map<int, QStringList> byHand = {
        {1,
         {"regNumber1", "regWidth1", "regReadBack1", "Button4", "regValue1", "Button5",
          "regNumber2", "regWidth2", "regReadBack2", "Button6", "regValue2", "Button7",
          "regNumber3", "regWidth3", "regReadBack3", "Button8", "regValue3", "Button9"}},
        {2,
         {"Edit10", "Button10", "Edit11", "Button11", "ComboBox4", "Edit12", "Edit13", "Button12",
          "Button13", "ViewButton", "ComboBox5", "CheckBox4", "Button14", "Button15"}},
        {3,
         {"LabeledEdit1", "Button16", "CheckBox1", "CheckBox7", "CheckBox3", "CheckBox5",
          "CheckBox6", "SpeedButton1", "Button17"}},
        {6, {"LabeledEdit1", "Button23", "Button24", "Button25"}},
        {7, {"Memo2", "ComboBox6", "Button26"}},
    };
    for (int n = 1; n <= app::kPageCount; ++n) {
        SCOPED_TRACE(app::PageInfoOf(n).caption);
        ASSERT_TRUE(w.RequestPage(n));
        QWidget* left = nullptr;
        const std::vector<QWidget*> walk = TabWalk(w, n, &left);
        EXPECT_EQ(left, w.findChild<QWidget*>("Button1"));
        // Each control that takes the focus is reached, once.
        std::set<QWidget*> controls;
        for (QWidget* c : w.page(n)->findChildren<QWidget*>())
            if (c->isVisibleTo(w.page(n)) && c->isEnabled() && (c->focusPolicy() & Qt::TabFocus))
                controls.insert(Control(c, w.page(n)));
        EXPECT_EQ(std::set<QWidget*>(walk.begin(), walk.end()), controls);
        EXPECT_EQ(walk.size(), controls.size());
        if (!byHand.count(n)) continue;
        QStringList names;
        for (QWidget* c : walk) names << c->objectName();
        EXPECT_EQ(names, byHand.at(n)) << names.join(' ').toStdString();
    }
}

}  // namespace
}  // namespace quillon::test
