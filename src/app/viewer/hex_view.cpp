#include "app/viewer/hex_view.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace quillon::app {

namespace {

// Columns of a row in characters: offset, two blanks, 16 x "XX ", a blank, ASCII.
constexpr int kOffsetChars = 8;
constexpr int kHexColumn = kOffsetChars + 2;
constexpr int kAsciiColumn = kHexColumn + features::kHexRowBytes * 3 + 1;
constexpr int kRowChars = kAsciiColumn + features::kHexRowBytes;
// A scroll bar position is an int: past this many rows, a step of the bar
// is several rows.
constexpr std::uint64_t kBarSteps = 1u << 30;

// Screen readers and test tools read the rows in view as the view's value.
class HexViewAccessible : public QAccessibleWidget {
  public:
    explicit HexViewAccessible(HexView* view) : QAccessibleWidget(view, QAccessible::StaticText) {}
    QString text(QAccessible::Text t) const override {
        auto* view = static_cast<HexView*>(widget());
        if (t != QAccessible::Value && t != QAccessible::Description)
            return QAccessibleWidget::text(t);
        QStringList lines;
        const int n = std::min(view->visibleRows(), 8);
        for (int i = 0; i < n; ++i) {
            const std::string row = view->RowText(i);
            if (row.empty()) break;
            lines << QString::fromStdString(row);
        }
        return lines.join('\n');
    }
};

QAccessibleInterface* HexViewFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("quillon::app::HexView") && object && object->isWidgetType())
        return new HexViewAccessible(static_cast<HexView*>(object));
    return nullptr;
}

}  // namespace

HexView::HexView(QWidget* parent) : QAbstractScrollArea(parent) {
    static const bool factory = (QAccessible::installFactory(&HexViewFactory), true);
    (void)factory;
    setObjectName("HexView");
    setFocusPolicy(Qt::StrongFocus);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(13);
    viewport()->setFont(mono);
    setFont(mono);
    const QFontMetrics fm(mono);
    charWidth_ = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
    lineHeight_ = fm.height() + 1;
    setMinimumWidth((kRowChars + 2) * charWidth_ + verticalScrollBar()->sizeHint().width());
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void HexView::SetFiles(const features::DataFile* file, const features::DataFile* other,
                       const features::CompareOptions& compare) {
    file_ = file && file->isOpen() ? file : nullptr;
    other_ = other && other->isOpen() ? other : nullptr;
    compare_ = compare;
    const std::uint64_t size = file_ ? file_->size() : 0;
    if (size == 0) {
        topRow_ = anchor_ = cursor_ = 0;
    } else {
        anchor_ = std::min(anchor_, size - 1);
        cursor_ = std::min(cursor_, size - 1);
        topRow_ = std::min(topRow_, rows() - 1);
    }
    UpdateScrollBar();
    viewport()->update();
}

std::uint64_t HexView::rows() const {
    const std::uint64_t size = file_ ? file_->size() : 0;
    return (size + features::kHexRowBytes - 1) / features::kHexRowBytes;
}

int HexView::visibleRows() const {
    return std::max(1, viewport()->height() / lineHeight_);
}

void HexView::UpdateScrollBar() {
    const std::uint64_t last = rows() > static_cast<std::uint64_t>(visibleRows())
                                   ? rows() - static_cast<std::uint64_t>(visibleRows())
                                   : 0;
    const std::uint64_t steps = std::min(last, kBarSteps);
    settingBar_ = true;
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, static_cast<int>(steps));
    bar->setPageStep(visibleRows());
    bar->setValue(last == 0 ? 0 : static_cast<int>(topRow_ * steps / last));
    settingBar_ = false;
}

void HexView::scrollContentsBy(int, int) {
    if (settingBar_) return;
    const std::uint64_t last = rows() > static_cast<std::uint64_t>(visibleRows())
                                   ? rows() - static_cast<std::uint64_t>(visibleRows())
                                   : 0;
    const std::uint64_t steps = std::min(last, kBarSteps);
    const auto v = static_cast<std::uint64_t>(verticalScrollBar()->value());
    topRow_ = steps == 0 ? 0 : v * last / steps;
    viewport()->update();
}

void HexView::SetTop(std::uint64_t row) {
    const std::uint64_t last = rows() > static_cast<std::uint64_t>(visibleRows())
                                   ? rows() - static_cast<std::uint64_t>(visibleRows())
                                   : 0;
    topRow_ = std::min(row, last);
    UpdateScrollBar();
    viewport()->update();
}

void HexView::GoTo(std::uint64_t offset, std::uint64_t length) {
    if (!file_ || file_->size() == 0) return;
    offset = std::min(offset, file_->size() - 1);
    anchor_ = offset;
    cursor_ = std::min(offset + std::max<std::uint64_t>(length, 1) - 1, file_->size() - 1);
    const std::uint64_t row = offset / features::kHexRowBytes;
    if (row < topRow_ || row >= topRow_ + static_cast<std::uint64_t>(visibleRows())) SetTop(row);
    viewport()->update();
    emit CursorMoved(offset);
}

void HexView::MoveCursor(std::uint64_t offset, bool extend) {
    if (!file_ || file_->size() == 0) return;
    cursor_ = std::min(offset, file_->size() - 1);
    if (!extend) anchor_ = cursor_;
    const std::uint64_t row = cursor_ / features::kHexRowBytes;
    const auto shown = static_cast<std::uint64_t>(visibleRows());
    if (row < topRow_)
        SetTop(row);
    else if (row >= topRow_ + shown)
        SetTop(row - shown + 1);
    viewport()->update();
    emit CursorMoved(cursor_);
}

std::string HexView::RowText(int i) const {
    if (!file_) return {};
    const std::uint64_t offset = (topRow_ + static_cast<std::uint64_t>(i)) * features::kHexRowBytes;
    if (offset >= file_->size()) return {};
    const auto bytes = file_->ReadVector(offset, features::kHexRowBytes);
    return features::HexOffset(offset) + "  " + features::HexBytes(bytes) + "  " +
           features::AsciiText(bytes);
}

std::optional<std::uint64_t> HexView::ByteAt(const QPoint& p) const {
    if (!file_ || file_->size() == 0) return std::nullopt;
    const int col = p.x() / charWidth_ - 1;
    int byte = -1;
    if (col >= kHexColumn && col < kAsciiColumn - 1)
        byte = std::min((col - kHexColumn) / 3, features::kHexRowBytes - 1);
    else if (col >= kAsciiColumn && col < kRowChars)
        byte = col - kAsciiColumn;
    else
        byte = col < kHexColumn ? 0 : features::kHexRowBytes - 1;
    const std::uint64_t row =
        topRow_ + static_cast<std::uint64_t>(std::max(0, p.y()) / lineHeight_);
    return std::min(row * features::kHexRowBytes + static_cast<std::uint64_t>(byte),
                    file_->size() - 1);
}

void HexView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), palette().color(QPalette::Base));
    if (!file_) return;
    const int shown = visibleRows() + 1;
    const std::uint64_t first = topRow_ * features::kHexRowBytes;
    const std::size_t want = static_cast<std::size_t>(shown) * features::kHexRowBytes;
    const auto bytes = file_->ReadVector(first, want);
    std::vector<std::uint8_t> theirs;
    if (other_) theirs = other_->ReadVector(first, want);
    const std::uint64_t compared =
        std::min<std::uint64_t>({file_->size(), other_ ? other_->size() : 0, compare_.limit});
    const std::uint8_t x = compare_.xorA ^ compare_.xorB;
    const QColor text = palette().color(QPalette::Text);
    const QColor offsetColor = palette().color(QPalette::PlaceholderText);
    const QColor selected = palette().color(QPalette::Highlight);
    const QColor selectedText = palette().color(QPalette::HighlightedText);
    const int ascent = QFontMetrics(viewport()->font()).ascent();
    const std::uint64_t s0 = selectionStart(), s1 = selectionEnd();
    for (int r = 0; r < shown; ++r) {
        const std::size_t base = static_cast<std::size_t>(r) * features::kHexRowBytes;
        if (base >= bytes.size()) break;
        const int y = r * lineHeight_;
        const int baseline = y + ascent;
        p.setPen(offsetColor);
        p.drawText(charWidth_, baseline, QString::fromStdString(features::HexOffset(first + base)));
        const std::size_t n = std::min<std::size_t>(features::kHexRowBytes, bytes.size() - base);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint64_t at = first + base + i;
            const std::uint8_t b = bytes[base + i];
            const bool differs =
                other_ && at < compared && base + i < theirs.size() && (b ^ theirs[base + i]) != x;
            const bool sel = at >= s0 && at <= s1;
            const int hx = (1 + kHexColumn + static_cast<int>(i) * 3) * charWidth_;
            const int ax = (1 + kAsciiColumn + static_cast<int>(i)) * charWidth_;
            if (sel) {
                p.fillRect(hx, y, charWidth_ * 2, lineHeight_, selected);
                p.fillRect(ax, y, charWidth_, lineHeight_, selected);
            }
            p.setPen(differs ? QColor(Qt::red) : sel ? selectedText : text);
            p.drawText(hx, baseline, QString::fromStdString(features::HexBytes({&b, 1})));
            p.drawText(ax, baseline, QString::fromStdString(features::AsciiText({&b, 1})));
        }
    }
}

void HexView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    SetTop(topRow_);
}

void HexView::mousePressEvent(QMouseEvent* e) {
    setFocus();
    if (const auto at = ByteAt(e->pos())) MoveCursor(*at, e->modifiers() & Qt::ShiftModifier);
}

void HexView::mouseMoveEvent(QMouseEvent* e) {
    if (!(e->buttons() & Qt::LeftButton)) return;
    if (const auto at = ByteAt(e->pos())) MoveCursor(*at, true);
}

void HexView::keyPressEvent(QKeyEvent* e) {
    if (e->matches(QKeySequence::Copy)) {
        emit CopyRequested();
        return;
    }
    if (!file_ || file_->size() == 0) return QAbstractScrollArea::keyPressEvent(e);
    const bool extend = e->modifiers() & Qt::ShiftModifier;
    const std::uint64_t page = static_cast<std::uint64_t>(visibleRows()) * features::kHexRowBytes;
    const std::uint64_t row = features::kHexRowBytes;
    const std::uint64_t c = cursor_;
    switch (e->key()) {
        case Qt::Key_Left:
            return MoveCursor(c > 0 ? c - 1 : 0, extend);
        case Qt::Key_Right:
            return MoveCursor(c + 1, extend);
        case Qt::Key_Up:
            return MoveCursor(c >= row ? c - row : c, extend);
        case Qt::Key_Down:
            return MoveCursor(c + row, extend);
        case Qt::Key_PageUp:
            return MoveCursor(c >= page ? c - page : 0, extend);
        case Qt::Key_PageDown:
            return MoveCursor(c + page, extend);
        case Qt::Key_Home:
            return MoveCursor(e->modifiers() & Qt::ControlModifier ? 0 : c - c % row, extend);
        case Qt::Key_End:
            return MoveCursor(
                e->modifiers() & Qt::ControlModifier ? file_->size() - 1 : c - c % row + row - 1,
                extend);
        default:
            QAbstractScrollArea::keyPressEvent(e);
    }
}

}  // namespace quillon::app
