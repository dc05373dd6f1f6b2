#include "app/memory_windows.h"

#include <QCheckBox>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "app/long_work.h"
#include "app/page.h"
#include "app/secondary_windows.h"
#include "app/ui_fonts.h"
#include "features/memory/mem_transfer.h"
#include "platform/settings_store.h"

namespace quillon::app {

namespace {

constexpr const char* kSplitCaption = QT_TRANSLATE_NOOP("Lang", "分割ﾒﾓﾘ転送中...");
constexpr const char* kNoteCaption = QT_TRANSLATE_NOOP("Lang", "■ﾒﾓﾘ転送ﾓｰﾄﾞに関するお知らせ■");

// A read-only text of a few lines, sized to show them all.
QPlainTextEdit* Note(const QStringList& lines, int rows, QWidget* parent) {
    auto* note = new QPlainTextEdit(lines.join('\n'), parent);
    note->setReadOnly(true);
    note->setLineWrapMode(QPlainTextEdit::NoWrap);
    note->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    note->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const QFontMetrics fm(note->font());
    int width = 0;
    for (const QString& l : lines) width = std::max(width, fm.horizontalAdvance(l));
    note->setFixedSize(width + 16, rows * fm.lineSpacing() + 12);
    return note;
}

}  // namespace

TSplitForm::TSplitForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("SplitForm");
    setWindowTitle(Lang::Marked(kSplitCaption));
    setModal(false);

    auto* heading = new QLabel(Lang::Marked(kSplitCaption), this);
    heading->setObjectName("Label1");
    QFont big = UiFont(U(kFontMeiryo), 20);
    big.setBold(true);
    heading->setFont(big);
    QPalette blue = heading->palette();
    blue.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0xFF));
    heading->setPalette(blue);

    QPlainTextEdit* note = Note({Lang::tr("ｷｬﾝｾﾙﾎﾞﾀﾝを押すことでﾒﾓﾘ転送を終了する事ができます。"),
                                 Lang::tr("ﾒﾓﾘﾘｰﾄﾞの場合にはｷｬﾝｾﾙを押すまでのﾃﾞｰﾀがHDDに書き込まれます。"),
                                 Lang::tr("ﾒﾓﾘﾗｲﾄの場合にはｷｬﾝｾﾙを押すまでのﾃﾞｰﾀをﾃﾞﾊﾞｲｽに転送します。"),
                                 Lang::tr("分割ﾒﾓﾘ転送は2MiB単位で行われます。")},
                                4, this);
    note->setObjectName("Memo1");
    note->setAccessibleName(Lang::Marked(kSplitCaption));

    auto* values = new QGridLayout;
    values->setHorizontalSpacing(6);
    values->setVerticalSpacing(2);
    const char* captions[] = {QT_TRANSLATE_NOOP("Lang", "最大転送ｻｲｽﾞ ："),
                              QT_TRANSLATE_NOOP("Lang", "転送回数 ："),
                              QT_TRANSLATE_NOOP("Lang", "転送ﾊﾞｲﾄ数 ：")};
    QLabel** labels[] = {&size_, &count_, &bytes_};
    // The colon that ends a caption, in either language: the value's name goes without it.
    static const QRegularExpression colon(QString::fromUtf8("\\s*[：:]$"));
    for (int i = 0; i < 3; ++i) {
        const QString text = Lang::Marked(captions[i]);
        auto* caption = new QLabel(text, this);
        *labels[i] = new QLabel("-", this);
        (*labels[i])->setObjectName(QString("Label%1").arg(i + 2));
        (*labels[i])->setMinimumWidth(160);
        // Found by its caption; the value is its text.
        (*labels[i])->setAccessibleName(QString(text).remove(colon));
        caption->setBuddy(*labels[i]);
        values->addWidget(caption, i, 0, Qt::AlignRight);
        values->addWidget(*labels[i], i, 1);
    }
    values->setColumnStretch(2, 1);

    cancel_ = new QPushButton(Lang::tr("Cansel"), this);
    cancel_->setObjectName("Button1");
    cancel_->setAutoDefault(false);
    cancel_->setFixedWidth(90);

    auto* bottom = new QHBoxLayout;
    bottom->addLayout(values, 1);
    bottom->addWidget(cancel_, 0, Qt::AlignBottom);
    progress_ = new ProgressView(this);
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(12, 8, 12, 10);
    rows->setSpacing(6);
    rows->addWidget(heading);
    rows->addWidget(note);
    rows->addWidget(progress_);
    rows->addLayout(bottom);

    connect(cancel_, &QPushButton::clicked, this, [this] { Button1Click(); });
    setFixedSize(sizeHint());
}

void TSplitForm::ShowCentred() {
    for (QLabel* l : {size_, count_, bytes_}) l->setText("-");
    progress_->Reset();
    CentreOnScreen(this);
    show();
    raise();
}

void TSplitForm::SetSize(const QString& text) {
    size_->setText(text);
}

void TSplitForm::SetPiece(const QString& count, const QString& bytes) {
    count_->setText(count);
    bytes_->setText(bytes);
}

void TSplitForm::Button1Click() {
    // The transfer stops after the piece in flight; a piece that has not
    // ended 2 s later (a design that stopped serving) is aborted.
    LongWork::CancelSplit();
}

TNoteForm::TNoteForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName("NoteForm");
    setWindowTitle(Lang::Marked(kNoteCaption));
    setModal(true);

    QPlainTextEdit* note = Note(
        {Lang::Marked(kNoteCaption), QString(),
         Lang::tr("ﾒﾓﾘ転送ﾓｰﾄﾞの切り換えは、切り換え後にﾎﾞｰﾄﾞﾘｾｯﾄ又は電源を切断するまで有効です。"),
         Lang::tr("ﾒﾓﾘ転送ﾓｰﾄﾞの設定情報はQuillon7又はﾎﾞｰﾄﾞ上には記憶されない不揮発性の情報です。"),
         Lang::tr(
             "従って、ﾎﾞｰﾄﾞﾘｾｯﾄ又は電源の再投入時には、ﾃﾞﾌｫﾙﾄのBurstﾓｰﾄﾞで転送が行われますので"),
         Lang::tr("注意をして下さい。")},
        6, this);
    note->setObjectName("Memo1");
    note->setAccessibleName(Lang::Marked(kNoteCaption));
    suppress_ = new QCheckBox(Lang::tr("次回から表示しない。"), this);
    suppress_->setObjectName("CheckBox1");
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("Button1");
    ok_->setDefault(true);
    ok_->setFixedWidth(90);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(suppress_);
    bottom->addStretch();
    bottom->addWidget(ok_);
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(12, 10, 12, 10);
    rows->setSpacing(8);
    rows->addWidget(note);
    rows->addLayout(bottom);

    connect(ok_, &QPushButton::clicked, this, [this] { Button1Click(); });
    setFixedSize(sizeHint());
}

void TNoteForm::Run() {
    CentreOnScreen(this);
    exec();
}

void TNoteForm::Button1Click() {
    SettingsStore().WriteBool(kSetup, "GPIF_WAVE_NOTE", suppress_->isChecked());
    accept();
}

}  // namespace quillon::app
