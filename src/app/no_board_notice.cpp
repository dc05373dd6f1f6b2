#include "app/no_board_notice.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/board_chooser.h"
#include "app/page.h"

namespace quillon::app {

namespace {

// Said after every reason (%1): the way to work on without a board.
constexpr const char* kSimulatedBoardTip =
    QT_TRANSLATE_NOOP("Lang", "%1ﾎﾞｰﾄﾞ無しで試すには｢ﾎﾞｰﾄﾞの選択...｣でｼﾐｭﾚｰｼｮﾝﾎﾞｰﾄﾞを選べます。");

struct Texts {
    const char* headline;
    const char* todo;
};

Texts TextsOf(link::NoBoard kind) {
    switch (kind) {
        case link::NoBoard::NothingFound:
            return {QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞが見つかりません。"),
                    QT_TRANSLATE_NOOP("Lang",
                                      "ﾎﾞｰﾄﾞをUSBに接続してください(接続すると自動で開きます)。")};
        case link::NoBoard::NoMatch:
            return {QT_TRANSLATE_NOOP("Lang", "指定したﾎﾞｰﾄﾞが見つかりません。"),
                    QT_TRANSLATE_NOOP("Lang",
                                      "そのﾎﾞｰﾄﾞを接続するか、｢ﾎﾞｰﾄﾞの選択..."
                                      "｣で接続されているﾎﾞｰﾄﾞを選んでください。")};
        case link::NoBoard::NoAccess:
            return {QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞはありますが、開く権限がありません。"),
                    QT_TRANSLATE_NOOP(
                        "Lang",
                        "udevﾙｰﾙ(70-quillon.rules)をｲﾝｽﾄｰﾙしてからﾎﾞｰﾄﾞを差し直してください"
                        "(手順はﾛｸﾞにあります)。")};
        case link::NoBoard::NoFirmware:
            return {QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞのﾌｧｰﾑｳｪｱが動いていません(ﾌﾞｰﾄﾛｰﾀﾞ)。"),
                    QT_TRANSLATE_NOOP("Lang",
                                      "ﾎﾞｰﾄﾞのﾌｧｰﾑｳｪｱをﾛｰﾄﾞしてからﾎﾞｰﾄﾞを差し直してください。")};
        case link::NoBoard::Busy:
            return {
                QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞは他のﾌﾟﾛｸﾞﾗﾑが使用中です。"),
                QT_TRANSLATE_NOOP(
                    "Lang", "そのﾌﾟﾛｸﾞﾗﾑ(quillon-run等)を終了してからﾎﾞｰﾄﾞを差し直してください。")};
        case link::NoBoard::Held:
            // The headline names the process (NoBoardTextOf). Nothing opens the
            // board by itself once it is let go: a panel that took it back
            // between two tests of a lab would stop the run.
            return {QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞはﾌﾟﾛｾｽ %1 が使用中です。"),
                    QT_TRANSLATE_NOOP("Lang",
                                      "そのﾌﾟﾛｸﾞﾗﾑ(quillon-run、Python等)がﾎﾞｰﾄﾞを閉じてから、"
                                      "｢ﾎﾞｰﾄﾞの選択...｣でﾎﾞｰﾄﾞを選び直してください。")};
        case link::NoBoard::OpenFailed:
            return {QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞを開けませんでした。"),
                    QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞを差し直してください。")};
        case link::NoBoard::NoUsb:
            return {
                QT_TRANSLATE_NOOP("Lang", "USBを使用できません。"),
                QT_TRANSLATE_NOOP(
                    "Lang", "USBﾃﾞﾊﾞｲｽ(/dev/bus/usb)の無い環境(ｺﾝﾃﾅ等)ではﾎﾞｰﾄﾞを開けません。")};
        case link::NoBoard::Unknown:
            break;
    }
    return {QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞが開いていません。"),
            QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞを接続してください。")};
}

}  // namespace

NoBoardText NoBoardTextOf(const link::NoBoardReason& reason) {
    const Texts t = TextsOf(reason.kind);
    QString headline = Lang::Marked(t.headline);
    if (reason.kind == link::NoBoard::Held) {
        headline =
            reason.holder > 0 ? headline.arg(reason.holder) : Lang::tr("ﾎﾞｰﾄﾞは他のﾌﾟﾛｾｽが使用中です。");
    }
    return {headline, Lang::FillQ(kSimulatedBoardTip, Lang::Marked(t.todo))};
}

NoBoardNotice::NoBoardNotice(QWidget* parent) : QFrame(parent) {
    setObjectName("NoBoardNotice");
    // A band in the colours of a warning, drawn the same under every style.
    setAutoFillBackground(true);
    setStyleSheet(
        "QFrame#NoBoardNotice { background: #fff3c4; border: none;"
        " border-bottom: 1px solid #d9b94a; }");
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 8, 4);
    row->setSpacing(8);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(24, 24));
    icon->setAlignment(Qt::AlignTop);
    row->addWidget(icon);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    headline_ = new QLabel(this);
    headline_->setObjectName("NoBoardHeadline");
    QFont bold = headline_->font();
    bold.setBold(true);
    headline_->setFont(bold);
    todo_ = new QLabel(this);
    todo_->setObjectName("NoBoardTodo");
    todo_->setWordWrap(true);
    texts->addWidget(headline_);
    texts->addWidget(todo_);
    row->addLayout(texts, 1);
    choose_ = new QPushButton(Lang::Marked(kChooseBoardCaption), this);
    choose_->setObjectName("NoBoardChoose");
    row->addWidget(choose_, 0, Qt::AlignVCenter);
    connect(choose_, &QPushButton::clicked, this, &NoBoardNotice::chooseBoard);
    Set({});
}

void NoBoardNotice::Set(const link::NoBoardReason& reason) {
    reason_ = reason;
    const NoBoardText t = NoBoardTextOf(reason);
    headline_->setText(t.headline);
    todo_->setText(t.todo);
    // The backend's line names the device and the exact commands (the log has it too).
    const QString hint = QString::fromStdString(reason.hint);
    headline_->setToolTip(hint);
    todo_->setToolTip(hint);
    setAccessibleName(text());
}

QString NoBoardNotice::text() const {
    return headline_->text() + " " + todo_->text();
}

int NoBoardNotice::HeightFor(int width) const {
    return layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width)
                                         : sizeHint().height();
}

}  // namespace quillon::app
