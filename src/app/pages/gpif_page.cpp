#include "app/pages/gpif_page.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/session_recording.h"
#include "features/registers/reg_wait.h"
#include "link/board_link.h"

namespace quillon::app {

GpifPage::GpifPage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("GpifPage");
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(12, 8, 12, 8);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);

    readWait_ = new QLineEdit("0", this);
    writeWait_ = new QLineEdit("0", this);
    readWait_->setObjectName("readWait");
    writeWait_->setObjectName("writeWait");
    auto* setRead = new QPushButton(Lang::tr("設定"), this);
    auto* setWrite = new QPushButton(Lang::tr("設定"), this);
    setRead->setObjectName("Button47");
    setWrite->setObjectName("Button48");
    for (QLineEdit* e : {readWait_, writeWait_}) e->setFixedWidth(80);

    grid->addWidget(new QLabel(Lang::tr("ﾚｼﾞｽﾀﾘｰﾄﾞ："), this), 0, 0, Qt::AlignRight);
    grid->addWidget(readWait_, 0, 1);
    grid->addWidget(setRead, 0, 2);
    grid->addWidget(new QLabel(Lang::tr("ﾚｼﾞｽﾀﾗｲﾄ："), this), 1, 0, Qt::AlignRight);
    grid->addWidget(writeWait_, 1, 1);
    grid->addWidget(setWrite, 1, 2);
    grid->addWidget(new QLabel(Lang::tr("最大255ｸﾛｯｸ(0～255)まで設定可能"), this), 0, 3, 2, 1);
    grid->setColumnStretch(4, 1);
    page->addLayout(grid);
    auto* notice = new QLabel(
        Lang::tr("ﾘｾｯﾄ等によりUSBﾌｧｰﾑｳｪｱが初期化されるとﾚｼﾞｽﾀｳｪｲﾄの設定値も初期化されます。"), this);
    notice->setWordWrap(true);
    page->addWidget(notice);
    page->addStretch(1);

    // Row by row, each wait before its button.
    setTabOrder(readWait_, setRead);
    setTabOrder(setRead, writeWait_);
    setTabOrder(writeWait_, setWrite);

    connect(setRead, &QPushButton::clicked, this, &GpifPage::Button47Click);
    connect(setWrite, &QPushButton::clicked, this, &GpifPage::Button48Click);
    for (QWidget* w : std::initializer_list<QWidget*>{readWait_, writeWait_, setRead, setWrite})
        ctx().RegisterBoardControl(w);
}

void GpifPage::Button47Click() {
    const std::string text = readWait_->text().toStdString();
    if (features::RegWaitSet(link::CurrentBoard(), features::RegWaitKind::Read, text,
                             ctx().reporter()))
        RecordNotReplayed("register read wait set to " + text, "no macro sets the register wait");
}

void GpifPage::Button48Click() {
    const std::string text = writeWait_->text().toStdString();
    if (features::RegWaitSet(link::CurrentBoard(), features::RegWaitKind::Write, text,
                             ctx().reporter()))
        RecordNotReplayed("register write wait set to " + text, "no macro sets the register wait");
}

Page* MakeGpifPage(PageContext& context) {
    return new GpifPage(context);
}

}  // namespace quillon::app
