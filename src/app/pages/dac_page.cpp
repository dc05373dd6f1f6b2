#include "app/pages/dac_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/pages/board_widgets.h"
#include "app/session_recording.h"
#include "features/board/i2c.h"
#include "link/board_link.h"

namespace quillon::app {

DacPage::DacPage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("DacPage");
    auto* page = new QHBoxLayout(this);
    page->setContentsMargins(12, 6, 12, 6);
    page->setSpacing(16);

    auto* portBox = new QGroupBox(Lang::tr("ﾎﾟｰﾄの選択"), this);
    portBox->setObjectName("GroupBox19");
    auto* portLay = new QVBoxLayout(portBox);
    portLay->setContentsMargins(8, 2, 8, 6);
    port_ = ChoiceList(portBox, {"EXT1-I2C", "EXT2-I2C"}, "ComboBox5", Lang::tr("ﾎﾟｰﾄの選択"));
    portLay->addWidget(port_);
    auto* left = new QVBoxLayout;
    left->addWidget(portBox);
    left->addStretch(1);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    static const char* const kCaptions[4] = {"1st Byte:", "2nd Byte:", "3rd Byte", "4th Byte:"};
    static const char* const kDefaults[4] = {"C0", "40", "00", "00"};
    for (int i = 0; i < 4; ++i) {
        bytes_[i] = HexEdit(this, kDefaults[i], 2, qPrintable(QString("LabeledEdit%1").arg(16 + i)),
                            kCaptions[i]);
        grid->addWidget(Caption(this, kCaptions[i], bytes_[i]), i, 0, Qt::AlignRight);
        grid->addWidget(bytes_[i], i, 1);
    }
    auto* set = new QPushButton("SET", this);
    set->setObjectName("Button58");
    set->setFixedSize(72, 28);
    grid->addWidget(set, 3, 2, Qt::AlignLeft);
    grid->setColumnMinimumWidth(2, 90);

    auto* middle = new QVBoxLayout;
    middle->addLayout(grid);
    middle->addWidget(new QLabel(Lang::tr("※すべてHEX値で指定する。"), this));
    middle->addStretch(1);

    page->addLayout(left);
    page->addLayout(middle);
    page->addStretch(1);

    connect(set, &QPushButton::clicked, this, &DacPage::Button58Click);
    ctx().RegisterBoardControl(set);
}

void DacPage::Button58Click() {
    std::array<std::string, 4> fields;
    for (int i = 0; i < 4; ++i) fields[i] = S(bytes_[i]->text());
    if (!features::DacParameterSet(link::CurrentBoard(), port_->currentIndex(), fields,
                                   ctx().reporter()))
        return;
    RecordNotReplayed("DAC parameter set of " + fields[0] + " " + fields[1] + " " + fields[2] +
                          " " + fields[3] + " on port " + std::to_string(port_->currentIndex()),
                      "no macro sets the DAC");
}

Page* MakeDacPage(PageContext& context) {
    return new DacPage(context);
}

}  // namespace quillon::app
