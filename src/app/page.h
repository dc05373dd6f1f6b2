#pragma once
// A page of the main window. Each feature brings its page as one unit: its
// controls, its handlers, its share of the stored-state restore and the list of
// its board-dependent controls. The frame (MainWindow) knows pages only
// through this interface and the factory table in page_table.cpp.

#include <QString>
#include <QWidget>
#include <functional>
#include <string>

#include "app/long_work.h"
#include "features/reporter.h"
#include "platform/settings_store.h"
#include "platform/ui_text.h"

class QAction;
class QTimer;

namespace quillon::app {

// The program's texts are UTF-8 literals.
inline QString U(const char* text) { return QString::fromUtf8(text); }
inline std::string S(const QString& text) { return text.toStdString(); }

// What the frame offers a page.
class PageContext {
public:
    virtual ~PageContext() = default;
    // The one-panel status bar of the main window.
    virtual void SetStatus(const QString& text) = 0;
    // Registers a control that works only while a board is open. With a rule,
    // the control is enabled when rule(boardOpen) is true.
    virtual void RegisterBoardControl(QWidget* control,
                                      std::function<bool(bool boardOpen)> rule = {}) = 0;
    virtual void RegisterBoardAction(QAction* action) = 0;
    // Re-applies the board-dependent state (after a page changed a rule's input).
    virtual void RefreshBoardControls() = 0;
    virtual bool BoardOpen() const = 0;
    // The GUI reporter: log, dialog seam, status bar, busy window, event pump.
    virtual features::Reporter& reporter() = 0;
    // A menu item of the main window, by objectName ("N8", "N17", "Tessera1", ...).
    virtual QAction* MenuAction(const char* objectName) = 0;
    // Timer1 (500 ms) and Timer2 (5000 ms) of the main window.
    virtual QTimer* Timer(int number) = 0;
    // Another page by its number (1..19), for the few pages that cooperate.
    virtual QWidget* PageWidget(int number) = 0;
    // Runs a long operation on the worker while the window stays alive
    // (long_work.h); false, with the busy text in the status bar, while
    // another one runs.
    virtual bool RunLong(const LongWorkOptions& options, const std::function<void()>& work) = 0;
};

class Page : public QWidget {
    Q_OBJECT
public:
    Page(PageContext& context, QWidget* parent = nullptr) : QWidget(parent), ctx_(context) {}
    // Applies this page's keys of the stored state (once, at start-up).
    virtual void RestoreUiState(const SettingsStore& store) { (void)store; }
    // The page became the current page.
    virtual void Entered() {}

protected:
    PageContext& ctx() { return ctx_; }

private:
    PageContext& ctx_;
};

}  // namespace quillon::app
