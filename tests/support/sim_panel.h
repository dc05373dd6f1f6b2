#pragma once
// The real main window on the simulated board, the way the panel tests drive
// it: offscreen, in the fresh home of the test's SimBoardFixture, the panel's
// own prompter headless (its seams setNextAnswer/setNextFileName answer), no
// start-up hooks, and every log line kept as the user reads it.
//
// The board fixture must outlive the window: where the fixture goes first
// (a fixture held in a pointer), Close() before it.

#include <QCoreApplication>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/log_window.h"
#include "app/main_window.h"
#include "app/qt_prompter.h"
#include "app/secondary_windows.h"
#include "app/startup_hooks.h"
#include "support/feature_support.h"

namespace quillon::test {

class SimPanel : private AppFirst {
  public:
    SimPanel() {
        app::Hooks() = {};
        prompter.setHeadless(true);
        SetPrompter(&prompter);
    }
    ~SimPanel() { Close(); }
    SimPanel(const SimPanel&) = delete;
    SimPanel& operator=(const SimPanel&) = delete;

    // The main window after its start-up sequence; the log is kept from here on.
    void Start() {
        window = std::make_unique<app::MainWindow>(app::MainWindow::Options{0});
        window->FormCreate();
        LogFile::AttachEcho([this](const std::string& line) {
            const auto at = line.find("】 ");
            log.push_back(at == std::string::npos ? line : line.substr(at + 4));
        });
    }
    // The window and its secondary windows gone, the prompter and hooks put back.
    // Twice is harmless.
    void Close() {
        // Notices the board posted (an unplug) belong to this test's link.
        QCoreApplication::processEvents();
        window.reset();
        app::LogWindow::Destroy();
        app::BusyWindow::Destroy();
        SetPrompter(nullptr);
        app::Hooks() = {};
    }
    bool Logged(const std::string& line) const {
        return std::find(log.begin(), log.end(), line) != log.end();
    }

    app::QtPrompter prompter;
    std::unique_ptr<app::MainWindow> window;
    std::vector<std::string> log;
};

}  // namespace quillon::test
