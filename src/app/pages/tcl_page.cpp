#include "app/pages/tcl_page.h"

#include <QAction>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "app/main_window.h"
#include "app/open_file.h"
#include "app/page_table.h"
#include "app/pages/path_field.h"
#include "app/session_recording.h"
#include "app/startup_hooks.h"
#include "features/file_names.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "script/session_recorder.h"
#include "script/tcl_host.h"

namespace quillon::app {

namespace {

constexpr const char* kScriptBusyText = "Processing for TCL Script ...";

constexpr const char* kFilter = QT_TRANSLATE_NOOP("Lang", "TCLﾌｧｲﾙ(*.tcl);;全て(*.*)");
constexpr const char* kDefaultName = "*.tcl";
constexpr const char* kDirKey = "TclFileDir";
constexpr const char* kRunFailed = QT_TRANSLATE_NOOP("Lang", "TCLｽｸﾘﾌﾟﾄ実行に失敗しました。");
constexpr int kAutoNameWidth = 390;

std::string FolderOf(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
}

}  // namespace

QString ShortenPath(const QString& path, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(path) <= width) return path;
    const bool absolute = path.startsWith('/');
    QStringList parts = path.split('/', Qt::SkipEmptyParts);
    if (parts.size() < 2) return metrics.elidedText(path, Qt::ElideLeft, width);
    const QString root = absolute ? QString("/") : QString();
    const QString file = parts.takeLast();
    // Keep the first folder when the path is relative, as the drive is kept.
    QString head;
    if (!absolute && !parts.isEmpty()) head = parts.takeFirst() + "/";
    while (!parts.isEmpty()) {
        parts.removeFirst();
        QString text = root + head + "...";
        for (const QString& p : parts) text += "/" + p;
        text += "/" + file;
        if (metrics.horizontalAdvance(text) <= width) return text;
    }
    const QString bare = root + head + ".../" + file;
    if (metrics.horizontalAdvance(bare) <= width) return bare;
    return metrics.elidedText(bare, Qt::ElideLeft, width);
}

TclPage::TclPage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("TclPage");
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(8, 6, 8, 6);
    rows->setSpacing(6);

    auto* editLabel = new QLabel(Lang::tr("TCLｽｸﾘﾌﾟﾄﾌｧｲﾙ："), this);
    edit_ = new QLineEdit(U(kDefaultName), this);
    edit_->setObjectName("LabeledEdit1");
    base_ = new RelativeBaseLabel(kDirKey, this);
    rows->addWidget(editLabel);
    rows->addWidget(edit_);
    rows->addWidget(base_);

    auto* buttons = new QHBoxLayout;
    select_ = new QPushButton(Lang::tr("ﾌｧｲﾙ選択"), this);
    select_->setObjectName("Button23");
    run_ = new QPushButton(Lang::tr("ｽｸﾘﾌﾟﾄ実行"), this);
    run_->setObjectName("Button24");
    open_ = new QPushButton(Lang::tr("開く"), this);
    open_->setObjectName("Button25");
    buttons->addWidget(select_);
    buttons->addWidget(run_);
    buttons->addWidget(open_);
    buttons->addStretch(1);
    rows->addLayout(buttons);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->addWidget(new QLabel("Script Status", this), 0, 0);
    grid->addWidget(new QLabel(U("→"), this), 0, 1);
    status_ = new QLabel("-", this);
    status_->setObjectName("ScriptStatus");
    grid->addWidget(status_, 0, 2);
    grid->addWidget(new QLabel("Script Time", this), 1, 0);
    grid->addWidget(new QLabel(U("→"), this), 1, 1);
    time_ = new QLabel("-", this);
    time_->setObjectName("ScriptTime");
    grid->addWidget(time_, 1, 2);
    grid->setColumnStretch(2, 1);
    rows->addLayout(grid);

    notice_ = new QLabel(Lang::tr("ｵｰﾄTCLｽｸﾘﾌﾟﾄが指定されています。"), this);
    notice_->setObjectName("AutoTclNotice");
    notice_->setStyleSheet("QLabel { color: red; }");
    notice_->hide();
    autoName_ = new QLabel("-", this);
    autoName_->setObjectName("AutoTclName");
    autoName_->hide();
    rows->addWidget(notice_);
    rows->addWidget(autoName_);
    rows->addStretch(1);

    connect(select_, &QPushButton::clicked, this, [this] { Button23Click(); });
    connect(run_, &QPushButton::clicked, this, [this] { Button24Click(); });
    connect(open_, &QPushButton::clicked, this, [this] { Button25Click(); });
    if (QAction* n9 = ctx().MenuAction("N9")) {
        // Qt flips a checkable item before it reports the click; the handler
        // decides the new state itself, from the state before the click.
        connect(n9, &QAction::triggered, this, [this, n9] {
            n9->setChecked(!n9->isChecked());
            N9Click();
        });
    }

    // The page's controls work with a board only, and the run disables its own
    // buttons while a script runs.
    ctx().RegisterBoardControl(edit_);
    for (QPushButton* b : {select_, run_, open_}) {
        ctx().RegisterBoardControl(b, [this](bool open) { return open && !running_; });
    }

    // The start-up steps of the interpreter and the automatic script, unless
    // someone (a test of the frame) has put its own in place.
    if (!Hooks().tclInit && !Hooks().autoScript) {
        PageContext* pc = &ctx();
        Hooks().tclInit = [pc] { script::TclHost::Init(pc->reporter()); };
        Hooks().autoScript = [this] { RunAutoScript(); };
        ownsHooks_ = true;
    }
}

TclPage::~TclPage() {
    if (ownsHooks_) {
        Hooks().tclInit = nullptr;
        Hooks().autoScript = nullptr;
    }
    // The frame's reporter goes away with the frame.
    script::TclHost::SetReporter(features::DefaultReporter());
}

void TclPage::RestoreUiState(const SettingsStore& store) {
    edit_->setText(QString::fromStdString(store.ReadString(kSetup, "TclFileName", kDefaultName)));
    const bool on = store.ReadBool(kSetup, "AUTO_TCL", false);
    if (QAction* n9 = ctx().MenuAction("N9")) n9->setChecked(on);
    ShowAutoScript(on,
                   QString::fromStdString(store.ReadString(kSetup, "AUTO_TCL_NAME", kDefaultName)));
}

void TclPage::ShowAutoScript(bool on, const QString& path) {
    if (on)
        autoName_->setText(ShortenPath(path, QFontMetrics(window()->font()), kAutoNameWidth));
    else
        autoName_->setText("-");
    notice_->setVisible(on);
    autoName_->setVisible(on);
}

void TclPage::SetStatusLabel(const QString& text, const char* colour) {
    status_->setText(text);
    status_->setStyleSheet(QString("QLabel { color: %1; }").arg(colour));
}

void TclPage::Button23Click() {
    SettingsStore store;
    FileDialogRequest request;
    request.title = Lang::Tr("TCLﾌｧｲﾙを選択してください。");
    request.folder = RelativeBaseFolder(kDirKey);
    request.filter = Lang::MarkedStd(kFilter);
    request.selectedFilter = 0;
    std::optional<std::string> chosen = Prompts().FileName(request);
    if (!chosen) return;
    edit_->setText(QString::fromStdString(*chosen));
    store.WriteString(kSetup, kDirKey, FolderOf(*chosen));
    store.WriteString(kSetup, "TclFileName", S(edit_->text()));
    base_->Refresh();
}

void TclPage::Button24Click() {
    // A script that cannot be read is refused before anything runs.
    const std::string path = FieldPath(edit_, kDirKey);
    if (const features::NameCheck name = features::CheckNameToRead(path); !name.ok()) {
        ctx().reporter().Message(
            features::RefusalText(Lang::MarkedStd(kRunFailed), path, name.reason), MsgIcon::Error);
        return;
    }
    SetStatusLabel("Executing ... ", "black");
    time_->setText("-");
    time_->setStyleSheet("QLabel { color: black; }");
    running_ = true;
    ctx().RefreshBoardControls();
    script::TclHost::RunReport run;
    {
        // The script runs here, on the GUI thread, serving events every
        // 50 ms; its memory and configuration macros go to the worker.
        const LongWork::Scope scope({.cancellable = true});
        const features::BusyBanner banner(ctx().reporter(), kScriptBusyText);
        // A recording never writes into the script that reads it.
        script::SetRunningScript(path);
        run = script::TclHost::RunLogged(path);
        script::SetRunningScript("");
    }
    RecordScriptRun(path, !run.failed);
    if (run.failed) {
        ctx().reporter().FailBox(Lang::MarkedStd(kRunFailed), MsgIcon::Error);
    } else {
        time_->setText(QString("%1ms").arg(run.elapsedMs));
        SetStatusLabel("Successfully!!", "blue");
    }
    running_ = false;
    ctx().RefreshBoardControls();
}

void TclPage::Button25Click() {
    OpenWithAssociatedProgram(FieldPath(edit_, kDirKey), ctx().reporter());
}

void TclPage::N9Click() {
    QAction* n9 = ctx().MenuAction("N9");
    if (!n9) return;
    SettingsStore store;
    if (n9->isChecked()) {
        n9->setChecked(false);
        ShowAutoScript(false, QString());
    } else {
        n9->setChecked(true);
        if (auto* frame = dynamic_cast<MainWindow*>(&ctx())) frame->RequestPage(kTclPage);
        FileDialogRequest request;
        request.folder = store.ReadString(kSetup, "AUTO_TCL_DIR", platform::CurrentDirectory());
        request.filter = Lang::MarkedStd(kFilter);
        if (std::optional<std::string> chosen = Prompts().FileName(request)) {
            store.WriteString(kSetup, "AUTO_TCL_DIR", FolderOf(*chosen));
            store.WriteString(kSetup, "AUTO_TCL_NAME", *chosen);
            ShowAutoScript(true, QString::fromStdString(*chosen));
        }
    }
    store.WriteBool(kSetup, "AUTO_TCL", n9->isChecked());
}

void TclPage::RunAutoScript() {
    const std::string path = SettingsStore().ReadString(kSetup, "AUTO_TCL_NAME", kDefaultName);
    script::TclHost::AutoReport report;
    {
        const LongWork::Scope scope({.cancellable = true});
        const features::BusyBanner banner(ctx().reporter(), kScriptBusyText);
        script::SetRunningScript(path);
        report = script::TclHost::RunAutoScript(path);
        script::SetRunningScript("");
    }
    if (report.outcome != script::TclHost::AutoOutcome::NoFile)
        RecordScriptRun(path, report.outcome == script::TclHost::AutoOutcome::Succeeded,
                        "the automatic start-up script ran");
    switch (report.outcome) {
        case script::TclHost::AutoOutcome::Failed:
        case script::TclHost::AutoOutcome::NoInterpreter:
            SetStatusLabel("Failed!!", "red");
            break;
        case script::TclHost::AutoOutcome::Succeeded:
            SetStatusLabel("Successfully!!", "blue");
            time_->setText(QString("%1ms").arg(report.elapsedMs));
            break;
        case script::TclHost::AutoOutcome::NoFile:
            break;
    }
}

Page* MakeTclPage(PageContext& context) {
    return new TclPage(context);
}

}  // namespace quillon::app
