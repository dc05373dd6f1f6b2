#include "app/secondary_windows.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "app/long_work.h"
#include "app/ui_fonts.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "platform/ui_text.h"

#ifndef QUILLON_VERSION
#define QUILLON_VERSION ""
#endif

namespace quillon::app {

namespace {

BusyWindow* g_busy = nullptr;
VersionWindow* g_version = nullptr;

QFont Styled(const char* family, int pixels, bool bold, bool italic) {
    QFont f = UiFont(QString::fromUtf8(family), pixels);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

// The program's icon: a board with its FPGA, 57 x 56.
QPixmap ProgramIcon() {
    QPixmap pm(57, 56);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x1b, 0x6e, 0x3a));
    p.setPen(QPen(QColor(0x0d, 0x3d, 0x1f), 2));
    p.drawRoundedRect(QRectF(3, 6, 51, 44), 5, 5);
    p.setBrush(QColor(0x22, 0x22, 0x28));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(18, 17, 22, 22));
    p.setPen(QPen(QColor(0xd8, 0xc0, 0x60), 1.5));
    for (int i = 0; i < 5; ++i) {
        const double o = 19.5 + i * 4.5;
        p.drawLine(QPointF(o, 13), QPointF(o, 17));
        p.drawLine(QPointF(o, 39), QPointF(o, 43));
        p.drawLine(QPointF(14, o), QPointF(18, o));
        p.drawLine(QPointF(40, o), QPointF(44, o));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc0, 0xc4, 0xcc));
    p.drawRect(QRectF(0, 22, 8, 12));
    return pm;
}

}  // namespace

QString ProgramVersion() {
    const QString v = QString::fromUtf8(QUILLON_VERSION);
    return v.isEmpty() ? QStringLiteral("0.0.0.0") : v;
}

QString ProgramFolder() {
    return QCoreApplication::applicationDirPath();
}

QPixmap SplashPicture() {
    QPixmap pm(1000, 719);
    pm.fill(QColor(0x87, 0xce, 0xeb));  // sky blue
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, 0, 719);
    sky.setColorAt(0, QColor(0xb8, 0xe4, 0xf7));
    sky.setColorAt(1, QColor(0x5a, 0xb0, 0xdc));
    p.fillRect(pm.rect(), sky);

    // The board: a green card with the USB controller, the FPGA and its memory.
    const QRectF board(170, 250, 660, 330);
    p.setPen(QPen(QColor(0x0d, 0x3d, 0x1f), 4));
    p.setBrush(QColor(0x1b, 0x6e, 0x3a));
    p.drawRoundedRect(board, 18, 18);
    p.setPen(QPen(QColor(0xd8, 0xc0, 0x60), 3));
    for (int i = 0; i < 9; ++i) {
        const double y = 300 + i * 28;
        p.drawLine(QPointF(330, y), QPointF(430, y));
        p.drawLine(QPointF(610, y), QPointF(700, y));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x24, 0x24, 0x2c));
    p.drawRect(QRectF(430, 300, 180, 180));  // FPGA
    p.drawRect(QRectF(250, 330, 80, 80));    // USB controller
    p.drawRect(QRectF(700, 300, 90, 50));    // memory
    p.drawRect(QRectF(700, 380, 90, 50));
    p.setBrush(QColor(0xc0, 0xc4, 0xcc));
    p.drawRect(QRectF(140, 350, 50, 60));  // USB connector
    p.setPen(QColor(0xe0, 0xe0, 0xe0));
    p.setFont(Styled("Tahoma", 22, true, false));
    p.drawText(QRectF(430, 300, 180, 180), Qt::AlignCenter, "FPGA");
    p.setFont(Styled("Tahoma", 14, true, false));
    p.drawText(QRectF(250, 330, 80, 80), Qt::AlignCenter, "USB");

    p.setPen(QColor(0x0a, 0x2a, 0x6a));
    p.setFont(Styled("Tahoma", 72, true, true));
    p.drawText(QRectF(0, 60, 1000, 100), Qt::AlignCenter, "Quillon Panel");
    p.setFont(Styled("Tahoma", 36, true, true));
    p.drawText(QRectF(0, 160, 1000, 60), Qt::AlignCenter, "Quillon Application7");
    p.setFont(Styled("Tahoma", 22, false, false));
    p.drawText(QRectF(0, 610, 1000, 40), Qt::AlignCenter, "Ver" + ProgramVersion());
    p.setFont(Styled("メイリオ", 20, false, false));
    p.drawText(QRectF(0, 650, 1000, 40), Qt::AlignCenter,
               Lang::tr("USB FPGAボード コントロールパネル"));
    return pm;
}

void SplashScreen::ShowFor(int ms) {
    QLabel splash(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint);
    splash.setObjectName("SplashForm");
    splash.setStyleSheet("QLabel { background: #87ceeb; border: 1px solid black; }");
    // A screen lower than the picture (1280 x 720 less its panels) shows it
    // smaller, whole.
    QPixmap picture = SplashPicture();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size() - QSize(2, 2);
        if (!room.isEmpty() && (picture.width() > room.width() || picture.height() > room.height()))
            picture = picture.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    splash.setPixmap(picture);
    splash.setFixedSize(picture.size() + QSize(2, 2));
    CentreOnScreen(&splash);
    splash.show();
    // Poll the clock while serving events: repaints and device notices run
    // meanwhile. The timer only wakes the wait; it needs no running loop.
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.start(20);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    } while (clock.elapsed() < ms);
    splash.close();
}

BusyWindow::BusyWindow() : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint) {
    setObjectName("InfoForm");
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(626, 140);
    panel_ = new QLabel(QString::fromUtf8(kDefaultText), this);
    panel_->setObjectName("Panel1");
    panel_->setAlignment(Qt::AlignCenter);
    panel_->setFont(UiFont(QString::fromUtf8(kFontTahoma), 48));
    // The panel covers the whole window: what shows is a raised banner, readable
    // over anything, also where the desktop cannot draw a transparent window.
    panel_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel_->setLineWidth(1);
    panel_->setAutoFillBackground(true);
    QPalette pal = panel_->palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    panel_->setPalette(pal);

    strip_ = new QFrame(this);
    strip_->setObjectName("BusyStrip");
    strip_->setAutoFillBackground(true);
    static_cast<QFrame*>(strip_)->setFrameStyle(QFrame::Panel | QFrame::Raised);
    progress_ = new ProgressView(strip_);
    cancel_ = new QPushButton(Lang::tr("ｷｬﾝｾﾙ"), strip_);
    cancel_->setObjectName("BusyCancel");
    cancel_->setFixedWidth(90);
    cancel_->setFocusPolicy(Qt::NoFocus);
    auto* row = new QHBoxLayout(strip_);
    row->setContentsMargins(10, 6, 10, 6);
    row->setSpacing(10);
    row->addWidget(progress_, 1);
    row->addWidget(cancel_);
    connect(cancel_, &QPushButton::clicked, this, [] { LongWork::Cancel(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(panel_, 1);
    layout->addWidget(strip_);
    strip_->hide();
    cancel_->hide();
    Arrange();
}

void BusyWindow::Arrange() {
    const int strip = strip_->isHidden() ? 0 : strip_->sizeHint().height();
    setFixedSize(626, 140 + strip);
    CentreOnScreen(this);
}

void BusyWindow::SetCancellable(bool cancellable) {
    BusyWindow* w = Create();
    w->strip_->setVisible(LongWork::Active());
    w->cancel_->setVisible(cancellable);
    w->cancel_->setEnabled(true);
    w->Arrange();
}

BusyWindow* BusyWindow::Create() {
    if (!g_busy) g_busy = new BusyWindow();
    return g_busy;
}

BusyWindow* BusyWindow::Instance() {
    return g_busy;
}

void BusyWindow::Destroy() {
    delete g_busy;
}

BusyWindow::~BusyWindow() {
    if (g_busy == this) g_busy = nullptr;
}

void BusyWindow::Show(const std::string& text) {
    BusyWindow* w = Create();
    w->panel_->setText(QString::fromStdString(text));
    // A screen reader announces the window by its text, not as an untitled one.
    w->setWindowTitle(QString::fromStdString(text));
    w->setAccessibleName(QString::fromStdString(text));
    if (w->strip_->isHidden() == LongWork::Active()) {
        w->strip_->setVisible(LongWork::Active());
        w->Arrange();
    }
    w->show();
    w->raise();
    QCoreApplication::processEvents();
}

void BusyWindow::Hide() {
    if (g_busy) g_busy->hide();
}

QString BusyWindow::text() const {
    return panel_->text();
}

UrlLabel::UrlLabel(const QString& url, QWidget* parent) : QLabel(url, parent), url_(url) {
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    setCursor(Qt::PointingHandCursor);
    SetColour("blue");
}

void UrlLabel::SetColour(const char* colour) {
    setStyleSheet(QString("QLabel { color: %1; }").arg(colour));
}

void UrlLabel::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) SetColour("red");
    QLabel::mousePressEvent(e);
}

void UrlLabel::mouseReleaseEvent(QMouseEvent* e) {
    SetColour("blue");
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) {
        Prompts().OpenWithDesktop(url_.toStdString());
    }
    QLabel::mouseReleaseEvent(e);
}

VersionWindow::VersionWindow(QWidget* owner) : QDialog(owner) {
    setObjectName("VersionForm");
    setWindowTitle(Lang::tr("バージョン情報"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(457, 253);

    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon());
    icon->setGeometry(24, 20, 57, 56);

    auto title = [this](const QString& text, int y) {
        auto* l = new QLabel(text, this);
        l->setFont(Styled("Tahoma", 20, true, true));
        l->setStyleSheet("QLabel { color: blue; }");
        l->setGeometry(104, y, 330, 28);
        return l;
    };
    title("Quillon Panel", 18);
    title("Quillon Application7", 46);

    auto* vlabel = new QLabel("Version", this);
    vlabel->setFont(Styled("Tahoma", 13, true, true));
    vlabel->setGeometry(104, 84, 70, 20);
    version_ = new QLabel(ProgramVersion(), this);
    version_->setObjectName("VersionLabel");
    version_->setGeometry(180, 84, 200, 20);

    const char* lines[] = {
        "Ardenfield Quillon Panel",
        QT_TRANSLATE_NOOP("Lang", "USB FPGA ボード用コントロールアプリケーション"),
        "Copyright (C) Ardenfield. All rights reserved."};
    int y = 114;
    for (const char* line : lines) {
        auto* l = new QLabel(Lang::Marked(line), this);
        l->setGeometry(104, y, 340, 18);
        y += 20;
    }
    auto* urlLabel = new QLabel(Lang::tr("ﾎｰﾑﾍﾟｰｼﾞURL"), this);
    urlLabel->setGeometry(104, 180, 90, 18);
    auto* link = new UrlLabel(QString::fromUtf8(kHomePage), this);
    link->setObjectName("UrlLabel");
    link->setGeometry(196, 180, 250, 18);

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("Button1");
    ok->setGeometry(190, 212, 75, 27);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    CentreOnScreen(this);
}

VersionWindow* VersionWindow::Create(QWidget* owner) {
    if (!g_version) g_version = new VersionWindow(owner);
    return g_version;
}

VersionWindow* VersionWindow::Instance() {
    return g_version;
}

void VersionWindow::Destroy() {
    delete g_version;
}

VersionWindow::~VersionWindow() {
    if (g_version == this) g_version = nullptr;
}

void VersionWindow::ShowModal() {
    VersionWindow* w = Create();
    // Created before the main window showed: placed again beside it now.
    CentreOnScreen(w);
    w->exec();
}

QString VersionWindow::versionText() const {
    return version_->text();
}

QString ManualFolder() {
    return QString::fromStdString(platform::ProgramFilesFolder("manual"));
}

bool HelpOpen(const std::string& section, const QString& manualFolder) {
    QDir::setCurrent(ProgramFolder());
    const QString wanted = QString::fromStdString(section);
    const qsizetype hash = wanted.indexOf('#');
    const QString file = QDir(manualFolder).filePath(hash < 0 ? wanted : wanted.left(hash));
    if (!QFileInfo(file).isFile()) {
        Prompts().Message(Lang::MarkedStd(kHelpMissingText) + "\n" + file.toStdString(),
                          MsgIcon::Warning, MsgButtons::Ok);
        return false;
    }
    // A section goes as a file address, which keeps its anchor; a bare file as its path.
    QString target = file;
    if (hash >= 0) {
        QUrl url = QUrl::fromLocalFile(file);
        url.setFragment(wanted.mid(hash + 1));
        target = url.toString();
    }
    if (Prompts().OpenWithDesktop(target.toStdString())) return true;
    Prompts().Message(Lang::MarkedStd(kHelpNotShownText) + "\n" + file.toStdString(),
                      MsgIcon::Information, MsgButtons::Ok);
    return false;
}

bool InstalledAsPackage(const QString& programFolder) {
    const QString folder = QDir::cleanPath(programFolder);
    return folder.startsWith("/usr/") && !folder.startsWith("/usr/local/");
}

bool OnlineUpdate(QWidget* mainWindow, const QString& folder) {
    QDir::setCurrent(folder);
    const QString loader = QDir(folder).filePath("Loader");
    const QFileInfo info(loader);
    if (!info.exists()) {
        // No updater here: say where a new version comes from.
        if (InstalledAsPackage(folder)) {
            Prompts().Message(Lang::MarkedStd(kUpdateByPackageText), MsgIcon::Information,
                              MsgButtons::Ok);
        } else {
            Prompts().Message(
                Lang::MarkedStd(kUpdateFromHomePageText) + "\n" + VersionWindow::kHomePage + "\n" +
                    Lang::MarkedStd(kCurrentVersionLabel) + ProgramVersion().toStdString(),
                MsgIcon::Information, MsgButtons::Ok);
        }
        return false;
    }
    if (!info.isFile()) {
        Prompts().Message(Lang::MarkedStd(kUpdaterMissingText), MsgIcon::Warning, MsgButtons::Ok);
        return false;
    }
    if (!info.isExecutable() || !QProcess::startDetached(loader, {}, folder)) {
        Prompts().Message(Lang::MarkedStd(kUpdaterFailedText), MsgIcon::Warning, MsgButtons::Ok);
        return false;
    }
    // The updater replaces this program's files: the panel must not keep running.
    if (mainWindow) mainWindow->close();
    return true;
}

}  // namespace quillon::app
