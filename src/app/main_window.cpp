#include "app/main_window.h"
#include "app/viewer/data_viewer.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>

#include "app/board_chooser.h"
#include "app/gui_thread.h"
#include "app/language_menu.h"
#include "app/log_window.h"
#include "app/no_board_notice.h"
#include "app/page_chooser.h"
#include "app/par_flash.h"
#include "app/secondary_windows.h"
#include "app/session_recording.h"
#include "app/startup_hooks.h"
#include "app/ui_fonts.h"
#include "app/wrap_tab_bar.h"
#include "boards/backends.h"
#include "features/busy_gate.h"
#include "log/log_file.h"
#include "platform/prompter.h"
#include "platform/settings_store.h"
#include "platform/ui_text.h"

#ifndef QUILLON_VERSION
#define QUILLON_VERSION ""
#endif

namespace quillon::app {

namespace {

std::atomic<bool> g_parFlashRunning{false};

constexpr int kClientWidth = 586;
// Frame of the page area around the current page (border on each side).
constexpr int kPageFrame = 2;
// The window heights of the sizing rule count a 47-pixel title bar and menu
// bar and a 20-pixel status bar; what remains is the area below the menu bar.
constexpr int kHeightOutsideClient = 67;
constexpr int kButtonHeight = 25;

}  // namespace

bool ParFlashRunning() {
    return g_parFlashRunning.load();
}
void SetParFlashRunning(bool running) {
    g_parFlashRunning.store(running);
}

void GuiReporter::Status(const std::string& text) {
    GuiCall([&] { window_.SetStatus(QString::fromStdString(text)); });
}
void GuiReporter::Progress(std::uint64_t done, std::uint64_t total, Unit unit) {
    GuiPost([=] { LongWork::Progress(done, total, unit); });
}
void GuiReporter::Busy(const std::string& text) {
    GuiCall([&] { BusyWindow::Show(text); });
}
void GuiReporter::BusyHide() {
    GuiCall([] { BusyWindow::Hide(); });
}
void GuiReporter::Pump() {
    // From the worker: the events pending at this point of the operation run
    // before it goes on, as they did when the operation ran on the GUI thread
    // (a Cancel pressed after a piece stops the next one).
    GuiCall([] { QCoreApplication::processEvents(); });
}

void LogDriverVersion() {
    const link::Backend* backend = link::BoardLink::Instance().backend();
    const std::string version = backend ? backend->DriverVersion() : std::string();
    if (version.empty()) {
        LogFile::Write(Lang::Tr("ﾄﾞﾗｲﾊﾞﾊﾞｰｼﾞｮﾝの取得に失敗しました。"));
        return;
    }
    LogFile::Write("winusb.sys = Ver" + version);
}

MainWindow::MainWindow(Options options, QWidget* parent)
    : QMainWindow(parent), options_(options), reporter_(*this) {
    setObjectName("MainForm");
    setWindowTitle(U(kDesignedCaption));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    // The band that says why no board is open sits above the client area,
    // which keeps its designed size: the window grows by the band while it shows.
    auto* client = new QWidget(this);
    client->setObjectName("Client");
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    notice_ = new NoBoardNotice(client);
    notice_->hide();
    central_ = new QWidget(client);
    central_->setObjectName("Central");
    column->addWidget(notice_);
    column->addWidget(central_);
    setCentralWidget(client);
    connect(notice_, &NoBoardNotice::chooseBoard, this, [this] { ChooseBoard(); });
    noticeTimer_ = new QTimer(this);
    noticeTimer_->setInterval(1000);
    connect(noticeTimer_, &QTimer::timeout, this, [this] { ShowBoardState(false); });

    // One sunken text panel, inset from the window's edges.
    status_ = new QLabel(this);
    status_->setObjectName("StatusBar1");
    status_->setStyleSheet(
        "QLabel#StatusBar1 { border: 1px solid palette(mid); border-top-color: palette(dark);"
        " border-left-color: palette(dark); padding: 0px 3px; }");
    statusBar()->setSizeGripEnabled(false);
    statusBar()->setContentsMargins(3, 0, 3, 3);
    // One height whether or not a text is showing: the text's line and the
    // frame, near the 20 pixels the window's height was designed with.
    statusBar()->setFixedHeight(22);
    status_->setFixedHeight(18);
    statusBar()->addWidget(status_, 1);

    timer1_ = new QTimer(this);
    timer1_->setObjectName("Timer1");
    timer1_->setInterval(500);
    timer2_ = new QTimer(this);
    timer2_->setObjectName("Timer2");
    timer2_->setInterval(5000);

    BuildMenus();
    BuildPages();

    button1_ = new QPushButton(Lang::tr("ﾛｸﾞView再表示"), central_);
    button1_->setObjectName("Button1");
    button3_ = new QPushButton(Lang::tr("終了"), central_);
    button3_->setObjectName("Button3");
    connect(button1_, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(button3_, &QPushButton::clicked, this, [this] { Button3Click(); });

    ApplyHeights(217, 327, 233);
    link::BoardLink::Instance().AddListener(this);
    LongWork::SetListener(this);
    features::SetRunner(&PanelRunner());
}

MainWindow::~MainWindow() {
    features::SetRunner(nullptr);
    LongWork::SetListener(nullptr);
    link::BoardLink::Instance().RemoveListener(this);
    // The controls go with the window's children after this body, when the
    // list they would leave is gone already.
    for (const BoardControl& c : boardControls_)
        disconnect(c.widget, &QObject::destroyed, this, nullptr);
}

QAction* MainWindow::AddAction(QMenu* menu, const char* name, const char* caption, bool checkable) {
    QAction* a = menu->addAction(Lang::Marked(caption));
    a->setObjectName(name);
    a->setCheckable(checkable);
    actions_[name] = a;
    return a;
}

void MainWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu(Lang::tr("ﾌｧｲﾙ"));
    file->setObjectName("File1");
    connect(AddAction(file, "BoardSelect1", kChooseBoardCaption), &QAction::triggered, this,
            [this] { ChooseBoard(); });
    connect(AddAction(file, "DataView1", QT_TRANSLATE_NOOP("Lang", "ﾃﾞｰﾀの表示...")), &QAction::triggered, this,
            [this] { ChooseAndView(this); });
    file->addSeparator();
    connect(AddAction(file, "N10", QT_TRANSLATE_NOOP("Lang", "終了")), &QAction::triggered, this, [this] { N10Click(); });
    actions_["Record1"] =
        InstallRecordingItem(this, file, actions_.at("N10"), [this] { return board_.board; });
    file->insertSeparator(actions_.at("N10"));

    QMenu* opt = menuBar()->addMenu(Lang::tr("ｵﾌﾟｼｮﾝ"));
    opt->setObjectName("Option1");
    AddAction(opt, "N8", QT_TRANSLATE_NOOP("Lang", "ｵｰﾄｺﾝﾌｨｸﾞ"), true);
    AddAction(opt, "N9", QT_TRANSLATE_NOOP("Lang", "ｵｰﾄTCLｽｸﾘﾌﾟﾄ"), true);
    opt->addSeparator();
    memModeMenu_ = opt->addMenu(Lang::tr("ﾒﾓﾘ転送ﾓｰﾄﾞ切り換え"));
    memModeMenu_->setObjectName("MemModeMenu");
    memModeMenu_->menuAction()->setObjectName("N12");
    actions_["N12"] = memModeMenu_->menuAction();
    QMenu* memRead = memModeMenu_->addMenu("MemRead");
    memRead->menuAction()->setObjectName("MemRead1");
    actions_["MemRead1"] = memRead->menuAction();
    AddAction(memRead, "Burst1", "Burst", true)->setChecked(true);
    AddAction(memRead, "Word1", "Word", true);
    QMenu* memWrite = memModeMenu_->addMenu("MemWrite");
    memWrite->menuAction()->setObjectName("MemWrite1");
    actions_["MemWrite1"] = memWrite->menuAction();
    AddAction(memWrite, "Burst2", "Burst", true)->setChecked(true);
    AddAction(memWrite, "Word2", "Word", true);
    // A waveform item's mark tells what the board was last told: a click does not
    // move it by itself. The item's handler (connected after this) checks the chosen
    // item and clears its sibling once the board took the request.
    for (const char* name : {"Burst1", "Word1", "Burst2", "Word2"}) {
        QAction* item = actions_.at(name);
        connect(item, &QAction::triggered, this,
                [item](bool checked) { item->setChecked(!checked); });
    }
    opt->addSeparator();
    AddAction(opt, "N14", QT_TRANSLATE_NOOP("Lang", "ﾒﾓﾘﾘｰﾄﾞ時にｽｸﾗﾝﾌﾞﾙ化を行う"), true);
    AddAction(opt, "N15", QT_TRANSLATE_NOOP("Lang", "ﾒﾓﾘﾗｲﾄ時にｽｸﾗﾝﾌﾞﾙ化を行う"), true);
    opt->addSeparator();
    AddAction(opt, "N17", QT_TRANSLATE_NOOP("Lang", "拡張ﾚｼﾞｽﾀｱｸｾｽをｴﾐｭﾚｰﾄする"), true);
    opt->addSeparator();
    AddAction(opt, "Tessera1", QT_TRANSLATE_NOOP("Lang", "Tesseraﾓｰﾄﾞ専用のﾒﾓﾘｺﾏﾝﾄﾞを使用する"), true);
    opt->addSeparator();
    AddAction(opt, "N20", QT_TRANSLATE_NOOP("Lang", "温度警告の設定値を変更"));
    AddAction(opt, "N21", QT_TRANSLATE_NOOP("Lang", "温度警告の設定値を取得"));
    opt->addSeparator();
    AddAction(opt, "N23", QT_TRANSLATE_NOOP("Lang", "ｳｵｯﾁﾄﾞｸﾞﾀｲﾏの設定を変更"));
    AddAction(opt, "N24", QT_TRANSLATE_NOOP("Lang", "ｳｵｯﾁﾄﾞｸﾞﾀｲﾏの設定を取得"));
    opt->addSeparator();
    AddAction(opt, "FX31", QT_TRANSLATE_NOOP("Lang", "FX3ﾌｧｰﾑｳｪｱﾘｾｯﾄの実行"));
    opt->addSeparator();
    connect(AddAction(opt, "View1", QT_TRANSLATE_NOOP("Lang", "LOG View位置初期化")), &QAction::triggered, this,
            [this] { View1Click(); });
    opt->addSeparator();
    InstallLanguageMenu(this, opt);

    QMenu* help = menuBar()->addMenu(Lang::tr("ﾍﾙﾌﾟ"));
    help->setObjectName("Help1");
    connect(AddAction(help, "N3", QT_TRANSLATE_NOOP("Lang", "ﾍﾙﾌﾟ")), &QAction::triggered, this, [this] { N3Click(); });
    help->addSeparator();
    connect(AddAction(help, "N5", QT_TRANSLATE_NOOP("Lang", "ﾊﾞｰｼﾞｮﾝ情報")), &QAction::triggered, this, [this] { N5Click(); });
    help->addSeparator();
    connect(AddAction(help, "Quillon71", QT_TRANSLATE_NOOP("Lang", "Quillon7のｵﾝﾗｲﾝｱｯﾌﾟﾃﾞｰﾄ")), &QAction::triggered, this,
            [this] { Quillon71Click(); });

    // Above "LOG View位置初期化", after its separator: both decide what shows.
    QAction* chooser = AddAction(opt, "ShowPages1", kPageChooserItem);
    opt->insertAction(actions_.at("View1"), chooser);
    connect(chooser, &QAction::triggered, this, [this] { ChoosePages(); });
    BuildKeyboard();

    // The Options items that only work with a board.
    boardActions_ = {memModeMenu_->menuAction(),
                     actions_["N20"],
                     actions_["N21"],
                     actions_["N23"],
                     actions_["N24"],
                     actions_["FX31"]};
}

void MainWindow::BuildPages() {
    pageArea_ = new QFrame(central_);
    pageArea_->setObjectName("PageControl1");
    tabs_ = new WrapTabBar(pageArea_);
    tabs_->setObjectName("PageTabs");
    tabs_->setFont(UiFont(U(kFontTahoma), 13));
    stack_ = new QStackedWidget(pageArea_);
    stack_->setObjectName("PageStack");
    stack_->setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    stack_->setLineWidth(1);

    for (int n = 1; n <= kPageCount; ++n) {
        const PageInfo& info = PageInfoOf(n);
        tabs_->addTab(Lang::Marked(info.caption));
        PageFactory factory = PageFactoryOf(n);
        Page* p = factory ? factory(*this) : nullptr;
        if (!p) p = new Page(*this);
        p->setObjectName(QString("TabSheet%1").arg(n));
        stack_->addWidget(p);
        pages_.push_back(p);
    }
    tabs_->setCurrentIndex(0);
    stack_->setCurrentIndex(0);
    connect(tabs_, &WrapTabBar::tabClicked, this, [this](int index) { RequestPage(index + 1); });
    OrderFocusChain();
}

int MainWindow::FirstPageClientHeight(int areaHeight) const {
    return areaHeight - tabs_->heightForWidth(kClientWidth) - 2 * kPageFrame;
}

void MainWindow::ApplyHeights(int areaHeight, int windowHeight, int buttonsTop) {
    designHeight_ = windowHeight;
    const int tabHeight = tabs_->heightForWidth(kClientWidth);
    pageArea_->setGeometry(0, 0, kClientWidth, areaHeight);
    tabs_->setGeometry(0, 0, kClientWidth, tabHeight);
    stack_->setGeometry(0, tabHeight, kClientWidth, areaHeight - tabHeight);
    button1_->setGeometry(8, buttonsTop, 110, kButtonHeight);
    button3_->setGeometry(kClientWidth - 8 - 90, buttonsTop, 90, kButtonHeight);
    const int centralHeight =
        std::max(windowHeight - kHeightOutsideClient, buttonsTop + kButtonHeight + 2);
    central_->setFixedSize(kClientWidth, centralHeight);
    FitWindow();
}

void MainWindow::FitWindow() {
    const int band = notice_->isHidden() ? 0 : notice_->HeightFor(kClientWidth);
    if (band > 0) notice_->setFixedHeight(band);
    const int menu = menuBar()->sizeHint().height();
    const int status = std::max(statusBar()->sizeHint().height(), statusBar()->minimumHeight());
    setFixedSize(kClientWidth, menu + band + central_->height() + status);
}

void MainWindow::ApplySizing() {
    FitToTabs();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect r = screen->availableGeometry();
        move(r.center() - QPoint(width() / 2, height() / 2));
    }
}

void MainWindow::FitToTabs() {
    // The rule was measured with the page area at 217: the more rows the tabs
    // take, the less room the page keeps, and the taller the window grows.
    const int h = FirstPageClientHeight(217);
    if (h >= 180) {
        ApplyHeights(217, 327, 233);
    } else {
        ApplyHeights(241, 381, 257);
        if (h < 150) ApplyHeights(265, 375, 281);
    }
}

void MainWindow::FormCreate() {
    // 1-2. Device notices reach the link on the GUI thread, whatever thread
    // the backend notices them on.
    boards::RegisterQueuedNotices();

    // 3. The log window, before the log file, so the file's own messages show.
    LogWindow::Create(this);
    LogWindow::Place();

    // 4.
    if (!LogFile::Open()) {
        // Nothing else starts without a log; the controls still follow the link.
        EnableBoardControls(false);
        ApplySizing();
        return;
    }
    LogWindow::SetCaption("LOG View - " + LogFile::FileName());
    LogWindow::SetFolderLabel(Lang::tr("ﾛｸﾞﾌｧｲﾙは｢%1｣に保存されます。").arg(QString::fromStdString(LogFile::Folder())).toStdString());
    LogWindow::Show();
    boards::RouteHintsToLog();
    StartPendingRecording();

    // 5. Start-up settings.
    int logWarning = 200;
    bool autoConfig = false;
    bool autoTcl = false;
    {
        SettingsStore store;
        logWarning = store.ReadInteger(kSetup, "LOG_WARNNING", 200);
        autoConfig = store.ReadBool(kSetup, "AUTO_CONFIG", false);
        autoTcl = store.ReadBool(kSetup, "AUTO_TCL", false);
    }

    // 6.
    if (options_.splashMs > 0) SplashScreen::ShowFor(options_.splashMs);

    // 7-8.
    const std::string version = QUILLON_VERSION;
    if (!version.empty()) {
        setWindowTitle(Lang::Marked(kSeriesTitle) + " Ver" + QString::fromStdString(version));
    }
    LogFile::Write(windowTitle().toStdString());

    // 9-11.
    LogDriverVersion();
    RestoreUiState();
    if (Hooks().memLengthDisplay) Hooks().memLengthDisplay();

    // 12.
    ApplySizing();

    // 13.
    if (Hooks().tclInit) Hooks().tclInit();

    // 14. A board that arrived during the splash already opened the link; it
    // counts as opened here.
    if (!boardNote_.empty()) LogFile::Write(boardNote_);
    link::BoardLink& bl = link::BoardLink::Instance();
    if (bl.IsOpen() || bl.Open()) {
        BoardOpened(autoConfig, autoTcl);
    } else {
        LogFile::Write("USB NOT OPEN!!");
        ShowBoardState(true);
    }

    // 15.
    LogFile::CheckFolderCount(logWarning < 0 ? 0u : static_cast<unsigned>(logWarning));
}

void MainWindow::BoardOpened(bool autoConfig, bool autoTcl) {
    EnableBoardControls(true);
    ShowBoardState(false);
    LogFile::Write("USB OPEN!!");
    if (autoConfig && Hooks().autoConfig) Hooks().autoConfig();
    if (autoTcl && Hooks().autoScript) Hooks().autoScript();
}

void MainWindow::ShowBoardState(bool status) {
    link::BoardLink& bl = link::BoardLink::Instance();
    if (bl.IsOpen()) {
        noticeTimer_->stop();
        // The board is back: a no-board headline still showing is no longer true.
        if (!noBoardStatus_.isEmpty() && status_->text() == noBoardStatus_) SetStatus(QString());
        noBoardStatus_.clear();
        if (!notice_->isHidden()) {
            notice_->hide();
            FitWindow();
        }
        return;
    }
    const link::NoBoardReason reason = bl.WhyNoBoard();
    if (notice_->isHidden() || !(reason == notice_->reason())) {
        notice_->Set(reason);
        notice_->show();
        FitWindow();
    }
    if (status) {
        noBoardStatus_ = NoBoardTextOf(reason).headline;
        SetStatus(noBoardStatus_);
    }
    noticeTimer_->start();
}

void MainWindow::SetBoardChoice(const boards::BoardOptions& board, const std::string& note) {
    board_ = board;
    boardNote_ = note;
}

void MainWindow::ChooseBoard() {
    if (LongWork::Active() || features::BusyGate::Busy()) {
        SetStatus(Lang::Marked(features::kBusyRefusal));
        return;
    }
    BoardChooser dialog(board_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    SwitchBoard(dialog.choice());
}

bool MainWindow::SwitchBoard(const boards::BoardOptions& choice) {
    // Work under way holds the board (a script may be between two macros).
    if (LongWork::Active() || features::BusyGate::Busy()) {
        SetStatus(Lang::Marked(features::kBusyRefusal));
        return false;
    }
    std::string error;
    std::unique_ptr<link::Backend> backend = boards::MakeBackend(choice, error);
    if (!backend) {
        Prompts().Message(choice.board == "sim" ? ProfileFailedText(error) : error, MsgIcon::Error,
                          MsgButtons::Ok);
        return false;
    }
    LogFile::Write(BoardChosenLine(choice));
    link::BoardLink& bl = link::BoardLink::Instance();
    bl.CloseAndTell();
    // The device wrapper stays: a wire trace (--trace) records the new board too.
    bl.SetBackend(std::move(backend));
    board_.board = choice.board;
    board_.boardId = choice.boardId;
    board_.simProfile = choice.simProfile;
    boards::StoreBoardChoice(choice);
    RecordBoardChange(choice.board);
    LogDriverVersion();
    if (bl.Open()) {
        bool autoConfig = false;
        bool autoTcl = false;
        {
            SettingsStore store;
            autoConfig = store.ReadBool(kSetup, "AUTO_CONFIG", false);
            autoTcl = store.ReadBool(kSetup, "AUTO_TCL", false);
        }
        SetStatus(QString());
        BoardOpened(autoConfig, autoTcl);
    } else {
        LogFile::Write("USB NOT OPEN!!");
        ShowBoardState(true);
    }
    return true;
}

void MainWindow::RestoreUiState() {
    SettingsStore store;
    auto a = [this](const char* name) { return actions_.at(name); };
    auto flag = [&store](const char* key, bool def = false) {
        return store.ReadBool(kSetup, key, def);
    };

    a("N12")->setVisible(flag("GPIF_WAVE"));
    a("N14")->setChecked(flag("MR_SCRAMBLE"));
    a("N15")->setChecked(flag("MW_SCRAMBLE"));
    a("N17")->setChecked(flag("REGEX_EMULATE"));
    a("Tessera1")->setVisible(flag("MEM_CMD_EXT"));
    a("Tessera1")->setChecked(flag("MEM_CMD_MODE"));
    a("N17")->setVisible(flag("REGEX_EMULATE_VISIBLE"));
    a("N23")->setVisible(flag("FX3WATCHDOG"));
    a("N24")->setVisible(flag("FX3WATCHDOG"));
    a("FX31")->setVisible(flag("FX3RESET"));
    a("N8")->setChecked(flag("AUTO_CONFIG"));
    a("N9")->setChecked(flag("AUTO_TCL"));

    // Each page applies its own keys (fields, lists, boxes and their visibility).
    for (Page* p : pages_) p->RestoreUiState(store);

    ShowPage(kRegisterPage);
    EnableBoardControls(false);

    ApplyPageVisibility(store);
    a("N20")->setVisible(flag("TEMP_ALERT"));
    a("N21")->setVisible(flag("TEMP_ALERT"));
    // The tabs may now take another number of rows.
    ApplyHeights(pageArea_->height(), designHeight_, button1_->y());
}

void MainWindow::EnableBoardControls(bool enabled) {
    boardControlsOn_ = enabled;
    // While long work runs the board belongs to it: nothing else starts.
    const bool on = enabled && !working_;
    for (const BoardControl& c : boardControls_) {
        c.widget->setEnabled(c.rule ? c.rule(on) : on);
    }
    for (QAction* action : boardActions_) action->setEnabled(on);
}

bool MainWindow::RunLong(const LongWorkOptions& options, const std::function<void()>& work) {
    if (!LongWork::Run(options, work)) {
        SetStatus(Lang::Marked(features::kBusyRefusal));
        return false;
    }
    return true;
}

void MainWindow::LongWorkChanged(bool running) {
    working_ = running;
    EnableBoardControls(boardControlsOn_);
    if (!running && exitAfterWork_) {
        exitAfterWork_ = false;
        QTimer::singleShot(0, this, [this] { Button3Click(); });
    }
    if (!running && closeAfterWork_) {
        closeAfterWork_ = false;
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

void MainWindow::SetStatus(const QString& text) {
    status_->setText(text);
}

QString MainWindow::statusText() const {
    return status_->text();
}

void MainWindow::RegisterBoardControl(QWidget* control, std::function<bool(bool)> rule) {
    if (!control) return;
    boardControls_.push_back({control, std::move(rule)});
    // A control that goes away leaves the list with it.
    connect(control, &QObject::destroyed, this, [this](QObject* gone) {
        std::erase_if(boardControls_, [gone](const BoardControl& c) { return c.widget == gone; });
    });
    const BoardControl& c = boardControls_.back();
    control->setEnabled(c.rule ? c.rule(boardControlsOn_) : boardControlsOn_);
}

void MainWindow::RegisterBoardAction(QAction* action) {
    if (!action) return;
    boardActions_.push_back(action);
    connect(action, &QObject::destroyed, this,
            [this](QObject* gone) { std::erase(boardActions_, static_cast<QAction*>(gone)); });
    action->setEnabled(boardControlsOn_);
}

void MainWindow::RefreshBoardControls() {
    EnableBoardControls(boardControlsOn_);
}

QAction* MainWindow::MenuAction(const char* objectName) {
    auto it = actions_.find(objectName ? objectName : "");
    return it == actions_.end() ? nullptr : it->second;
}

QTimer* MainWindow::Timer(int number) {
    return number == 1 ? timer1_ : number == 2 ? timer2_ : nullptr;
}

QWidget* MainWindow::PageWidget(int number) {
    return page(number);
}

Page* MainWindow::page(int number) const {
    return number >= 1 && number <= pages_.size() ? pages_[number - 1] : nullptr;
}

int MainWindow::currentPage() const {
    return stack_->currentIndex() + 1;
}

bool MainWindow::pageShown(int number) const {
    return tabs_->isTabVisible(number - 1);
}

void MainWindow::BoardState(bool open) {
    EnableBoardControls(open);
    ShowBoardState(!open);
}

bool MainWindow::PageControl1Changing() {
    if (ParFlashRunning()) {
        SetStatus(Lang::Marked(kPageGuardText));
        return false;
    }
    return true;
}

void MainWindow::PageControl1Change() {
    if (currentPage() == kMemoryPage && Hooks().memLengthDisplay) {
        Hooks().memLengthDisplay();
    } else {
        SetStatus(QString());
    }
    page(currentPage())->Entered();
}

bool MainWindow::RequestPage(int number) {
    if (!page(number) || !pageShown(number)) return false;
    if (number == currentPage()) {
        tabs_->setCurrentIndex(number - 1);
        return true;
    }
    if (!PageControl1Changing()) {
        tabs_->setCurrentIndex(currentPage() - 1);
        return false;
    }
    ShowPage(number);
    PageControl1Change();
    return true;
}

void MainWindow::ShowPage(int number) {
    if (!page(number)) return;
    tabs_->setCurrentIndex(number - 1);
    stack_->setCurrentIndex(number - 1);
}

void MainWindow::Button1Click() {
    LogWindow::Show();
}

void MainWindow::Button3Click() {
    if (LongWork::Active()) {
        // The work stops first (a configuration load runs to its end); the
        // program ends once it has.
        LongWork::Cancel();
        exitAfterWork_ = true;
        return;
    }
    link::BoardLink& bl = link::BoardLink::Instance();
    if (bl.Handle() != link::kNoBoard) bl.Close();
    emit exitRequested();
    QCoreApplication::exit(0);
}

void MainWindow::View1Click() {
    LogWindow::ResetPlacement();
}

void MainWindow::N3Click() {
    HelpOpen();
}

void MainWindow::N5Click() {
    VersionWindow::ShowModal();
}

void MainWindow::Quillon71Click() {
    OnlineUpdate(this);
}

void MainWindow::closeEvent(QCloseEvent* e) {
    if (LongWork::Active()) {
        // The worker still uses the board and the window: stop it first.
        LongWork::Cancel();
        closeAfterWork_ = true;
        e->ignore();
        return;
    }
    // Closing the window ends the program without closing the link (the log
    // window is a window of its own and must not keep the program alive).
    e->accept();
    QCoreApplication::quit();
}

}  // namespace quillon::app
