#include "app/pages/nor_bridge_page.h"

#include <QComboBox>
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

    const BridgePageLayout l = LayOutBridgePage(
        this, "WriteDataFile:", {"Norrin/EP2C35", "Norrin/EP2C70"}, "Read CFI", "Execute");
    file_ = l.file;
    file_->setObjectName("LabeledEdit20");
    choose_ = l.choose;
    choose_->setObjectName("Button44");
    target_ = l.target;
    target_->setObjectName("ComboBox13");
    readCfi_ = l.first;
    readCfi_->setObjectName("Button45");
    execute_ = l.second;
    execute_->setObjectName("Button46");
    progress_ = l.progress;
    progress_->setObjectName("ProgressBar3");
    progressText_ = l.progressText;
    progressText_->setObjectName("Label50");
    result_ = l.result;
    result_->setObjectName("Label52");
    time_ = l.time;
    time_->setObjectName("Label54");
    l.rows->addStretch();

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
