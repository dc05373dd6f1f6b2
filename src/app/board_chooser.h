#pragma once
// "ﾎﾞｰﾄﾞの選択...": the USB board found first, each board that
// `quillon-run --list` lists, and the simulated board with its profile file.
// OK hands the choice to the main window, which switches the link to it
// without a restart and stores it for the next start.

#include <QDialog>
#include <string>
#include <vector>

#include "boards/backends.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace quillon::app {

inline constexpr const char* kChooseBoardCaption = QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞの選択...");
inline constexpr const char* kChooseBoardTitle = QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞの選択");
inline constexpr const char* kSimBoardCaption = QT_TRANSLATE_NOOP("Lang", "ｼﾐｭﾚｰｼｮﾝﾎﾞｰﾄﾞ");

// The log's lines about the board chosen and about a stored choice at start-up.
std::string BoardChosenLine(const boards::BoardOptions& choice);
std::string StoredChoiceUsedLine(const boards::BoardOptions& choice);
std::string StoredChoiceUnusableLine(const std::string& stored);
std::string StoredChoiceFailedLine(const boards::BoardOptions& choice, const std::string& error);
// The box when the chosen simulated board's profile does not load.
std::string ProfileFailedText(const std::string& error);

class BoardChooser : public QDialog {
    Q_OBJECT
  public:
    // `current` is checked when it is listed (a named board that is not
    // connected is listed as such).
    explicit BoardChooser(const boards::BoardOptions& current, QWidget* parent = nullptr);

    boards::BoardOptions choice() const;
    // Lists the connected boards again, keeping the choice where it still is.
    void Refresh();

  private:
    QRadioButton* AddChoice(const QString& caption, const std::string& choice, int at);
    void Browse();
    void Check(const std::string& choice);
    std::string Checked() const;

    QVBoxLayout* list_ = nullptr;
    QButtonGroup* group_ = nullptr;
    QRadioButton* firstUsb_ = nullptr;
    std::vector<QRadioButton*> listed_;
    QLabel* listNote_ = nullptr;
    QRadioButton* sim_ = nullptr;
    QLineEdit* profile_ = nullptr;
    QPushButton* browse_ = nullptr;
    std::vector<QWidget*> tail_;  // refresh, OK, Cancel: last in the tab order
    std::string named_;  // the current usb:ID, kept in the list while it is not connected
};

}  // namespace quillon::app
