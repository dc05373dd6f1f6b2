#include "app/pages/rate_page.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/gui_thread.h"
#include "app/session_recording.h"
#include "features/memory/mem_page.h"
#include "features/memory/rate_measure.h"
#include "link/board_link.h"
#include "platform/settings_store.h"

namespace quillon::app {

namespace {

constexpr const char* kSizeCaption = QT_TRANSLATE_NOOP("Lang", "転送ｻｲｽﾞ");

}  // namespace

RatePage::RatePage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("RatePage");

    auto* note = new QPlainTextEdit(this);
    note->setObjectName("Memo2");
    note->setReadOnly(true);
    note->setLineWrapMode(QPlainTextEdit::NoWrap);
    note->setPlainText(
        Lang::tr("USBﾊﾞｽの転送ﾚｰﾄを測定します。\n"
                 "FPGAはｺﾝﾌｨｸﾞﾚｰｼｮﾝされていない状態にて測定を行って下さい。\n"
                 "\n"
                 "AAhで埋められたﾃﾞｰﾀをPCのﾒﾓﾘ上に作成し、ﾒﾓﾘWriteを連続16回測定します。\n"
                 "その後、ﾃﾞﾊﾞｲｽからPCﾒﾓﾘ上へのﾒﾓﾘReadを連続16回測定を行います。\n"
                 "※HDDへのｱｸｾｽを含めない純粋なUSBﾊﾞｽ上のﾃﾞｰﾀ転送ﾚｰﾄです。"));
    note->setAccessibleName(Lang::tr("転送ﾚｰﾄ測定"));

    size_ = new QComboBox(this);
    size_->setObjectName("ComboBox6");
    for (const auto& entry : features::kRateBlockSizes) size_->addItem(entry.label);
    size_->setCurrentIndex(0);
    size_->setAccessibleName(Lang::Marked(kSizeCaption));
    size_->setMinimumWidth(120);
    auto* caption = new QLabel(Lang::Marked(kSizeCaption), this);
    caption->setBuddy(size_);
    start_ = new QPushButton(Lang::tr("測定開始"), this);
    start_->setObjectName("Button26");
    start_->setFixedSize(100, 30);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(6);
    bottom->addWidget(caption);
    bottom->addWidget(new QLabel(U("→"), this));
    bottom->addWidget(size_);
    bottom->addStretch();
    bottom->addWidget(start_);
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(8, 4, 8, 4);
    rows->setSpacing(4);
    rows->addWidget(note, 1);
    rows->addLayout(bottom);

    connect(start_, &QPushButton::clicked, this, [this] { Button26Click(); });
    ctx().RegisterBoardControl(size_);
    ctx().RegisterBoardControl(start_);
}

void RatePage::Button26Click() {
    const bool tessera = features::MemTransferOptions::Read(SettingsStore()).tessera;
    const link::BoardHandle h = link::CurrentBoard();
    const int size = size_->currentIndex();
    ctx().RunLong({.cancellable = true}, [&] {
        features::RunRateMeasurement(h, size, tessera, ctx().reporter(), [this](bool on) {
            GuiCall([&] {
                // A board that went away meanwhile keeps them off.
                const bool enabled = on && ctx().BoardOpen();
                size_->setEnabled(enabled);
                start_->setEnabled(enabled);
            });
        });
    });
    RecordNotReplayed("transfer-rate measurement", "no macro measures the transfer rate");
}

Page* MakeRatePage(PageContext& context) {
    return new RatePage(context);
}

}  // namespace quillon::app
