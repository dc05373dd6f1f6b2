#include "app/elided_label.h"

#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace quillon::app {

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent, Qt::TextElideMode mode)
    : QLabel(text, parent), mode_(mode) {
    setTextFormat(Qt::PlainText);
    SyncToolTip();
}

void ElidedLabel::setText(const QString& text) {
    QLabel::setText(text);
    SyncToolTip();
}

void ElidedLabel::setElideMode(Qt::TextElideMode mode) {
    mode_ = mode;
    SyncToolTip();
    updateGeometry();
    update();
}

void ElidedLabel::SyncToolTip() {
    if (mode_ != Qt::ElideNone) setToolTip(text());
}

int ElidedLabel::TextWidth() const {
    return std::max(0, contentsRect().width() - 2 * margin());
}

QString ElidedLabel::shownText() const {
    if (mode_ == Qt::ElideNone) return text();
    return fontMetrics().elidedText(text(), mode_, TextWidth());
}

QSize ElidedLabel::minimumSizeHint() const {
    const QSize full = QLabel::minimumSizeHint();
    if (mode_ == Qt::ElideNone) return full;
    const int frame = 2 * (frameWidth() + margin());
    return {std::min(full.width(), fontMetrics().horizontalAdvance(QChar(0x2026)) * 3 + frame),
            full.height()};
}

void ElidedLabel::paintEvent(QPaintEvent* event) {
    if (mode_ == Qt::ElideNone) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const int m = margin();
    const QRect area = contentsRect().adjusted(m, m, -m, -m);
    style()->drawItemText(&painter, area, QStyle::visualAlignment(layoutDirection(), alignment()),
                          palette(), isEnabled(), shownText(), foregroundRole());
}

}  // namespace quillon::app
