#include "app/mode_sel_form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QVBoxLayout>

#include "app/page.h"
#include "app/placement.h"
#include "platform/prompter.h"
#include "platform/settings_store.h"

namespace quillon::app {

namespace {

constexpr const char* kModeCaption = QT_TRANSLATE_NOOP("Lang", "ｺﾝﾌｨｸﾞﾓｰﾄﾞを選択して下さい。");

void MakeRed(QLabel* label) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(0xFF, 0x00, 0x00));
    label->setPalette(p);
}

}  // namespace

TModeSelForm::TModeSelForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("ModeSelForm");
    setWindowTitle(Lang::Marked(kModeCaption));
    setModal(true);

    auto* text = new QLabel(Lang::tr("ｵｰﾄｺﾝﾌｨｸﾞﾚｰｼｮﾝﾓｰﾄﾞを選択して下さい。"), this);
    text->setObjectName("Label1");
    altera_ = new QRadioButton("Altera", this);
    altera_->setObjectName("RadioButton1");
    xilinx_ = new QRadioButton("Xilinx", this);
    xilinx_->setObjectName("RadioButton2");
    family_ = new QButtonGroup(this);
    family_->addButton(altera_);
    family_->addButton(xilinx_);
    bitswap_ = new QCheckBox("BITSWAP", this);
    bitswap_->setObjectName("CheckBox1");
    encrypt_ = new QCheckBox("ENCRYPT", this);
    encrypt_->setObjectName("CheckBox2");
    tessera_ = new QCheckBox("Tessera mode", this);
    tessera_->setObjectName("CheckBox3");
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("Button1");
    ok_->setDefault(true);

    auto* radios = new QHBoxLayout;
    radios->addSpacing(16);
    radios->addWidget(altera_);
    radios->addSpacing(24);
    radios->addWidget(xilinx_);
    radios->addStretch();
    auto* boxes = new QHBoxLayout;
    boxes->addSpacing(16);
    boxes->addWidget(bitswap_);
    boxes->addWidget(encrypt_);
    boxes->addWidget(tessera_);
    boxes->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addStretch();
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(12, 10, 12, 10);
    rows->setSpacing(8);
    rows->addWidget(text);
    rows->addLayout(radios);
    rows->addLayout(boxes);
    rows->addLayout(buttons);

    connect(altera_, &QRadioButton::clicked, this, [this] { RadioButton1Click(); });
    connect(xilinx_, &QRadioButton::clicked, this, [this] { RadioButton2Click(); });
    connect(ok_, &QPushButton::clicked, this, [this] { Button1Click(); });

    setFixedSize(sizeHint().expandedTo(QSize(320, 0)));
}

void TModeSelForm::Prepare(bool bitswapVisible, bool encryptVisible, bool tesseraVisible) {
    // An exclusive group never lets its last checked button go; lift it while
    // clearing.
    family_->setExclusive(false);
    altera_->setChecked(false);
    xilinx_->setChecked(false);
    family_->setExclusive(true);
    for (QCheckBox* b : {bitswap_, encrypt_, tessera_}) b->setChecked(false);
    bitswap_->setVisible(bitswapVisible);
    bitswap_->setEnabled(false);
    encrypt_->setVisible(encryptVisible);
    encrypt_->setEnabled(true);
    tessera_->setVisible(tesseraVisible);
    tessera_->setEnabled(true);
}

void TModeSelForm::Run(bool bitswapVisible, bool encryptVisible, bool tesseraVisible) {
    Prepare(bitswapVisible, encryptVisible, tesseraVisible);
    CentreOnScreen(this);
    exec();
}

void TModeSelForm::RadioButton1Click() {
    bitswap_->setEnabled(false);
    bitswap_->setChecked(false);
}

void TModeSelForm::RadioButton2Click() {
    bitswap_->setEnabled(true);
}

void TModeSelForm::Button1Click() {
    if (!altera_->isChecked() && !xilinx_->isChecked()) {
        Prompts().Message(Lang::MarkedStd(kModeCaption), MsgIcon::Warning);
        return;
    }
    {
        SettingsStore store;
        store.WriteBool(kSetup, "AUTO_CONFIG_MODE", xilinx());
        store.WriteBool(kSetup, "AUTO_CONFIG_BITSWAP", bitswap());
        store.WriteBool(kSetup, "AUTO_CONFIG_ENCRYPT", encrypt());
        store.WriteBool(kSetup, "AUTO_CONFIG_TESSERA", tessera());
    }
    accept();
}

bool TModeSelForm::xilinx() const {
    return xilinx_->isChecked();
}
bool TModeSelForm::bitswap() const {
    return bitswap_->isChecked();
}
bool TModeSelForm::encrypt() const {
    return encrypt_->isChecked();
}
bool TModeSelForm::tessera() const {
    return tessera_->isChecked();
}

QString FitPathToWidth(const QString& path, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(path) <= width) return path;
    const QString dots = QStringLiteral("...");
    QString native = path;
    native.replace('\\', '/');
    QStringList parts = native.split('/');
    const QString file = parts.takeLast();
    // Keep a leading root ("/" or a drive) in front of the dots when it fits.
    QString root;
    if (!parts.isEmpty() && (parts.first().isEmpty() || parts.first().endsWith(':'))) {
        root = parts.takeFirst() + "/";
    }
    while (!parts.isEmpty()) {
        parts.removeFirst();
        QString candidate = root + dots + "/";
        for (const QString& p : parts) candidate += p + "/";
        candidate += file;
        if (metrics.horizontalAdvance(candidate) <= width) return candidate;
    }
    const QString bare = dots + "/" + file;
    if (metrics.horizontalAdvance(bare) <= width) return bare;
    return metrics.elidedText(bare, Qt::ElideRight, width);
}

AutoConfigNotice::AutoConfigNotice(QWidget* parent) : QWidget(parent) {
    setObjectName("AutoConfigNotice");
    title_ = new QLabel(Lang::tr("ｵｰﾄｺﾝﾌｨｸﾞが指定されています。"), this);
    title_->setObjectName("Label9");
    mode_ = new QLabel(Lang::tr("(ALTERAﾓｰﾄﾞ)"), this);
    mode_->setObjectName("Label10");
    path_ = new QLabel("-", this);
    path_->setObjectName("Label11");
    path_->setFixedWidth(kPathWidth);
    for (QLabel* l : {title_, mode_, path_}) MakeRed(l);

    // One line each: beside the title, the longest mode text
    // ("Xilinxﾓｰﾄﾞ(+BITSWAP+ENCRYPT)") would not fit left of the buttons.
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    rows->addWidget(title_);
    rows->addWidget(mode_);
    rows->addWidget(path_);
    HideNotice();
}

bool AutoConfigNotice::shown() const {
    return !title_->isHidden();
}

void AutoConfigNotice::SetMode(const QString& text) {
    mode_->setText(text);
}

void AutoConfigNotice::SetPath(const QString& path) {
    path_->setText(FitPathToWidth(path, path_->fontMetrics(), kPathWidth));
    path_->setToolTip(path);
}

void AutoConfigNotice::ShowFor(const QString& path) {
    SetPath(path);
    for (QLabel* l : {title_, mode_, path_}) l->show();
}

void AutoConfigNotice::HideNotice() {
    path_->setText("-");
    path_->setToolTip({});
    for (QLabel* l : {title_, mode_, path_}) l->hide();
}

}  // namespace quillon::app
