#include "app/log_window.h"

#include <algorithm>
#include <deque>
#include <mutex>

#include <QAction>
#include <QEnterEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include "app/gui_thread.h"
#include "app/placement.h"
#include "app/ui_fonts.h"
#include "log/log_file.h"
#include "platform/settings_store.h"
#include "platform/ui_text.h"

namespace quillon::app {

namespace {

// Lines written by the worker of a long operation reach the window through
// the GUI thread's event loop; those written on the GUI thread meanwhile wait
// their turn, so the window shows the order of the file.
struct PendingLines {
    std::mutex mu;
    std::deque<std::string> lines;
    bool posted = false;
};

PendingLines& Pending() {
    static PendingLines p;
    return p;
}

void DrainPending() {
    std::deque<std::string> lines;
    {
        std::lock_guard<std::mutex> lock(Pending().mu);
        lines.swap(Pending().lines);
        Pending().posted = false;
    }
    for (const std::string& line : lines) LogWindow::Append(line);
}

void Deliver(const std::string& line) {
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(Pending().mu);
        Pending().lines.push_back(line);
        if (!OnGuiThread() && !Pending().posted) post = Pending().posted = true;
    }
    if (OnGuiThread())
        DrainPending();
    else if (post)
        GuiPost(DrainPending);
}


LogWindow* g_window = nullptr;

constexpr int kDefaultTop = 0;
constexpr int kDefaultLeft = 0;
constexpr int kDefaultHeight = 220;
constexpr int kDefaultWidth = 600;
constexpr int kPanelHeight = 32;
// The smallest window a stored size gives: the button panel and a few lines.
constexpr int kMinWidth = 200;
constexpr int kMinHeight = kPanelHeight + 60;
// A stored font size beyond this (far beyond anything a log is read in) is
// taken as damage and the default size kept.
constexpr int kMaxFontPoints = 200;

// The place and size the keys ask for (the defaults where a key is missing).
// They are whatever text the settings hold: values far outside any screen
// are cut before they reach QRect's int arithmetic.
QRect StoredPlace() {
    SettingsStore store;
    const auto cut = [](int v) { return std::clamp(v, -100000, 100000); };
    return QRect(cut(store.ReadInteger(kSetup, "LogView1Left", kDefaultLeft)),
                 cut(store.ReadInteger(kSetup, "LogView1Top", kDefaultTop)),
                 cut(store.ReadInteger(kSetup, "LogView1Width", kDefaultWidth)),
                 cut(store.ReadInteger(kSetup, "LogView1Height", kDefaultHeight)));
}

QRect DefaultPlace() {
    return QRect(kDefaultLeft, kDefaultTop, kDefaultWidth, kDefaultHeight);
}

}  // namespace

LogWindow::LogWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName("LogForm");
    setWindowTitle(Lang::tr("ﾛｸﾞＶｉｅｗ"));
    setFont(UiFont(QString::fromUtf8(kFontMsPGothic), 12));
    resize(592, 193);
    // The smallest window a stored size gives: the button panel and a few lines.
    setMinimumSize(kMinWidth, kMinHeight);

    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName("Memo1");
    memo_->setAccessibleName(Lang::tr("ﾛｸﾞ"));
    memo_->setReadOnly(true);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mf(ResolvedFamily(QString::fromUtf8(kFontMsGothic)));
    mf.setPointSize(9);  // 12 pixels at 96 dpi
    memo_->setFont(mf);
    memo_->setContextMenuPolicy(Qt::CustomContextMenu);
    fontItem_ = new QAction(Lang::tr("表示ﾌｫﾝﾄ変更"), this);
    fontItem_->setObjectName("N1");
    connect(fontItem_, &QAction::triggered, this, [this] { N1Click(); });
    // Log lines go into bug reports: they can be copied. The keys work in the
    // text area itself; the menu shows them.
    copyItem_ = new QAction(Lang::tr("ｺﾋﾟｰ"), this);
    copyItem_->setObjectName("LogCopy");
    copyItem_->setShortcut(QKeySequence::Copy);
    connect(copyItem_, &QAction::triggered, memo_, &QPlainTextEdit::copy);
    selectAllItem_ = new QAction(Lang::tr("すべて選択"), this);
    selectAllItem_->setObjectName("LogSelectAll");
    selectAllItem_->setShortcut(QKeySequence::SelectAll);
    connect(selectAllItem_, &QAction::triggered, memo_, &QPlainTextEdit::selectAll);
    connect(memo_, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        ContextMenu()->exec(memo_->mapToGlobal(p));
    });

    panel_ = new QWidget(this);
    panel_->setObjectName("Panel1");
    panel_->setFixedHeight(kPanelHeight);
    panel_->installEventFilter(this);
    folder_ = new LinkLabel("-", panel_);
    folder_->setObjectName("Label1");
    // A deep log folder does not fit beside the buttons: cut in the middle,
    // so the drive and the folder's own name still show.
    folder_->setElideMode(Qt::ElideMiddle);
    clear_ = new QPushButton(Lang::tr("ｸﾘｱ"), panel_);
    clear_->setObjectName("Button1");
    clear_->setFixedSize(60, 25);
    close_ = new QPushButton(Lang::tr("閉じる"), panel_);
    close_->setObjectName("Button2");
    close_->setFixedSize(60, 25);
    connect(clear_, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(close_, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(folder_, &LinkLabel::clicked, this, [this] { FolderClick(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(memo_, 1);
    layout->addWidget(panel_);

    // Dialog's own starting font, kept for the run.
    dialogFont_.family = ResolvedFamily(QString::fromUtf8(kFontTahoma)).toStdString();
    dialogFont_.pixelSize = 16;
}

LogWindow::~LogWindow() {
    if (g_window == this) {
        LogFile::AttachWindow(nullptr);
        g_window = nullptr;
    }
}

LogWindow* LogWindow::Create(QWidget* owner) {
    if (g_window) return g_window;
    g_window = new LogWindow(owner);
    LogWindow* w = g_window;
    // Start-up places the log view before the main window has its place; once
    // that shows, the log view moves off it.
    if (owner) owner->installEventFilter(w);
    {
        SettingsStore store;
        QFont f = w->memo_->font();
        const std::string name = store.ReadString(kSetupLog, "NAME", f.family().toStdString());
        const int size = store.ReadInteger(kSetupLog, "SIZE", f.pointSize());
        f.setFamily(ResolvedFamily(QString::fromStdString(name)));
        if (size > 0 && size <= kMaxFontPoints) f.setPointSize(size);
        w->memo_->setFont(f);
    }
    w->memo_->clear();
    LogFile::AttachWindow(Deliver);
    return w;
}

LogWindow* LogWindow::Instance() {
    return g_window;
}

void LogWindow::Destroy() {
    delete g_window;
}

void LogWindow::Place() {
    LogWindow* w = g_window;
    if (!w) return;
    // Placed once to show at about the right place, again once the window
    // system has framed it.
    w->PlaceAt(StoredPlace());
    w->show();
    w->PlaceAt(StoredPlace());
    w->placementReady_ = true;
}

void LogWindow::PlaceAt(const QRect& wanted) {
    // The stored place, kept whole on the screen's free area and off the main
    // window's menu bar; the default place (also after a reset) keeps off the
    // whole main window where the screen has room, smaller if it must.
    const QMargins frame = FrameMargins(this);
    const QRect want(wanted.topLeft(), wanted.size().grownBy(frame));
    const QRect outer = KeepInView(want, minimumSize().grownBy(frame), SurroundingsOf(this, want),
                                   wanted == DefaultPlace());
    autoPlaced_ = QRect(outer.topLeft(), outer.size().shrunkBy(frame));
    move(autoPlaced_.topLeft());
    resize(autoPlaced_.size());
}

void LogWindow::Append(const std::string& line) {
    if (!g_window) return;
    g_window->memo_->appendPlainText(QString::fromStdString(line));
}

void LogWindow::Put(bool replaceLast, std::string_view text) {
    if (!g_window) return;
    QPlainTextEdit* memo = g_window->memo_;
    const QString line = QString::fromStdString(StampedLineNow(text));
    // An empty text area has no last line to replace: the line is appended.
    if (!replaceLast || memo->document()->isEmpty()) {
        memo->appendPlainText(line);
        return;
    }
    QTextCursor c(memo->document()->lastBlock());
    c.movePosition(QTextCursor::StartOfBlock);
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    c.insertText(line);
    memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->maximum());
}

void LogWindow::Show() {
    if (!g_window) return;
    g_window->show();
    g_window->raise();
}

void LogWindow::ResetPlacement() {
    LogWindow* w = g_window;
    if (!w) return;
    // The keys read the defaults afterwards; the window goes to the default
    // place as the screen and the main window allow.
    {
        SettingsStore store;
        store.WriteInteger(kSetup, "LogView1Top", kDefaultTop);
        store.WriteInteger(kSetup, "LogView1Left", kDefaultLeft);
        store.WriteInteger(kSetup, "LogView1Height", kDefaultHeight);
        store.WriteInteger(kSetup, "LogView1Width", kDefaultWidth);
    }
    w->PlaceAt(DefaultPlace());
    Show();
}

void LogWindow::SetCaption(const std::string& text) {
    if (g_window) g_window->setWindowTitle(QString::fromStdString(text));
}

void LogWindow::SetFolderLabel(const std::string& text) {
    if (g_window) g_window->folder_->setText(QString::fromStdString(text));
}

bool LogWindow::PlacementReady() {
    return g_window && g_window->placementReady_;
}

std::unique_ptr<QMenu> LogWindow::ContextMenu() {
    auto menu = std::make_unique<QMenu>(this);
    copyItem_->setEnabled(memo_->textCursor().hasSelection());
    menu->addAction(copyItem_);
    menu->addAction(selectAllItem_);
    menu->addSeparator();
    menu->addAction(fontItem_);
    return menu;
}

void LogWindow::Button1Click() {
    memo_->clear();
}

void LogWindow::Button2Click() {
    hide();
}

void LogWindow::N1Click() {
    std::optional<FontChoice> chosen = Prompts().Font(dialogFont_);
    if (!chosen || chosen->family.empty()) return;
    dialogFont_ = *chosen;
    QFont f(QString::fromStdString(chosen->family));
    if (chosen->pointSize > 0)
        f.setPointSize(chosen->pointSize);
    else if (chosen->pixelSize > 0)
        f.setPixelSize(chosen->pixelSize);
    memo_->setFont(f);
    // Stored in points, as the size has always been kept.
    int points = f.pointSize();
    if (points <= 0) points = (chosen->pixelSize * 72 + 48) / 96;
    SettingsStore store;
    store.WriteInteger(kSetupLog, "SIZE", points);
    store.WriteString(kSetupLog, "NAME", chosen->family);
}

void LogWindow::FolderClick() {
    const std::string folder = LogFile::Folder();
    if (!folder.empty()) Prompts().OpenWithDesktop(folder);
}

void LogWindow::StoreMove() {
    // Where the program itself put the window is not the user's choice (the
    // window system may report it later, once it has framed the window).
    if (!placementReady_ || pos() == autoPlaced_.topLeft()) return;
    SettingsStore store;
    store.WriteInteger(kSetup, "LogView1Top", pos().y());
    store.WriteInteger(kSetup, "LogView1Left", pos().x());
}

void LogWindow::StoreSize() {
    if (!placementReady_ || size() == autoPlaced_.size()) return;
    SettingsStore store;
    store.WriteInteger(kSetup, "LogView1Height", height());
    store.WriteInteger(kSetup, "LogView1Width", width());
}

void LogWindow::LayOutPanel() {
    const int w = panel_->width();
    const int y = (kPanelHeight - close_->height()) / 2;
    close_->move(w - 70, y);
    clear_->move(w - close_->width() - 75, y);
    folder_->setGeometry(8, 0, std::max(0, clear_->x() - 16), kPanelHeight);
}

bool LogWindow::eventFilter(QObject* watched, QEvent* e) {
    if (watched == panel_ && e->type() == QEvent::Resize) LayOutPanel();
    if (watched == parentWidget() && e->type() == QEvent::Show && !e->spontaneous() &&
        !ownerShown_) {
        ownerShown_ = true;
        // Once the main window has its place and size.
        QTimer::singleShot(0, this, [this] {
            if (placementReady_) PlaceAt(StoredPlace());
        });
    }
    return QWidget::eventFilter(watched, e);
}

void LogWindow::moveEvent(QMoveEvent* e) {
    QWidget::moveEvent(e);
    StoreMove();
}

void LogWindow::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    StoreSize();
}

}  // namespace quillon::app
