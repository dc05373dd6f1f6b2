#include "app/pages/suspend_page.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/session_recording.h"
#include "features/board/supervision.h"
#include "link/board_link.h"

namespace quillon::app {

SuspendPage::SuspendPage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("SuspendPage");
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(12, 6, 12, 6);
    page->setSpacing(6);

    auto* box = new QGroupBox(Lang::tr("ｻｽﾍﾟﾝﾄﾞﾓｰﾄﾞ変更"), this);
    box->setObjectName("GroupBox13");
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(12, 4, 12, 6);
    normal_ = new QRadioButton("Normal mode", box);
    normal_->setObjectName("RadioButton1");
    normal_->setChecked(true);
    suspend_ = new QRadioButton("Suspend mode", box);
    suspend_->setObjectName("RadioButton2");
    auto* set = new QPushButton(Lang::tr("設定"), box);
    set->setObjectName("Button33");
    set->setFixedWidth(80);
    auto* modes = new QVBoxLayout;
    modes->addWidget(normal_);
    modes->addWidget(suspend_);
    row->addLayout(modes);
    row->addSpacing(40);
    row->addWidget(set, 0, Qt::AlignVCenter);
    row->addStretch(1);

    auto* lay = new QHBoxLayout;
    lay->addWidget(box);
    lay->addStretch(1);
    page->addLayout(lay);
    auto* note = new QLabel(Lang::tr("本設定はFPGAがSuspendﾓｰﾄﾞを有効にしたｺﾝﾌｨｷﾞｭﾚｰｼｮﾝﾌｧｲﾙで\n"
                                     "ｺﾝﾌｨｷﾞｭﾚｰｼｮﾝされている場合にのみ有効です。"),
                            this);
    note->setObjectName("Label16");
    page->addWidget(note);
    page->addStretch(1);

    connect(set, &QPushButton::clicked, this, &SuspendPage::Button33Click);
    for (QWidget* w : std::initializer_list<QWidget*>{normal_, suspend_, set})
        ctx().RegisterBoardControl(w);
}

void SuspendPage::Button33Click() {
    const bool suspend = suspend_->isChecked();
    if (features::SuspendSet(link::CurrentBoard(), suspend, ctx().reporter()))
        RecordNotReplayed(std::string("mode set to ") + (suspend ? "Suspend" : "Normal"),
                          "no macro sets the suspend mode");
}

Page* MakeSuspendPage(PageContext& context) {
    return new SuspendPage(context);
}

}  // namespace quillon::app
