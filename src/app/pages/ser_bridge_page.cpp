#include "app/pages/ser_bridge_page.h"

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
#include "app/session_recording.h"
#include "features/file_names.h"
#include "link/board_link.h"
#include "platform/settings_store.h"

namespace quillon::app {

namespace {

constexpr const char* kDirKey = "SerBridgeFileDir";
constexpr const char* kNoDataFile = QT_TRANSLATE_NOOP(
    "Lang", "ﾃﾞｰﾀﾌｧｲﾙﾌｧｲﾙが存在しません。\nﾃﾞｰﾀﾌｧｲﾙのﾌｧｲﾙ名/ﾊﾟｽを確認してください。");

}  // namespace

SerBridgePage::SerBridgePage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("SerBridgePage");

    const BridgePageLayout l = LayOutBridgePage(
        this, "WriteDataFile :", kDirKey, {"Orrick/EP3SL50", "Orrick/EP3SL70", "Orrick/EP3SL150"},
        Lang::tr("Cansel"), "Execute");
    file_ = l.file;
    file_->setObjectName("LabeledEdit14");
    fileBase_ = l.fileBase;
    choose_ = l.choose;
    choose_->setObjectName("Button30");
    cancel_ = l.first;
    cancel_->setObjectName("Button31");
    execute_ = l.second;
    execute_->setObjectName("Button32");
    target_ = l.target;
    target_->setObjectName("ComboBox10");
    progress_ = l.progress;
    progress_->setObjectName("ProgressBar2");
    percent_ = l.progressText;
    percent_->setObjectName("Label41");
    result_ = l.result;
    result_->setObjectName("Label43");
    time_ = l.time;
    time_->setObjectName("Label45");
    phase_ = new QLabel(this);
    phase_->setObjectName("Label46");
    l.rows->addWidget(phase_);
    l.rows->addStretch();
    l.rows->addWidget(new QLabel(Lang::tr("※最大ﾃﾞｰﾀｻｲｽﾞは16MiBytesです。"), this));

    connect(choose_, &QPushButton::clicked, this, [this] { Button30Click(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { Button31Click(); });
    connect(execute_, &QPushButton::clicked, this, [this] { Button32Click(); });

    for (QWidget* w : std::initializer_list<QWidget*>{choose_, file_, target_})
        ctx().RegisterBoardControl(w);
    // Cansel stops the page's own run, so it stays on while that runs.
    ctx().RegisterBoardControl(cancel_, [this](bool open) { return open || running_; });
    // Execute stays off while its own run goes on.
    ctx().RegisterBoardControl(execute_, [this](bool open) { return open && !running_; });
}

void SerBridgePage::RestoreUiState(const SettingsStore& store) {
    file_->setText(QString::fromStdString(store.ReadString(kSetup, "SerBridgeFileName", "*.bin")));
}

void SerBridgePage::Button30Click() {
    ChooseDataFile(file_, fileBase_, kDirKey, "SerBridgeFileName");
}

void SerBridgePage::Button31Click() {
    features::SerFlashCancelRequested().store(true);
}

void SerBridgePage::Button32Click() {
    const link::BoardHandle h = link::CurrentBoard();
    const int target = target_->currentIndex();
    const std::string path = FieldPath(file_, kDirKey);
    // A data file that cannot be read is refused before the question, and so
    // before the bridge design goes to the board.
    if (const features::NameCheck name = features::CheckNameToRead(path); !name.ok()) {
        ctx().reporter().Log("SerBridge:" + path);
        ctx().reporter().Message(
            features::RefusalText(Lang::MarkedStd(kNoDataFile), path, name.reason),
            MsgIcon::Warning);
        return;
    }
    RecordNotReplayed("serial-flash bridge run", "no macro programs a flash memory");
    ctx().RunLong({.cancellable = true}, [&] {
        features::SerBridgeExecute(h, target, path, *this, ctx().reporter());
    });
}

// The run goes on the worker; what it shows is done on the GUI thread.
void SerBridgePage::SetProgress(int percent) {
    GuiCall([&] {
        progress_->setValue(percent);
        percent_->setText(QString("%1%").arg(percent));
        LongWork::Progress(static_cast<std::uint64_t>(std::max(percent, 0)), 100,
                           features::Reporter::Unit::Percent);
    });
}

void SerBridgePage::SetPhase(const std::string& text) {
    GuiCall([&] { phase_->setText(QString::fromStdString(text)); });
}

void SerBridgePage::SetResult(features::RunResult result) {
    GuiCall([&] { ShowRunResult(result_, result, QT_TRANSLATE_NOOP("Lang", "実行中")); });
}

void SerBridgePage::SetElapsed(std::optional<std::int64_t> seconds) {
    GuiCall([&] { time_->setText(seconds ? QString("%1 sec").arg(*seconds) : QString("-")); });
}

void SerBridgePage::SetExecuteEnabled(bool enabled) {
    GuiCall([&] {
        running_ = !enabled;
        execute_->setEnabled(enabled && ctx().BoardOpen());
        ctx().RefreshBoardControls();
    });
}

void SerBridgePage::ShowLog() {
    GuiCall([] { LogWindow::Show(); });
}

Page* MakeSerBridgePage(PageContext& context) {
    return new SerBridgePage(context);
}

}  // namespace quillon::app
