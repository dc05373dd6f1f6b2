#include "app/pages/i2c_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/pages/board_widgets.h"
#include "link/board_link.h"
#include "platform/settings_store.h"
#include "script/session_recorder.h"

namespace quillon::app {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

I2cPage::I2cPage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("I2cPage");
    auto* page = new QHBoxLayout(this);
    page->setContentsMargins(8, 4, 8, 4);
    page->setSpacing(8);

    // Device type and address bits, shared by both groups.
    auto* device = new QGroupBox(Lang::tr("ﾃﾞﾊﾞｲｽの設定"), this);
    device->setObjectName("GroupBox5");
    auto* devGrid = new QGridLayout(device);
    devGrid->setContentsMargins(8, 2, 8, 4);
    devGrid->setVerticalSpacing(2);
    type_ = HexEdit(device, "7", 1, "Edit13", "Device Type Identifer");
    bits_ = HexEdit(device, "0", 1, "Edit14", "Device Adrs");
    devGrid->addWidget(Caption(device, "Device Type Identifer", type_), 0, 0);
    devGrid->addWidget(type_, 0, 1);
    devGrid->addWidget(new QLabel("(HEX 4bits)", device), 0, 2);
    devGrid->addWidget(Caption(device, "Device Adrs", bits_), 1, 0);
    devGrid->addWidget(bits_, 1, 1);
    devGrid->addWidget(new QLabel("(HEX 3bits)", device), 1, 2);

    auto* portBox = new QGroupBox(Lang::tr("ﾎﾟｰﾄの選択"), this);
    portBox->setObjectName("GroupBox6");
    auto* portLay = new QHBoxLayout(portBox);
    portLay->setContentsMargins(8, 2, 8, 4);
    port_ = ChoiceList(portBox, {"EXT1-I2C", "EXT2-I2C"}, "ComboBox4", Lang::tr("ﾎﾟｰﾄの選択"));
    portLay->addWidget(port_);
    portLay->addStretch(1);

    auto* left = new QVBoxLayout;
    left->setSpacing(4);
    left->addWidget(device);
    left->addWidget(portBox);
    left->addStretch(1);

    auto* right = new QVBoxLayout;
    right->setSpacing(4);
    for (int g = 0; g < 2; ++g) {
        Group& grp = groups_[g];
        const QString title = QString("Group%1").arg(g + 1);
        auto* box = new QGroupBox(title, this);
        box->setObjectName(g == 0 ? "GroupBox7" : "GroupBox8");
        auto* grid = new QGridLayout(box);
        grid->setContentsMargins(8, 2, 8, 4);
        grid->setHorizontalSpacing(4);
        grid->setVerticalSpacing(2);
        const int n = 15 + 3 * g;  // Edit15.. for group 1, Edit18.. for group 2
        grp.reg = HexEdit(box, "00", 2, qPrintable(QString("Edit%1").arg(n)), "Reg Address");
        grp.readData =
            ValueEdit(box, "00", 2, qPrintable(QString("Edit%1").arg(n + 1)), "Read Data");
        grp.writeData =
            HexEdit(box, "00", 2, qPrintable(QString("Edit%1").arg(n + 2)), "Write Data");
        auto* read = new QPushButton("Read", box);
        auto* write = new QPushButton("Write", box);
        read->setObjectName(QString("Button%1").arg(19 + 2 * g));
        write->setObjectName(QString("Button%1").arg(20 + 2 * g));
        for (QPushButton* b : {read, write}) b->setFixedWidth(56);
        grid->addWidget(Caption(box, "Reg Address", grp.reg), 0, 0);
        grid->addWidget(grp.reg, 0, 1);
        grid->addWidget(new QLabel("(HEX)", box), 0, 2);
        grid->addWidget(new QLabel(U("→"), box), 0, 3);
        grid->addWidget(grp.readData, 0, 4);
        grid->addWidget(new QLabel("(HEX)", box), 0, 5);
        grid->addWidget(read, 0, 6);
        grid->addWidget(grp.writeData, 1, 4);
        grid->addWidget(new QLabel("(HEX)", box), 1, 5);
        grid->addWidget(write, 1, 6);
        grid->setColumnStretch(7, 1);
        right->addWidget(box);
        // Row by row: the read-back and Read, then the value and Write.
        setTabOrder(grp.readData, read);
        setTabOrder(read, grp.writeData);
        setTabOrder(grp.writeData, write);

        connect(read, &QPushButton::clicked, this, [this, g] { ByteRead(g); });
        connect(write, &QPushButton::clicked, this, [this, g] { ByteWrite(g); });
        for (QWidget* w :
             std::initializer_list<QWidget*>{grp.reg, grp.readData, grp.writeData, read, write})
            ctx().RegisterBoardControl(w);
    }
    right->addStretch(1);

    page->addLayout(left);
    page->addLayout(right, 1);
    ctx().RegisterBoardControl(type_);
    ctx().RegisterBoardControl(bits_);
}

void I2cPage::RestoreUiState(const SettingsStore& store) {
    // Boards with one I2C port keep the choice fixed at the first.
    port_->setEnabled(store.ReadBool(kSetup, "I2CCont2", false));
    port_->setCurrentIndex(0);
}

features::I2cByteFields I2cPage::Fields(int g, bool write) const {
    features::I2cByteFields f;
    f.type = S(type_->text());
    f.bits = S(bits_->text());
    f.reg = S(groups_[g].reg->text());
    f.data = S((write ? groups_[g].writeData : groups_[g].readData)->text());
    return f;
}

void I2cPage::Show(int g, const features::I2cByteFields& f, bool write) {
    type_->setText(Q(f.type));
    bits_->setText(Q(f.bits));
    groups_[g].reg->setText(Q(f.reg));
    (write ? groups_[g].writeData : groups_[g].readData)->setText(Q(f.data));
}

// The access as IW/IR (first port) or IW2/IR2 (the second), from the fields
// as the operation rewrote them.
static void RecordI2c(int port, const features::I2cByteFields& f, bool write) {
    const auto type = features::ParseHexInt(f.type), bits = features::ParseHexInt(f.bits);
    const auto reg = features::ParseHexInt(f.reg), data = features::ParseHexInt(f.data);
    if (!type || !bits || !reg || !data) return;
    const std::uint8_t address = features::I2cAddressByte(*type, *bits);
    const int form = port == 0 ? 1 : 2;
    if (write) {
        script::Record(script::I2cWriteOp{form, port, 3, address, *reg & 0xFF,
                                          static_cast<std::uint8_t>(*data)});
    } else {
        script::Record(script::I2cReadOp{form, port, 3, address, *reg & 0xFF},
                       script::ReadNote(f.data));
    }
}

void I2cPage::ByteRead(int g) {
    features::I2cByteFields f = Fields(g, false);
    if (features::I2cByteRead(link::CurrentBoard(), port_->currentIndex(), f, ctx().reporter())) {
        Show(g, f, false);
        RecordI2c(port_->currentIndex(), f, false);
    }
}

void I2cPage::ByteWrite(int g) {
    features::I2cByteFields f = Fields(g, true);
    if (features::I2cByteWrite(link::CurrentBoard(), port_->currentIndex(), f, ctx().reporter())) {
        Show(g, f, true);
        RecordI2c(port_->currentIndex(), f, true);
    }
}

Page* MakeI2cPage(PageContext& context) {
    return new I2cPage(context);
}

}  // namespace quillon::app
