#pragma once
// The small windows around the main window: splash, busy banner, version
// window, and the Help and online-update commands.

#include <QDialog>
#include <QLabel>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <string>

#include "app/placement.h"

class QPushButton;

namespace quillon::app {

class ProgressView;

// The build's version ("7.0.0.1"); "0.0.0.0" when the build did not set one.
QString ProgramVersion();
// The folder of the running program.
QString ProgramFolder();

// The splash picture, drawn by the program itself (1000 x 719).
QPixmap SplashPicture();

class SplashScreen {
  public:
    // Shows the splash for `ms` milliseconds while window events keep running.
    static void ShowFor(int ms);
};

class BusyWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* kDefaultText = "waiting for configure....";
    static BusyWindow* Create();
    static BusyWindow* Instance();
    static void Destroy();
    // Sets the text, shows the banner without making it modal and lets pending
    // events run once so that it is drawn.
    static void Show(const std::string& text);
    static void Hide();
    // Long work shows a strip under the banner: its progress and, when it can
    // be stopped, the button "ｷｬﾝｾﾙ".
    static void SetCancellable(bool cancellable);
    QString text() const;
    QPushButton* cancelButton() const { return cancel_; }
    ProgressView* progress() const { return progress_; }
    ~BusyWindow() override;

  private:
    BusyWindow();
    void Arrange();
    QLabel* panel_ = nullptr;
    QWidget* strip_ = nullptr;
    ProgressView* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// A label that behaves as a link: red while pressed, blue otherwise; a click
// opens the address through the dialog seam.
class UrlLabel : public QLabel {
    Q_OBJECT
  public:
    UrlLabel(const QString& url, QWidget* parent);
    const QString& url() const { return url_; }

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    void SetColour(const char* colour);
    QString url_;
};

class VersionWindow : public QDialog {
    Q_OBJECT
  public:
    static constexpr const char* kHomePage = "https://ardenfield.example/quillon/";
    static VersionWindow* Create(QWidget* owner = nullptr);
    static VersionWindow* Instance();
    static void Destroy();
    static void ShowModal();
    ~VersionWindow() override;
    QString versionText() const;

  private:
    explicit VersionWindow(QWidget* owner);
    QLabel* version_ = nullptr;
};

// The folder of the manual: beside the program, or share/quillon/manual.
QString ManualFolder();
// "ﾍﾙﾌﾟ" and F1: the manual in the browser at `section` (a file of the manual
// and an optional "#anchor"). When the manual is missing or nothing could be
// started, a box names the manual's file, which any browser opens. False then.
// `manualFolder` is where the manual lies (tests give another).
bool HelpOpen(const std::string& section = "index.html",
              const QString& manualFolder = ManualFolder());
// "Quillon7のｵﾝﾗｲﾝｱｯﾌﾟﾃﾞｰﾄ": starts the updater `Loader` beside the program and,
// once it runs, closes `mainWindow`. Without an updater it tells where new
// versions come from: the system's package manager when the program was
// installed as a package, otherwise the home page. False when nothing was
// started. `folder` is the program's folder (tests give another).
bool OnlineUpdate(QWidget* mainWindow, const QString& folder = ProgramFolder());
// A program under /usr (not /usr/local) came with a package of the system.
bool InstalledAsPackage(const QString& programFolder);

inline constexpr const char* kUpdaterMissingText =
    QT_TRANSLATE_NOOP("Lang", "ｱｯﾌﾟﾃﾞｰﾄ本体を起動できませんでした。");
inline constexpr const char* kUpdaterFailedText =
    QT_TRANSLATE_NOOP("Lang", "ｱｯﾌﾟﾃﾞｰﾄを起動できませんでした。");
inline constexpr const char* kUpdateByPackageText =
    QT_TRANSLATE_NOOP("Lang",
                      "Quillon7はﾊﾟｯｹｰｼﾞとしてｲﾝｽﾄｰﾙされています。\n"
                      "ｱｯﾌﾟﾃﾞｰﾄはｼｽﾃﾑのﾊﾟｯｹｰｼﾞﾏﾈｰｼﾞｬ(apt)で行ってください。\n"
                      "(例: sudo apt update && sudo apt upgrade)");
// Followed by the home page's address and the running version.
inline constexpr const char* kUpdateFromHomePageText =
    QT_TRANSLATE_NOOP("Lang", "新しいﾊﾞｰｼﾞｮﾝはﾎｰﾑﾍﾟｰｼﾞから入手してください。");
inline constexpr const char* kCurrentVersionLabel = QT_TRANSLATE_NOOP("Lang", "現在のﾊﾞｰｼﾞｮﾝ: ");
// Followed by the manual's file.
inline constexpr const char* kHelpNotShownText =
    QT_TRANSLATE_NOOP("Lang", "ﾏﾆｭｱﾙを表示できませんでした。ﾌﾞﾗｳｻﾞで次のﾌｧｲﾙを開いてください。");
inline constexpr const char* kHelpMissingText =
    QT_TRANSLATE_NOOP("Lang", "ﾏﾆｭｱﾙが見つかりません。");

}  // namespace quillon::app
