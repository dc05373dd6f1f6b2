// No board, and choosing one: what the window says while no board is open,
// and "ﾎﾞｰﾄﾞの選択..." switching the link to the simulated board.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>

#include "app/board_chooser.h"
#include "app/main_window.h"
#include "app/no_board_notice.h"
#include "app/startup_hooks.h"
#include "app_test_support.h"
#include "features/busy_gate.h"
#include "platform/settings_store.h"

namespace quillon::test {
namespace {

using app::MainWindow;
using app::U;

void RunQueued() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

struct ReasonCase {
    link::NoBoard kind;
    const char* hint;  // the backend's line
    const char* todo;  // what the band must tell the user to do
    long holder = 0;   // the process holding the board
};

class NoBoardBand : public ::testing::TestWithParam<ReasonCase> {};

TEST_P(NoBoardBand, SaysWhyAndWhatToDoUntilABoardOpens) {
    const ReasonCase& c = GetParam();
    PanelTest t;
    t.bus->reason = {c.kind, c.hint, c.holder};
    MainWindow w(MainWindow::Options{0});
    w.FormCreate();

    app::NoBoardNotice* band = w.noBoardNotice();
    const app::NoBoardText text = app::NoBoardTextOf(t.bus->reason);
    ASSERT_FALSE(band->isHidden());
    EXPECT_EQ(w.statusText(), text.headline);
    EXPECT_TRUE(band->text().startsWith(text.headline));
    EXPECT_TRUE(band->text().contains(U(c.todo))) << band->text().toStdString();
    if (c.holder) {
        EXPECT_TRUE(text.headline.contains(QString::number(c.holder)))
            << text.headline.toStdString();
    }
    // Every reason leads to the simulated board, through the button beside it.
    EXPECT_TRUE(band->text().contains(U("ｼﾐｭﾚｰｼｮﾝﾎﾞｰﾄﾞ")));
    EXPECT_EQ(band->findChild<QPushButton*>("NoBoardChoose")->text(), U(app::kChooseBoardCaption));
    EXPECT_EQ(band->findChild<QLabel*>("NoBoardTodo")->toolTip().toStdString(), c.hint);
    // The band adds to the window: the page area and the buttons keep their place.
    const int withBand = w.height();
    EXPECT_EQ(w.pageArea()->height(), 217);
    EXPECT_EQ(w.findChild<QPushButton*>("Button3")->y(), 233);

    t.bus->Plug();
    RunQueued();
    EXPECT_TRUE(band->isHidden());
    EXPECT_EQ(w.height(), withBand - band->height());
    EXPECT_NE(w.statusText(), text.headline);  // no stale "no board" once it is back

    t.bus->Unplug();
    RunQueued();
    EXPECT_FALSE(band->isHidden());
    EXPECT_EQ(w.height(), withBand);
    EXPECT_EQ(w.statusText(), text.headline);
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, NoBoardBand,
    ::testing::Values(
        ReasonCase{link::NoBoard::Unknown, "", "ﾎﾞｰﾄﾞを接続してください"},
        ReasonCase{link::NoBoard::NothingFound, "", "USBに接続してください"},
        ReasonCase{link::NoBoard::NoMatch, "USB: no board usb:QB-9; no board is connected",
                   "接続されているﾎﾞｰﾄﾞを選んでください"},
        ReasonCase{link::NoBoard::NoAccess,
                   "USB: no permission for /dev/bus/usb/001/005 (04b4:00f1): install the boards'"
                   " udev rule",
                   "udevﾙｰﾙ(70-quillon.rules)をｲﾝｽﾄｰﾙ"},
        ReasonCase{link::NoBoard::NoFirmware,
                   "USB: 04b4:00f3 (bus 001 device 007) is an FX3 in"
                   " its bootloader",
                   "ﾌｧｰﾑｳｪｱをﾛｰﾄﾞ"},
        ReasonCase{link::NoBoard::Busy, "another program has the board open",
                   "ﾌﾟﾛｸﾞﾗﾑ(quillon-run等)を終了"},
        ReasonCase{link::NoBoard::Held,
                   "USB: the board usb:1-2 is in use by process 4321 (quillon-run); a board is"
                   " open in one process at a time: close it there first",
                   "｢ﾎﾞｰﾄﾞの選択...｣でﾎﾞｰﾄﾞを選び直してください", 4321},
        ReasonCase{link::NoBoard::OpenFailed, "libusb_open() ERROR!! LIBUSB_ERROR_IO",
                   "差し直してください"},
        ReasonCase{link::NoBoard::NoUsb, "libusb_init() ERROR!! LIBUSB_ERROR_OTHER",
                   "/dev/bus/usb"}),
    [](const ::testing::TestParamInfo<ReasonCase>& info) {
        std::string name = link::NoBoardName(info.param.kind);
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

// Answers the board dialog once it is up: checks the entry with `caption`,
// fills the profile and presses OK, as a user would.
void AnswerBoardChooser(MainWindow& w, const QString& caption, const QString& profile) {
    QTimer::singleShot(0, &w, [&w, caption, profile] {
        auto* dialog = w.findChild<app::BoardChooser*>();
        ASSERT_NE(dialog, nullptr);
        QRadioButton* entry = nullptr;
        for (QRadioButton* r : dialog->findChildren<QRadioButton*>()) {
            if (r->text() == caption) entry = r;
        }
        // Every control is named for assistive technology.
        for (QWidget* c : dialog->findChildren<QWidget*>()) {
            if (!qobject_cast<QAbstractButton*>(c) && !qobject_cast<QLineEdit*>(c)) continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
            EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << c->objectName().toStdString();
        }
        // The tab order goes down the list, to the profile, then to the buttons.
        QStringList order;
        QWidget* last = dialog->findChild<QPushButton*>("BoardCancel");
        for (QWidget* c = last->nextInFocusChain(); c != last; c = c->nextInFocusChain()) {
            if ((c->focusPolicy() & Qt::TabFocus) &&
                (c->objectName().startsWith("Board") || c->objectName().startsWith("SimProfile")))
                order << c->objectName();
        }
        EXPECT_EQ(order.join(" ").toStdString(),
                  "BoardUsb BoardListed BoardSim SimProfile SimProfileBrowse BoardRefresh BoardOk");
        if (!entry) {
            ADD_FAILURE() << "no entry " << caption.toStdString();
            dialog->reject();
            return;
        }
        entry->click();
        dialog->findChild<QLineEdit*>("SimProfile")->setText(profile);
        dialog->findChild<QPushButton*>("BoardOk")->click();
    });
}

std::string Stored(const char* key) {
    SettingsStore store;
    return store.ReadString(kSetup, key, "(none)");
}

TEST(ChooseBoard, TheSimulatedBoardTakesOverWithTheStartUpSteps) {
    PanelTest t;
    t.bus->present = true;
    t.Store("AUTO_CONFIG", "1");
    t.Store("AUTO_TCL", "1");
    t.Store("USB_IDS", "FFFF:FFFF");  // no USB board is listed, whatever is plugged in here
    MainWindow w(MainWindow::Options{0});
    std::vector<std::string> steps;
    app::Hooks().autoConfig = [&] { steps.push_back("config"); };
    app::Hooks().autoScript = [&] { steps.push_back("script"); };
    w.FormCreate();
    steps.clear();
    link::BoardLink& bl = link::BoardLink::Instance();
    // Stands in for the wire trace of --trace, which must follow to the new board.
    int wrapped = 0;
    bl.SetDeviceWrapper([&](std::unique_ptr<link::Device> d) {
        ++wrapped;
        return d;
    });

    // The board named at start is not connected: it is listed as such.
    boards::BoardOptions named;
    named.boardId = "QB-7";
    w.SetBoardChoice(named);
    AnswerBoardChooser(w, U(app::kSimBoardCaption), "");
    w.MenuAction("BoardSelect1")->trigger();

    ASSERT_NE(bl.backend(), nullptr);
    EXPECT_EQ(bl.backend()->Name(), "sim");
    EXPECT_TRUE(bl.IsOpen());
    EXPECT_EQ(wrapped, 1);
    EXPECT_EQ(steps, (std::vector<std::string>{"config", "script"}));
    EXPECT_TRUE(w.noBoardNotice()->isHidden());
    const auto lines = t.LogLines();
    const auto chosen = std::find(lines.begin(), lines.end(), "ﾎﾞｰﾄﾞの選択: sim");
    ASSERT_NE(chosen, lines.end());
    EXPECT_EQ(
        std::vector<std::string>(chosen, lines.end()),
        (std::vector<std::string>{"ﾎﾞｰﾄﾞの選択: sim", "USB CLOSE!!",
                                  "winusb.sys = Ver0.0.0.0 (simulated board)", "USB OPEN!!"}));
    EXPECT_EQ(Stored(boards::kBoardKey), "sim");
    EXPECT_EQ(Stored(boards::kSimProfileKey), "");

    // While other work holds the board nothing changes.
    {
        features::BusyGate::Hold busy = features::BusyGate::TryTake("MemRead");
        boards::BoardOptions usb;
        EXPECT_FALSE(w.SwitchBoard(usb));
        EXPECT_EQ(w.statusText(), U(features::kBusyRefusal));
        EXPECT_EQ(bl.backend()->Name(), "sim");
    }
    // A profile that does not load is told, and the board in use stays.
    boards::BoardOptions broken;
    broken.board = "sim";
    broken.simProfile = t.home.root() + "/missing.profile";
    EXPECT_FALSE(w.SwitchBoard(broken));
    ASSERT_FALSE(t.prompter.messages().empty());
    EXPECT_EQ(t.prompter.messages().back().rfind(app::ProfileFailedText(""), 0), 0u)
        << t.prompter.messages().back();
    EXPECT_TRUE(bl.IsOpen());
    EXPECT_EQ(Stored(boards::kSimProfileKey), "");
}

// Where the command line is silent, the stored choice decides; it never
// overrides what the command line says.
TEST(StoredBoardChoice, FillsOnlyWhatTheCommandLineLeftOpen) {
    struct Case {
        const char* board;
        std::vector<std::string> args;
        boards::StoredChoice result;
        const char* choice;
        const char* profile;
    };
    const Case cases[] = {
        {"sim", {}, boards::StoredChoice::Used, "sim", "stored.profile"},
        {"sim",
         {"--sim-profile", "given.profile"},
         boards::StoredChoice::Used,
         "sim",
         "given.profile"},
        {"sim", {"--board", "usb"}, boards::StoredChoice::None, "usb", ""},
        {"usb:1-4.2", {}, boards::StoredChoice::Used, "usb:1-4.2", ""},
        {"", {}, boards::StoredChoice::None, "usb", ""},
        {"usb:", {}, boards::StoredChoice::Unusable, "usb", ""},
        {"SIM",
         {"--sim-profile", "given.profile"},
         boards::StoredChoice::Unusable,
         "usb",
         "given.profile"},
    };
    for (const Case& c : cases) {
        FreshHome home;
        {
            SettingsStore store;
            store.WriteString(kSetup, boards::kBoardKey, c.board);
            store.WriteString(kSetup, boards::kSimProfileKey, "stored.profile");
        }
        std::vector<std::string> args = c.args;
        std::string error;
        boards::BoardOptions options = *boards::TakeBoardOptions(args, error);
        std::string stored;
        EXPECT_EQ(boards::ApplyStoredChoice(options, stored), c.result) << c.board;
        EXPECT_EQ(boards::BoardChoiceText(options), c.choice) << c.board;
        EXPECT_EQ(options.simProfile, c.profile) << c.board;
    }
}

}  // namespace
}  // namespace quillon::test
