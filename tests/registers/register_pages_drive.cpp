// Development tool: drives the four register pages of the real panel, the way a
// user would, and prints what the user sees: the status bar after each press,
// every box (icon, text) and input box (caption, prompt). The log goes to the
// run's log file, the wire to --trace. Each page is also saved as PNG.
//   QT_QPA_PLATFORM=offscreen register_pages_drive OUT_DIR --board sim --trace FILE
// Run it with XDG_CONFIG_HOME/XDG_DATA_HOME pointing at a demo home.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEnterEvent>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <cstdio>

#include "app/main_window.h"
#include "app/pages/regex_page.h"
#include "support/panel_harness.h"

using namespace quillon;

namespace {

app::QtPrompter* g_prompter = nullptr;
app::MainWindow* g_window = nullptr;
std::size_t g_seen = 0;

const char* IconName(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Error:
            return "error";
        case MsgIcon::Question:
            return "question";
        case MsgIcon::Warning:
            return "warning";
        case MsgIcon::Information:
            return "information";
    }
    return "?";
}

// Prints the step, then the boxes asked since the last step and the status bar.
void Step(const char* what) {
    std::printf("== %s\n", what);
    const auto& asked = g_prompter->asked();
    for (; g_seen < asked.size(); ++g_seen) {
        const auto& a = asked[g_seen];
        if (a.kind == app::QtPrompter::Kind::Message)
            std::printf("   box [%s] %s\n", IconName(a.icon), a.text.c_str());
        else if (a.kind == app::QtPrompter::Kind::Input)
            std::printf("   input caption=\"%s\" prompt=\"%s\"\n", a.caption.c_str(),
                        a.text.c_str());
    }
    std::printf("   status \"%s\"\n", g_window->statusText().toStdString().c_str());
    g_window->SetStatus({});
}

template <typename T>
T* W(const char* name) {
    T* w = g_window->findChild<T*>(name);
    if (!w) {
        std::fprintf(stderr, "no widget %s\n", name);
        std::exit(3);
    }
    return w;
}

void Click(const char* button) {
    W<QPushButton>(button)->click();
}

std::string Text(const char* edit) {
    return W<QLineEdit>(edit)->text().toStdString();
}

void Shot(const QString& out, int page, const char* name) {
    g_window->RequestPage(page);
    QApplication::processEvents();
    g_window->grab().save(QString("%1/%2.png").arg(out, name));
}

void RegisterPage() {
    auto set = [](int g, const char* number, int width, const char* value) {
        const std::string n = std::to_string(g);
        W<QLineEdit>(("regNumber" + n).c_str())->setText(number);
        W<QComboBox>(("regWidth" + n).c_str())->setCurrentIndex(width);
        if (value) W<QLineEdit>(("regValue" + n).c_str())->setText(value);
    };
    set(1, "2", 0, "0A");
    Click("Button5");
    Step("g1 reg 2 8bit write 0A");
    Click("Button4");
    std::printf("   readBack1=%s value1=%s\n", Text("regReadBack1").c_str(),
                Text("regValue1").c_str());
    Step("g1 reg 2 8bit read");
    set(2, "3", 1, "12345678");
    Click("Button7");
    Click("Button6");
    std::printf("   readBack2=%s value2=%s\n", Text("regReadBack2").c_str(),
                Text("regValue2").c_str());
    Step("g2 reg 3 16bit write 12345678, read");
    set(3, "4", 3, "123456789abcdef0");
    Click("Button9");
    Click("Button8");
    std::printf("   readBack3=%s value3=%s\n", Text("regReadBack3").c_str(),
                Text("regValue3").c_str());
    Step("g3 reg 4 64bit write 123456789abcdef0, read");
    set(2, "5", 2, "a");
    Click("Button7");
    std::printf("   value2=%s\n", Text("regValue2").c_str());
    Step("g2 reg 5 32bit write a");
    set(1, "16384", 0, "1");
    Click("Button4");
    Step("g1 16384 read");
    Click("Button5");
    Step("g1 16384 write");
    set(1, "16383", 0, "1G");
    Click("Button5");
    Step("g1 16383 write 1G");
    set(1, "$10", 0, "1ff");
    Click("Button5");
    std::printf("   value1=%s\n", Text("regValue1").c_str());
    Step("g1 $10 8bit write 1ff");

    // Emulation through the Options menu switch, read at each press.
    g_window->MenuAction("N17")->trigger();
    set(1, "1023", 1, "beef");
    Click("Button5");
    Click("Button4");
    std::printf("   readBack1=%s value1=%s\n", Text("regReadBack1").c_str(),
                Text("regValue1").c_str());
    Step("emulated g1 1023 16bit write beef, read");
    set(1, "1023", 3, "1122334455667788");
    Click("Button5");
    set(1, "1023", 2, nullptr);
    Click("Button4");
    std::printf("   readBack1=%s\n", Text("regReadBack1").c_str());
    Step("emulated g1 1023 64bit write, 32bit read");
    set(1, "1024", 0, "00");
    Click("Button4");
    Step("emulated g1 1024 read");
    Click("Button5");
    Step("emulated g1 1024 write");
    g_window->MenuAction("N17")->trigger();
    Step("emulate off");
}

// The colour a grid cell is painted in, from a grab of the grid.
std::string CellColour(const char* gridName, int row, int column) {
    auto* grid = W<QTableWidget>(gridName);
    const QRect r = grid->visualItemRect(grid->item(row, column));
    const QImage image = grid->viewport()->grab().toImage();
    return image.pixelColor(r.left() + 2, r.top() + 2).name().toStdString() + "(" +
           grid->item(row, column)->background().color().name().toStdString() + ")";
}

void RegExPage() {
    auto* page = g_window->findChild<app::RegExPage*>();
    std::printf("   cell colours: read %s / %s, write %s / %s\n",
                CellColour("readGrid", 0, 0).c_str(), CellColour("readGrid", 0, 1).c_str(),
                CellColour("writeGrid", 0, 0).c_str(), CellColour("writeGrid", 0, 1).c_str());
    g_prompter->setNextInput("8");
    page->Label21Click();
    Step("length input 8");
    g_prompter->setNextInput("0");
    page->Label21Click();
    Step("length input 0");
    g_prompter->setNextInput("x1");
    page->Label21Click();
    Step("length input x1");
    g_prompter->setNextInput("1020");
    page->Label22Click();
    Step("address input 1020");
    g_prompter->setNextInput("1024");
    page->Label22Click();
    Step("address input 1024");
    g_prompter->setNextInput("abc");
    page->Label22Click();
    Step("address input abc");
    std::printf("   length=%d address=%d\n", page->length(), page->address());

    auto* grid = W<QTableWidget>("writeGrid");
    const char* cells[8] = {"1", "a5", "1ff", "100", "7F", "80", "fe", "0"};
    for (int c = 0; c < 8; ++c) grid->item(0, c)->setText(cells[c]);
    Click("Button50");
    std::printf("   row0:");
    for (int c = 0; c < 8; ++c) std::printf(" %s", grid->item(0, c)->text().toStdString().c_str());
    std::printf("\n");
    Step("write 8 at 1020");
    Click("Button49");
    auto* rgrid = W<QTableWidget>("readGrid");
    std::printf("   read row0:");
    for (int c = 0; c < 8; ++c) std::printf(" %s", rgrid->item(0, c)->text().toStdString().c_str());
    std::printf("\n");
    Step("read 8 at 1020");
    grid->item(7, 7)->setText("");
    Click("Button50");
    Step("write with empty last cell");
    grid->item(7, 7)->setText("00");
    g_prompter->setNextInput("64");
    page->Label21Click();
    g_prompter->setNextInput("1023");
    page->Label22Click();
    Click("Button49");
    Step("read 64 at 1023");
    g_prompter->setNextInput("3");
    page->Label21Click();
    g_prompter->setNextInput("0");
    page->Label22Click();
    Click("Button49");
    Step("read 3 at 0");
}

void GpifPage() {
    W<QLineEdit>("readWait")->setText("300");
    Click("Button47");
    Step("read wait 300");
    W<QLineEdit>("writeWait")->setText("5");
    Click("Button48");
    Step("write wait 5");
    W<QLineEdit>("writeWait")->setText("abc");
    Click("Button48");
    Step("write wait abc");
}

void Reg512Page() {
    W<QLineEdit>("reg512Address")->setText("6");
    W<QLineEdit>("reg512Repeat")->setText("2");
    Click("Button53");
    Step("reg512 6 x2");
    W<QLineEdit>("reg512Address")->setText("77");
    W<QLineEdit>("reg512Repeat")->setText("x");
    Click("Button53");
    Step("reg512 bad repeat");
    W<QLineEdit>("reg512Repeat")->setText("1");
    Click("Button53");
    Step("reg512 77 x1");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    test::PanelHarness harness;
    if (!harness.Start(argc, argv, "register_pages_drive")) return 2;
    const QString& out = harness.out;
    app::MainWindow& w = *harness.window;
    g_prompter = &harness.prompter;
    g_window = &w;
    Step("start-up");
    for (int n : {1, 14, 15, 16})
        std::printf("page %d shown: %d\n", n, static_cast<int>(w.pageShown(n)));

    Shot(out, 1, "register-before");
    Shot(out, 14, "gpif-before");
    Shot(out, 15, "regex-before");
    Shot(out, 16, "reg512-before");

    w.RequestPage(1);
    RegisterPage();
    Shot(out, 1, "register-after");
    w.RequestPage(15);
    RegExPage();
    Shot(out, 15, "regex-after");
    {
        // The length value under the mouse pointer.
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QApplication::sendEvent(W<QWidget>("Label21"), &enter);
        Shot(out, 15, "regex-hover");
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(W<QWidget>("Label21"), &leave);
    }
    w.RequestPage(14);
    GpifPage();
    Shot(out, 14, "gpif-after");
    w.RequestPage(16);
    Reg512Page();
    Shot(out, 16, "reg512-after");
    return 0;
}
