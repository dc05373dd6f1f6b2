#pragma once
// How a feature operation talks to whoever runs it: the panel, the headless
// runner or a test. Operations take plain values and this interface, never widgets.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/prompter.h"

namespace quillon::features {

class Reporter {
public:
    virtual ~Reporter() = default;
    // A line of the log (LogFile::Write by default).
    virtual void Log(std::string_view text);
    // A modal box through the dialog seam.
    virtual MsgAnswer Message(const std::string& text, MsgIcon icon,
                              MsgButtons buttons = MsgButtons::Ok);
    // A failure's log line, then the cause of the failure (log/cause.h) as a
    // second line when one is known.
    void Fail(std::string_view logLine);
    // A failure's box: its text, and the cause on a line of its own when one
    // is known; the cause has then been told and is cleared.
    MsgAnswer FailBox(const std::string& text, MsgIcon icon, MsgButtons buttons = MsgButtons::Ok);
    // The main window's status bar.
    virtual void Status(const std::string& text) { (void)text; }
    // Progress of a long operation: `done` of `total` bytes, of `total` steps
    // (the rate measurement's transfers), or percent of 100; total 0 = not known.
    enum class Unit { Bytes, Steps, Percent };
    virtual void Progress(std::uint64_t done, std::uint64_t total, Unit unit = Unit::Bytes) {
        (void)done, (void)total, (void)unit;
    }
    // Shows or hides the busy window ("Processing for Configure ...").
    virtual void Busy(const std::string& text) { (void)text; }
    virtual void BusyHide() {}
    // Lets pending window events run (repaint, cancel buttons, device notices).
    virtual void Pump() {}
};

// Logs and asks through the process-wide log writer and prompter; no window.
Reporter& DefaultReporter();

// Shows the busy window with `text` for the length of a scope.
class BusyBanner {
  public:
    BusyBanner(Reporter& reporter, const std::string& text) : reporter_(reporter) {
        reporter_.Busy(text);
    }
    ~BusyBanner() { reporter_.BusyHide(); }
    BusyBanner(const BusyBanner&) = delete;
    BusyBanner& operator=(const BusyBanner&) = delete;

  private:
    Reporter& reporter_;
};

// Tells a reporter how far a transfer of `total` has got, as the data moves:
// at most every 50 ms, and always at the start and at the end.
class ProgressMeter {
  public:
    ProgressMeter(Reporter& reporter, std::uint64_t total,
                  Reporter::Unit unit = Reporter::Unit::Bytes);
    void Add(std::uint64_t n) { Set(done_ + n); }
    void Set(std::uint64_t done);
    std::uint64_t done() const { return done_; }

  private:
    Reporter& reporter_;
    std::uint64_t total_;
    Reporter::Unit unit_;
    std::uint64_t done_ = 0;
    std::int64_t lastMs_ = 0;
};

}  // namespace quillon::features
