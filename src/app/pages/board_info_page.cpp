#include "app/pages/board_info_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/elided_label.h"
#include "app/gui_thread.h"
#include "app/pages/board_widgets.h"
#include "app/session_recording.h"
#include "features/board/board_info.h"
#include "link/board_link.h"

namespace quillon::app {

BoardInfoPage::BoardInfoPage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("BoardInfoPage");
    auto* page = new QHBoxLayout(this);
    page->setContentsMargins(12, 6, 12, 6);

    auto* group = new QGroupBox(Lang::tr("ﾎﾞｰﾄﾞ情報"), this);
    group->setObjectName("GroupBox4");
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(10, 4, 10, 6);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(3);
    // The longest product names ("...(AN2135SC Interrupt Support Device)") are
    // wider than the page: that label is cut in the middle, whole in its tooltip.
    productName_ = new ElidedLabel("-", group);
    productName_->setObjectName("Label6");
    productName_->setAccessibleDescription(Lang::tr("製品名"));
    QLabel* name = productName_;
    struct Row {
        const char* caption;
        const char* name;
        QLabel*& value;
    };
    const Row rows[] = {{QT_TRANSLATE_NOOP("Lang", "ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝ"), "Label3", firmware_},
                        {QT_TRANSLATE_NOOP("Lang", "ﾌﾟﾛﾀﾞｸﾄID"), "Label4", productId_},
                        {QT_TRANSLATE_NOOP("Lang", "FX2ﾁｯﾌﾟﾘﾋﾞｼﾞｮﾝ"), "Label5", revision_},
                        {QT_TRANSLATE_NOOP("Lang", "製品名"), "Label6", name},
                        {QT_TRANSLATE_NOOP("Lang", "接続ｽﾋﾟｰﾄﾞ"), "Label7", speed_}};
    int r = 0;
    for (const Row& row : rows) {
        if (!row.value) row.value = ValueLabel(group, row.name, Lang::Marked(row.caption));
        grid->addWidget(Caption(group, Lang::Marked(row.caption), row.value), r, 0);
        grid->addWidget(new QLabel(U("→"), group), r, 1);
        grid->addWidget(row.value, r, 2);
        ++r;
    }
    grid->setColumnMinimumWidth(2, 330);
    grid->setColumnStretch(2, 1);

    auto* update = new QPushButton(Lang::tr("更新"), this);
    update->setObjectName("Button18");
    update->setFixedSize(80, 28);
    auto* side = new QVBoxLayout;
    side->addStretch(1);
    side->addWidget(update);

    page->addWidget(group, 1);
    page->addLayout(side);

    connect(update, &QPushButton::clicked, this, &BoardInfoPage::Button18Click);
    ctx().RegisterBoardControl(update);
}

void BoardInfoPage::Button18Click() {
    const link::BoardHandle h = link::CurrentBoard();
    // The update runs on the worker; each label is set on the GUI thread as
    // its answer comes in, not all at the end.
    ctx().RunLong({.cancellable = false}, [&] {
        features::BoardInfoUpdate(h, ctx().reporter(),
                                  [this](features::BoardInfoItem item, const std::string& text) {
                                      GuiCall([&] { ShowItem(item, text); });
                                  });
    });
    RecordNotReplayed("board information read", "no macro reads the board information");
}

void BoardInfoPage::ShowItem(features::BoardInfoItem item, const std::string& text) {
    const QString t = QString::fromStdString(text);
    switch (item) {
        case features::BoardInfoItem::FirmwareVersion:
            firmware_->setText(t);
            break;
        case features::BoardInfoItem::ProductId:
            productId_->setText(t);
            break;
        case features::BoardInfoItem::ProductName:
            productName_->setText(t);
            break;
        case features::BoardInfoItem::ChipRevision:
            revision_->setText(t);
            break;
        case features::BoardInfoItem::Speed:
            speed_->setText(t);
            break;
    }
}

Page* MakeBoardInfoPage(PageContext& context) {
    return new BoardInfoPage(context);
}

}  // namespace quillon::app
