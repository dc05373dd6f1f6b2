#include "app/pages/gpif2_master_page.h"

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

namespace {

// The master's registers are words of the 512-byte block space, which no
// macro reaches.
void RecordBlock(const std::string& what) {
    RecordNotReplayed("GPIF II master " + what, "no macro reaches the register block space");
}

int Index(features::G2mBase which) {
    return which == features::G2mBase::Reg ? 0 : 1;
}

}  // namespace

Gpif2MasterPage::Gpif2MasterPage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("Gpif2MasterPage");
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(10, 4, 10, 4);
    page->setSpacing(4);

    struct Group {
        const char* title;
        const char* name;  // the register's name, for the fields' accessible names
        const char* input;
        int readButton;
    };
    const Group groups[2] = {
        {"REG_BASE_ADRS = 21'h1F_FFFFh = 2097151", "REG_BASE_ADRS", "50000000", 63},
        {"MEM_BASE_ADRS = 21'h1F_FFFEh = 2097150", "MEM_BASE_ADRS", "40000000", 65}};
    for (int g = 0; g < 2; ++g) {
        const Group& def = groups[g];
        Base& base = bases_[g];
        auto* box = new QGroupBox(def.title, this);
        box->setObjectName(QString("GroupBox%1").arg(22 + g));
        box->setAccessibleName(def.name);  // what tells its Read and Write from the other's
        auto* row = new QHBoxLayout(box);
        row->setContentsMargins(8, 2, 8, 4);
        row->setSpacing(4);
        base.display = ValueEdit(box, "00", 8, qPrintable(QString("Edit%1").arg(42 + 2 * g)),
                                 QString(def.name) + " Read Data");
        base.input = HexEdit(box, def.input, 16, qPrintable(QString("Edit%1").arg(43 + 2 * g)),
                             QString(def.name) + " Write Data");
        auto* read = new QPushButton("Read", box);
        auto* write = new QPushButton("Write", box);
        read->setObjectName(QString("Button%1").arg(def.readButton));
        write->setObjectName(QString("Button%1").arg(def.readButton + 1));
        for (QPushButton* b : {read, write}) b->setFixedWidth(56);
        row->addWidget(base.display);
        row->addWidget(read);
        row->addSpacing(16);
        row->addWidget(base.input);
        row->addWidget(new QLabel("(HEX)", box));
        row->addWidget(write);
        row->addStretch(1);
        page->addWidget(box);
        // Along the row, as the fields and buttons stand.
        setTabOrder(base.display, read);
        setTabOrder(read, base.input);
        setTabOrder(base.input, write);
        const auto which = g == 0 ? features::G2mBase::Reg : features::G2mBase::Mem;
        connect(read, &QPushButton::clicked, this, [this, which] { BaseRead(which); });
        connect(write, &QPushButton::clicked, this, [this, which] { BaseWrite(which); });
    }

    auto* capture = new QHBoxLayout;
    capture->setSpacing(8);
    const struct {
        const char* caption;
        int number;
        void (Gpif2MasterPage::*handler)();
    } buttons[] = {{"CAP_START", 67, &Gpif2MasterPage::Button67Click},
                   {"READ", 68, &Gpif2MasterPage::Button68Click},
                   {"DMA SET", 69, &Gpif2MasterPage::Button69Click}};
    for (const auto& b : buttons) {
        auto* button = new QPushButton(b.caption, this);
        button->setObjectName(QString("Button%1").arg(b.number));
        button->setFixedWidth(90);
        capture->addWidget(button);
        connect(button, &QPushButton::clicked, this, b.handler);
    }
    capture->addStretch(1);
    page->addLayout(capture);
    page->addStretch(1);
    // Every control here works whether or not a board is open: with none, the
    // operations report their failure.
}

void Gpif2MasterPage::BaseRead(features::G2mBase which) {
    // After a failed read the display keeps what it showed.
    if (auto text = features::G2mBaseRead(link::CurrentBoard(), which, ctx().reporter())) {
        bases_[Index(which)].display->setText(QString::fromStdString(*text));
        RecordBlock(std::string(Index(which) == 0 ? "register" : "memory") +
                    " base address read (read -> " + *text + ")");
    }
}

void Gpif2MasterPage::BaseWrite(features::G2mBase which) {
    const std::string input = S(bases_[Index(which)].input->text());
    if (features::G2mBaseWrite(link::CurrentBoard(), which, input, ctx().reporter()))
        RecordBlock(std::string(Index(which) == 0 ? "register" : "memory") +
                    " base address write of " + input);
}

void Gpif2MasterPage::Button67Click() {
    if (features::CapStartIssue(link::CurrentBoard(), ctx().reporter())) RecordBlock("CAP_START");
}

void Gpif2MasterPage::Button68Click() {
    if (features::CapRegistersDump(link::CurrentBoard(), ctx().reporter()))
        RecordBlock("capture register READ");
}

void Gpif2MasterPage::Button69Click() {
    if (features::DmaStartSet(link::CurrentBoard(), ctx().reporter())) RecordBlock("DMA SET");
}

Page* MakeGpif2MasterPage(PageContext& context) {
    return new Gpif2MasterPage(context);
}

}  // namespace quillon::app
