#pragma once
// A one-line label for paths and names that may not fit: it shows its text cut
// in the middle ("/home/user/…/Quillon7") when the label is narrower than the
// text, recomputed at every paint, while text() keeps the whole text, so
// screen readers and the program read it whole; the whole text is also its
// tooltip.

#include <QLabel>

namespace quillon::app {

class ElidedLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ElidedLabel(const QString& text = QString(), QWidget* parent = nullptr,
                         Qt::TextElideMode mode = Qt::ElideMiddle);

    // Set the text through this class (not through a QLabel pointer): the
    // tooltip follows it.
    void setText(const QString& text);
    // Qt::ElideNone: an ordinary label, cut off at its edge, no tooltip.
    void setElideMode(Qt::TextElideMode mode);
    Qt::TextElideMode elideMode() const { return mode_; }
    // What the label shows at its present width.
    QString shownText() const;

    // With eliding on, a layout may make the label as narrow as it needs.
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void SyncToolTip();
    int TextWidth() const;

    Qt::TextElideMode mode_;
};

}  // namespace quillon::app
