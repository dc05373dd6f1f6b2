#include "app/pages/i2c2_page.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/pages/board_widgets.h"
#include "app/session_recording.h"
#include "link/board_link.h"

namespace quillon::app {

I2c2Page::I2c2Page(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("I2c2Page");
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(10, 6, 10, 4);
    page->setSpacing(4);

    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    port_ = ChoiceList(this, {"EXT1-I2C", "EXT2-I2C"}, "ComboBox6", Lang::tr("ﾎﾟｰﾄ選択："));
    length_ = ChoiceList(this, {Lang::tr("3ﾊﾞｲﾄﾓｰﾄﾞ"), Lang::tr("4ﾊﾞｲﾄﾓｰﾄﾞ")}, "ComboBox7", Lang::tr("Readｺﾏﾝﾄﾞ長："));
    top->addWidget(Caption(this, Lang::tr("ﾎﾟｰﾄ選択："), port_));
    top->addWidget(port_);
    top->addSpacing(16);
    top->addWidget(Caption(this, Lang::tr("Readｺﾏﾝﾄﾞ長："), length_));
    top->addWidget(length_);
    top->addStretch(1);
    page->addLayout(top);

    static const char* const kCaptions[4] = {"0:", "1:", "2/WD:", "WD:"};
    static const char* const kDefaults[4] = {"A0", "00", "A1", "00"};
    for (int g = 0; g < 2; ++g) {
        Group& grp = groups_[g];
        auto* box = new QGroupBox(QString("Group%1").arg(g + 1), this);
        box->setObjectName(g == 0 ? "GroupBox20" : "GroupBox21");
        auto* row = new QHBoxLayout(box);
        row->setContentsMargins(8, 2, 8, 4);
        row->setSpacing(3);
        row->addWidget(new QLabel("(HEX)", box));
        row->addSpacing(4);
        for (int i = 0; i < 4; ++i) {
            grp.bytes[i] =
                HexEdit(box, kDefaults[i], 2,
                        qPrintable(QString("LabeledEdit%1").arg(20 + 4 * g + i)), kCaptions[i]);
            row->addWidget(Caption(box, kCaptions[i], grp.bytes[i]));
            row->addWidget(grp.bytes[i]);
            row->addSpacing(4);
        }
        row->addWidget(new QLabel(U("→"), box));
        grp.result =
            ValueEdit(box, "00", 2, qPrintable(QString("Edit%1").arg(40 + g)), "Read Data");
        row->addWidget(grp.result);
        row->addSpacing(6);
        auto* read = new QPushButton("Read", box);
        auto* write = new QPushButton("Write", box);
        read->setObjectName(QString("Button%1").arg(59 + 2 * g));
        write->setObjectName(QString("Button%1").arg(60 + 2 * g));
        for (QPushButton* b : {read, write}) {
            b->setFixedWidth(56);
            row->addWidget(b);
            ctx().RegisterBoardControl(b);
        }
        row->addStretch(1);
        page->addWidget(box);
        connect(read, &QPushButton::clicked, this, [this, g] { CommandRead(g); });
        connect(write, &QPushButton::clicked, this, [this, g] { CommandWrite(g); });
    }
    page->addStretch(1);
}

features::I2cCommandFields I2c2Page::Fields(int g) const {
    features::I2cCommandFields f;
    for (int i = 0; i < 4; ++i) f.bytes[i] = S(groups_[g].bytes[i]->text());
    f.result = S(groups_[g].result->text());
    return f;
}

void I2c2Page::Show(int g, const features::I2cCommandFields& f) {
    for (int i = 0; i < 4; ++i) groups_[g].bytes[i]->setText(QString::fromStdString(f.bytes[i]));
    groups_[g].result->setText(QString::fromStdString(f.result));
}

void I2c2Page::CommandRead(int g) {
    features::I2cCommandFields f = Fields(g);
    if (features::I2cCommandRead(link::CurrentBoard(), port_->currentIndex(),
                                 length_->currentIndex(), f, ctx().reporter())) {
        Show(g, f);
        RecordI2cCommand(false, port_->currentIndex(), length_->currentIndex(), f);
    }
}

void I2c2Page::CommandWrite(int g) {
    features::I2cCommandFields f = Fields(g);
    if (features::I2cCommandWrite(link::CurrentBoard(), port_->currentIndex(),
                                  length_->currentIndex(), f, ctx().reporter())) {
        Show(g, f);
        RecordI2cCommand(true, port_->currentIndex(), length_->currentIndex(), f);
    }
}

Page* MakeI2c2Page(PageContext& context) {
    return new I2c2Page(context);
}

}  // namespace quillon::app
