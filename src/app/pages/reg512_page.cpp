#include "app/pages/reg512_page.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/session_recording.h"
#include "features/registers/reg512_test.h"
#include "link/board_link.h"

namespace quillon::app {

Reg512Page::Reg512Page(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("Reg512Page");
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(12, 8, 12, 8);
    auto* about = new QLabel(Lang::tr("指定したﾚｼﾞｽﾀｱﾄﾞﾚｽに512ﾊﾞｲﾄのﾗﾝﾀﾞﾑﾃﾞｰﾀをWrite→Read→Verifyを"
                                      "指定回数実行します。"),
                             this);
    about->setWordWrap(true);
    page->addWidget(about);
    page->addWidget(new QLabel(Lang::tr("※SuperSpeedﾓｰﾄﾞ専用※"), this));

    auto* grid = new QGridLayout;
    address_ = new QLineEdit("6", this);
    repeat_ = new QLineEdit("1", this);
    address_->setObjectName("reg512Address");
    repeat_->setObjectName("reg512Repeat");
    for (QLineEdit* e : {address_, repeat_}) e->setFixedWidth(100);
    run_ = new QPushButton(Lang::tr("実行"), this);
    run_->setObjectName("Button53");
    grid->addWidget(new QLabel(Lang::tr("ﾚｼﾞｽﾀｱﾄﾞﾚｽ："), this), 0, 0, Qt::AlignRight);
    grid->addWidget(address_, 0, 1);
    grid->addWidget(new QLabel(Lang::tr("ﾘﾋﾟｰﾄ回数："), this), 1, 0, Qt::AlignRight);
    grid->addWidget(repeat_, 1, 1);
    grid->addWidget(run_, 1, 2);
    grid->setColumnStretch(3, 1);
    page->addLayout(grid);
    page->addStretch(1);

    connect(run_, &QPushButton::clicked, this, &Reg512Page::Button53Click);
    // Events are pumped between passes: the controls stay off while a run is
    // in progress, whatever the board does meanwhile.
    auto rule = [this](bool open) { return open && !running_; };
    for (QWidget* w : std::initializer_list<QWidget*>{address_, repeat_, run_})
        ctx().RegisterBoardControl(w, rule);
}

void Reg512Page::RestoreUiState(const SettingsStore& store) {
    address_->setText(QString::number(store.ReadInteger(kSetup, "REG512_ADRS", 6)));
    repeat_->setText(QString::number(store.ReadInteger(kSetup, "REG512_REPEAT", 1)));
}

void Reg512Page::Button53Click() {
    if (running_) return;
    running_ = true;
    ctx().RefreshBoardControls();
    const link::BoardHandle h = link::CurrentBoard();
    const std::string address = address_->text().toStdString();
    const std::string repeat = repeat_->text().toStdString();
    bool passed = false;
    ctx().RunLong({.cancellable = true}, [&] {
        const features::BusyBanner banner(ctx().reporter(), "Processing for Register Test ...");
        passed = features::Reg512Test(h, address, repeat, ctx().reporter());
    });
    RecordNotReplayed("512-byte register test at " + address + ", " + repeat + " passes" +
                          (passed ? "" : " (failed or cancelled)"),
                      "no macro runs the register test");
    running_ = false;
    ctx().RefreshBoardControls();
}

Page* MakeReg512Page(PageContext& context) {
    return new Reg512Page(context);
}

}  // namespace quillon::app
