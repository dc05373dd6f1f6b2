#include "app/wrap_tab_bar.h"

#include <QPainter>
#include <QStyleOptionTab>
#include <QStylePainter>

namespace quillon::app {

QSize TabButton::sizeHint() const {
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(text()) + 14, WrapTabBar::kRowHeight};
}

void TabButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionTab opt;
    opt.initFrom(this);
    opt.text = text();
    opt.shape = QTabBar::RoundedNorth;
    opt.position = QStyleOptionTab::Middle;
    if (isChecked()) opt.state |= QStyle::State_Selected;
    if (isDown()) opt.state |= QStyle::State_Sunken;
    p.drawControl(QStyle::CE_TabBarTab, opt);
}

WrapTabBar::WrapTabBar(QWidget* parent) : QWidget(parent) {
    QSizePolicy sp(QSizePolicy::Preferred, QSizePolicy::Fixed);
    sp.setHeightForWidth(true);
    setSizePolicy(sp);
}

int WrapTabBar::addTab(const QString& caption) {
    auto* b = new TabButton(this);
    b->setText(caption);
    b->setCheckable(true);
    b->setFocusPolicy(Qt::TabFocus);
    const int index = tabs_.size();
    // The button never checks itself: the owner's answer decides.
    connect(b, &QAbstractButton::clicked, this, [this, index, b] {
        b->setChecked(index == current_);
        emit tabClicked(index);
    });
    tabs_.push_back(b);
    visible_.push_back(true);
    if (current_ < 0) setCurrentIndex(index);
    updateGeometry();
    LayOut(width(), true);
    return index;
}

QString WrapTabBar::tabText(int index) const {
    return tabs_.value(index) ? tabs_[index]->text() : QString();
}

void WrapTabBar::setTabVisible(int index, bool visible) {
    if (index < 0 || index >= tabs_.size()) return;
    visible_[index] = visible;
    tabs_[index]->setVisible(visible);
    updateGeometry();
    LayOut(width(), true);
}

bool WrapTabBar::isTabVisible(int index) const {
    return visible_.value(index, false);
}

void WrapTabBar::setCurrentIndex(int index) {
    if (index < 0 || index >= tabs_.size()) return;
    current_ = index;
    for (int i = 0; i < tabs_.size(); ++i) tabs_[i]->setChecked(i == index);
}

int WrapTabBar::LayOut(int width, bool apply) const {
    if (width <= 0) width = 1;
    int x = 0;
    int row = 0;
    bool any = false;
    for (int i = 0; i < tabs_.size(); ++i) {
        if (!visible_[i]) continue;
        const QSize s = tabs_[i]->sizeHint();
        const int w = std::min(s.width(), width);
        if (x > 0 && x + w > width) {
            ++row;
            x = 0;
        }
        if (apply) tabs_[i]->setGeometry(x, row * kRowHeight, w, kRowHeight);
        x += w;
        any = true;
    }
    return any ? row + 1 : 0;
}

int WrapTabBar::rowsForWidth(int width) const {
    return LayOut(width, false);
}

int WrapTabBar::heightForWidth(int width) const {
    return std::max(1, rowsForWidth(width)) * kRowHeight;
}

QSize WrapTabBar::sizeHint() const {
    const int w = width() > 0 ? width() : 586;
    return {w, heightForWidth(w)};
}

void WrapTabBar::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    LayOut(width(), true);
}

}  // namespace quillon::app
