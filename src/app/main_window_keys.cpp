// The main window's keyboard (page keys, F1, F10, Ctrl+Q, the menus'
// mnemonics, the focus chain) and the pages the user chooses to show.

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QStackedWidget>

#include "app/main_window.h"
#include "app/page_chooser.h"
#include "app/secondary_windows.h"
#include "app/wrap_tab_bar.h"

namespace quillon::app {

void MainWindow::BuildKeyboard() {
    // Japanese programs give a katakana caption its letter in parentheses.
    const std::pair<const char*, char> mnemonics[] = {
        {"File1", 'F'}, {"Option1", 'O'}, {"Help1", 'H'}};
    for (const auto& [name, letter] : mnemonics) {
        if (auto* menu = menuBar()->findChild<QMenu*>(name))
            menu->setTitle(menu->title().startsWith(QChar(letter))
                               ? "&" + menu->title()  // an English caption holds its letter
                               : menu->title() + QString("(&%1)").arg(QChar(letter)));
    }
    actions_.at("N10")->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    auto key = [this](const char* name, const QList<QKeySequence>& keys, auto handler) {
        auto* a = new QAction(this);
        a->setObjectName(name);
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
        connect(a, &QAction::triggered, this, handler);
    };
    // Shift+Tab arrives as Backtab on X11 and as Tab with Shift elsewhere.
    key("NextPageKey",
        {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)},
        [this] { StepPage(1); });
    key("PreviousPageKey",
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
        [this] { StepPage(-1); });
    key("HelpKey", {QKeySequence(Qt::Key_F1)}, [this] { HelpForCurrentPage(); });
    key("MenuBarKey", {QKeySequence(Qt::Key_F10)}, [this] { OpenMenuBar(); });
}

void MainWindow::OrderFocusChain() {
    // Each tab was made just before its page, so Tab went from a page to the
    // next tab and on through the hidden pages. The tabs come first, then the
    // page in front, then the buttons below.
    for (int i = 1; i < tabs_->count(); ++i)
        setTabOrder(tabs_->tabButton(i - 1), tabs_->tabButton(i));
}

int MainWindow::NextShownPage(int from, int step) const {
    for (int i = 1; i <= kPageCount; ++i) {
        const int n = ((from - 1 + i * step) % kPageCount + kPageCount) % kPageCount + 1;
        if (pageShown(n)) return n;
    }
    return from;
}

bool MainWindow::StepPage(int step) {
    const int next = NextShownPage(currentPage(), step);
    if (next == currentPage() || !RequestPage(next)) return false;
    FocusFirstControl(next);
    return true;
}

void MainWindow::FocusFirstControl(int number) {
    // A tab keeps the focus (the keys move along the tabs); otherwise the
    // focus goes with the page, to its first control that takes it.
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus->parentWidget() == tabs_) {
        tabs_->tabButton(number - 1)->setFocus(Qt::TabFocusReason);
        return;
    }
    Page* p = page(number);
    for (QWidget* w = p->nextInFocusChain(); w && w != p; w = w->nextInFocusChain()) {
        if (w == this) break;
        if (p->isAncestorOf(w) && w->isVisibleTo(p) && w->isEnabled() &&
            (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    tabs_->tabButton(number - 1)->setFocus(Qt::TabFocusReason);
}

void MainWindow::HelpForCurrentPage() {
    HelpOpen(ManualSectionOf(currentPage()));
}

void MainWindow::OpenMenuBar() {
    const QList<QAction*> menus = menuBar()->actions();
    if (!menus.isEmpty()) menuBar()->setActiveAction(menus.first());
}

void MainWindow::ChoosePages() {
    PageChooser chooser(this, [this](int n) { return pageShown(n); });
    if (chooser.exec() != QDialog::Accepted) return;
    SettingsStore store;
    chooser.Save(store);
    ApplyPageVisibility(store);
    FitToTabs();
}

void MainWindow::ApplyPageVisibility(const SettingsStore& store) {
    for (int n = 1; n <= kPageCount; ++n) {
        const PageInfo& info = PageInfoOf(n);
        if (info.visibilityKey)
            tabs_->setTabVisible(n - 1,
                                 store.ReadBool(kSetup, info.visibilityKey, info.visibleByDefault));
    }
    const int current = currentPage();
    if (pageShown(current)) return;
    // The page in front was hidden: the next shown one comes forward, as if
    // its tab were clicked. While NorBridge2 runs the guard keeps the page,
    // and its tab with it, until the keys are applied again.
    tabs_->setTabVisible(current - 1, true);
    const int next = NextShownPage(current, 1);
    if (RequestPage(next)) tabs_->setTabVisible(current - 1, false);
}

}  // namespace quillon::app
