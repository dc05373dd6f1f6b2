#pragma once
// The main window: the 19 pages, the three menus, the two buttons, the status
// bar and the two timers, and the start-up sequence that brings the program up.

#include <QMainWindow>
#include <QVector>
#include <functional>
#include <map>
#include <string>

#include "app/page.h"
#include "app/page_table.h"
#include "boards/backends.h"
#include "features/reporter.h"
#include "link/board_link.h"

class QLabel;
class QMenu;
class QPushButton;
class QStackedWidget;
class QTimer;

namespace quillon::app {

class NoBoardNotice;
class WrapTabBar;
class MainWindow;

// The reporter of the panel's handlers: the log writer, the dialog seam, the
// status bar, the busy window and the event loop.
// Called from the worker of a long operation, each hands its call to the
// GUI thread.
class GuiReporter : public features::Reporter {
  public:
    explicit GuiReporter(MainWindow& window) : window_(window) {}
    void Status(const std::string& text) override;
    void Progress(std::uint64_t done, std::uint64_t total, Unit unit) override;
    void Busy(const std::string& text) override;
    void BusyHide() override;
    void Pump() override;

  private:
    MainWindow& window_;
};

inline constexpr const char* kDesignedCaption = "Quillon Panel Quillon Application 7.0 for x86";
inline constexpr const char* kSeriesTitle =
    QT_TRANSLATE_NOOP("Lang", "Brightlink Series：Quillon Application7");
inline constexpr const char* kPageGuardText =
    QT_TRANSLATE_NOOP("Lang", "NorBridge2実行中はﾍﾟｰｼﾞの切り換えは出来ません。");

// "winusb.sys = Ver%s" with the USB stack's version, or the failure line.
void LogDriverVersion();

class MainWindow : public QMainWindow,
                   public PageContext,
                   public link::BoardListener,
                   public LongWorkListener {
    Q_OBJECT
  public:
    struct Options {
        int splashMs = 800;
    };
    MainWindow() : MainWindow(Options{}) {}
    explicit MainWindow(Options options, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence; run once, right after construction.
    void FormCreate();
    void RestoreUiState();
    void EnableBoardControls(bool enabled);

    // The board the link was set up for, which "ﾎﾞｰﾄﾞの選択..." starts from,
    // and a line for the log about where that choice came from (a stored
    // choice), written before the board is opened. Before FormCreate.
    void SetBoardChoice(const boards::BoardOptions& board, const std::string& note = {});
    // "ﾎﾞｰﾄﾞの選択...": the dialog, then SwitchBoard with the board chosen.
    void ChooseBoard();
    // Lets the open board go and opens the one chosen, with the steps that
    // follow a board opening at start-up, and stores the choice. False when
    // long work runs (the busy text in the status bar) or the chosen backend
    // cannot be made (a box says why; the link stays as it was).
    bool SwitchBoard(const boards::BoardOptions& choice);
    // The band that says why no board is open; hidden while one is.
    NoBoardNotice* noBoardNotice() const { return notice_; }

    // PageContext
    void SetStatus(const QString& text) override;
    void RegisterBoardControl(QWidget* control, std::function<bool(bool)> rule = {}) override;
    void RegisterBoardAction(QAction* action) override;
    void RefreshBoardControls() override;
    bool BoardOpen() const override { return boardControlsOn_; }
    features::Reporter& reporter() override { return reporter_; }
    QAction* MenuAction(const char* objectName) override;
    QTimer* Timer(int number) override;
    QWidget* PageWidget(int number) override;
    bool RunLong(const LongWorkOptions& options, const std::function<void()>& work) override;

    // LongWorkListener: the board controls are off while long work runs.
    void LongWorkChanged(bool running) override;

    // BoardListener
    void BoardState(bool open) override;

    // The pages: number 1..19.
    Page* page(int number) const;
    int currentPage() const;
    bool pageShown(int number) const;
    // A user's click on a tab: through the guard and the change handler.
    bool RequestPage(int number);
    // Puts a page in front without the guard (start-up).
    void ShowPage(int number);
    QString statusText() const;
    WrapTabBar* tabBar() const { return tabs_; }
    QWidget* pageArea() const { return pageArea_; }
    // Client height of the first page after the page area is `areaHeight` high.
    int FirstPageClientHeight(int areaHeight) const;
    // Window height chosen by the start-up sizing (327, 381 or 375).
    int designHeight() const { return designHeight_; }

    // Handlers.
    bool PageControl1Changing();
    void PageControl1Change();
    void Button1Click();
    void Button3Click();
    void N10Click() { Button3Click(); }
    void View1Click();
    void N3Click();
    void N5Click();
    void Quillon71Click();

    // "表示するﾍﾟｰｼﾞ...": the page chooser; OK shows and hides the tabs at once.
    void ChoosePages();
    // Ctrl+Tab / Ctrl+PageDown (+1) and Ctrl+Shift+Tab / Ctrl+PageUp (-1): the
    // next or previous shown page, wrapping, through the page-change guard.
    bool StepPage(int step);
    // F1: the manual at the current page's section.
    void HelpForCurrentPage();
    // F10: the menu bar with its first menu open.
    void OpenMenuBar();

  signals:
    // The exit command ran (the link is already closed).
    void exitRequested();

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void BuildMenus();
    void BuildPages();
    QAction* AddAction(QMenu* menu, const char* name, const char* caption, bool checkable = false);
    void ApplySizing();
    void FitToTabs();
    void ApplyHeights(int areaHeight, int windowHeight, int buttonsTop);
    // The window's fixed size: menu bar, no-board band, client area, status bar.
    void FitWindow();
    // The steps that follow a board opening at start-up (and after a board
    // was chosen): controls on, "USB OPEN!!", automatic configuration and script.
    void BoardOpened(bool autoConfig, bool autoTcl);
    // Shows why no board is open (band and, with `status`, the status bar),
    // or hides the band while one is.
    void ShowBoardState(bool status);
    // Shows the tabs whose keys say so; a hidden current page gives way.
    void ApplyPageVisibility(const SettingsStore& store);
    int NextShownPage(int from, int step) const;
    void FocusFirstControl(int number);
    void BuildKeyboard();
    void OrderFocusChain();

    struct BoardControl {
        QWidget* widget;
        std::function<bool(bool)> rule;
    };

    Options options_;
    GuiReporter reporter_;
    QWidget* central_ = nullptr;
    QWidget* pageArea_ = nullptr;
    WrapTabBar* tabs_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QVector<Page*> pages_;
    QPushButton* button1_ = nullptr;
    QPushButton* button3_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer* timer1_ = nullptr;
    QTimer* timer2_ = nullptr;
    NoBoardNotice* notice_ = nullptr;
    // While no board is open the reason is looked at again now and then: a
    // failed open on arrival and a board's controller without firmware change
    // it without telling the listeners.
    QTimer* noticeTimer_ = nullptr;
    QString noBoardStatus_;  // the no-board headline the status bar was given
    QMenu* memModeMenu_ = nullptr;
    std::map<std::string, QAction*> actions_;
    std::vector<BoardControl> boardControls_;
    std::vector<QAction*> boardActions_;
    bool boardControlsOn_ = false;
    bool working_ = false;
    // The window was closed (or Exit pressed) during long work: the program
    // ends when the work has stopped.
    bool exitAfterWork_ = false;
    bool closeAfterWork_ = false;
    int designHeight_ = 327;
    boards::BoardOptions board_;
    std::string boardNote_;
};

}  // namespace quillon::app
