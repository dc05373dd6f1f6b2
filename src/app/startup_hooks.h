#pragma once
// Start-up steps that belong to other features. The frame calls each hook at
// its place in the start-up sequence when it is set; the feature that owns the
// step fills it (from its page factory or its page's constructor).

#include <functional>
#include <vector>

class QWidget;

namespace quillon::app {

struct StartupHooks {
    // Creates the Tcl interpreter (logs its own failure line).
    std::function<void()> tclInit;
    // Start-up run of the automatic configuration; called only when a board
    // opened and AUTO_CONFIG is on.
    std::function<void()> autoConfig;
    // The automatic Tcl script; called only when a board opened and AUTO_TCL is on.
    std::function<void()> autoScript;
    // The memory page's length display (writes the status bar); called once at
    // start-up and whenever the memory page becomes the current page.
    std::function<void()> memLengthDisplay;
    // Creates the run-long windows of other features after the version window
    // (mode dialog, transfer-mode notice, split progress), owned by the main window.
    std::vector<std::function<void(QWidget* mainWindow)>> createWindows;
};

StartupHooks& Hooks();

}  // namespace quillon::app
