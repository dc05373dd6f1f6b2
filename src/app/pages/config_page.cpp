#include "app/pages/config_page.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "app/gui_thread.h"
#include "app/main_window.h"
#include "app/mode_sel_form.h"
#include "app/page_table.h"
#include "app/pages/path_field.h"
#include "app/session_recording.h"
#include "app/startup_hooks.h"
#include "features/busy_gate.h"
#include "features/config/auto_config.h"
#include "features/config/fpga_load.h"
#include "features/file_names.h"
#include "link/board_link.h"
#include "link/vendor_requests.h"
#include "platform/platform.h"
#include "platform/settings_store.h"
#include "script/session_recorder.h"

namespace quillon::app {

namespace {

// The file dialog's filters; 0 = RBF, 1 = BIN, 2 = all files.
constexpr const char* kConfigFilter =
    QT_TRANSLATE_NOOP("Lang", "RBFﾌｧｲﾙ(*.rbf);;BINﾌｧｲﾙ(*.bin);;全て(*.*)");
constexpr const char* kBinTitle = QT_TRANSLATE_NOOP("Lang", "BINﾌｧｲﾙを選択してください。");
constexpr const char* kRbfTitle = QT_TRANSLATE_NOOP("Lang", "RBFﾌｧｲﾙを選択してください。");

constexpr const char* kPortRefused =
    QT_TRANSLATE_NOOP("Lang", "現在、この外部ｺﾝﾌｨｸﾞﾓｰﾄﾞはｻﾎﾟｰﾄされておりません。");
constexpr const char* kTargetWriteFailed =
    QT_TRANSLATE_NOOP("Lang", "USBｺﾝﾌｨｸﾞﾓｰﾄﾞ設定に失敗しました。");
constexpr const char* kClearFailed = QT_TRANSLATE_NOOP("Lang", "FPGAｸﾘｱに失敗しました。");
constexpr const char* kNoFile = QT_TRANSLATE_NOOP("Lang", "指定されたﾌｧｲﾙは存在しません。");
constexpr const char* kFileDirKey = "CfgFileDir";

// The colour of an enabled control's text; a disabled one keeps the
// disabled palette's grey, so it does not look pressable.
void SetTextColor(QWidget* w, const QColor& color) {
    QPalette p = w->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(g, QPalette::WindowText, color);
        p.setColor(g, QPalette::ButtonText, color);
    }
    w->setPalette(p);
}

FileDialogRequest ConfigFileRequest(bool xilinx, const std::string& folder) {
    FileDialogRequest req;
    req.title = Lang::MarkedStd(xilinx ? kBinTitle : kRbfTitle);
    req.folder = folder;
    req.filter = Lang::MarkedStd(kConfigFilter);
    req.selectedFilter = xilinx ? 1 : 0;
    return req;
}

}  // namespace

ConfigPage::ConfigPage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("ConfigPage");

    auto* fileLabel = new QLabel(Lang::tr("FPGAｺﾝﾌｨｸﾞﾌｧｲﾙ選択："), this);
    fileLabel->setObjectName("LabeledEdit1Label");
    fileEdit_ = new QLineEdit("*.rbf", this);
    fileEdit_->setObjectName("LabeledEdit1");
    fileLabel->setBuddy(fileEdit_);
    choose_ = new QPushButton(Lang::tr("ﾌｧｲﾙ選択"), this);
    choose_->setObjectName("Button16");
    choose_->setFixedWidth(90);
    fileBase_ = new RelativeBaseLabel(kFileDirKey, this);

    xilinx_ = new QCheckBox("Xilinx device??", this);
    xilinx_->setObjectName("CheckBox1");
    tessera_ = new QCheckBox("Tessera mode??", this);
    tessera_->setObjectName("CheckBox7");
    tavel_ = new QCheckBox("Tavel??", this);
    tavel_->setObjectName("CheckBox8");
    external_ = new QCheckBox("External mode??", this);
    external_->setObjectName("CheckBox3");
    bitswap_ = new QCheckBox("BITSWAP??", this);
    bitswap_->setObjectName("CheckBox5");
    encrypt_ = new QCheckBox("Encrypt??", this);
    encrypt_->setObjectName("CheckBox6");
    // Feature keys show these; until the stored state is restored they are hidden.
    for (QCheckBox* b : {tessera_, tavel_, external_, bitswap_, encrypt_}) b->hide();
    tavel_->setEnabled(false);

    auto* statusCaption = new QLabel("Config Status", this);
    status_ = new QLabel("-", this);
    status_->setObjectName("Label1");
    auto* timeCaption = new QLabel("Config Time", this);
    time_ = new QLabel("-", this);
    time_->setObjectName("Label2");
    for (QLabel* l : {status_, time_}) l->setMinimumWidth(100);

    notice_ = new AutoConfigNotice(this);

    clear_ = new QPushButton("Clear", this);
    clear_->setObjectName("SpeedButton1");
    clear_->setFixedSize(64, 40);
    SetTextColor(clear_, QColor(0xFF, 0x00, 0x00));
    configure_ = new QPushButton("Configure ...", this);
    configure_->setObjectName("Button17");
    configure_->setFixedSize(120, 40);

    auto* fileRow = new QHBoxLayout;
    fileRow->setSpacing(6);
    fileRow->addWidget(fileEdit_, 1);
    fileRow->addWidget(choose_);

    auto* boxes = new QGridLayout;
    boxes->setHorizontalSpacing(10);
    boxes->setVerticalSpacing(0);
    boxes->addWidget(xilinx_, 0, 0);
    boxes->addWidget(tessera_, 0, 1);
    boxes->addWidget(tavel_, 0, 2);
    boxes->addWidget(external_, 1, 0);
    boxes->addWidget(bitswap_, 1, 1);
    boxes->addWidget(encrypt_, 1, 2);
    boxes->setColumnMinimumWidth(0, 110);
    boxes->setColumnMinimumWidth(1, 110);
    boxes->setColumnMinimumWidth(2, 80);

    auto* results = new QGridLayout;
    results->setHorizontalSpacing(12);
    results->setVerticalSpacing(0);
    results->addWidget(statusCaption, 0, 0);
    results->addWidget(status_, 0, 1);
    results->addWidget(timeCaption, 1, 0);
    results->addWidget(time_, 1, 1);

    auto* middle = new QHBoxLayout;
    middle->addLayout(boxes);
    middle->addStretch();
    middle->addLayout(results);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(8);
    bottom->addWidget(notice_, 0, Qt::AlignBottom);
    bottom->addStretch();
    bottom->addWidget(clear_, 0, Qt::AlignBottom);
    bottom->addWidget(configure_, 0, Qt::AlignBottom);

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(8, 4, 8, 4);
    rows->setSpacing(2);
    rows->addWidget(fileLabel);
    rows->addLayout(fileRow);
    rows->addWidget(fileBase_);
    rows->addSpacing(2);
    rows->addLayout(middle);
    rows->addStretch();
    rows->addLayout(bottom);

    connect(choose_, &QPushButton::clicked, this, [this] { Button16Click(); });
    connect(configure_, &QPushButton::clicked, this, [this] { Button17Click(); });
    connect(clear_, &QPushButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(tessera_, &QCheckBox::clicked, this, [this] { CheckBox7Click(); });

    for (QWidget* w :
         std::initializer_list<QWidget*>{fileEdit_, choose_, configure_, clear_, xilinx_, external_,
                                         bitswap_, encrypt_, tessera_}) {
        ctx().RegisterBoardControl(w);
    }
    ctx().RegisterBoardControl(tavel_, [this](bool open) { return TavelRule(open); });

    if (QAction* item = ctx().MenuAction("N8")) {
        item->setCheckable(true);
        // The handler decides from the mark as it was before the click, so undo
        // the toggle Qt has already applied.
        connect(item, &QAction::triggered, this, [this, item](bool checked) {
            item->setChecked(!checked);
            N8Click();
        });
    }
    Hooks().autoConfig = [this] { RunStartupAutoConfig(); };
}

ConfigPage::~ConfigPage() {
    Hooks().autoConfig = nullptr;
}

TModeSelForm& ConfigPage::modeDialog() {
    if (!modeDialog_) modeDialog_ = std::make_unique<TModeSelForm>();
    return *modeDialog_;
}

bool ConfigPage::TavelRule(bool boardOpen) const {
    return boardOpen && tessera_->isChecked();
}

void ConfigPage::RestoreUiState(const SettingsStore& store) {
    auto flag = [&store](const char* key) { return store.ReadBool(kSetup, key, false); };
    fileEdit_->setText(QString::fromStdString(store.ReadString(kSetup, "CfgFileName", "*.rbf")));
    xilinx_->setChecked(flag("CONFIG_MODE"));
    external_->setVisible(flag("EXT_CFG"));
    tavel_->setVisible(flag("TAVEL_CONFIG"));
    tavel_->setChecked(flag("TAVEL_CFG_MODE"));

    // Automatic configuration: the notice and the menu item's mark.
    const auto autoCfg = features::AutoConfigSettings::Read(store);
    if (autoCfg.enabled) {
        notice_->SetMode(QString::fromStdString(features::AutoConfigModeAtStartup(
            autoCfg.tessera, autoCfg.xilinx, autoCfg.bitswap, autoCfg.encrypt)));
        notice_->ShowFor(QString::fromStdString(autoCfg.path));
    } else {
        notice_->HideNotice();
    }
    SetMenuChecked(autoCfg.enabled);

    bitswap_->setVisible(flag("BITSWAP"));
    bitswap_->setChecked(flag("BITSWAP_VAL"));
    encrypt_->setVisible(flag("ENCRYPT"));
    encrypt_->setChecked(flag("ENCRYPT_VAL"));
    tessera_->setChecked(flag("SUS_MODE"));
    tessera_->setVisible(flag("TESSERA_CONFIG"));
    tavel_->setEnabled(TavelRule(ctx().BoardOpen()));

    // Read with the start-up settings; nothing writes the store in between.
    features::SetConfigTargetRegister(store.ReadInteger(kSetup, "CFG_TARGET_REG_ADRS", 0x3FFF));
}

void ConfigPage::CheckBox7Click() {
    tavel_->setEnabled(TavelRule(ctx().BoardOpen()));
}

void ConfigPage::ResetLabels() {
    SetStatusLabel("-", kReset);
    time_->setText("-");
}

void ConfigPage::SetStatusLabel(const QString& text, const QColor& color) {
    status_->setText(text);
    SetTextColor(status_, color);
}

void ConfigPage::Button16Click() {
    const bool xilinx = xilinx_->isChecked();
    const auto chosen =
        Prompts().FileName(ConfigFileRequest(xilinx, RelativeBaseFolder(kFileDirKey)));
    if (!chosen) return;
    fileEdit_->setText(QString::fromStdString(*chosen));
    SettingsStore store;
    store.WriteString(kSetup, kFileDirKey,
                      S(QFileInfo(QString::fromStdString(*chosen)).absolutePath()));
    store.WriteString(kSetup, "CfgFileName", S(fileEdit_->text()));
    fileBase_->Refresh();
}

void ConfigPage::WriteTargetRegister(link::BoardHandle h, std::uint32_t value, bool logAddress) {
    features::Reporter& r = ctx().reporter();
    const std::uint16_t reg = features::ConfigTargetRegister();
    if (logAddress) r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ｺﾝﾌｨｸﾞﾀｰｹﾞｯﾄﾚｼﾞｽﾀｱﾄﾞﾚｽ：%1"), reg));
    if (!link::VR_REG_WRITE(h, reg, link::RegWidth::Bits8, value, 0)) {
        r.Fail(Lang::MarkedStd(kTargetWriteFailed));
        r.FailBox(Lang::MarkedStd(kTargetWriteFailed), MsgIcon::Error);
    }
}

void ConfigPage::Button17Click() {
    features::Reporter& r = ctx().reporter();
    // A load pumps events; nothing else may start meanwhile, nor may it start
    // during another long operation.
    features::BusyGate::Hold hold = features::TakeOrRefuse("Configure", r);
    if (!hold) return;
    // 1. The port-driven external mode was never finished on any board; refuse
    // it whatever the External box shows.
    const std::string extMode = SettingsStore().ReadString(kSetup, "EXT_CFG_MODE", "REG");
    if (extMode == "PORT") {
        r.Log(Lang::MarkedStd(kPortRefused));
        r.Message(Lang::MarkedStd(kPortRefused), MsgIcon::Error);
        return;
    }
    // 2-3.
    ResetLabels();
    const std::string path = FieldPath(fileEdit_, kFileDirKey);
    if (const features::NameCheck name = features::CheckNameToRead(path); !name.ok()) {
        r.Log(Lang::Tr("USBｺﾝﾌｨｸﾞ失敗(ﾌｧｲﾙ無し)"));
        r.Message(features::RefusalText(Lang::MarkedStd(kNoFile), path, name.reason),
                  MsgIcon::Error);
        return;
    }
    // 4. One pass of the event loop so the busy window and the disabled button
    // are drawn before the GUI thread blocks in the load.
    r.Busy("Processing for Configure ...");
    configure_->setEnabled(false);
    r.Pump();

    // 5-6. Hidden boxes count with their restored state.
    const bool xilinx = xilinx_->isChecked();
    const bool tessera = tessera_->isChecked();
    const bool tavel = tavel_->isChecked();
    const bool bitswap = bitswap_->isChecked();
    const bool encrypt = encrypt_->isChecked();
    const bool external = !tessera && external_->isChecked() && extMode == "REG";

    // 7-12 on the worker: a load is not stopped halfway, so no Cancel.
    const link::BoardHandle h = link::CurrentBoard();
    ctx().RunLong({.cancellable = false}, [&] {
        if (external) WriteTargetRegister(h, 1, true);
        if (external) script::Record(script::RegWriteOp{features::ConfigTargetRegister(), 8, 1});
        const std::uint64_t start = platform::TickMs();
        bool ok;
        if (tessera) {
            if (xilinx)
                ok = features::FpgaConfigureTesseraXilinx(h, path, encrypt, r);
            else if (tavel)
                ok = features::FpgaConfigureTesseraTavel(h, path, r);
            else
                ok = features::FpgaConfigureTesseraAltera(h, path, encrypt, r);
        } else {
            ok = features::FpgaConfigure(h, path, xilinx, bitswap, encrypt, r);
        }

        // 9-10.
        if (ok) {
            const std::uint64_t elapsed = platform::TickMs() - start;
            GuiCall([&] {
                SetStatusLabel("Successfully!!", kLoaded);
                time_->setText(QString::number(elapsed) + "ms");
            });
            r.Log("USB Config[" + path + "]");
            r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", " → ｺﾝﾌｨｸﾞ時間：%1ms"), elapsed));
        } else {
            GuiCall([&] { SetStatusLabel("Failed!!", kFailed); });
            r.Fail(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "USBｺﾝﾌｨｸﾞ失敗 → %1"), path));
        }

        if (!ok) {
            RecordNotReplayed("configuration load of " + path, "it failed");
        } else if (tessera) {
            RecordNotReplayed("configuration load of " + path + " in the Tessera layout",
                              "the UC macro sends the standard layout only");
        } else {
            script::Record(script::ConfigureOp{path, xilinx, bitswap, encrypt});
        }
        // 11-12.
        if (external) WriteTargetRegister(h, 0, false);
        if (external) script::Record(script::RegWriteOp{features::ConfigTargetRegister(), 8, 0});
        r.BusyHide();
    });
    configure_->setEnabled(ctx().BoardOpen());

    // 13. Stored whatever the outcome.
    SettingsStore store;
    store.WriteBool(kSetup, "CONFIG_MODE", xilinx);
    store.WriteBool(kSetup, "BITSWAP_VAL", bitswap);
    store.WriteBool(kSetup, "ENCRYPT_VAL", encrypt);
    store.WriteBool(kSetup, "SUS_MODE", tessera);
    store.WriteBool(kSetup, "TAVEL_CFG_MODE", tavel);
}

void ConfigPage::SpeedButton1Click() {
    features::Reporter& r = ctx().reporter();
    ResetLabels();
    const link::BoardHandle h = link::CurrentBoard();
    bool cleared = false;
    if (!ctx().RunLong({.cancellable = false}, [&] { cleared = features::FpgaClear(h, r); })) return;
    if (!cleared) {
        SetStatusLabel("Failed!!", kFailed);
        r.Fail(Lang::MarkedStd(kClearFailed));
        r.FailBox(Lang::MarkedStd(kClearFailed), MsgIcon::Warning);
        return;
    }
    SetStatusLabel("Successfully!!", kCleared);
    RecordNotReplayed("FPGA clear", "no macro clears the FPGA");
    r.Log(Lang::Tr("FPGAをｸﾘｱしてIDLEﾓｰﾄﾞに移行させました。"));
}

bool ConfigPage::MenuChecked() const {
    if (QAction* item = const_cast<ConfigPage*>(this)->ctx().MenuAction("N8")) {
        return item->isChecked();
    }
    return autoConfigOn_;
}

void ConfigPage::SetMenuChecked(bool checked) {
    autoConfigOn_ = checked;
    if (QAction* item = ctx().MenuAction("N8")) item->setChecked(checked);
}

void ConfigPage::BringToFront() {
    if (auto* frame = dynamic_cast<MainWindow*>(&ctx())) frame->ShowPage(kConfigPage);
}

void ConfigPage::N8Click() {
    if (MenuChecked()) {
        SetMenuChecked(false);
        notice_->HideNotice();
        SettingsStore().WriteBool(kSetup, "AUTO_CONFIG", false);
        return;
    }
    // 1.
    SetMenuChecked(true);
    BringToFront();

    // 2-3. The dialog always starts cleared, whatever was stored.
    bool bitswapVisible, encryptVisible, tesseraVisible;
    std::string folder;
    {
        SettingsStore store;
        bitswapVisible = store.ReadBool(kSetup, "BITSWAP", false);
        encryptVisible = store.ReadBool(kSetup, "ENCRYPT", false);
        tesseraVisible = store.ReadBool(kSetup, "TESSERA_CONFIG", false);
    }
    TModeSelForm& dialog = modeDialog();
    dialog.Run(bitswapVisible, encryptVisible, tesseraVisible);

    // 4.
    const auto stored = features::AutoConfigSettings::Read(SettingsStore());
    notice_->SetMode(QString::fromStdString(features::AutoConfigModeAfterDialog(
        dialog.tessera(), stored.xilinx, stored.bitswap, dialog.encrypt())));

    // 5.
    folder = SettingsStore().ReadString(kSetup, "AUTO_CONFIG_DIR", platform::CurrentDirectory());
    const auto chosen = Prompts().FileName(ConfigFileRequest(stored.xilinx, folder));
    SettingsStore store;
    if (chosen) {
        store.WriteString(kSetup, "AUTO_CONFIG_DIR",
                          S(QFileInfo(QString::fromStdString(*chosen)).absolutePath()));
        store.WriteString(kSetup, "AUTO_CONFIG_NAME", *chosen);
        notice_->ShowFor(QString::fromStdString(*chosen));
    }
    // 6.
    store.WriteBool(kSetup, "AUTO_CONFIG", true);
}

void ConfigPage::RunStartupAutoConfig() {
    const auto settings = features::AutoConfigSettings::Read(SettingsStore());
    if (!settings.enabled || !ctx().BoardOpen()) return;
    const link::BoardHandle h = link::CurrentBoard();
    features::AutoConfigResult result;
    ctx().RunLong({.cancellable = false},
                  [&] { result = features::RunAutoConfig(h, settings, ctx().reporter()); });
    // What the load sent: the plain stream is UC; the Tessera layout has no macro.
    std::error_code ec;
    const std::string full =
        std::filesystem::absolute(settings.path, ec).lexically_normal().string();
    const std::string what = "automatic configuration load of " + full;
    if (result.outcome == features::AutoConfigResult::Outcome::Failed) {
        RecordNotReplayed(what, "it failed");
    } else if (result.outcome == features::AutoConfigResult::Outcome::Loaded) {
        if (settings.tessera) {
            RecordNotReplayed(what + " in the Tessera layout", "UC sends the standard stream only");
        } else {
            script::RecordNote(what + ":");
            script::Record(
                script::ConfigureOp{full, settings.xilinx, settings.bitswap, settings.encrypt});
        }
    }
    switch (result.outcome) {
        case features::AutoConfigResult::Outcome::NoFile:
            break;
        case features::AutoConfigResult::Outcome::Loaded:
            SetStatusLabel("Successfully!!", kLoaded);
            time_->setText(QString::number(result.elapsedMs) + "ms");
            break;
        case features::AutoConfigResult::Outcome::Failed:
            SetStatusLabel("Failed!!", kFailed);
            break;
    }
}

Page* MakeConfigPage(PageContext& context) {
    return new ConfigPage(context);
}

}  // namespace quillon::app
