// quillon: the desktop panel.
//   quillon [--board usb|usb:ID|sim] [--sim-profile FILE] [--trace FILE [--trace-sync]]
//           [--record FILE] [--lang ja|en]
//   quillon --view FILE [--compare FILE2]
//   quillon --help | --version

#include <QApplication>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "app/accessibility.h"
#include "app/board_chooser.h"
#include "app/instance_lock.h"
#include "app/main_window.h"
#include "app/placement.h"
#include "app/qt_language.h"
#include "app/qt_prompter.h"
#include "app/secondary_windows.h"
#include "app/session_recording.h"
#include "app/startup_hooks.h"
#include "app/ui_fonts.h"
#include "app/viewer/data_viewer.h"
#include "boards/backends.h"
#include "features/flash/bridge_files.h"
#include "log/log_file.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "platform/ui_text.h"
#include "script/tcl_host.h"

namespace {

std::string Usage() {
    return std::string("usage: quillon ") + quillon::boards::kBoardOptionsUsage +
           "\n               [--record FILE] [--lang ja|en]\n"
           "       quillon --view FILE [--compare FILE2] [--lang ja|en]\n";
}

std::string Help() {
    return "The Quillon Panel: the Japanese-language control panel for USB FPGA boards.\n"
    "\n"
    "Options:\n" +
    quillon::boards::BoardOptionsHelp(
        "the board chosen last in the panel's File menu, else the first USB board found") +
    "  --record FILE        record what is done on the pages into FILE, a Tcl script\n"
    "                       of KVX_COMMAND lines that quillon-run replays\n"
    "  --view FILE          show FILE in the data viewer (hex, words, plot) and nothing\n"
    "                       else: no board is opened, another panel may be running\n"
    "  --compare FILE2      with --view: compare FILE with FILE2\n"
    "  --lang ja|en         the language of this run's texts (default: the one chosen\n"
    "                       in the Options menu, else Japanese, whatever LANG says)\n"
    "  --help, -h           show this text\n"
    "  --version            show the version\n"
    "Each option also takes the form --option=VALUE. Qt's own options (-platform,\n"
    "-display, -style, ...) are accepted too.\n"
    "\n"
    "Exit status: 0 ended normally; 1 another panel already runs for this user;\n"
    "2 bad option or board; 4 the wire trace could not be written whole.\n"
    "\n"
           "See quillon(1).\n";
}

// --help and --version are answered before Qt starts: they need no display.
// Words that are the value of an option are not options.
const char* InfoRequest(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h" || a == "--version") return argv[i];
        if (a == "--board" || a == "--sim-profile" || a == "--trace" || a == "--record" ||
            a == "--view" || a == "--compare" || a == "--lang")
            ++i;
    }
    return nullptr;
}

int Info(const std::string& request) {
    if (request == "--version") {
        std::printf("quillon %s\n", QUILLON_VERSION);
        return 0;
    }
    std::fputs(Usage().c_str(), stdout);
    std::fputs("\n", stdout);
    std::fputs(Help().c_str(), stdout);
    std::printf("Manual: %s/index.html\n", quillon::platform::ProgramFilesFolder("manual").c_str());
    std::string folders;
    for (const std::string& folder : quillon::features::FlashFolders())
        folders += (folders.empty() ? "" : ", ") + folder;
    std::printf("Bridge designs of the flash pages, first found wins: %s\n", folders.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quillon;
    if (const char* request = InfoRequest(argc, argv)) return Info(request);
    std::string langError;
    const std::optional<UiLanguage> langOption = app::TakeLanguageOption(argc, argv, langError);
    if (!langError.empty()) {
        std::fprintf(stderr, "quillon: %s\n%s", langError.c_str(), Usage().c_str());
        return 2;
    }
    QApplication app(argc, argv);
    // The option holds for this run only; the stored choice is left as it is.
    std::string langNote;
    const UiLanguage language = langOption ? *langOption : StoredUiLanguage(langNote);
    std::string langProblem;
    if (!app::InstallUiLanguage(app, language, langProblem))
        std::fprintf(stderr, "quillon: %s\n", langProblem.c_str());
    app::InstallAccessibility(app);
    // Every dialog opens whole on the screen and off the main window's menu bar.
    app::InstallWindowPlacement(app);
    // The desktop shell finds the window's entry (name, icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLON_APP_ID));
    app::QtPrompter prompter;
    SetPrompter(&prompter);
    // The viewer alone needs no board and takes no lock.
    if (const auto view = app::TakeViewOptions(argc, argv)) {
        if (!view->error.empty()) {
            std::fprintf(stderr, "quillon: %s\n%s", view->error.c_str(), Usage().c_str());
            return 2;
        }
        QApplication::setApplicationName(QString::fromUtf8(app::kApplicationTitle));
        app::InstallFontFallbacks();
        return app::RunViewerAlone(view->path, view->compare);
    }

    app::InstanceLock lock;
    if (!lock.TryLock()) {
        Prompts().Message(Lang::MarkedStd(app::kSecondInstanceText), MsgIcon::Warning,
                          MsgButtons::Ok);
        return 1;
    }
    QApplication::setApplicationName(QString::fromUtf8(app::kApplicationTitle));
    app::InstallFontFallbacks();

    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    std::optional<boards::BoardOptions> options = boards::TakeBoardOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "quillon: %s\n%s", error.c_str(), Usage().c_str());
        return 2;
    }
    std::optional<std::string> record = app::TakeRecordOption(args, error);
    if (!error.empty()) {
        std::fprintf(stderr, "quillon: %s\n%s", error.c_str(), Usage().c_str());
        return 2;
    }
    if (!args.empty()) {
        std::fprintf(stderr, "quillon: unknown argument %s\n%s", args.front().c_str(), Usage().c_str());
        return 2;
    }
    // The board chosen in the panel last time, unless the command line names one.
    // A stored choice that cannot be used never keeps the panel from starting.
    std::string stored;
    std::string boardNote;
    const boards::StoredChoice storedChoice = boards::ApplyStoredChoice(*options, stored);
    if (storedChoice == boards::StoredChoice::Used) {
        boardNote = app::StoredChoiceUsedLine(*options);
    } else if (storedChoice == boards::StoredChoice::Unusable) {
        boardNote = app::StoredChoiceUnusableLine(stored);
    }
    bool linked = boards::SetUpBoardLink(*options, error);
    if (!linked && storedChoice == boards::StoredChoice::Used) {
        boardNote = app::StoredChoiceFailedLine(*options, error);
        options->board = "usb";
        options->boardId.clear();
        options->simProfile.clear();
        linked = boards::SetUpBoardLink(*options, error);
    }
    if (!linked) {
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
        window.SetBoardChoice(*options, boardNote);
        prompter.setParentWindow(&window);
        if (record) app::RecordFromStart(*record);
        window.FormCreate();
        if (!langNote.empty()) LogFile::Write(langNote);
        app::BusyWindow::Create();
        app::VersionWindow::Create(&window);
        for (const auto& create : app::Hooks().createWindows) create(&window);
        window.show();
        app::StartPendingRecording();  // the log could not be opened: start it now
        const int rc = app.exec();
        app::StopRecording();
        SetPrompter(nullptr);
        return boards::FinishTraceStatus(rc, "quillon");
    } catch (const std::exception& e) {
        Prompts().Message(e.what(), MsgIcon::Error, MsgButtons::Ok);
        return 1;
    }
}
