#include "app/pages/regex_page.h"
#include "app/session_recording.h"

#include <QAction>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QVBoxLayout>

#include "features/registers/reg_page_ops.h"
#include "features/registers/regex_burst.h"
#include "link/board_link.h"
#include "platform/prompter.h"
#include "platform/settings_store.h"

namespace quillon::app {

namespace {

constexpr int kSide = 8;

// Cells just wide enough for two digits in the grid's font; the grid takes
// exactly the room of its 9 x 9 cells.
void SizeGrid(QTableWidget* grid) {
    const QFontMetrics fm(grid->font());
    const int cellWidth = fm.horizontalAdvance("00") + 6;
    const int cellHeight = fm.height() + 2;
    const int labelWidth = fm.horizontalAdvance("+00") + 6;
    grid->horizontalHeader()->setDefaultSectionSize(cellWidth);
    grid->verticalHeader()->setDefaultSectionSize(cellHeight);
    grid->horizontalHeader()->setFixedHeight(cellHeight);
    grid->verticalHeader()->setFixedWidth(labelWidth);
    grid->setFixedSize(labelWidth + kSide * cellWidth + 2 * grid->frameWidth(),
                       cellHeight * (kSide + 1) + 2 * grid->frameWidth());
}

// Tab walks the cells and, past the last one, leaves the grid: a table goes
// round to its first cell again, which would keep the keyboard in it for good.
class ByteGrid : public QTableWidget {
  public:
    using QTableWidget::QTableWidget;

  protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override {
        const QModelIndex at = currentIndex();
        const bool first = at.row() == 0 && at.column() == 0;
        const bool last = at.row() == rowCount() - 1 && at.column() == columnCount() - 1;
        if ((action == MoveNext && last) || (action == MovePrevious && first)) return {};
        return QTableWidget::moveCursor(action, modifiers);
    }
};

QTableWidget* MakeGrid(QWidget* parent, const QString& name, bool editable) {
    auto* grid = new ByteGrid(kSide, kSide, parent);
    grid->setObjectName(name);
    QStringList cols, rows;
    for (int i = 0; i < kSide; ++i) {
        cols << QString("+%1").arg(i);
        rows << QString("+%1").arg(i * kSide, 2, 10, QChar('0'));
    }
    grid->setHorizontalHeaderLabels(cols);
    grid->setVerticalHeaderLabels(rows);
    // The row labels are centred; the column labels sit right like the bytes.
    grid->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setMinimumSectionSize(10);
    grid->verticalHeader()->setMinimumSectionSize(10);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (int r = 0; r < kSide; ++r) {
        for (int c = 0; c < kSide; ++c) {
            auto* item = new QTableWidgetItem("00");
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (!editable) item->setFlags(Qt::ItemIsEnabled);
            grid->setItem(r, c, item);
        }
    }
    if (editable) {
        grid->setEditTriggers(QAbstractItemView::AllEditTriggers);
    } else {
        // Display only: nothing to select or edit.
        grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid->setSelectionMode(QAbstractItemView::NoSelection);
        grid->setFocusPolicy(Qt::NoFocus);
    }
    grid->setTextElideMode(Qt::ElideNone);
    grid->setStyleSheet("QHeaderView::section { padding: 0px 2px 0px 0px; }");
    grid->setWordWrap(false);
    SizeGrid(grid);
    return grid;
}

}  // namespace

RegExPage::RegExPage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("RegExPage");
    auto* top = new QHBoxLayout(this);
    top->setContentsMargins(6, 4, 6, 4);

    auto* left = new QVBoxLayout;
    left->setSpacing(2);
    auto addBar = [&](const char* caption, QSlider*& bar, LinkLabel*& value, const char* barName,
                      const char* labelName, int min, int max, int pos, int ticks) {
        auto* line = new QHBoxLayout;
        line->addWidget(new QLabel(Lang::Marked(caption), this));
        value = new LinkLabel(this, true);
        value->setObjectName(labelName);
        value->setText(QString::number(pos));
        value->setMinimumWidth(32);
        line->addSpacing(6);
        line->addWidget(value);
        line->addStretch(1);
        left->addLayout(line);
        bar = new QSlider(Qt::Horizontal, this);
        bar->setObjectName(barName);
        // The value above the bar is pressed to type a value: both carry the caption.
        bar->setAccessibleName(Lang::Marked(caption));
        value->setAccessibleName(Lang::Marked(caption));
        bar->setRange(min, max);
        bar->setValue(pos);
        bar->setTickPosition(QSlider::TicksBelow);
        bar->setTickInterval(ticks);
        bar->setPageStep(ticks);
        left->addWidget(bar);
    };
    addBar(QT_TRANSLATE_NOOP("Lang", "ﾚｼﾞｽﾀﾚﾝｸﾞｽ(DEC)"), length_, lengthValue_, "TrackBar1",
           "Label21", 1, 64, 1, 8);
    addBar(QT_TRANSLATE_NOOP("Lang", "ﾚｼﾞｽﾀｱﾄﾞﾚｽ(DEC)"), address_, addressValue_, "TrackBar2",
           "Label22", 0, 1023, 0, 128);
    auto* buttons = new QHBoxLayout;
    auto* read = new QPushButton("Read", this);
    auto* write = new QPushButton("Write", this);
    read->setObjectName("Button49");
    write->setObjectName("Button50");
    buttons->addWidget(read);
    buttons->addWidget(write);
    left->addLayout(buttons);
    left->addStretch(1);
    top->addLayout(left, 1);

    readGrid_ = MakeGrid(this, "readGrid", false);
    writeGrid_ = MakeGrid(this, "writeGrid", true);
    auto* readCol = new QVBoxLayout;
    readCol->setSpacing(0);
    readCol->addWidget(new QLabel("Read", this));
    readCol->addWidget(readGrid_);
    readCol->addStretch(1);
    auto* writeCol = new QVBoxLayout;
    writeCol->setSpacing(0);
    writeCol->addWidget(new QLabel("Write", this));
    writeCol->addWidget(writeGrid_);
    writeCol->addStretch(1);
    top->addLayout(readCol);
    top->addLayout(writeCol);

    connect(length_, &QSlider::valueChanged, this, [this](int v) {
        lengthValue_->setText(QString::number(v));
        PaintCells();
    });
    connect(address_, &QSlider::valueChanged, this,
            [this](int v) { addressValue_->setText(QString::number(v)); });
    connect(lengthValue_, &LinkLabel::clicked, this, &RegExPage::Label21Click);
    connect(addressValue_, &LinkLabel::clicked, this, &RegExPage::Label22Click);
    connect(read, &QPushButton::clicked, this, &RegExPage::Button49Click);
    connect(write, &QPushButton::clicked, this, &RegExPage::Button50Click);

    for (QWidget* w : std::initializer_list<QWidget*>{read, write, length_, address_, writeGrid_})
        ctx().RegisterBoardControl(w);
    PaintCells();
    HookEmulateSwitch();
}

void RegExPage::changeEvent(QEvent* event) {
    Page::changeEvent(event);
    if (event->type() == QEvent::FontChange && readGrid_) {
        SizeGrid(readGrid_);
        SizeGrid(writeGrid_);
    }
}

int RegExPage::length() const {
    return length_->value();
}
int RegExPage::address() const {
    return address_->value();
}

void RegExPage::HookEmulateSwitch() {
    if (n17_) return;
    n17_ = ctx().MenuAction("N17");
    if (!n17_) return;
    n17_->setCheckable(true);
    connect(n17_, &QAction::triggered, this, &RegExPage::N17Click);
}

void RegExPage::RestoreUiState(const SettingsStore& store) {
    HookEmulateSwitch();
    if (!n17_) return;
    n17_->setChecked(store.ReadBool(kSetup, "REGEX_EMULATE", false));
    n17_->setVisible(store.ReadBool(kSetup, "REGEX_EMULATE_VISIBLE", false));
}

void RegExPage::N17Click() {
    // A checkable action has already flipped its mark when `triggered` arrives.
    SettingsStore().WriteBool(kSetup, "REGEX_EMULATE", n17_->isChecked());
}

void RegExPage::PaintCells() {
    // Bytes at or beyond the length are shaded, so the active part of the burst
    // stays visible in both grids.
    // Within the burst the read grid shows button face and the write grid its
    // own colour: no brush of the cell's own, the grid's base shows through.
    const QBrush beyond = palette().color(QPalette::Dark);
    const QBrush readFace = palette().color(QPalette::Button);
    const int len = length();
    for (int i = 0; i < kSide * kSide; ++i) {
        const bool active = i < len;
        readGrid_->item(i / kSide, i % kSide)->setBackground(active ? readFace : beyond);
        writeGrid_->item(i / kSide, i % kSide)->setBackground(active ? QBrush() : beyond);
    }
}

void RegExPage::Label21Click() {
    std::optional<std::string> text =
        Prompts().Input(Lang::Tr("ﾚｼﾞｽﾀﾚﾝｸﾞｽ(DEC) 1～64の範囲で指定して下さい。"),
                        Lang::Tr("1～64Bytesで指定してください"), std::to_string(length()));
    if (!text) return;
    if (std::optional<int> v = features::RegExRangeInput(*text, 1, 64, ctx().reporter()))
        length_->setValue(*v);
}

void RegExPage::Label22Click() {
    std::optional<std::string> text =
        Prompts().Input(Lang::Tr("ﾚｼﾞｽﾀｱﾄﾞﾚｽ(DEC) 0～1023の範囲で指定して下さい。"),
                        Lang::Tr("0～1023で指定してください"), std::to_string(address()));
    if (!text) return;
    if (std::optional<int> v = features::RegExRangeInput(*text, 0, 1023, ctx().reporter()))
        address_->setValue(*v);
}

void RegExPage::Button49Click() {
    features::RegExBurst bytes{};
    if (!features::RegExBurstRead(link::CurrentBoard(), address(), length(), bytes,
                                  ctx().reporter()))
        return;
    RecordRegExBurst(false, address(), length(), bytes);
    // Cells beyond the length keep what they showed before.
    for (int i = 0; i < length(); ++i)
        readGrid_->item(i / kSide, i % kSide)
            ->setText(QString::fromStdString(features::HexField(bytes[i], 2)));
}

void RegExPage::Button50Click() {
    // An editor still open on a cell holds text the grid has not seen yet.
    writeGrid_->setCurrentItem(nullptr);
    features::RegExCells cells;
    for (int i = 0; i < kSide * kSide; ++i)
        cells[i] = writeGrid_->item(i / kSide, i % kSide)->text().toStdString();
    std::optional<features::RegExBurst> bytes = features::RegExParseCells(cells, ctx().reporter());
    // Cells read before a bad one have been normalised; show that either way.
    for (int i = 0; i < kSide * kSide; ++i)
        writeGrid_->item(i / kSide, i % kSide)->setText(QString::fromStdString(cells[i]));
    if (!bytes) return;
    if (features::RegExBurstWrite(link::CurrentBoard(), address(), length(), *bytes,
                                  ctx().reporter()))
        RecordRegExBurst(true, address(), length(), *bytes);
}

Page* MakeRegExPage(PageContext& context) {
    return new RegExPage(context);
}

}  // namespace quillon::app
