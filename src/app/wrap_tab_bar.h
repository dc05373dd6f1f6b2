#pragma once
// A tab bar whose tabs wrap into as many rows as the width needs, the way the
// panel's pages have always been laid out. A click only asks for a change
// (tabClicked); the owner decides whether the page changes.

#include <QAbstractButton>
#include <QVector>
#include <QWidget>

namespace quillon::app {

class TabButton : public QAbstractButton {
    Q_OBJECT
  public:
    using QAbstractButton::QAbstractButton;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    static constexpr int kPadding = 6;

  protected:
    void paintEvent(QPaintEvent* e) override;
};

class WrapTabBar : public QWidget {
    Q_OBJECT
  public:
    explicit WrapTabBar(QWidget* parent = nullptr);

    int addTab(const QString& caption);
    int count() const { return tabs_.size(); }
    QString tabText(int index) const;
    void setTabVisible(int index, bool visible);
    bool isTabVisible(int index) const;
    int currentIndex() const { return current_; }
    void setCurrentIndex(int index);
    TabButton* tabButton(int index) const { return tabs_.value(index); }

    // Rows the visible tabs take at `width`, and the bar's height for them.
    int rowsForWidth(int width) const;
    int heightForWidth(int width) const override;
    bool hasHeightForWidth() const override { return true; }
    QSize sizeHint() const override;
    // One row of multi-line tabs at the 13-pixel tab font. With it the start-up
    // sizing keeps the page about 191 to 195 pixels high for one to three rows.
    static constexpr int kRowHeight = 22;

  signals:
    void tabClicked(int index);

  protected:
    void resizeEvent(QResizeEvent* e) override;

  private:
    // Places the tabs at `width`; returns the number of rows.
    int LayOut(int width, bool apply) const;
    // Sets a tab's mark without it counting as the user's.
    void Mark(TabButton* b, bool checked);

    QVector<TabButton*> tabs_;
    QVector<bool> visible_;
    int current_ = -1;
    bool marking_ = false;
};

}  // namespace quillon::app
