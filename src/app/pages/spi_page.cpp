#include "app/pages/spi_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/pages/flash_common.h"
#include "app/session_recording.h"
#include "features/busy_gate.h"
#include "features/flash/spi_memory.h"
#include "features/hex_field.h"
#include "features/long_work.h"
#include "link/board_link.h"
#include "platform/settings_store.h"

namespace quillon::app {

namespace {

constexpr const char* kInvalid = QT_TRANSLATE_NOOP("Lang", "設定値が無効です。");
constexpr const char* kUfmAddress = QT_TRANSLATE_NOOP("Lang", "ｱﾄﾞﾚｽ(0-01FFh)");
constexpr const char* kFlashAddress = QT_TRANSLATE_NOOP("Lang", "ｱﾄﾞﾚｽ(0-FFFFFFh)");

// The base register: decimal, and six registers from it must exist.
std::optional<std::uint16_t> ParseBase(const QString& text) {
    const auto v = ParseStoredInteger(S(text));
    if (!v || *v < 0 || *v > 0x3FFF - 5) return std::nullopt;
    return static_cast<std::uint16_t>(*v);
}

std::optional<std::uint64_t> Hex(const QLineEdit* edit) {
    return features::ParseHexField(S(edit->text()));
}

QString HexText(std::uint64_t value, int digits) {
    return QString::fromStdString(features::HexField(value, digits));
}

}  // namespace

SpiPage::SpiPage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("SpiPage");

    base_ = new QLineEdit("24", this);
    base_->setObjectName("LabeledEdit10");
    base_->setMaxLength(2);
    base_->setFixedWidth(40);
    auto* baseLabel = FieldCaption(Lang::tr("SPIｺｱのﾍﾟｰｽｱﾄﾞﾚｽ｢｣のﾚｼﾞｽﾀ番号を設定して下さい。"), base_, this);

    target_ = new QComboBox(this);
    target_->setObjectName("ComboBox9");
    target_->addItems({"MAX2(UFM)", "M25P128"});
    target_->setCurrentIndex(0);
    auto* targetLabel = FieldCaption(Lang::tr("ﾀｰｹﾞｯﾄﾒﾓﾘ："), target_, this);

    address_ = new QLineEdit("0000", this);
    address_->setObjectName("LabeledEdit11");
    address_->setMaxLength(6);
    addressLabel_ = FieldCaption(Lang::Marked(kUfmAddress), address_, this);
    read_ = new QLineEdit("0000", this);
    read_->setObjectName("LabeledEdit12");
    read_->setReadOnly(true);
    auto* readLabel = FieldCaption("Read", read_, this);
    write_ = new QLineEdit("0000", this);
    write_->setObjectName("LabeledEdit13");
    auto* writeLabel = FieldCaption("Write", write_, this);
    for (QLineEdit* e : {address_, read_, write_}) e->setFixedWidth(80);

    readButton_ = new QPushButton("Read", this);
    readButton_->setObjectName("Button27");
    writeButton_ = new QPushButton("Write", this);
    writeButton_->setObjectName("Button28");
    eraseButton_ = new QPushButton("ChipErase", this);
    eraseButton_->setObjectName("Button29");

    erasing_ = new QLabel("ChipErasing ....", this);
    erasing_->setObjectName("Label40");
    erasing_->setStyleSheet("QLabel { color: red; }");
    erasing_->hide();

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(8, 4, 8, 4);
    rows->setSpacing(2);

    auto* top = new QGridLayout;
    top->setHorizontalSpacing(6);
    top->setVerticalSpacing(0);
    top->addWidget(baseLabel, 0, 0, 1, 2);
    auto* baseRow = new QHBoxLayout;
    baseRow->addWidget(base_);
    baseRow->addWidget(new QLabel("(DEC)", this));
    baseRow->addStretch();
    top->addLayout(baseRow, 1, 0);
    auto* targetRow = new QHBoxLayout;
    targetRow->addWidget(targetLabel);
    targetRow->addWidget(target_);
    top->addLayout(targetRow, 1, 1, Qt::AlignRight);
    rows->addLayout(top);

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(8);
    fields->setVerticalSpacing(0);
    fields->addWidget(addressLabel_, 0, 0, 1, 2);
    fields->addWidget(address_, 1, 0);
    fields->addWidget(new QLabel("(HEX)", this), 1, 1);
    fields->addWidget(readLabel, 0, 2);
    fields->addWidget(read_, 1, 2);
    fields->addWidget(writeLabel, 0, 3);
    fields->addWidget(write_, 1, 3);
    fields->setColumnMinimumWidth(4, 12);
    fields->addWidget(readButton_, 1, 5);
    fields->addWidget(writeButton_, 1, 6);
    fields->addWidget(eraseButton_, 1, 7);
    fields->addWidget(erasing_, 2, 5, 1, 3, Qt::AlignRight);
    fields->setColumnStretch(4, 1);
    rows->addLayout(fields);
    rows->addStretch();
    for (const char* line :
         {QT_TRANSLATE_NOOP("Lang",
                            "SPI操作用のｻﾝﾌﾟﾙ回路をｺﾝﾌｨｸﾞﾚｰｼｮﾝした状態で使用してください。"),
          QT_TRANSLATE_NOOP("Lang", "Orrickに実装されているMAX2-UFMﾒﾓﾘとM25P128に対して、"),
          QT_TRANSLATE_NOOP("Lang", "BYTE/WORD単位でのRead/writeとChipEraseを実行可能です。")}) {
        rows->addWidget(new QLabel(Lang::Marked(line), this));
    }

    connect(target_, &QComboBox::currentIndexChanged, this, [this] { ComboBoxChange(); });
    connect(readButton_, &QPushButton::clicked, this, [this] { Button27Click(); });
    connect(writeButton_, &QPushButton::clicked, this, [this] { Button28Click(); });
    connect(eraseButton_, &QPushButton::clicked, this, [this] { Button29Click(); });
    if (QTimer* t = ctx().Timer(1)) connect(t, &QTimer::timeout, this, [this] { Timer1Timer(); });

    for (QWidget* w : std::initializer_list<QWidget*>{readButton_, writeButton_, eraseButton_,
                                                      base_, address_, read_, write_, target_})
        ctx().RegisterBoardControl(w);
}

bool SpiPage::Flash() const {
    return target_->currentIndex() == 1;
}

void SpiPage::Invalid() {
    ctx().reporter().Message(Lang::MarkedStd(kInvalid), MsgIcon::Warning);
}

void SpiPage::ShowTargetLabel() {
    const QString text = Lang::Marked(Flash() ? kFlashAddress : kUfmAddress);
    addressLabel_->setText(text);
    address_->setAccessibleName(text);
}

void SpiPage::ComboBoxChange() {
    const auto address = Hex(address_), read = Hex(read_), write = Hex(write_);
    if (!address || !read || !write) {
        // The fields stay as they are, and so does the target they belong to.
        const QSignalBlocker block(target_);
        target_->setCurrentIndex(shownTarget_);
        Invalid();
        return;
    }
    shownTarget_ = target_->currentIndex();
    ShowTargetLabel();
    if (Flash()) {
        address_->setText(HexText(*address & 0xFFFFFF, 6));
        read_->setText(HexText(*read & 0xFF, 2));
        write_->setText(HexText(*write & 0xFF, 2));
    } else {
        address_->setText(HexText(*address & 0x1FF, 4));
        read_->setText(HexText(*read & 0xFFFF, 4));
        write_->setText(HexText(*write & 0xFFFF, 4));
    }
}

void SpiPage::Button27Click() {
    const auto base = ParseBase(base_->text());
    const auto address = Hex(address_);
    if (!base || !address) return Invalid();
    features::Reporter& r = ctx().reporter();
    const auto hold = features::TakeOrRefuse("SPI-Read", r);
    if (!hold) return;
    readButton_->setEnabled(false);
    const link::BoardHandle h = link::CurrentBoard();
    const auto a = static_cast<std::uint32_t>(*address);
    const bool flash = Flash();
    bool ok = false, cancelled = false;
    std::uint32_t data = 0;
    RecordNotReplayed("SPI memory run", "no macro programs a flash memory");
    ctx().RunLong({.cancellable = true}, [&] {
        if (flash) {
            std::uint8_t b = 0;
            ok = features::SpiFlashReadByte(h, *base, a, b, r);
            data = b;
        } else {
            std::uint16_t w = 0;
            ok = features::SpiUfmReadWord(h, *base, a, w, r);
            data = w;
        }
        cancelled = !ok && features::CancelRequested();
    });
    if (cancelled) {
        Cancelled();
    } else if (ok) {
        // The address is shown as typed, only normalised: a UFM address above
        // 1FFh went out modulo 10000h but stays as entered.
        address_->setText(HexText(*address, Flash() ? 6 : 4));
        read_->setText(HexText(data, Flash() ? 2 : 4));
        ctx().SetStatus(Lang::tr("SPI-Read 成功しました。"));
    } else {
        r.FailBox(Lang::Tr("SPIﾘｰﾄﾞに失敗しました。"), MsgIcon::Warning);
    }
    readButton_->setEnabled(ctx().BoardOpen());
}

void SpiPage::Button28Click() {
    const auto base = ParseBase(base_->text());
    const auto address = Hex(address_);
    const auto data = Hex(write_);
    if (!base || !address || !data) return Invalid();
    features::Reporter& r = ctx().reporter();
    const auto hold = features::TakeOrRefuse("SPI-Write", r);
    if (!hold) return;
    writeButton_->setEnabled(false);
    const link::BoardHandle h = link::CurrentBoard();
    const auto a = static_cast<std::uint32_t>(*address);
    const bool flash = Flash();
    bool ok = false, cancelled = false;
    RecordNotReplayed("SPI memory run", "no macro programs a flash memory");
    ctx().RunLong({.cancellable = true}, [&] {
        ok = flash ? features::SpiFlashWriteByte(h, *base, a, static_cast<std::uint8_t>(*data), r)
                   : features::SpiUfmWriteWord(h, *base, a, static_cast<std::uint16_t>(*data), r);
        cancelled = !ok && features::CancelRequested();
    });
    if (cancelled) {
        Cancelled();
    } else if (ok) {
        address_->setText(HexText(*address, Flash() ? 6 : 4));
        write_->setText(HexText(*data, Flash() ? 2 : 4));
        ctx().SetStatus(Lang::tr("SPI-Write 成功しました。"));
    } else {
        r.FailBox(Lang::Tr("SPIﾗｲﾄに失敗しました。"), MsgIcon::Warning);
    }
    writeButton_->setEnabled(ctx().BoardOpen());
}

void SpiPage::Cancelled() {
    // The memory finishes an erase or write it had begun; only the waiting stopped.
    ctx().reporter().Log(Lang::MarkedStd(features::kUserCancel));
    ctx().SetStatus(Lang::Marked(features::kUserCancel));
}

void SpiPage::EraseFailed(const char* text) {
    ctx().reporter().FailBox(Lang::MarkedStd(text), MsgIcon::Warning);
}

void SpiPage::Button29Click() {
    const auto base = ParseBase(base_->text());
    if (!base) return Invalid();
    features::Reporter& r = ctx().reporter();
    const auto hold = features::TakeOrRefuse("ChipErase", r);
    if (!hold) return;
    eraseButton_->setEnabled(false);
    const link::BoardHandle h = link::CurrentBoard();
    if (Flash()) {
        if (r.Message(Lang::Tr("M25P128のﾁｯﾌﾟｲﾚｰｽを行いますか?"), MsgIcon::Warning,
                      MsgButtons::YesNo) == MsgAnswer::Yes) {
            // Only a notice: whatever the answer, the erase runs.
            r.Message(Lang::Tr("M25P128のﾁｯﾌﾟｲﾚｰｽは最大250秒かかります。"), MsgIcon::Information,
                      MsgButtons::YesNo);
            QTimer* blink = ctx().Timer(1);
            erasing_->show();
            if (blink) blink->start();
            ctx().SetStatus(Lang::tr("M25P128 ChipErase実行中 ... 少々お待ち下さい(最大250秒)"));
            r.Pump();
            bool ok = false, cancelled = false;
            RecordNotReplayed("SPI memory run", "no macro programs a flash memory");
            ctx().RunLong({.cancellable = true}, [&] {
                ok = features::SpiFlashChipErase(h, *base, r);
                cancelled = !ok && features::CancelRequested();
            });
            if (blink) blink->stop();
            erasing_->hide();
            if (cancelled)
                Cancelled();
            else if (ok)
                ctx().SetStatus(Lang::tr("M25P128 ChipErase成功しました。"));
            else
                EraseFailed(QT_TRANSLATE_NOOP("Lang", "ﾁｯﾌﾟｲﾚｰｽ(ﾌﾞﾛｯｸ0)に失敗しました。"));
        }
    } else if (r.Message(Lang::Tr("MAX2-UFMﾒﾓﾘのﾁｯﾌﾟｲﾚｰｽを行いますか?"), MsgIcon::Warning,
                         MsgButtons::YesNo) == MsgAnswer::Yes) {
        int failedBlock = -1;
        bool cancelled = false;
        RecordNotReplayed("SPI memory run", "no macro programs a flash memory");
        ctx().RunLong({.cancellable = true}, [&] {
            if (!features::SpiUfmEraseSector(h, *base, 0x000, r))
                failedBlock = 0;
            else if (!features::SpiUfmEraseSector(h, *base, 0x100, r))
                failedBlock = 1;
            cancelled = failedBlock >= 0 && features::CancelRequested();
        });
        if (cancelled)
            Cancelled();
        else if (failedBlock == 0)
            EraseFailed(QT_TRANSLATE_NOOP("Lang", "ﾁｯﾌﾟｲﾚｰｽ(ﾌﾞﾛｯｸ0)に失敗しました。"));
        else if (failedBlock == 1)
            EraseFailed(QT_TRANSLATE_NOOP("Lang", "ﾁｯﾌﾟｲﾚｰｽ(ﾌﾞﾛｯｸ1)に失敗しました。"));
        else
            ctx().SetStatus(Lang::tr("MAX2(UFM) ChipErase成功しました。"));
    }
    eraseButton_->setEnabled(ctx().BoardOpen());
}

void SpiPage::Timer1Timer() {
    erasing_->setHidden(!erasing_->isHidden());
}

Page* MakeSpiPage(PageContext& context) {
    return new SpiPage(context);
}

}  // namespace quillon::app
