#pragma once
// A label that behaves as a link: blue and underlined (and bold, when asked)
// while the mouse is over it, black plain text otherwise; a left click over
// the label emits clicked(). Eliding is off unless asked for (a path).

#include "app/elided_label.h"

namespace quillon::app {

class LinkLabel : public ElidedLabel {
    Q_OBJECT
  public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr, bool boldWhenHot = false);
    explicit LinkLabel(QWidget* parent = nullptr, bool boldWhenHot = false)
        : LinkLabel(QString(), parent, boldWhenHot) {}

  signals:
    void clicked();

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void SetHot(bool hot);
    bool boldWhenHot_;
};

}  // namespace quillon::app
