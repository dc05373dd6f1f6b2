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

// "ﾍﾙﾌﾟ": the manual beside the program, in the browser. A missing manual is ignored.
void HelpOpen();
// "Quillon7のｵﾝﾗｲﾝｱｯﾌﾟﾃﾞｰﾄ": starts the updater `Loader` beside the program and,
// once it runs, closes `mainWindow`. False (after telling the user) when it
// could not be started. `folder` is the program's folder (tests give another).
bool OnlineUpdate(QWidget* mainWindow, const QString& folder = ProgramFolder());

inline constexpr const char* kUpdaterMissingText = "ｱｯﾌﾟﾃﾞｰﾄ本体を起動できませんでした。";
inline constexpr const char* kUpdaterFailedText = "ｱｯﾌﾟﾃﾞｰﾄを起動できませんでした。";

}  // namespace quillon::app
