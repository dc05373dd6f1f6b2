#pragma once
// How a feature operation talks to whoever runs it: the panel, the headless
// runner or a test. Operations take plain values and this interface, never widgets.

#include <cstdint>
#include <string>
#include <string_view>

#include "log/prompter.h"

namespace quillon::features {

class Reporter {
public:
    virtual ~Reporter() = default;
    // A line of the log (LogFile::Write by default).
    virtual void Log(std::string_view text);
    // A modal box through the dialog seam.
    virtual MsgAnswer Message(const std::string& text, MsgIcon icon,
                              MsgButtons buttons = MsgButtons::Ok);
    // The main window's status bar.
    virtual void Status(const std::string& text) { (void)text; }
    // Progress of a long operation; total 0 = unknown.
    virtual void Progress(std::uint64_t done, std::uint64_t total) { (void)done, (void)total; }
    // Shows or hides the busy window ("Processing for Configure ...").
    virtual void Busy(const std::string& text) { (void)text; }
    virtual void BusyHide() {}
    // Lets pending window events run (repaint, cancel buttons, device notices).
    virtual void Pump() {}
};

// Logs and asks through the process-wide log writer and prompter; no window.
Reporter& DefaultReporter();

}  // namespace quillon::features
