#include "app/pages/gpio_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/pages/board_widgets.h"
#include "features/board/gpio.h"
#include "features/registers/reg_page_ops.h"
#include "link/board_link.h"
#include "script/session_recorder.h"

namespace quillon::app {

GpioPage::GpioPage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("GpioPage");
    auto* page = new QHBoxLayout(this);
    page->setContentsMargins(6, 6, 6, 6);
    page->setSpacing(6);

    for (int p = 0; p < 3; ++p) {
        Port& port = ports_[p];
        auto* box = new QGroupBox(QString("Port ") + features::GpioPortLetter(p), this);
        box->setObjectName(QString("GroupBox%1").arg(9 + p));
        auto* grid = new QGridLayout(box);
        grid->setContentsMargins(6, 2, 6, 4);
        grid->setHorizontalSpacing(3);
        grid->setVerticalSpacing(3);

        port.direction =
            ChoiceList(box, {"IN", "OUT"}, qPrintable(QString("ComboBox%1").arg(1 + p)), "DIR");
        auto* set = new QPushButton("Set", box);
        set->setObjectName(QString("Button%1").arg(35 + p));
        port.read =
            ValueEdit(box, "00", 2, qPrintable(QString("LabeledEdit%1").arg(2 + 2 * p)), "Read");
        port.write =
            HexEdit(box, "00", 2, qPrintable(QString("LabeledEdit%1").arg(3 + 2 * p)), "Write");
        auto* read = new QPushButton("Read", box);
        auto* write = new QPushButton("Write", box);
        read->setObjectName(QString("Button%1").arg(38 + 2 * p));
        write->setObjectName(QString("Button%1").arg(39 + 2 * p));
        for (QPushButton* b : {set, read, write}) b->setFixedWidth(50);

        grid->addWidget(Caption(box, "DIR", port.direction), 0, 0);
        grid->addWidget(port.direction, 0, 1, 1, 2);
        grid->addWidget(set, 0, 3);
        grid->addWidget(Caption(box, "Read", port.read), 1, 0);
        grid->addWidget(port.read, 1, 1);
        grid->addWidget(new QLabel(U("→"), box), 1, 2, Qt::AlignCenter);
        grid->addWidget(read, 1, 3);
        grid->addWidget(Caption(box, "Write", port.write), 2, 0);
        grid->addWidget(port.write, 2, 1);
        grid->addWidget(new QLabel("(HEX)", box), 2, 2);
        grid->addWidget(write, 2, 3);
        grid->setRowStretch(3, 1);
        page->addWidget(box, 1);
        // Row by row, each field before its button.
        setTabOrder(set, port.read);
        setTabOrder(port.read, read);
        setTabOrder(read, port.write);
        setTabOrder(port.write, write);

        connect(set, &QPushButton::clicked, this, [this, p] { SetDirection(p); });
        connect(read, &QPushButton::clicked, this, [this, p] { Read(p); });
        connect(write, &QPushButton::clicked, this, [this, p] { Write(p); });
        for (QWidget* w : std::initializer_list<QWidget*>{port.direction, set, port.read,
                                                          port.write, read, write})
            ctx().RegisterBoardControl(w);
    }
}

void GpioPage::SetDirection(int port) {
    const std::string direction = S(ports_[port].direction->currentText());
    if (features::GpioDirectionSet(link::CurrentBoard(), port, direction, ctx().reporter()))
        script::Record(script::GpioDirectionOp{port, direction.find("OUT") != std::string::npos});
}

void GpioPage::Read(int port) {
    if (auto text = features::GpioRead(link::CurrentBoard(), port, ctx().reporter()))
    {
        ports_[port].read->setText(QString::fromStdString(*text));
        script::Record(script::GpioReadOp{port}, script::ReadNote(*text));
    }
}

void GpioPage::Write(int port) {
    if (auto text = features::GpioWrite(link::CurrentBoard(), port, S(ports_[port].write->text()),
                                        ctx().reporter()))
    {
        ports_[port].write->setText(QString::fromStdString(*text));
        const auto value = features::ParseHexField(*text);
        script::Record(script::GpioWriteOp{port, static_cast<std::uint8_t>(value.value_or(0))});
    }
}

Page* MakeGpioPage(PageContext& context) {
    return new GpioPage(context);
}

}  // namespace quillon::app
