#include "app/pages/register_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <string_view>

#include "app/session_recording.h"
#include "app/ui_fonts.h"
#include "features/registers/reg_page_ops.h"
#include "link/board_link.h"
#include "platform/settings_store.h"

namespace quillon::app {

namespace {

constexpr int kFieldChars = 16;

bool EmulateFlag() {
    return SettingsStore().ReadBool(kSetup, "REGEX_EMULATE", false);
}

}  // namespace

UpDown::UpDown(QLineEdit* buddy, int min, int max, QWidget* parent)
    : QWidget(parent), buddy_(buddy), min_(min), max_(max), position_(min) {
    auto* up = new QToolButton(this);
    auto* down = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    up->setObjectName("up");
    down->setObjectName("down");
    for (QToolButton* b : {up, down}) {
        b->setAutoRepeat(true);
        b->setFixedSize(16, 11);
        b->setFocusPolicy(Qt::NoFocus);
    }
    buddy_->installEventFilter(this);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(up);
    box->addWidget(down);
    connect(up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down, &QToolButton::clicked, this, [this] { Step(-1); });
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == buddy_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDown::Step(int delta) {
    // The edit may have been typed into since the last click.
    std::optional<int> typed = ParseStoredInteger(buddy_->text().toStdString());
    if (typed) position_ = std::clamp(*typed, min_, max_);
    position_ = std::clamp(position_ + delta, min_, max_);
    buddy_->setText(QString::number(position_));
}

RegisterPage::RegisterPage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("RegisterPage");
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(6, 4, 6, 4);
    rows->setSpacing(2);

    static const char* const kDefaults[kGroups] = {"2", "3", "4"};
    for (int g = 0; g < kGroups; ++g) {
        Group& grp = groups_[g];
        const QString n = QString::number(g + 1);
        auto* row = new QHBoxLayout;
        row->setSpacing(4);

        auto* numberBox = new QGroupBox(Lang::tr("ﾚｼﾞｽﾀ番号"), this);
        auto* numberLay = new QHBoxLayout(numberBox);
        numberLay->setContentsMargins(4, 2, 4, 2);
        numberLay->setSpacing(0);
        grp.number = new QLineEdit(U(kDefaults[g]), numberBox);
        grp.number->setObjectName("regNumber" + n);
        grp.number->setFixedWidth(56);
        if (g == 2) {
            grp.number->setValidator(
                new QRegularExpressionValidator(QRegularExpression("[0-9]*"), grp.number));
        }
        // Group 1's arrows reach 16384, one past the last register: that
        // number is refused by the operation, not by the arrows.
        grp.upDown = new UpDown(grp.number, 0, g == 0 ? 16384 : 16383, numberBox);
        grp.upDown->setObjectName("regUpDown" + n);
        numberLay->addWidget(grp.number);
        numberLay->addWidget(grp.upDown);

        auto* widthBox = new QGroupBox(Lang::tr("ﾋﾞｯﾄ幅"), this);
        auto* widthLay = new QHBoxLayout(widthBox);
        widthLay->setContentsMargins(4, 2, 4, 2);
        grp.width = new QComboBox(widthBox);
        grp.width->setObjectName("regWidth" + n);
        grp.width->addItems({"8bit", "16bit", "32bit", "64bit"});
        grp.width->setCurrentIndex(0);
        widthLay->addWidget(grp.width);

        auto* dataBox = new QGroupBox(Lang::tr("ﾃﾞｰﾀ設定"), this);
        auto* dataLay = new QHBoxLayout(dataBox);
        dataLay->setContentsMargins(4, 2, 4, 2);
        dataLay->setSpacing(3);
        grp.readBack = new QLineEdit("00", dataBox);
        grp.readBack->setObjectName("regReadBack" + n);
        grp.readBack->setReadOnly(true);
        grp.readBack->setMaxLength(kFieldChars);
        QPalette grey = grp.readBack->palette();
        grey.setColor(QPalette::Base, palette().color(QPalette::Button));
        grp.readBack->setPalette(grey);
        grp.value = new QLineEdit("00", dataBox);
        grp.value->setObjectName("regValue" + n);
        // The two fields share their group's caption; the tools tell them apart.
        grp.readBack->setAccessibleName(Lang::tr("ﾃﾞｰﾀ設定 Read"));
        grp.value->setAccessibleName(Lang::tr("ﾃﾞｰﾀ設定 Write"));
        grp.value->setMaxLength(kFieldChars);
        // Sixteen hexadecimal digits stay in view: a fixed-pitch font, and the
        // edit as wide as the digits plus its frame and text margins.
        for (QLineEdit* e : {grp.readBack, grp.value}) {
            e->setFont(UiFont(U(kFontMsGothic), 12));
            const QFontMetrics fm(e->font());
            int digit = 0;
            for (char c : std::string_view("0123456789ABCDEF"))
                digit = std::max(digit, fm.horizontalAdvance(QChar(c)));
            e->setFixedWidth(kFieldChars * digit +
                             2 * e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 8);
        }
        grp.read = new QPushButton("Read", dataBox);
        grp.write = new QPushButton("Write", dataBox);
        grp.read->setObjectName("Button" + QString::number(4 + 2 * g));
        grp.write->setObjectName("Button" + QString::number(5 + 2 * g));
        for (QPushButton* b : {grp.read, grp.write}) b->setFixedWidth(52);
        dataLay->addWidget(grp.readBack);
        dataLay->addWidget(new QLabel("(HEX)", dataBox));
        dataLay->addWidget(grp.read);
        dataLay->addSpacing(6);
        dataLay->addWidget(grp.value);
        dataLay->addWidget(new QLabel("(HEX)", dataBox));
        dataLay->addWidget(grp.write);

        row->addWidget(numberBox);
        row->addWidget(widthBox);
        row->addWidget(dataBox, 1);
        rows->addLayout(row);
        // Along the row, as the fields and buttons stand.
        setTabOrder(grp.readBack, grp.read);
        setTabOrder(grp.read, grp.value);
        setTabOrder(grp.value, grp.write);

        connect(grp.read, &QPushButton::clicked, this, [this, g] { ReadClick(g); });
        connect(grp.write, &QPushButton::clicked, this, [this, g] { WriteClick(g); });
        for (QWidget* w : std::initializer_list<QWidget*>{grp.number, grp.width, grp.readBack,
                                                          grp.value, grp.read, grp.write})
            ctx().RegisterBoardControl(w);
    }
    rows->addStretch(1);
}

void RegisterPage::ReadClick(int group) {
    Group& grp = groups_.at(static_cast<std::size_t>(group));
    features::Reporter& r = ctx().reporter();
    features::RegFieldResult result = features::RegPageRead(
        link::CurrentBoard(), grp.number->text().toStdString(), grp.width->currentIndex(),
        grp.readBack->text().toStdString(), EmulateFlag(), r);
    if (result.ok) {
        grp.readBack->setText(QString::fromStdString(result.field));
        RecordRegister(false, grp.number->text().toStdString(), grp.width->currentIndex(),
                       result.field, EmulateFlag());
        ctx().SetStatus(Lang::tr("ﾚｼﾞｽﾘｰﾄﾞ成功"));
    } else {
        r.Fail("REG READ NG");
        r.FailBox(Lang::Tr("ﾚｼﾞｽﾀﾘｰﾄﾞに失敗しました。"), MsgIcon::Warning);
    }
}

void RegisterPage::WriteClick(int group) {
    Group& grp = groups_.at(static_cast<std::size_t>(group));
    features::Reporter& r = ctx().reporter();
    features::RegFieldResult result = features::RegPageWrite(
        link::CurrentBoard(), grp.number->text().toStdString(), grp.width->currentIndex(),
        grp.value->text().toStdString(), EmulateFlag(), r);
    if (result.ok) {
        grp.value->setText(QString::fromStdString(result.field));
        RecordRegister(true, grp.number->text().toStdString(), grp.width->currentIndex(),
                       result.field, EmulateFlag());
        ctx().SetStatus(Lang::tr("ﾚｼﾞｽﾀﾗｲﾄ成功"));
    } else {
        r.Fail("REG WRITE NG");
        r.FailBox(Lang::Tr("ﾚｼﾞｽﾀﾗｲﾄに失敗しました。"), MsgIcon::Warning);
    }
}

Page* MakeRegisterPage(PageContext& context) {
    return new RegisterPage(context);
}

}  // namespace quillon::app
