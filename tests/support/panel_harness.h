#pragma once
// Start-up shared by the development tools that drive the real panel:
//   TOOL OUT_DIR [board options] [--lang ja|en]
// A headless dialog seam, the panel's language (Japanese unless --lang en), the Japanese font
// fallbacks, the board from the options, and the main window after its start-up sequence.

#include <QApplication>
#include <QDir>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/qt_language.h"
#include "app/qt_prompter.h"
#include "app/startup_hooks.h"
#include "app/ui_fonts.h"
#include "boards/backends.h"

namespace quillon::test {

class PanelHarness {
  public:
    // False (after a message on standard error) for a usage or board error.
    bool Start(int argc, char** argv, const char* tool) {
        if (argc < 2) {
            std::fprintf(stderr, "usage: %s OUT_DIR [board options]\n", tool);
            return false;
        }
        out = QString::fromLocal8Bit(argv[1]);
        QDir().mkpath(out);
        // --lang en: the English panel (Japanese otherwise, whatever is stored).
        std::string error;
        const std::optional<UiLanguage> language = app::TakeLanguageOption(argc, argv, error);
        if (!error.empty()) {
            std::fprintf(stderr, "%s: %s\n", tool, error.c_str());
            return false;
        }
        if (!app::InstallUiLanguage(*qApp, language.value_or(UiLanguage::Japanese), error))
            std::fprintf(stderr, "%s: %s\n", tool, error.c_str());
        prompter.setHeadless(true);
        SetPrompter(&prompter);
        app::InstallFontFallbacks();

        std::vector<std::string> args(argv + 2, argv + argc);
        error.clear();
        auto options = boards::TakeBoardOptions(args, error);
        if (!options || !boards::SetUpBoardLink(*options, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return false;
        }
        window = std::make_unique<app::MainWindow>(app::MainWindow::Options{0});
        window->FormCreate();
        // The windows program entry creates after the main window.
        for (const auto& create : app::Hooks().createWindows) create(window.get());
        window->show();
        QApplication::processEvents();
        return true;
    }
    ~PanelHarness() { SetPrompter(nullptr); }

    QString out;
    app::QtPrompter prompter;
    std::unique_ptr<app::MainWindow> window;
};

}  // namespace quillon::test
