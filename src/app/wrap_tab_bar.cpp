#include "app/wrap_tab_bar.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QStyleOptionTab>
#include <QStylePainter>

namespace quillon::app {

namespace {

// A tab as assistive technology sees it: a page tab named by its caption,
// selected while its page is in front, whose one action is a click (so it
// asks the owner for the page like a mouse click does; toggling the check
// state alone would not).
class TabAccessible : public QAccessibleWidget {
  public:
    explicit TabAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::PageTab) {}
    TabButton* button() const { return static_cast<TabButton*>(widget()); }

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? button()->text() : QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.selected = button()->isChecked();
        return s;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction() || name == toggleAction()) button()->click();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
};

QAccessibleInterface* TabAccessibleFactory(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    if (className == QLatin1String(TabButton::staticMetaObject.className()))
        return new TabAccessible(static_cast<QWidget*>(object));
    // The row of tabs is the pages' tab list.
    if (className == QLatin1String(WrapTabBar::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::PageTabList);
    return nullptr;
}

}  // namespace

QSize TabButton::sizeHint() const {
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(text()) + 2 * kPadding, WrapTabBar::kRowHeight};
}

void TabButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionTab opt;
    opt.initFrom(this);
    opt.shape = QTabBar::RoundedNorth;
    opt.position = QStyleOptionTab::Middle;
    if (isChecked()) opt.state |= QStyle::State_Selected;
    if (isDown()) opt.state |= QStyle::State_Sunken;
    p.drawControl(QStyle::CE_TabBarTabShape, opt);
    // The caption is drawn here, not by the style: the style's label margins
    // would cut the captions of a tightly packed row.
    p.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(rect().adjusted(1, isChecked() ? 0 : 1, -1, 0), Qt::AlignCenter, text());
}

WrapTabBar::WrapTabBar(QWidget* parent) : QWidget(parent) {
    static const bool installed = (QAccessible::installFactory(&TabAccessibleFactory), true);
    (void)installed;
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
    // The button never checks itself: the owner's answer decides. A click, a
    // key and an accessibility client's "Toggle" action all arrive here as a
    // toggle; the owner's own changes of the mark do not count.
    connect(b, &QAbstractButton::toggled, this, [this, index, b] {
        if (marking_) return;
        Mark(b, index == current_);
        emit tabClicked(index);
    });
    tabs_.push_back(b);
    visible_.push_back(true);
    if (current_ < 0) setCurrentIndex(index);
    updateGeometry();
    LayOut(width(), true);
    return index;
}

void WrapTabBar::Mark(TabButton* b, bool checked) {
    marking_ = true;
    b->setChecked(checked);
    marking_ = false;
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
    for (int i = 0; i < tabs_.size(); ++i) Mark(tabs_[i], i == index);
    LayOut(width(), true);
}

int WrapTabBar::LayOut(int width, bool apply) const {
    if (width <= 0) width = 1;
    // Fill rows left to right; a tab that does not fit starts the next row.
    QVector<QVector<int>> rows;
    int x = 0;
    for (int i = 0; i < tabs_.size(); ++i) {
        if (!visible_[i]) continue;
        const int w = std::min(tabs_[i]->sizeHint().width(), width);
        if (rows.isEmpty() || (x > 0 && x + w > width)) {
            rows.push_back({});
            x = 0;
        }
        rows.back().push_back(i);
        x += w;
    }
    if (!apply) return rows.size();
    // The row holding the current tab sits next to the page, as the rows of
    // multi-line tabs have always moved; the others keep their order above it.
    for (int r = 0; r + 1 < rows.size(); ++r) {
        if (rows[r].contains(current_)) {
            QVector<int> cur = rows.takeAt(r);
            rows.push_back(cur);
            break;
        }
    }
    // Several rows are stretched to the full width, as multi-line tabs are.
    for (int r = 0; r < rows.size(); ++r) {
        int used = 0;
        for (int i : rows[r]) used += std::min(tabs_[i]->sizeHint().width(), width);
        const int extra = rows.size() > 1 ? width - used : 0;
        int left = 0;
        for (int k = 0; k < rows[r].size(); ++k) {
            const int i = rows[r][k];
            const int share = extra * (k + 1) / rows[r].size() - extra * k / rows[r].size();
            const int w = std::min(tabs_[i]->sizeHint().width(), width) + share;
            tabs_[i]->setGeometry(left, r * kRowHeight, w, kRowHeight);
            left += w;
        }
    }
    return rows.size();
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
