#include "app/pages/nor_bridge_page.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/gui_thread.h"
#include "app/log_window.h"
#include "app/long_work.h"
#include "app/pages/flash_common.h"
#include "app/pages/path_field.h"
#include "app/par_flash.h"
#include "app/session_recording.h"
#include "features/file_names.h"
#include "features/flash/flash_time.h"
#include "link/board_link.h"
#include "platform/settings_store.h"

namespace quillon::app {

namespace {

constexpr const char* kDirKey = "NorBridge2FileDir";
constexpr const char* kFileNotOpened =
    QT_TRANSLATE_NOOP("Lang", "ﾃﾞｰﾀﾌｧｲﾙがｵｰﾌﾟﾝ出来ませんでした。");

}  // namespace

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
        this, "WriteDataFile:", kDirKey, {"Norrin/EP2C35", "Norrin/EP2C70"}, "Read CFI", "Execute");
    file_ = l.file;
    file_->setObjectName("LabeledEdit20");
    fileBase_ = l.fileBase;
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
    ChooseDataFile(file_, fileBase_, kDirKey, "NorBridge2FileName");
}

void NorBridgePage::Button45Click() {
    const link::BoardHandle h = link::CurrentBoard();
    const int target = target_->currentIndex();
    RecordNotReplayed("parallel-flash bridge run", "no macro programs a flash memory");
    ctx().RunLong({.cancellable = true}, [&] {
        features::NorBridge2ReadCfi(h, target, *this, ctx().reporter());
    });
}

void NorBridgePage::Button46Click() {
    const bool dump = SettingsStore().ReadBool(kSetup, "NorBridge2_DUMPF", false);
    const link::BoardHandle h = link::CurrentBoard();
    const int target = target_->currentIndex();
    const std::string path = FieldPath(file_, kDirKey);
    // A data file that cannot be read is refused before the question.
    if (const features::NameCheck name = features::CheckNameToRead(path); !name.ok()) {
        ctx().reporter().Message(
            features::RefusalText(Lang::MarkedStd(kFileNotOpened), path, name.reason),
            MsgIcon::Warning);
        return;
    }
    // The page guard is up from the press on: the window serves events while
    // the run starts on the worker.
    SetParFlashRunning(true);
    RecordNotReplayed("parallel-flash bridge run", "no macro programs a flash memory");
    ctx().RunLong({.cancellable = true}, [&] {
        features::NorBridge2Execute(h, target, path, dump, *this, ctx().reporter());
    });
    SetParFlashRunning(false);
}

// The runs go on the worker; what they show is done on the GUI thread. The
// busy window's bar follows the page's.
void NorBridgePage::Range(std::uint32_t maximum) {
    GuiCall([&] { progress_->setMaximum(static_cast<int>(std::min<std::uint32_t>(maximum, INT32_MAX))); });
}

void NorBridgePage::Position(std::uint32_t position) {
    GuiCall([&] {
        progress_->setValue(static_cast<int>(std::min<std::uint32_t>(position, INT32_MAX)));
        LongWork::Progress(static_cast<std::uint64_t>(progress_->value()),
                           static_cast<std::uint64_t>(std::max(progress_->maximum(), 0)),
                           features::Reporter::Unit::Steps);
    });
}

void NorBridgePage::Text(const std::string& text) {
    GuiCall([&] { progressText_->setText(QString::fromStdString(text)); });
}

void NorBridgePage::Elapsed(std::int64_t startMs) {
    SetTime(startMs);
}

void NorBridgePage::SetResult(features::RunResult result) {
    GuiCall([&] { ShowRunResult(result_, result, "Executing ..."); });
}

void NorBridgePage::SetTime(std::optional<std::int64_t> startMs) {
    GuiCall([&] {
        time_->setText(startMs ? ElapsedClockText(features::Time().NowMs() - *startMs)
                               : QString("-"));
    });
}

void NorBridgePage::SetControlsEnabled(bool enabled) {
    GuiCall([&] {
        busy_ = !enabled;
        ctx().RefreshBoardControls();
    });
}

void NorBridgePage::SetRunning(bool running) {
    SetParFlashRunning(running);
}

void NorBridgePage::ShowLog() {
    GuiCall([] { LogWindow::Show(); });
}

void NorBridgePage::ProgressToMaximum() {
    GuiCall([&] { progress_->setValue(progress_->maximum()); });
}

void NorBridgePage::ReplaceLastLine(const std::string& text) {
    GuiCall([&] { LogWindow::Put(true, text); });
}

Page* MakeNorBridgePage(PageContext& context) {
    return new NorBridgePage(context);
}

}  // namespace quillon::app
