#pragma once
// "ﾚｼﾞｽﾀ操作": three identical groups, each reading and writing one register
// of the user's FPGA design, so that three registers can be watched side by side.

#include <array>

#include "app/page.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace quillon::app {

// The arrows beside a number edit: each click takes the edit's number, steps it
// by one within min..max and writes it back in decimal. It stays usable while
// the edit is disabled, as its board-independent partner. The arrows are no
// stops of the Tab key: the Up and Down keys in the edit step it instead.
class UpDown : public QWidget {
    Q_OBJECT
  public:
    UpDown(QLineEdit* buddy, int min, int max, QWidget* parent = nullptr);
    int minimum() const { return min_; }
    int maximum() const { return max_; }
    void Step(int delta);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLineEdit* buddy_;
    int min_, max_;
    int position_;
};

class RegisterPage : public Page {
    Q_OBJECT
  public:
    static constexpr int kGroups = 3;

    explicit RegisterPage(PageContext& context, QWidget* parent = nullptr);

    // Group g (0..2) Read and Write: Button4Click/Button5Click, Button6Click/
    // Button7Click, Button8Click/Button9Click.
    void ReadClick(int group);
    void WriteClick(int group);

  private:
    struct Group {
        QLineEdit* number = nullptr;
        UpDown* upDown = nullptr;
        QComboBox* width = nullptr;
        QLineEdit* readBack = nullptr;
        QLineEdit* value = nullptr;
        QPushButton* read = nullptr;
        QPushButton* write = nullptr;
    };
    std::array<Group, kGroups> groups_;
};

// The page table's factory.
Page* MakeRegisterPage(PageContext& context);

}  // namespace quillon::app
