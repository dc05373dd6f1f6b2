// What an accessibility tool finds in the panel: every control on every page
// named, and no two controls of a kind sharing a name on one page (a tool
// finds a control by its role and its name).

#include "app/accessibility.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <map>
#include <set>

#include "app/link_label.h"
#include "app/log_window.h"
#include "app/wrap_tab_bar.h"
#include "app/main_window.h"
#include "app/mode_sel_form.h"
#include "app/secondary_windows.h"
#include "app/startup_hooks.h"
#include "app_test_support.h"

namespace quillon::test {
namespace {

using app::MainWindow;

bool IsControl(QAccessible::Role role) {
    switch (role) {
        case QAccessible::PushButton:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::ComboBox:
        case QAccessible::EditableText:
        case QAccessible::SpinBox:
        case QAccessible::Slider:
        case QAccessible::PageTab:
        case QAccessible::ButtonDropDown:
        case QAccessible::ButtonMenu:
        case QAccessible::List:
        case QAccessible::Table:
        case QAccessible::Tree:
            return true;
        default:
            return false;
    }
}

std::string Describe(QAccessibleInterface* c) {
    const QObject* o = c->object();
    return std::to_string(c->role()) + " '" + c->text(QAccessible::Name).toStdString() + "' (" +
           (o ? o->objectName().toStdString() : std::string()) + ")";
}

// The controls under `iface` as a tool walks them; a control's own parts
// (a list's entries, an edit's scroll bars) are not walked into.
void Controls(QAccessibleInterface* iface, std::vector<QAccessibleInterface*>& out) {
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* c = iface->child(i);
        if (!c) continue;
        if (IsControl(c->role())) {
            out.push_back(c);
            continue;
        }
        Controls(c, out);
    }
}

// Problems of one scope: unnamed controls and shared names.
std::vector<std::string> Check(const std::string& where,
                               const std::vector<QAccessibleInterface*>& controls) {
    std::vector<std::string> problems;
    std::map<std::pair<int, QString>, int> seen;
    for (QAccessibleInterface* c : controls) {
        const QString name = c->text(QAccessible::Name).trimmed();
        if (name.isEmpty()) problems.push_back(where + ": no name: " + Describe(c));
        else if (++seen[{c->role(), name}] == 2)
            problems.push_back(where + ": name shared: " + Describe(c));
    }
    return problems;
}

void StoreEveryPage(PanelTest& t) {
    for (const char* key : {"I2CCont", "I2CCont2", "I2CCont3", "SPICont", "SerBridge", "SUSPEND",
                            "TEMPMoni", "GPIO", "NorBridge2", "GPIF_CONFIG", "REGEX", "REG512",
                            "MCP4725", "GPIF_WAVE", "MEM_CMD_EXT", "REGEX_EMULATE_VISIBLE",
                            "TEMP_ALERT", "FX3WATCHDOG", "FX3RESET", "EXT_CFG", "TAVEL_CONFIG",
                            "BITSWAP", "ENCRYPT", "TESSERA_CONFIG"})
        t.Store(key, "1");
    t.Store("MEM_NUM", "2");
    t.Store("MEM_LIST0", "DDR3");
    t.Store("MEM_LIST1", "SRAM");
}

TEST(Accessibility, EveryControlOnEveryPageHasANameOfItsOwn) {
    PanelTest t;
    StoreEveryPage(t);
    t.bus->present = true;
    app::InstallAccessibility(*qApp);
    MainWindow w(MainWindow::Options{0});
    w.FormCreate();
    w.show();
    std::vector<std::string> problems;
    int pages = 0;
    for (int n = 1; n <= app::kPageCount; ++n) {
        if (!w.pageShown(n)) continue;
        ++pages;
        std::vector<QAccessibleInterface*> controls;
        Controls(QAccessible::queryAccessibleInterface(w.page(n)), controls);
        const auto found = Check("page " + std::to_string(n), controls);
        problems.insert(problems.end(), found.begin(), found.end());
    }
    EXPECT_EQ(pages, app::kPageCount);
    // The frame around the pages: the tabs and the two buttons.
    std::vector<QAccessibleInterface*> frame;
    Controls(QAccessible::queryAccessibleInterface(w.tabBar()), frame);
    for (const char* name : {"Button1", "Button3"})
        frame.push_back(QAccessible::queryAccessibleInterface(w.findChild<QPushButton*>(name)));
    auto found = Check("frame", frame);
    problems.insert(problems.end(), found.begin(), found.end());
    // The other windows, as they are shown.
    for (const auto& create : app::Hooks().createWindows) create(&w);
    app::TModeSelForm mode(&w);
    mode.Prepare(true, true, true);
    std::vector<QWidget*> windows{app::LogWindow::Instance(), app::VersionWindow::Create(&w)};
    for (QDialog* d : w.findChildren<QDialog*>()) windows.push_back(d);
    EXPECT_GE(windows.size(), 5u);  // log, version, mode, split progress, notice
    for (QWidget* window : windows) {
        window->show();
        std::vector<QAccessibleInterface*> controls;
        Controls(QAccessible::queryAccessibleInterface(window), controls);
        found = Check(window->objectName().toStdString(), controls);
        problems.insert(problems.end(), found.begin(), found.end());
        window->hide();
    }
    std::string all;
    for (const auto& p : problems) all += p + "\n";
    EXPECT_TRUE(problems.empty()) << all;
}

// A list is found by its label and read by its entry; a clickable label is a
// link a tool can press.
TEST(Accessibility, ListsAreNamedByTheirLabelAndLinksArePressed) {
    EnsureApp();
    app::InstallAccessibility(*qApp);
    QWidget window;
    QComboBox list(&window);
    list.addItems({"8bit", "16bit"});
    list.setCurrentIndex(1);
    list.setAccessibleName("ﾋﾞｯﾄ幅");
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&list);
    EXPECT_EQ(iface->role(), QAccessible::ComboBox);
    EXPECT_EQ(iface->text(QAccessible::Name), "ﾋﾞｯﾄ幅");
    EXPECT_EQ(iface->text(QAccessible::Value), "16bit");
    ASSERT_EQ(iface->childCount(), 1);
    EXPECT_EQ(iface->child(0)->object(), static_cast<QObject*>(list.view()));

    app::LinkLabel link("ﾛｸﾞﾌｧｲﾙは｢/tmp｣に保存されます。", &window);
    int clicks = 0;
    QObject::connect(&link, &app::LinkLabel::clicked, [&] { ++clicks; });
    QAccessibleInterface* l = QAccessible::queryAccessibleInterface(&link);
    EXPECT_EQ(l->role(), QAccessible::Link);
    EXPECT_EQ(l->text(QAccessible::Name), link.text());
    l->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace quillon::test
