#include "app/pages/ser_bridge_page.h"

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
#include "link/board_link.h"
#include "log/settings_store.h"

namespace quillon::app {

SerBridgePage::SerBridgePage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("SerBridgePage");

    file_ = new QLineEdit("*.bin", this);
    file_->setObjectName("LabeledEdit14");
    auto* fileLabel = FieldCaption("WriteDataFile :", file_, this);
    choose_ = new QPushButton(U("ﾌｧｲﾙ選択"), this);
    choose_->setObjectName("Button30");
    cancel_ = new QPushButton("Cansel", this);
    cancel_->setObjectName("Button31");
    execute_ = new QPushButton("Execute", this);
    execute_->setObjectName("Button32");
    target_ = new QComboBox(this);
    target_->setObjectName("ComboBox10");
    target_->addItems({"Orrick/EP3SL50", "Orrick/EP3SL70", "Orrick/EP3SL150"});
    target_->setCurrentIndex(0);
    auto* targetLabel = FieldCaption("Target Board Select :", target_, this);
    progress_ = new QProgressBar(this);
    progress_->setObjectName("ProgressBar2");
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setAccessibleName(U("進捗"));
    percent_ = new QLabel("0%", this);
    percent_->setObjectName("Label41");
    result_ = new QLabel("-", this);
    result_->setObjectName("Label43");
    time_ = new QLabel("-", this);
    time_->setObjectName("Label45");
    phase_ = new QLabel(this);
    phase_->setObjectName("Label46");
    for (QLabel* l : {percent_, result_, time_}) l->setMinimumWidth(80);

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
    targetRow->addWidget(cancel_);
    targetRow->addWidget(execute_);
    rows->addLayout(targetRow);

    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(progress_, 1);
    progressRow->addWidget(percent_);
    rows->addLayout(progressRow);

    auto* results = new QGridLayout;
    results->setHorizontalSpacing(8);
    results->setVerticalSpacing(0);
    results->addWidget(new QLabel("Execute Result", this), 0, 0);
    results->addWidget(new QLabel(U("→"), this), 0, 1);
    results->addWidget(result_, 0, 2);
    results->addWidget(new QLabel("Execute Time", this), 0, 3);
    results->addWidget(new QLabel(U("→"), this), 0, 4);
    results->addWidget(time_, 0, 5);
    results->setColumnStretch(6, 1);
    rows->addLayout(results);
    rows->addWidget(phase_);
    rows->addStretch();
    rows->addWidget(new QLabel(U("※最大ﾃﾞｰﾀｻｲｽﾞは16MiBytesです。"), this));

    connect(choose_, &QPushButton::clicked, this, [this] { Button30Click(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { Button31Click(); });
    connect(execute_, &QPushButton::clicked, this, [this] { Button32Click(); });

    for (QWidget* w : std::initializer_list<QWidget*>{choose_, cancel_, file_, target_})
        ctx().RegisterBoardControl(w);
    // Execute stays off while its own run goes on.
    ctx().RegisterBoardControl(execute_, [this](bool open) { return open && !running_; });
}

void SerBridgePage::RestoreUiState(const SettingsStore& store) {
    file_->setText(QString::fromStdString(store.ReadString(kSetup, "SerBridgeFileName", "*.bin")));
}

void SerBridgePage::Button30Click() {
    ChooseDataFile(file_, "SerBridgeFileDir", "SerBridgeFileName");
}

void SerBridgePage::Button31Click() {
    features::SerFlashCancelRequested().store(true);
}

void SerBridgePage::Button32Click() {
    features::SerBridgeExecute(link::CurrentBoard(), target_->currentIndex(), S(file_->text()),
                               *this, ctx().reporter());
}

void SerBridgePage::SetProgress(int percent) {
    progress_->setValue(percent);
    percent_->setText(QString("%1%").arg(percent));
}

void SerBridgePage::SetPhase(const std::string& text) {
    phase_->setText(QString::fromStdString(text));
}

void SerBridgePage::SetResult(features::RunResult result) {
    ShowRunResult(result_, result, "実行中");
}

void SerBridgePage::SetElapsed(std::optional<std::int64_t> seconds) {
    time_->setText(seconds ? QString("%1 sec").arg(*seconds) : QString("-"));
}

void SerBridgePage::SetExecuteEnabled(bool enabled) {
    running_ = !enabled;
    execute_->setEnabled(enabled && ctx().BoardOpen());
}

void SerBridgePage::ShowLog() {
    LogWindow::Show();
}

Page* MakeSerBridgePage(PageContext& context) {
    return new SerBridgePage(context);
}

}  // namespace quillon::app
