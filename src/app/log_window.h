#pragma once
// The log view: a separate window that shows every line of the log writer
// while the program runs. Closing it only hides it. It keeps the placement the
// user gives it (once start-up has placed it) and the font chosen for it.

#include <QRect>
#include <QWidget>
#include <memory>
#include <string>
#include <string_view>

#include "app/link_label.h"
#include "platform/prompter.h"

class QAction;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace quillon::app {

class LogWindow : public QWidget {
    Q_OBJECT
  public:
    // Creates the one log window (owned by `owner`, a top-level window of its
    // own), applies the stored font, empties the text area and attaches it as
    // the log writer's window sink. Later calls return the same window.
    static LogWindow* Create(QWidget* owner);
    // The window, or nullptr before Create.
    static LogWindow* Instance();
    // Destroys the window and detaches the sink (tests).
    static void Destroy();

    // Places from the stored keys, shows, and from then on stores every move and resize.
    static void Place();
    static void Append(const std::string& line);
    // A stamped line into the window only; with replaceLast the last line gives way to it.
    static void Put(bool replaceLast, std::string_view text);
    static void Show();
    static void ResetPlacement();
    static void SetCaption(const std::string& text);
    static void SetFolderLabel(const std::string& text);
    static bool PlacementReady();

    ~LogWindow() override;

    QPlainTextEdit* memo() const { return memo_; }
    LinkLabel* folderLabel() const { return folder_; }
    // Handlers of the window's own controls.
    void Button1Click();  // "ｸﾘｱ"
    void Button2Click();  // "閉じる"
    void N1Click();       // "表示ﾌｫﾝﾄ変更"
    void FolderClick();
    // The text area's right-click menu: "ｺﾋﾟｰ" (while text is selected),
    // "すべて選択" and "表示ﾌｫﾝﾄ変更".
    std::unique_ptr<QMenu> ContextMenu();

  protected:
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    explicit LogWindow(QWidget* owner);
    void StoreMove();
    void StoreSize();
    void LayOutPanel();
    // Puts the window where it may go of `wanted` (client rectangle); stores nothing.
    void PlaceAt(const QRect& wanted);

    QPlainTextEdit* memo_ = nullptr;
    QWidget* panel_ = nullptr;
    LinkLabel* folder_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* close_ = nullptr;
    QAction* copyItem_ = nullptr;
    QAction* selectAllItem_ = nullptr;
    QAction* fontItem_ = nullptr;
    FontChoice dialogFont_;
    bool placementReady_ = false;
    bool ownerShown_ = false;
    QRect autoPlaced_;  // where the program put the window last (position with frame, client size)
};

}  // namespace quillon::app
