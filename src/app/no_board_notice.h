#pragma once
// What the window says while no board is open: why, as far as the link can
// tell (link::NoBoardReason), and what to do about it. The main window shows
// it in the status bar and in a band above the page area, with the button
// that opens "ﾎﾞｰﾄﾞの選択...".

#include <QFrame>
#include <QString>

#include "link/hints.h"

class QLabel;
class QPushButton;

namespace quillon::app {

struct NoBoardText {
    QString headline;  // what is wrong: the status bar's text and the band's first line
    QString todo;      // what to do
};
NoBoardText NoBoardTextOf(const link::NoBoardReason& reason);

class NoBoardNotice : public QFrame {
    Q_OBJECT
  public:
    explicit NoBoardNotice(QWidget* parent = nullptr);
    // Shows the reason's texts; the backend's own line is the tooltip.
    void Set(const link::NoBoardReason& reason);
    const link::NoBoardReason& reason() const { return reason_; }
    // Headline and what to do, as one line.
    QString text() const;
    // The height the band takes at `width`.
    int HeightFor(int width) const;

  signals:
    void chooseBoard();

  private:
    link::NoBoardReason reason_;
    QLabel* headline_ = nullptr;
    QLabel* todo_ = nullptr;
    QPushButton* choose_ = nullptr;
};

}  // namespace quillon::app
