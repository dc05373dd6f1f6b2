#pragma once
// The viewer's hex rows: offset, 16 bytes, ASCII. Only the rows in view are
// read and painted, so a file of many GiB scrolls like a small one. A byte
// range is selected with the mouse or Shift and the arrow keys; bytes that
// differ from the compared file are drawn in red.

#include <QAbstractScrollArea>
#include <cstdint>
#include <optional>
#include <string>

#include "features/memory/data_view.h"

namespace quillon::app {

class HexView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit HexView(QWidget* parent = nullptr);

    // The files shown (the second one only for the red marks); nullptr for none.
    void SetFiles(const features::DataFile* file, const features::DataFile* other,
                  const features::CompareOptions& compare);
    // Puts `offset` in view (on the top row unless it is in view already) and
    // selects `length` bytes from it.
    void GoTo(std::uint64_t offset, std::uint64_t length = 1);
    std::uint64_t topRow() const { return topRow_; }
    std::uint64_t cursor() const { return cursor_; }
    // First and last byte selected.
    std::uint64_t selectionStart() const { return std::min(anchor_, cursor_); }
    std::uint64_t selectionEnd() const { return std::max(anchor_, cursor_); }
    // Row `i` of the view as text: "00000000  41 42 ...  AB..".
    std::string RowText(int i) const;
    int visibleRows() const;

  signals:
    void CursorMoved(std::uint64_t offset);
    void CopyRequested();

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    std::uint64_t rows() const;
    void UpdateScrollBar();
    void SetTop(std::uint64_t row);
    void MoveCursor(std::uint64_t offset, bool extend);
    std::optional<std::uint64_t> ByteAt(const QPoint& p) const;

    const features::DataFile* file_ = nullptr;
    const features::DataFile* other_ = nullptr;
    features::CompareOptions compare_;
    std::uint64_t topRow_ = 0;
    std::uint64_t anchor_ = 0;
    std::uint64_t cursor_ = 0;
    int charWidth_ = 8;
    int lineHeight_ = 16;
    bool settingBar_ = false;
};

}  // namespace quillon::app
