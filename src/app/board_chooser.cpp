#include "app/board_chooser.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/page.h"
#include "link/usb/usb_backend.h"
#include "platform/prompter.h"

namespace quillon::app {

namespace {

constexpr const char* kFirstUsbCaption =
    QT_TRANSLATE_NOOP("Lang", "USBﾎﾞｰﾄﾞ(最初に見つかったもの)");
constexpr const char* kNotConnected = QT_TRANSLATE_NOOP("Lang", "%1 (接続されていません)");
constexpr const char* kNoUsbBoards =
    QT_TRANSLATE_NOOP("Lang", "接続されているUSBﾎﾞｰﾄﾞはありません。");
constexpr const char* kUsbUnusable = QT_TRANSLATE_NOOP("Lang", "USBを使用できません: %1");
constexpr const char* kProfileLabel = QT_TRANSLATE_NOOP("Lang", "ﾌﾟﾛﾌｧｲﾙ");
constexpr const char* kProfilePlaceholder = QT_TRANSLATE_NOOP("Lang", "空欄: 既定のﾌﾟﾛﾌｧｲﾙ");
constexpr const char* kProfileTitle =
    QT_TRANSLATE_NOOP("Lang", "ｼﾐｭﾚｰｼｮﾝﾎﾞｰﾄﾞのﾌﾟﾛﾌｧｲﾙを選択してください。");
constexpr const char* kProfileFilter = QT_TRANSLATE_NOOP("Lang", "ﾌﾟﾛﾌｧｲﾙ(*.profile);;全て(*.*)");

// "sim", "sim (FILE)", "usb", "usb:1-4.2": the choice as the log names it.
std::string ChoiceName(const boards::BoardOptions& choice) {
    std::string name = boards::BoardChoiceText(choice);
    if (choice.board == "sim" && !choice.simProfile.empty()) name += " (" + choice.simProfile + ")";
    return name;
}

}  // namespace

std::string BoardChosenLine(const boards::BoardOptions& choice) {
    return Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞの選択: %1"), ChoiceName(choice));
}

std::string StoredChoiceUsedLine(const boards::BoardOptions& choice) {
    return Lang::Fill(QT_TRANSLATE_NOOP("Lang", "保存されたﾎﾞｰﾄﾞの選択を使います: %1"),
                      ChoiceName(choice));
}

std::string StoredChoiceUnusableLine(const std::string& stored) {
    return Lang::Fill(
        QT_TRANSLATE_NOOP("Lang", "設定のBOARD｢%1｣は使えないため、USBﾎﾞｰﾄﾞを使います。"), stored);
}

std::string StoredChoiceFailedLine(const boards::BoardOptions& choice, const std::string& error) {
    return Lang::Fill(
        QT_TRANSLATE_NOOP("Lang",
                          "保存されたﾎﾞｰﾄﾞの選択(%1)を使えないため、USBﾎﾞｰﾄﾞを使います: %2"),
        ChoiceName(choice), error);
}

std::string ProfileFailedText(const std::string& error) {
    return Lang::Fill(
        QT_TRANSLATE_NOOP("Lang", "ｼﾐｭﾚｰｼｮﾝﾎﾞｰﾄﾞのﾌﾟﾛﾌｧｲﾙを読み込めませんでした。\n%1"), error);
}

BoardChooser::BoardChooser(const boards::BoardOptions& current, QWidget* parent) : QDialog(parent) {
    setObjectName("BoardChooser");
    setWindowTitle(Lang::Marked(kChooseBoardTitle));
    auto* top = new QVBoxLayout(this);

    auto* box = new QGroupBox(Lang::tr("接続するﾎﾞｰﾄﾞ"), this);
    box->setObjectName("BoardList");
    list_ = new QVBoxLayout(box);
    list_->setSpacing(4);
    group_ = new QButtonGroup(this);
    firstUsb_ = AddChoice(Lang::Marked(kFirstUsbCaption), "usb", 0);
    firstUsb_->setObjectName("BoardUsb");
    listNote_ = new QLabel(box);
    listNote_->setObjectName("BoardListNote");
    listNote_->setIndent(20);
    listNote_->setWordWrap(true);
    list_->addWidget(listNote_);
    sim_ = AddChoice(Lang::Marked(kSimBoardCaption), "sim", list_->count());
    sim_->setObjectName("BoardSim");
    auto* profileRow = new QHBoxLayout;
    profileRow->setContentsMargins(20, 0, 0, 0);
    auto* profileLabel = new QLabel(Lang::Marked(kProfileLabel), box);
    profile_ = new QLineEdit(QString::fromStdString(current.simProfile), box);
    profile_->setObjectName("SimProfile");
    profile_->setAccessibleName(Lang::Marked(kProfileLabel));
    profile_->setPlaceholderText(Lang::Marked(kProfilePlaceholder));
    profile_->setMinimumWidth(300);
    profileLabel->setBuddy(profile_);
    browse_ = new QPushButton(Lang::tr("参照..."), box);
    browse_->setObjectName("SimProfileBrowse");
    profileRow->addWidget(profileLabel);
    profileRow->addWidget(profile_, 1);
    profileRow->addWidget(browse_);
    list_->addLayout(profileRow);
    top->addWidget(box);

    auto* buttons = new QHBoxLayout;
    auto* refresh = new QPushButton(Lang::tr("再検索"), this);
    refresh->setObjectName("BoardRefresh");
    refresh->setAutoDefault(false);
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("BoardOk");
    ok->setDefault(true);
    auto* cancel = new QPushButton(Lang::tr("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName("BoardCancel");
    cancel->setAutoDefault(false);
    tail_ = {refresh, ok, cancel};
    buttons->addWidget(refresh);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    top->addLayout(buttons);

    connect(browse_, &QPushButton::clicked, this, [this] { Browse(); });
    connect(refresh, &QPushButton::clicked, this, [this] { Refresh(); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(sim_, &QRadioButton::toggled, this, [this](bool on) {
        profile_->setEnabled(on);
        browse_->setEnabled(on);
    });

    if (current.board == "usb" && !current.boardId.empty()) named_ = "usb:" + current.boardId;
    Refresh();
    Check(boards::BoardChoiceText(current));
    profile_->setEnabled(sim_->isChecked());
    browse_->setEnabled(sim_->isChecked());
}

QRadioButton* BoardChooser::AddChoice(const QString& caption, const std::string& choice, int at) {
    auto* radio = new QRadioButton(caption, list_->parentWidget());
    radio->setProperty("choice", QString::fromStdString(choice));
    group_->addButton(radio);
    list_->insertWidget(at, radio);
    return radio;
}

void BoardChooser::Refresh() {
    const std::string was = Checked();
    for (QRadioButton* r : listed_) {
        group_->removeButton(r);
        delete r;
    }
    listed_.clear();
    std::string error;
    const std::vector<usb::BoardEntry> boards = usb::ListBoards(&error);
    // Board lines line up in columns as `quillon-run --list` prints them.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    int at = list_->indexOf(firstUsb_) + 1;
    bool namedThere = named_.empty();
    for (const usb::BoardEntry& b : boards) {
        const std::string choice = "usb:" + usb::PortId(b);
        QRadioButton* r = AddChoice(QString::fromStdString(usb::DescribeBoard(b)), choice, at++);
        r->setObjectName("BoardListed");
        r->setFont(fixed);
        listed_.push_back(r);
        std::string unused;
        if (!namedThere && usb::MatchBoard({b}, named_.substr(4), unused)) {
            // The named board is this one: choosing it keeps its name (a serial
            // number follows the board to another socket).
            r->setProperty("choice", QString::fromStdString(named_));
            namedThere = true;
        }
    }
    if (!namedThere) {
        listed_.push_back(AddChoice(Lang::FillQ(kNotConnected, named_), named_, at++));
        listed_.back()->setObjectName("BoardListed");
    }
    if (!error.empty()) {
        listNote_->setText(Lang::FillQ(kUsbUnusable, error));
    } else {
        listNote_->setText(boards.empty() ? Lang::Marked(kNoUsbBoards) : QString());
    }
    listNote_->setVisible(!listNote_->text().isEmpty());
    if (!was.empty()) Check(was);
    // The boards in the order shown, then the profile, then the buttons.
    std::vector<QWidget*> order{firstUsb_};
    order.insert(order.end(), listed_.begin(), listed_.end());
    order.insert(order.end(), {sim_, profile_, browse_});
    order.insert(order.end(), tail_.begin(), tail_.end());
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void BoardChooser::Check(const std::string& choice) {
    for (QAbstractButton* b : group_->buttons()) {
        if (b->property("choice").toString().toStdString() == choice) {
            b->setChecked(true);
            return;
        }
    }
    firstUsb_->setChecked(true);
}

std::string BoardChooser::Checked() const {
    QAbstractButton* b = group_->checkedButton();
    return b ? b->property("choice").toString().toStdString() : std::string();
}

boards::BoardOptions BoardChooser::choice() const {
    boards::BoardOptions options;
    if (!boards::ParseBoardChoice(Checked(), options)) options.board = "usb";
    if (options.board == "sim") options.simProfile = profile_->text().trimmed().toStdString();
    return options;
}

void BoardChooser::Browse() {
    FileDialogRequest request;
    request.title = Lang::MarkedStd(kProfileTitle);
    request.filter = Lang::MarkedStd(kProfileFilter);
    const QString now = profile_->text().trimmed();
    if (!now.isEmpty()) {
        const QFileInfo info(now);
        request.folder = info.absolutePath().toStdString();
        request.fileName = info.fileName().toStdString();
    }
    if (std::optional<std::string> name = Prompts().FileName(request)) {
        profile_->setText(QString::fromStdString(*name));
    }
}

}  // namespace quillon::app
