#include "app/link_label.h"

#include <QMouseEvent>
#include <QPalette>

namespace quillon::app {

LinkLabel::LinkLabel(const QString& text, QWidget* parent, bool boldWhenHot)
    : ElidedLabel(text, parent, Qt::ElideNone), boldWhenHot_(boldWhenHot) {
    setCursor(Qt::PointingHandCursor);
    SetHot(false);
}

void LinkLabel::SetHot(bool hot) {
    QFont f = font();
    f.setUnderline(hot);
    if (boldWhenHot_) f.setBold(hot);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, hot ? Qt::blue : Qt::black);
    setPalette(p);
}

void LinkLabel::enterEvent(QEnterEvent* event) {
    SetHot(true);
    ElidedLabel::enterEvent(event);
}

void LinkLabel::leaveEvent(QEvent* event) {
    SetHot(false);
    ElidedLabel::leaveEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    ElidedLabel::mouseReleaseEvent(event);
    // A click is the left button let go over the label.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

}  // namespace quillon::app
