#include "app/viewer/data_viewer.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include "app/viewer/data_plot.h"
#include "app/viewer/hex_view.h"
#include "platform/prompter.h"
#include "platform/view_file.h"
#include "platform/ui_text.h"

namespace quillon::app {

namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

constexpr const char* kCannotShow = QT_TRANSLATE_NOOP("Lang", "ﾃﾞｰﾀを表示できません。");
constexpr const char* kChooseShown = QT_TRANSLATE_NOOP("Lang", "表示するﾌｧｲﾙを選択してください。");
constexpr const char* kBinaryFilter = QT_TRANSLATE_NOOP("Lang", "ﾊﾞｲﾅﾘﾌｧｲﾙ(*.bin);;全て(*.*)");
constexpr const char* kCannotCompare = QT_TRANSLATE_NOOP("Lang", "比較するﾌｧｲﾙを読めません。");
// A copy goes through the clipboard as text: three characters a byte.
constexpr std::uint64_t kMaxCopy = 16u << 20;
// A MemRead writes its file whole and renames it into place; a file written
// in place by someone else is read again once it has been quiet this long.
constexpr int kReloadQuietMs = 300;

void Refuse(const char* failure, const std::string& path, const std::string& reason) {
    Prompts().Message(features::RefusalText(Lang::MarkedStd(failure), path, reason),
                      MsgIcon::Warning, MsgButtons::Ok);
}

std::string FolderOf(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).absolutePath().toStdString();
}

}  // namespace

TDataViewForm* TDataViewForm::Open(const ViewerRequest& request, QWidget* parent) {
    auto* form = new TDataViewForm(request, parent);
    if (!form->LoadMain(request.path)) {
        delete form;
        return nullptr;
    }
    if (!request.compare.empty() && !form->SetCompare(request.compare, {})) {
        delete form;
        return nullptr;
    }
    if (request.compare.empty()) form->StartWork();
    return form;
}

TDataViewForm::TDataViewForm(const ViewerRequest& request, QWidget* parent)
    : QWidget(parent, Qt::Window), request_(request) {
    setObjectName("TDataViewForm");
    setAttribute(Qt::WA_DeleteOnClose);
    BuildUi();
    watcher_ = new QFileSystemWatcher(this);
    reload_ = new QTimer(this);
    reload_->setSingleShot(true);
    reload_->setInterval(kReloadQuietMs);
    connect(reload_, &QTimer::timeout, this, [this] { Reload(); });
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this] { MaybeReload(); });
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { MaybeReload(); });
    resize(1180, 640);
}

TDataViewForm::~TDataViewForm() {
    StopWork();
}

void TDataViewForm::BuildUi() {
    fileLine_ = new QLabel(this);
    fileLine_->setObjectName("FileLine");
    fileLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* open = new QPushButton(Lang::tr("開く..."), this);
    open->setObjectName("OpenButton");
    auto* compare = new QPushButton(Lang::tr("比較..."), this);
    compare->setObjectName("CompareButton");
    written_ = new QPushButton(Lang::tr("MemWriteのﾌｧｲﾙと比較"), this);
    written_->setObjectName("WrittenCompareButton");
    written_->setVisible(request_.written.has_value());
    if (request_.written) written_->setToolTip(QString::fromStdString(request_.written->path));

    offset_ = new QLineEdit(this);
    offset_->setObjectName("OffsetEdit");
    offset_->setAccessibleName(Lang::tr("ｵﾌｾｯﾄ(HEX)"));
    offset_->setMaximumWidth(150);
    auto* go = new QPushButton(Lang::tr("移動"), this);
    go->setObjectName("GoButton");
    pattern_ = new QLineEdit(this);
    pattern_->setObjectName("PatternEdit");
    pattern_->setAccessibleName(Lang::tr("検索ﾊﾞｲﾄ列(HEX)"));
    pattern_->setPlaceholderText("DE AD BE EF");
    auto* find = new QPushButton(Lang::tr("次を検索"), this);
    find->setObjectName("FindButton");
    auto* copy = new QPushButton(Lang::tr("選択範囲をｺﾋﾟｰ"), this);
    copy->setObjectName("CopyButton");

    hex_ = new HexView(this);
    hex_->setAccessibleName(Lang::tr("ﾃﾞｰﾀ"));
    plot_ = new DataPlot(this);

    width_ = new QComboBox(this);
    width_->setObjectName("WordWidth");
    width_->addItems({"8bit", "16bit", "32bit", "64bit"});
    width_->setAccessibleName(Lang::tr("ﾜｰﾄﾞ幅"));
    signed_ = new QCheckBox(Lang::tr("符号付き"), this);
    signed_->setObjectName("WordSigned");
    endian_ = new QComboBox(this);
    endian_->setObjectName("WordEndian");
    endian_->addItems({Lang::tr("ﾘﾄﾙｴﾝﾃﾞｨｱﾝ"), Lang::tr("ﾋﾞｯｸﾞｴﾝﾃﾞｨｱﾝ")});
    endian_->setAccessibleName(Lang::tr("ﾊﾞｲﾄ順"));
    auto* all = new QPushButton(Lang::tr("全体"), this);
    all->setObjectName("PlotAll");
    auto* zoomIn = new QPushButton(Lang::tr("拡大"), this);
    zoomIn->setObjectName("PlotZoomIn");
    auto* zoomOut = new QPushButton(Lang::tr("縮小"), this);
    zoomOut->setObjectName("PlotZoomOut");
    auto* left = new QPushButton(U("◀"), this);
    left->setObjectName("PlotLeft");
    left->setAccessibleName(Lang::tr("左へ"));
    auto* right = new QPushButton(U("▶"), this);
    right->setObjectName("PlotRight");
    right->setAccessibleName(Lang::tr("右へ"));
    for (QPushButton* b : {left, right}) b->setFixedWidth(32);

    value_ = new QLabel(this);
    value_->setObjectName("WordValue");
    value_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* compareBox = new QGroupBox(Lang::tr("比較"), this);
    compareBox->setObjectName("CompareGroup");
    compareLine_ = new QLabel(Lang::tr("比較するﾌｧｲﾙはありません。"), compareBox);
    compareLine_->setObjectName("CompareSummary");
    compareLine_->setWordWrap(true);
    compareLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    prevDiff_ = new QPushButton(Lang::tr("前の相違"), compareBox);
    prevDiff_->setObjectName("PrevDiff");
    nextDiff_ = new QPushButton(Lang::tr("次の相違"), compareBox);
    nextDiff_->setObjectName("NextDiff");
    prevDiff_->setEnabled(false);
    nextDiff_->setEnabled(false);
    status_ = new QLabel(this);
    status_->setObjectName("ViewerStatus");

    auto* top = new QHBoxLayout;
    top->addWidget(fileLine_, 1);
    top->addWidget(open);
    top->addWidget(compare);
    top->addWidget(written_);
    auto* nav = new QHBoxLayout;
    auto* offsetCaption = new QLabel(Lang::tr("ｵﾌｾｯﾄ(HEX)"), this);
    offsetCaption->setBuddy(offset_);
    nav->addWidget(offsetCaption);
    nav->addWidget(offset_);
    nav->addWidget(go);
    nav->addSpacing(12);
    auto* findCaption = new QLabel(Lang::tr("検索(HEX)"), this);
    findCaption->setBuddy(pattern_);
    nav->addWidget(findCaption);
    nav->addWidget(pattern_, 1);
    nav->addWidget(find);
    nav->addSpacing(12);
    nav->addWidget(copy);

    auto* right_ = new QWidget(this);
    auto* words = new QHBoxLayout;
    words->addWidget(new QLabel(Lang::tr("ﾜｰﾄﾞ"), right_));
    words->addWidget(width_);
    words->addWidget(signed_);
    words->addWidget(endian_);
    words->addStretch();
    for (QPushButton* b : {all, zoomIn, zoomOut, left, right}) words->addWidget(b);
    auto* compareRows = new QGridLayout(compareBox);
    compareRows->addWidget(compareLine_, 0, 0, 1, 3);
    compareRows->addWidget(prevDiff_, 1, 1);
    compareRows->addWidget(nextDiff_, 1, 2);
    compareRows->setColumnStretch(0, 1);
    auto* rightRows = new QVBoxLayout(right_);
    rightRows->setContentsMargins(0, 0, 0, 0);
    rightRows->addLayout(words);
    rightRows->addWidget(plot_, 1);
    rightRows->addWidget(value_);
    rightRows->addWidget(compareBox);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(hex_);
    split->addWidget(right_);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(6, 6, 6, 4);
    rows->addLayout(top);
    rows->addLayout(nav);
    rows->addWidget(split, 1);
    rows->addWidget(status_);

    connect(open, &QPushButton::clicked, this, [this] { ChooseMain(); });
    connect(compare, &QPushButton::clicked, this, [this] { ChooseCompare(); });
    connect(written_, &QPushButton::clicked, this, [this] { CompareWithWritten(); });
    connect(go, &QPushButton::clicked, this, [this] { GoToOffset(); });
    connect(offset_, &QLineEdit::returnPressed, this, [this] { GoToOffset(); });
    connect(find, &QPushButton::clicked, this, [this] { Find(); });
    connect(pattern_, &QLineEdit::returnPressed, this, [this] { Find(); });
    connect(copy, &QPushButton::clicked, this, [this] { Copy(); });
    connect(hex_, &HexView::CopyRequested, this, [this] { Copy(); });
    connect(hex_, &HexView::CursorMoved, this, [this](std::uint64_t at) { ShowValue(at); });
    connect(plot_, &DataPlot::WordClicked, this, [this](std::uint64_t word) {
        hex_->GoTo(word * static_cast<std::uint64_t>(Format().bytes),
                   static_cast<std::uint64_t>(Format().bytes));
    });
    connect(all, &QPushButton::clicked, plot_, &DataPlot::ShowAll);
    connect(zoomIn, &QPushButton::clicked, this, [this] { plot_->Zoom(0.5); });
    connect(zoomOut, &QPushButton::clicked, this, [this] { plot_->Zoom(2.0); });
    connect(left, &QPushButton::clicked, this, [this] { plot_->Pan(-0.25); });
    connect(right, &QPushButton::clicked, this, [this] { plot_->Pan(0.25); });
    connect(prevDiff_, &QPushButton::clicked, this, [this] { StepDifference(false); });
    connect(nextDiff_, &QPushButton::clicked, this, [this] { StepDifference(true); });
    auto formatChanged = [this] {
        compareOptions_.wordBytes = Format().bytes;
        StartWork();
        ShowValue(hex_->cursor());
    };
    connect(width_, &QComboBox::currentIndexChanged, this, formatChanged);
    connect(endian_, &QComboBox::currentIndexChanged, this, formatChanged);
    connect(signed_, &QCheckBox::toggled, this, formatChanged);
}

features::WordFormat TDataViewForm::Format() const {
    return {1 << width_->currentIndex(), signed_->isChecked(), endian_->currentIndex() == 1};
}

bool TDataViewForm::LoadMain(const std::string& path) {
    auto file = std::make_shared<features::DataFile>();
    const features::NameCheck check = file->Open(path);
    if (!check.ok()) {
        Refuse(kCannotShow, path, check.reason);
        return false;
    }
    request_.path = path;
    file_ = std::move(file);
    setWindowTitle(Lang::tr("ﾃﾞｰﾀの表示 - ") + QFileInfo(QString::fromStdString(path)).fileName());
    summary_.reset();
    hex_->SetFiles(file_.get(), other_.get(), compareOptions_);
    plot_->SetSource(file_.get(), nullptr);
    hex_->GoTo(0);
    ShowFileLine();
    Watch();
    return true;
}

bool TDataViewForm::SetCompare(const std::string& path, const features::CompareOptions& options) {
    auto other = std::make_shared<features::DataFile>();
    const features::NameCheck check = other->Open(path);
    if (!check.ok()) {
        Refuse(kCannotCompare, path, check.reason);
        return false;
    }
    other_ = std::move(other);
    request_.compare = path;
    compareOptions_ = options;
    compareOptions_.wordBytes = Format().bytes;
    compared_.reset();
    compareLine_->setText(Lang::tr("比較中..."));
    hex_->SetFiles(file_.get(), other_.get(), compareOptions_);
    ShowFileLine();
    Watch();
    StartWork();
    return true;
}

void TDataViewForm::CompareWithWritten() {
    if (!request_.written) return;
    const WrittenFile& w = *request_.written;
    features::CompareOptions o;
    // The read file holds the board's bytes scrambled when read scramble was
    // on; the written file reached the board scrambled when write scramble was.
    o.xorA = w.readScramble ? 0xAA : 0;
    o.xorB = w.writeScramble ? 0xAA : 0;
    if (w.length) o.limit = w.length;
    SetCompare(w.path, o);
}

void TDataViewForm::ShowFileLine() {
    QString line =
        Lang::FillQ(QT_TRANSLATE_NOOP("Lang", "ﾌｧｲﾙ：%1  (%2 ﾊﾞｲﾄ)"), file_->path(), file_->size());
    if (other_)
        line += "\n" + Lang::FillQ(QT_TRANSLATE_NOOP("Lang", "比較：%1  (%2 ﾊﾞｲﾄ)"), other_->path(),
                                   other_->size());
    fileLine_->setText(line);
    if (file_->size() == 0) status_->setText(Lang::tr("空のﾌｧｲﾙです(0 ﾊﾞｲﾄ)。"));
}

void TDataViewForm::StopWork() {
    ++generation_;
    if (worker_.joinable()) worker_.join();
    running_ = false;
}

void TDataViewForm::StartWork() {
    StopWork();
    if (!file_) return;
    running_ = true;
    status_->setText(file_->size() ? Lang::tr("ﾌﾟﾛｯﾄを作成中...") : Lang::tr("空のﾌｧｲﾙです(0 ﾊﾞｲﾄ)。"));
    const std::uint64_t generation = generation_;
    auto keepGoing = [this, generation] { return generation_ == generation; };
    worker_ = std::thread(
        [this, generation, keepGoing, a = file_, b = other_, f = Format(), o = compareOptions_] {
            auto summary = std::make_shared<features::PlotSummary>();
            const bool built = summary->Build(*a, f, keepGoing);
            std::optional<features::CompareResult> compare;
            if (built && b) compare = features::CompareFiles(*a, *b, o, keepGoing);
            // Whatever was written meanwhile would mix old and new: it is all
            // done again from the new contents.
            const bool changed = a->Changed() || (b && b->Changed());
            if (!keepGoing()) return;
            QMetaObject::invokeMethod(
                this,
                [this, generation, summary, compare, changed, built] {
                    WorkDone(generation, built ? summary : nullptr, compare, changed);
                },
                Qt::QueuedConnection);
        });
}

void TDataViewForm::WorkDone(std::uint64_t generation,
                             std::shared_ptr<features::PlotSummary> summary,
                             std::optional<features::CompareResult> compare, bool changed) {
    if (generation != generation_) return;
    if (worker_.joinable()) worker_.join();
    running_ = false;
    if (changed) {
        Reload();
        return;
    }
    if (!summary) {
        status_->setText(Lang::tr("ﾌｧｲﾙを読めませんでした：") + QString::fromStdString(file_->path()));
        return;
    }
    summary_ = std::move(summary);
    plot_->SetSource(file_.get(), summary_.get());
    status_->setText(file_->size() ? QString() : Lang::tr("空のﾌｧｲﾙです(0 ﾊﾞｲﾄ)。"));
    compared_ = compare;
    if (compared_) {
        compareLine_->setText(QString::fromStdString(
            features::CompareSummary(*compared_, compareOptions_.wordBytes)));
        const bool any = compared_->firstDifference.has_value();
        prevDiff_->setEnabled(any);
        nextDiff_->setEnabled(any);
        if (any) hex_->GoTo(*compared_->firstDifference, 1);
    }
    ShowValue(hex_->cursor());
}

void TDataViewForm::Watch() {
    if (!watcher_->files().isEmpty()) watcher_->removePaths(watcher_->files());
    if (!watcher_->directories().isEmpty()) watcher_->removePaths(watcher_->directories());
    QStringList paths;
    for (const auto& f : {file_, other_}) {
        if (!f) continue;
        paths << QString::fromStdString(f->path()) << QString::fromStdString(FolderOf(f->path()));
    }
    paths.removeDuplicates();
    watcher_->addPaths(paths);
}

void TDataViewForm::MaybeReload() {
    // A folder's notice is for any file in it: only ours count.
    const bool ours = (file_ && file_->Changed()) || (other_ && other_->Changed());
    if (ours) reload_->start();
}

void TDataViewForm::Reload() {
    // The name may be between a removal and a new file: keep showing the old
    // contents whole until the new ones can be read.
    auto file = std::make_shared<features::DataFile>();
    if (!file->Open(request_.path).ok()) {
        status_->setText(Lang::tr("ﾌｧｲﾙが変更されました。読めるようになったら表示し直します。"));
        Watch();
        return;
    }
    std::shared_ptr<features::DataFile> other;
    if (other_) {
        other = std::make_shared<features::DataFile>();
        if (!other->Open(other_->path()).ok()) {
            status_->setText(
                Lang::tr("比較するﾌｧｲﾙが変更されました。読めるようになったら表示し直します。"));
            Watch();
            return;
        }
    }
    StopWork();
    const std::uint64_t cursor = hex_->cursor();
    file_ = std::move(file);
    other_ = std::move(other);
    summary_.reset();
    compared_.reset();
    hex_->SetFiles(file_.get(), other_.get(), compareOptions_);
    plot_->SetSource(file_.get(), nullptr);
    if (file_->size()) hex_->GoTo(std::min(cursor, file_->size() - 1));
    if (other_) compareLine_->setText(Lang::tr("比較中..."));
    ShowFileLine();
    Watch();
    StartWork();
}

void TDataViewForm::ShowValue(std::uint64_t offset) {
    const features::WordFormat f = Format();
    const std::uint64_t at = offset - offset % static_cast<std::uint64_t>(f.bytes);
    auto describe = [&](const features::DataFile& file) -> QString {
        const auto bytes = file.ReadVector(at, static_cast<std::size_t>(f.bytes));
        if (bytes.size() < static_cast<std::size_t>(f.bytes)) return "-";
        return QString::fromStdString(features::WordHex(bytes.data(), f) + " (" +
                                      features::WordText(bytes.data(), f) + ")");
    };
    if (!file_ || file_->size() == 0) {
        value_->clear();
        return;
    }
    QString line = "0x" + QString::fromStdString(features::HexOffset(at)) + "  ";
    if (other_)
        line += "A: " + describe(*file_) + "   B: " + describe(*other_);
    else
        line += describe(*file_);
    value_->setText(line);
}

void TDataViewForm::GoToOffset() {
    const auto at = features::ParseViewOffset(offset_->text().toStdString());
    if (!at || !file_ || *at >= file_->size()) {
        Prompts().Message(
            Lang::Fill(
                QT_TRANSLATE_NOOP("Lang", "ｵﾌｾｯﾄをﾌｧｲﾙ長(%1 ﾊﾞｲﾄ)未満のHEX値で指定して下さい。"),
                file_ ? file_->size() : 0),
            MsgIcon::Error, MsgButtons::Ok);
        return;
    }
    hex_->GoTo(*at);
}

void TDataViewForm::Find() {
    const auto pattern = features::ParseBytePattern(pattern_->text().toStdString());
    if (!pattern) {
        Prompts().Message(Lang::Tr("検索するﾊﾞｲﾄ列をHEXで指定して下さい。(例: DE AD BE EF)"),
                          MsgIcon::Error, MsgButtons::Ok);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::uint64_t from = hex_->cursor() + 1;
    auto hit = features::FindPattern(*file_, *pattern, from);
    if (!hit && from > 0) hit = features::FindPattern(*file_, *pattern, 0);
    QApplication::restoreOverrideCursor();
    if (!hit) {
        status_->setText(Lang::tr("見つかりませんでした：") + pattern_->text());
        return;
    }
    status_->setText(Lang::FillQ(QT_TRANSLATE_NOOP("Lang", "0x%1 に見つかりました。"),
                                 features::HexOffset(*hit)));
    hex_->GoTo(*hit, pattern->size());
}

void TDataViewForm::Copy() {
    if (!file_ || file_->size() == 0) return;
    const std::uint64_t n = hex_->selectionEnd() - hex_->selectionStart() + 1;
    if (n > kMaxCopy) {
        Prompts().Message(Lang::Tr("選択範囲が大きすぎます。ｺﾋﾟｰできるのは16MiBまでです。"),
                          MsgIcon::Warning, MsgButtons::Ok);
        return;
    }
    const auto bytes = file_->ReadVector(hex_->selectionStart(), static_cast<std::size_t>(n));
    QApplication::clipboard()->setText(QString::fromStdString(features::HexLines(bytes)));
    status_->setText(
        Lang::FillQ(QT_TRANSLATE_NOOP("Lang", "%1 ﾊﾞｲﾄをｺﾋﾟｰしました。"), bytes.size()));
}

void TDataViewForm::StepDifference(bool forward) {
    if (!file_ || !other_) return;
    const auto at =
        features::NextDifference(*file_, *other_, hex_->cursor(), forward, compareOptions_);
    if (!at) {
        status_->setText(forward ? Lang::tr("この先に相違はありません。")
                                 : Lang::tr("この前に相違はありません。"));
        return;
    }
    status_->clear();
    hex_->GoTo(*at, static_cast<std::uint64_t>(compareOptions_.wordBytes));
}

void TDataViewForm::ChooseMain() {
    FileDialogRequest req;
    req.title = Lang::MarkedStd(kChooseShown);
    req.filter = Lang::MarkedStd(kBinaryFilter);
    req.folder = file_ ? FolderOf(file_->path()) : std::string();
    const auto chosen = Prompts().FileName(req);
    if (!chosen) return;
    StopWork();
    if (LoadMain(*chosen)) StartWork();
}

void TDataViewForm::ChooseCompare() {
    FileDialogRequest req;
    req.title = Lang::Tr("比較するﾌｧｲﾙを選択してください。");
    req.filter = Lang::MarkedStd(kBinaryFilter);
    req.folder = file_ ? FolderOf(file_->path()) : std::string();
    const auto chosen = Prompts().FileName(req);
    if (chosen) SetCompare(*chosen, {});
}

QString TDataViewForm::compareText() const {
    return compareLine_->text();
}

QString TDataViewForm::statusText() const {
    return status_->text();
}

void ChooseAndView(QWidget* parent) {
    FileDialogRequest req;
    req.title = Lang::MarkedStd(kChooseShown);
    req.filter = Lang::MarkedStd(kBinaryFilter);
    const auto chosen = Prompts().FileName(req);
    if (!chosen) return;
    if (TDataViewForm* form = TDataViewForm::Open({*chosen, {}, {}}, parent)) form->show();
}

int RunViewerAlone(const std::string& path, const std::string& compare) {
    TDataViewForm* form = TDataViewForm::Open({path, compare, {}});
    if (!form) return 2;
    form->show();
    return QApplication::exec();
}

}  // namespace quillon::app
