// quillon: the desktop panel.
//   quillon [--board usb|usb:ID|sim] [--sim-profile FILE] [--trace FILE [--trace-sync]]

#include <QApplication>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/instance_lock.h"
#include "app/main_window.h"
#include "app/qt_prompter.h"
#include "app/secondary_windows.h"
#include "app/startup_hooks.h"
#include "app/ui_fonts.h"
#include "boards/backends.h"
#include "log/prompter.h"
#include "script/tcl_host.h"

namespace {

constexpr const char* kUsage =
    "usage: quillon [--board usb|usb:ID|sim] [--sim-profile FILE] [--trace FILE [--trace-sync]]\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace quillon;
    QApplication app(argc, argv);
    app::QtPrompter prompter;
    SetPrompter(&prompter);

    app::InstanceLock lock;
    if (!lock.TryLock()) {
        Prompts().Message(app::kSecondInstanceText, MsgIcon::Warning, MsgButtons::Ok);
        return 1;
    }
    QApplication::setApplicationName(QString::fromUtf8(app::kApplicationTitle));
    app::InstallFontFallbacks();

    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    std::optional<boards::BoardOptions> options = boards::TakeBoardOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "quillon: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (!args.empty()) {
        std::fprintf(stderr, "quillon: unknown argument %s\n%s", args.front().c_str(), kUsage);
        return 2;
    }
    if (!boards::SetUpBoardLink(*options, error)) {
        Prompts().Message(error, MsgIcon::Error, MsgButtons::Ok);
        return 2;
    }

    // A script's "exit" ends the program too: the trace is finished on that way out.
    script::TclHost::SetExitHandler(
        [](int code) { return boards::FinishTraceStatus(code, "quillon"); });

    try {
        // Creation order: the main window (its creation is the start-up
        // sequence), then the windows that live for the whole run.
        app::MainWindow window;
        prompter.setParentWindow(&window);
        window.FormCreate();
        app::BusyWindow::Create();
        app::VersionWindow::Create(&window);
        for (const auto& create : app::Hooks().createWindows) create(&window);
        window.show();
        const int rc = app.exec();
        SetPrompter(nullptr);
        return boards::FinishTraceStatus(rc, "quillon");
    } catch (const std::exception& e) {
        Prompts().Message(e.what(), MsgIcon::Error, MsgButtons::Ok);
        return 1;
    }
}
