#include "app/pages/nor_bridge_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/log_window.h"
#include "app/pages/flash_common.h"
#include "app/par_flash.h"
#include "features/flash/flash_time.h"
#include "link/board_link.h"
#include "log/settings_store.h"

namespace quillon::app {

QString ElapsedClockText(std::int64_t milliseconds) {
    const std::int64_t s = std::max<std::int64_t>(0, milliseconds / 1000);
    return QString("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QChar('0'))
        .arg(s % 60, 2, 10, QChar('0'));
}

NorBridgePage::NorBridgePage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("NorBridgePage");

    file_ = new QLineEdit("*.bin", this);
    file_->setObjectName("LabeledEdit20");
    auto* fileLabel = FieldCaption("WriteDataFile:", file_, this);
    choose_ = new QPushButton(U("ﾌｧｲﾙ選択"), this);
    choose_->setObjectName("Button44");
    target_ = new QComboBox(this);
    target_->setObjectName("ComboBox13");
    target_->addItems({"Norrin/EP2C35", "Norrin/EP2C70"});
    target_->setCurrentIndex(0);
    auto* targetLabel = FieldCaption("Target Board Select :", target_, this);
    readCfi_ = new QPushButton("Read CFI", this);
    readCfi_->setObjectName("Button45");
    execute_ = new QPushButton("Execute", this);
    execute_->setObjectName("Button46");
    progress_ = new QProgressBar(this);
    progress_->setObjectName("ProgressBar3");
    progress_->setMinimum(0);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setAccessibleName(U("進捗"));
    progressText_ = new QLabel("0%", this);
    progressText_->setObjectName("Label50");
    progressText_->setMinimumWidth(110);
    result_ = new QLabel("-", this);
    result_->setObjectName("Label52");
    time_ = new QLabel("-", this);
    time_->setObjectName("Label54");
    for (QLabel* l : {result_, time_}) l->setMinimumWidth(90);

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(8, 4, 8, 4);
    rows->setSpacing(3);
    rows->addWidget(fileLabel);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(file_, 1);
    fileRow->addWidget(choose_);
    rows->addLayout(fileRow);
    auto* targetRow = new QHBoxLayout;
    targetRow->addWidget(targetLabel);
    targetRow->addWidget(target_);
    targetRow->addStretch();
    targetRow->addWidget(readCfi_);
    targetRow->addWidget(execute_);
    rows->addLayout(targetRow);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(progress_, 1);
    progressRow->addWidget(progressText_);
    rows->addLayout(progressRow);
    auto* results = new QGridLayout;
    results->setHorizontalSpacing(8);
    results->addWidget(new QLabel("Execute Result", this), 0, 0);
    results->addWidget(new QLabel(U("→"), this), 0, 1);
    results->addWidget(result_, 0, 2);
    results->addWidget(new QLabel("Execute Time", this), 0, 3);
    results->addWidget(new QLabel(U("→"), this), 0, 4);
    results->addWidget(time_, 0, 5);
    results->setColumnStretch(6, 1);
    rows->addLayout(results);
    rows->addStretch();

    connect(choose_, &QPushButton::clicked, this, [this] { Button44Click(); });
    connect(readCfi_, &QPushButton::clicked, this, [this] { Button45Click(); });
    connect(execute_, &QPushButton::clicked, this, [this] { Button46Click(); });

    for (QWidget* w :
         std::initializer_list<QWidget*>{choose_, readCfi_, execute_, file_, target_})
        ctx().RegisterBoardControl(w, [this](bool open) { return open && !busy_; });
}

void NorBridgePage::RestoreUiState(const SettingsStore& store) {
    file_->setText(QString::fromStdString(store.ReadString(kSetup, "NorBridge2FileName", "*.bin")));
}

void NorBridgePage::Button44Click() {
    ChooseDataFile(file_, "NorBridge2FileDir", "NorBridge2FileName");
}

void NorBridgePage::Button45Click() {
    features::NorBridge2ReadCfi(link::CurrentBoard(), target_->currentIndex(), *this,
                                ctx().reporter());
}

void NorBridgePage::Button46Click() {
    const bool dump = SettingsStore().ReadBool(kSetup, "NorBridge2_DUMPF", false);
    features::NorBridge2Execute(link::CurrentBoard(), target_->currentIndex(), S(file_->text()),
                                dump, *this, ctx().reporter());
}

void NorBridgePage::Range(std::uint32_t maximum) {
    progress_->setMaximum(static_cast<int>(std::min<std::uint32_t>(maximum, INT32_MAX)));
}

void NorBridgePage::Position(std::uint32_t position) {
    progress_->setValue(static_cast<int>(std::min<std::uint32_t>(position, INT32_MAX)));
}

void NorBridgePage::Text(const std::string& text) {
    progressText_->setText(QString::fromStdString(text));
}

void NorBridgePage::Elapsed(std::int64_t startMs) {
    SetTime(startMs);
}

void NorBridgePage::SetResult(features::RunResult result) {
    ShowRunResult(result_, result, "Executing ...");
}

void NorBridgePage::SetTime(std::optional<std::int64_t> startMs) {
    time_->setText(startMs ? ElapsedClockText(features::Time().NowMs() - *startMs)
                           : QString("-"));
}

void NorBridgePage::SetControlsEnabled(bool enabled) {
    busy_ = !enabled;
    ctx().RefreshBoardControls();
}

void NorBridgePage::SetRunning(bool running) {
    SetParFlashRunning(running);
}

void NorBridgePage::ShowLog() {
    LogWindow::Show();
}

void NorBridgePage::ProgressToMaximum() {
    progress_->setValue(progress_->maximum());
}

void NorBridgePage::ReplaceLastLine(const std::string& text) {
    LogWindow::Put(true, text);
}

Page* MakeNorBridgePage(PageContext& context) {
    return new NorBridgePage(context);
}

}  // namespace quillon::app
