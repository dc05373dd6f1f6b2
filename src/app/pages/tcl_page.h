#pragma once
// "TCLｽｸﾘﾌﾟﾄ": runs a Tcl script file in the program's one interpreter, opens
// it in the desktop's editor, and shows whether an automatic script is set to
// run at start-up (the "ｵｰﾄTCLｽｸﾘﾌﾟﾄ" item of the Options menu).

#include <QString>

#include "app/page.h"

class QFontMetrics;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillon::app {

class RelativeBaseLabel;

class TclPage : public Page {
    Q_OBJECT
  public:
    explicit TclPage(PageContext& context, QWidget* parent = nullptr);
    ~TclPage() override;

    void RestoreUiState(const SettingsStore& store) override;

    void Button23Click();  // "ﾌｧｲﾙ選択"
    void Button24Click();  // "ｽｸﾘﾌﾟﾄ実行"
    void Button25Click();  // "開く"
    void N9Click();        // Options > "ｵｰﾄTCLｽｸﾘﾌﾟﾄ"

    // The start-up run of the automatic script named by AUTO_TCL_NAME, with
    // the page's labels updated (called by the start-up hook).
    void RunAutoScript();

    bool running() const { return running_; }

  private:
    void ShowAutoScript(bool on, const QString& path);
    void SetStatusLabel(const QString& text, const char* colour);

    QLineEdit* edit_ = nullptr;
    RelativeBaseLabel* base_ = nullptr;  // where a relative script name goes
    QPushButton* select_ = nullptr;
    QPushButton* run_ = nullptr;
    QPushButton* open_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* time_ = nullptr;
    QLabel* notice_ = nullptr;
    QLabel* autoName_ = nullptr;
    bool running_ = false;
    bool ownsHooks_ = false;
};

// `path` shortened to fit `width` pixels: the root and the file name are kept
// and leading folders give way to "..." one by one until the text fits.
QString ShortenPath(const QString& path, const QFontMetrics& metrics, int width);

// The page table's factory.
Page* MakeTclPage(PageContext& context);

}  // namespace quillon::app
