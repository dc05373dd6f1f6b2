#include "app/pages/memory_page.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/gui_thread.h"
#include "app/memory_windows.h"
#include "app/open_file.h"
#include "app/pages/path_field.h"
#include "app/session_recording.h"
#include "app/startup_hooks.h"
#include "app/ui_fonts.h"
#include "app/viewer/data_viewer.h"
#include "features/long_work.h"
#include "features/memory/gpif_wave.h"
#include "features/memory/mem_page.h"
#include "link/board_link.h"
#include "platform/prompter.h"
#include "platform/settings_store.h"

namespace quillon::app {

namespace {

constexpr const char* kAddressCaption = QT_TRANSLATE_NOOP("Lang", "転送開始ｱﾄﾞﾚｽ(ﾚｼﾞｽﾀ0)");
constexpr const char* kTargetCaption = QT_TRANSLATE_NOOP("Lang", "ﾀｰｹﾞｯﾄﾒﾓﾘ(ﾚｼﾞｽﾀ1) →");
constexpr const char* kLengthCaption = QT_TRANSLATE_NOOP("Lang", "転送ﾚﾝｸﾞｽ →");
constexpr const char* kFileGroup = QT_TRANSLATE_NOOP("Lang", "ﾌｧｲﾙ設定");
constexpr const char* kWidthCaption = QT_TRANSLATE_NOOP("Lang", "ﾒﾓﾘﾋﾞｯﾄ幅");
constexpr const char* kFileFilter = QT_TRANSLATE_NOOP("Lang", "ﾊﾞｲﾅﾘﾌｧｲﾙ(*.bin);;全て(*.*)");
constexpr const char* kFileTitle = QT_TRANSLATE_NOOP("Lang", "ﾊﾞｲﾅﾘﾌｧｲﾙを選択してください。");
constexpr const char* kFileDirKey = "MemFileDir";

// The waveform items: objectName, direction, waveform.
struct WaveItem {
    const char* name;
    const char* sibling;
    features::GpifDirection direction;
    features::GpifWave wave;
};
constexpr WaveItem kWaveItems[] = {
    {"Burst1", "Word1", features::GpifDirection::MemRead, features::GpifWave::Burst},
    {"Word1", "Burst1", features::GpifDirection::MemRead, features::GpifWave::Word},
    {"Burst2", "Word2", features::GpifDirection::MemWrite, features::GpifWave::Burst},
    {"Word2", "Burst2", features::GpifDirection::MemWrite, features::GpifWave::Word},
};

bool EmulateFlag() {
    return SettingsStore().ReadBool(kSetup, "REGEX_EMULATE", false);
}

QLineEdit* HexEdit(const char* text, int maxLength, QWidget* parent) {
    auto* e = new QLineEdit(U(text), parent);
    e->setMaxLength(maxLength);
    e->setFont(UiFont(U(kFontMsGothic), 12));
    const QFontMetrics fm(e->font());
    e->setFixedWidth(maxLength * fm.horizontalAdvance(QChar('0')) +
                     2 * e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 8);
    return e;
}

QLabel* Caption(const char* text, QWidget* buddy, QWidget* parent) {
    auto* l = new QLabel(Lang::Marked(text), parent);
    l->setBuddy(buddy);
    return l;
}

}  // namespace

MemoryPage::MemoryPage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("MemoryPage");

    // Group "ﾒﾓﾘｱﾄﾞﾚｽﾚｼﾞｽﾀの設定".
    auto* regBox = new QGroupBox(Lang::tr("ﾒﾓﾘｱﾄﾞﾚｽﾚｼﾞｽﾀの設定"), this);
    regBox->setObjectName("GroupBox3");
    readBack_ = HexEdit("00000000", 8, regBox);
    readBack_->setObjectName("Edit10");
    readBack_->setReadOnly(true);
    QPalette grey = readBack_->palette();
    grey.setColor(QPalette::Base, palette().color(QPalette::Button));
    readBack_->setPalette(grey);
    readBack_->setAccessibleName(Lang::Marked(kAddressCaption) + " Read");
    address_ = HexEdit("00000000", 8, regBox);
    address_->setObjectName("Edit11");
    address_->setAccessibleName(Lang::Marked(kAddressCaption));
    read_ = new QPushButton("Read", regBox);
    read_->setObjectName("Button10");
    write_ = new QPushButton("Write", regBox);
    write_->setObjectName("Button11");
    for (QPushButton* b : {read_, write_}) b->setFixedWidth(52);
    target_ = new QComboBox(regBox);
    target_->setObjectName("ComboBox4");
    target_->setMinimumWidth(170);
    target_->setAccessibleName(Lang::Marked(kTargetCaption));
    length_ = HexEdit("00800000", 16, regBox);
    length_->setObjectName("Edit12");
    length_->setAccessibleName(Lang::Marked(kLengthCaption));

    auto* regGrid = new QGridLayout(regBox);
    regGrid->setContentsMargins(6, 2, 6, 4);
    regGrid->setHorizontalSpacing(4);
    regGrid->setVerticalSpacing(3);
    auto* addressRow = new QHBoxLayout;
    addressRow->setSpacing(4);
    addressRow->addWidget(Caption(kAddressCaption, address_, regBox));
    addressRow->addWidget(readBack_);
    addressRow->addWidget(read_);
    addressRow->addSpacing(8);
    addressRow->addWidget(address_);
    addressRow->addWidget(new QLabel("(HEX)", regBox));
    addressRow->addWidget(write_);
    addressRow->addStretch();
    auto* targetRow = new QHBoxLayout;
    targetRow->setSpacing(4);
    targetRow->addWidget(Caption(kTargetCaption, target_, regBox));
    targetRow->addWidget(target_);
    targetRow->addSpacing(10);
    targetRow->addWidget(Caption(kLengthCaption, length_, regBox));
    targetRow->addWidget(length_);
    targetRow->addWidget(new QLabel("(HEX)", regBox));
    targetRow->addStretch();
    regGrid->addLayout(addressRow, 0, 0);
    regGrid->addLayout(targetRow, 1, 0);

    // Group "ﾌｧｲﾙ設定".
    auto* fileBox = new QGroupBox(Lang::Marked(kFileGroup), this);
    fileBox->setObjectName("GroupBox4");
    file_ = new QLineEdit(U(features::kMemFileDefault), fileBox);
    file_->setObjectName("Edit13");
    file_->setAccessibleName(Lang::Marked(kFileGroup));
    choose_ = new QPushButton(Lang::tr("ﾌｧｲﾙ選択"), fileBox);
    choose_->setObjectName("Button12");
    open_ = new QPushButton(Lang::tr("開く"), fileBox);
    open_->setObjectName("Button13");
    // The data viewer needs no board: the button stays usable without one.
    view_ = new QPushButton(Lang::tr("表示"), fileBox);
    view_->setObjectName("ViewButton");
    view_->setToolTip(Lang::tr("ﾌｧｲﾙの中身をHEX、ﾜｰﾄﾞ、ﾌﾟﾛｯﾄで表示します。"));
    width_ = new QComboBox(fileBox);
    width_->setObjectName("ComboBox5");
    width_->addItems({"8bit", "16bit", "32bit", "64bit"});
    width_->setCurrentIndex(0);
    width_->setAccessibleName(Lang::Marked(kWidthCaption));
    split_ = new QCheckBox(Lang::tr("分割ﾒﾓﾘ転送"), fileBox);
    split_->setObjectName("CheckBox4");
    split_->setChecked(true);
    memRead_ = new QPushButton("MemRead", fileBox);
    memRead_->setObjectName("Button14");
    memWrite_ = new QPushButton("MemWrite", fileBox);
    memWrite_->setObjectName("Button15");
    fileBase_ = new RelativeBaseLabel(kFileDirKey, fileBox);
    for (QPushButton* b : {choose_, open_, view_}) b->setFixedWidth(72);
    for (QPushButton* b : {memRead_, memWrite_}) b->setFixedSize(96, 30);

    auto* fileRows = new QVBoxLayout(fileBox);
    fileRows->setContentsMargins(6, 2, 6, 4);
    fileRows->setSpacing(3);
    auto* pathRow = new QHBoxLayout;
    pathRow->setSpacing(4);
    pathRow->addWidget(file_, 1);
    pathRow->addWidget(choose_);
    pathRow->addWidget(open_);
    pathRow->addWidget(view_);
    auto* runRow = new QHBoxLayout;
    runRow->setSpacing(4);
    runRow->addWidget(Caption(kWidthCaption, width_, fileBox));
    runRow->addWidget(width_);
    runRow->addSpacing(10);
    runRow->addWidget(split_);
    runRow->addStretch();
    runRow->addWidget(memRead_);
    runRow->addWidget(memWrite_);
    fileRows->addLayout(pathRow);
    fileRows->addWidget(fileBase_);
    fileRows->addLayout(runRow);

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(6, 3, 6, 3);
    rows->setSpacing(3);
    rows->addWidget(regBox);
    rows->addWidget(fileBox);
    rows->addStretch(1);
    // Along the row: each field, then its button.
    setTabOrder(readBack_, read_);
    setTabOrder(read_, address_);
    setTabOrder(address_, write_);

    connect(read_, &QPushButton::clicked, this, [this] { Button10Click(); });
    connect(write_, &QPushButton::clicked, this, [this] { Button11Click(); });
    connect(target_, &QComboBox::activated, this, [this] { ComboBox4Change(); });
    connect(length_, &QLineEdit::textChanged, this, [this] { Edit12Change(); });
    connect(choose_, &QPushButton::clicked, this, [this] { Button12Click(); });
    connect(open_, &QPushButton::clicked, this, [this] { Button13Click(); });
    connect(view_, &QPushButton::clicked, this, [this] { ViewClick(); });
    connect(memRead_, &QPushButton::clicked, this, [this] { Button14Click(); });
    connect(memWrite_, &QPushButton::clicked, this, [this] { Button15Click(); });

    // The split box stays usable without a board.
    for (QWidget* w : std::initializer_list<QWidget*>{readBack_, address_, length_, file_, target_,
                                                      width_, read_, write_, choose_, open_,
                                                      memRead_, memWrite_})
        ctx().RegisterBoardControl(w);

    // Options menu. The frame has already undone the waveform items' own
    // toggle: their marks move only when the board took the request.
    auto item = [this](const char* name) { return ctx().MenuAction(name); };
    if (QAction* a = item("N14")) connect(a, &QAction::triggered, this, [this] { N14Click(); });
    if (QAction* a = item("N15")) connect(a, &QAction::triggered, this, [this] { N15Click(); });
    if (QAction* a = item("Tessera1"))
        connect(a, &QAction::triggered, this, [this] { Tessera1Click(); });
    for (const WaveItem& w : kWaveItems) {
        if (QAction* a = item(w.name)) {
            const int direction = static_cast<int>(w.direction), wave = static_cast<int>(w.wave);
            // Queued: the notice and the boxes are modal, and whoever triggered
            // the item (a menu click, an accessibility client waiting for its
            // answer) gets it back first.
            connect(
                a, &QAction::triggered, this,
                [this, direction, wave] { WaveClick(direction, wave); }, Qt::QueuedConnection);
        }
    }

    Hooks().memLengthDisplay = [this] { Edit12Change(); };
    // Program entry creates the run-long windows in its order: the notice,
    // then the split progress window.
    QPointer<MemoryPage> self(this);
    Hooks().createWindows.push_back([self](QWidget* owner) {
        if (self) self->CreateWindows(owner);
    });
}

MemoryPage::~MemoryPage() {
    Hooks().memLengthDisplay = nullptr;
}

void MemoryPage::CreateWindows(QWidget* owner) {
    if (!noteForm_) noteForm_ = new TNoteForm(owner);
    if (!splitForm_) splitForm_ = new TSplitForm(owner);
}

TSplitForm& MemoryPage::splitForm() {
    CreateWindows(window());
    return *splitForm_;
}

TNoteForm& MemoryPage::noteForm() {
    CreateWindows(window());
    return *noteForm_;
}

void MemoryPage::RestoreUiState(const SettingsStore& store) {
    length_->setText(
        QString::fromStdString(store.ReadString(kSetup, "MEM_LENGTH", features::kMemLengthDefault)));
    file_->setText(
        QString::fromStdString(store.ReadString(kSetup, "MemFileName", features::kMemFileDefault)));
    target_->clear();
    for (const std::string& entry : features::TargetMemoryEntries(store))
        target_->addItem(QString::fromStdString(entry));
    target_->setCurrentIndex(0);
    fileBase_->Refresh();
}

void MemoryPage::Button10Click() {
    const auto r = features::MemAddressRead(link::CurrentBoard(), S(readBack_->text()),
                                            EmulateFlag(), ctx().reporter());
    if (r.ok) {
        readBack_->setText(QString::fromStdString(r.field));
        RecordRegister(false, "0", 2, r.field, EmulateFlag());
    }
}

void MemoryPage::Button11Click() {
    const auto r = features::MemAddressWrite(link::CurrentBoard(), S(address_->text()),
                                             EmulateFlag(), ctx().reporter());
    if (r.ok) {
        address_->setText(QString::fromStdString(r.field));
        RecordRegister(true, "0", 2, r.field, EmulateFlag());
    }
}

void MemoryPage::ComboBox4Change() {
    if (features::MemTargetWrite(link::CurrentBoard(), target_->currentIndex(),
                                 S(target_->currentText()), EmulateFlag(), ctx().reporter()))
        RecordRegister(true, "1", 0, features::HexField(target_->currentIndex(), 2), EmulateFlag());
}

void MemoryPage::Edit12Change() {
    ctx().SetStatus(QString::fromStdString(features::MemLengthDisplay(S(length_->text()))));
}

void MemoryPage::Button12Click() {
    FileDialogRequest req;
    req.title = Lang::MarkedStd(kFileTitle);
    req.filter = Lang::MarkedStd(kFileFilter);
    req.selectedFilter = 0;
    req.folder = RelativeBaseFolder(kFileDirKey);
    // MemRead writes the file and MemWrite sends it: a new name is as good as
    // an existing one, and choosing an existing one replaces nothing yet.
    req.newName = true;
    const auto chosen = Prompts().FileName(req);
    if (!chosen) return;
    file_->setText(QString::fromStdString(*chosen));
    SettingsStore store;
    store.WriteString(kSetup, kFileDirKey,
                      S(QFileInfo(QString::fromStdString(*chosen)).absolutePath()));
    store.WriteString(kSetup, "MemFileName", S(file_->text()));
    fileBase_->Refresh();
}

void MemoryPage::Button13Click() {
    OpenWithAssociatedProgram(FieldPath(file_, kFileDirKey), ctx().reporter());
}

features::MemTransferRequest MemoryPage::Request(bool write) const {
    const auto options = features::MemTransferOptions::Read(SettingsStore());
    features::MemTransferRequest r;
    r.path = FieldPath(file_, kFileDirKey);
    r.lengthText = S(length_->text());
    r.widthIndex = width_->currentIndex();
    r.split = split_->isChecked();
    r.scramble = write ? options.writeScramble : options.readScramble;
    r.tessera = options.tessera;
    return r;
}

void MemoryPage::Button14Click() {
    const features::MemTransferRequest request = Request(false);
    const link::BoardHandle h = link::CurrentBoard();
    running_ = memRead_;
    bool done = false;
    ctx().RunLong({.cancellable = true},
                  [&] {
                      done = features::MemReadRun(h, request, ctx().reporter(), *this);
                      RecordMemTransfer(false, request, done,
                                        features::CancelRequested() || features::SplitCancelRequested());
                  });
    running_ = nullptr;
    if (done) lastRead_ = {request.path, request.scramble, request.lengthText};
}

void MemoryPage::Button15Click() {
    const features::MemTransferRequest request = Request(true);
    const link::BoardHandle h = link::CurrentBoard();
    running_ = memWrite_;
    bool done = false;
    ctx().RunLong({.cancellable = true},
                  [&] {
                      done = features::MemWriteRun(h, request, ctx().reporter(), *this);
                      RecordMemTransfer(true, request, done,
                                        features::CancelRequested() || features::SplitCancelRequested());
                  });
    running_ = nullptr;
    if (done) lastWritten_ = {request.path, request.scramble, request.lengthText};
}

void MemoryPage::ViewClick() {
    ViewerRequest request;
    request.path = FieldPath(file_, kFileDirKey);
    // A MemRead into this file after a MemWrite of the same length: the
    // round trip is one click away, compared as the board holds the data.
    if (lastWritten_ && lastRead_ && lastRead_->path == request.path &&
        lastRead_->lengthText == lastWritten_->lengthText && lastWritten_->path != request.path) {
        WrittenFile w;
        w.path = lastWritten_->path;
        w.writeScramble = lastWritten_->scramble;
        w.readScramble = lastRead_->scramble;
        w.length = features::ParseMemLength(lastRead_->lengthText).value_or(0);
        request.written = w;
    }
    if (TDataViewForm* form = TDataViewForm::Open(request, window())) form->show();
}

// The transfer runs on the worker: what it shows is done on the GUI thread.
void MemoryPage::ShowSplit() {
    GuiCall([this] { splitForm().ShowCentred(); });
}

void MemoryPage::HideSplit() {
    GuiCall([this] { splitForm().hide(); });
}

void MemoryPage::SplitSize(const std::string& text) {
    GuiCall([&] { splitForm().SetSize(QString::fromStdString(text)); });
}

void MemoryPage::SplitPiece(const std::string& count, const std::string& bytes) {
    GuiCall([&] {
        splitForm().SetPiece(QString::fromStdString(count), QString::fromStdString(bytes));
    });
}

void MemoryPage::SetButtonEnabled(bool enabled) {
    // A board that went away meanwhile keeps the button off.
    GuiCall([&] {
        if (running_) running_->setEnabled(enabled && ctx().BoardOpen());
    });
}

void MemoryPage::N14Click() {
    if (QAction* a = ctx().MenuAction("N14")) {
        SettingsStore().WriteBool(kSetup, "MR_SCRAMBLE", a->isChecked());
        RecordOptionNote("MemRead scramble", a->isChecked());
    }
}

void MemoryPage::N15Click() {
    if (QAction* a = ctx().MenuAction("N15")) {
        SettingsStore().WriteBool(kSetup, "MW_SCRAMBLE", a->isChecked());
        RecordOptionNote("MemWrite scramble", a->isChecked());
    }
}

void MemoryPage::Tessera1Click() {
    if (QAction* a = ctx().MenuAction("Tessera1")) {
        SettingsStore().WriteBool(kSetup, "MEM_CMD_MODE", a->isChecked());
        RecordOptionNote("Tessera memory commands", a->isChecked());
    }
}

void MemoryPage::WaveClick(int direction, int wave) {
    if (!SettingsStore().ReadBool(kSetup, "GPIF_WAVE_NOTE", false)) noteForm().Run();
    const auto d = static_cast<features::GpifDirection>(direction);
    const auto w = static_cast<features::GpifWave>(wave);
    if (!features::SwitchGpifWave(link::CurrentBoard(), d, w, ctx().reporter())) return;
    RecordNotReplayed(std::string("transfer mode ") +
                          (d == features::GpifDirection::MemRead ? "MemRead" : "MemWrite") + " " +
                          (w == features::GpifWave::Burst ? "Burst" : "Word"),
                      "no macro switches the transfer mode");
    for (const WaveItem& item : kWaveItems) {
        if (item.direction != d || item.wave != w) continue;
        if (QAction* chosen = ctx().MenuAction(item.name)) chosen->setChecked(true);
        if (QAction* sibling = ctx().MenuAction(item.sibling)) sibling->setChecked(false);
    }
}

Page* MakeMemoryPage(PageContext& context) {
    return new MemoryPage(context);
}

}  // namespace quillon::app
