#pragma once
// One board of the Python module: its backend, its device and its trace, and
// the way each call reaches it.
//
// Every call runs under one process-wide lock: the feature operations and the
// request functions reach the board through the one BoardLink (the session's
// device is lent to it for the call), and the log writer and the dialog seam
// are process-wide too. Calls of two threads therefore run one after the
// other; the caller releases the interpreter lock first, so other Python
// threads run meanwhile.
//
// A waiting caller looks up every 50 ms: Python runs its signal handlers only
// on the main thread, and only when someone asks, so a call that blocked
// without looking would hold Ctrl+C until it ended. While a call waits for its
// turn it looks; a long call also runs its body on a thread of its own and
// looks while that body runs. When the caller wants to stop, a call still
// waiting for its turn ends at once (nothing was sent) and a running one is
// cancelled: its bulk transfer ends and the end command goes out, or a
// configuration load finishes first; the call returns once the body is done.
//
// What a call says is captured: the log lines it writes, the boxes it would
// show, the hints of the device link and the first transfer that failed. A
// failed call turns that into the exception the module raises.
//
// A transfer that finds the board gone (unplugged, reset) ends the call with
// a failure and drops the device; the next call opens the board again if it
// is back, and otherwise fails at once.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/board_link.h"
#include "link/device.h"
#include "link/trace.h"

namespace quillon::sim {
class SimBackend;
}

namespace quillon::python {

// What one call said, and how its first failed transfer ended.
struct CallReport {
    std::vector<std::string> log;          // log lines, without their time stamp
    std::vector<std::string> messages;     // texts of the boxes the operation showed
    std::vector<std::string> hints;        // hints of the device link
    std::vector<std::string> diagnostics;  // the device layer's lines for a terminal
    long holder = 0;  // the process that holds the board, when that kept it from opening
    link::UsbError error = link::UsbError::None;
    int code = 0;              // the failed transfer's code, numbered as libusb numbers errors
    bool removed = false;      // the board left during the call
    bool interrupted = false;  // the caller's `interrupted` stopped the call
};

// Why a session could not be made.
struct OpenError {
    std::string message;
    bool usage = false;   // a bad name or profile (ValueError), not a missing board
    CallReport report{};  // what the device link said while the board was being opened
};

// What the device layer said outside any call (the USB event thread, a list
// of the boards): its hints and diagnostics, oldest first. Nothing of the
// module goes to the process's standard output or error; these lines wait
// here for the next call to hand them to Python's logging.
struct StrayLine {
    bool hint = false;
    std::string text;
};
std::vector<StrayLine> TakeStrayLines();
// Installs the module's sinks for the log, the dialogs, the hints and the
// diagnostics (once; every entry point calls it).
void InstallReporting();

class Session {
  public:
    // "sim", "usb" or "usb:ID". `profile` is the simulated board's profile as
    // text ("key = value" lines) or empty; `trace` the wire trace's file or
    // empty. nullptr with `error` when the board cannot be opened.
    static std::unique_ptr<Session> Open(const std::string& board, const std::string& profile,
                                         const std::string& trace, OpenError& error);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    using Body = std::function<bool(link::BoardHandle)>;
    // Asked by the calling thread, every 50 ms while it waits: true stops the
    // call. It must not throw.
    using Interrupted = std::function<bool()>;

    // Runs `body` with the board lent to the link. False when the board could
    // not be reached or `body` failed; `report` says what happened. With
    // `aside` the body runs on a thread of its own, while the caller waits
    // and asks `interrupted`; without, it runs here and `interrupted` is only
    // asked while the call waits for its turn.
    bool Call(const Body& body, CallReport& report, const Interrupted& interrupted = {},
              bool aside = false);

    // Closes the board and finishes the trace: false, with `error`, when the
    // trace could not be written whole. Later calls fail.
    bool Close(std::string& error);
    bool closed() const { return closed_; }
    // Writes out what the trace has gathered.
    void FlushTrace();

    const std::string& name() const { return name_; }
    // The simulated board's backend, or nullptr for a real board.
    sim::SimBackend* sim() const { return sim_; }

  private:
    Session() = default;
    bool EnsureOpen();

    // The call's message when no board opened: why, as the backend tells it.
    std::string NoBoardMessage(const std::string& what, CallReport& report) const;

    std::string name_;
    std::unique_ptr<link::Backend> backend_;
    sim::SimBackend* sim_ = nullptr;
    std::shared_ptr<link::TraceLog> trace_;
    std::unique_ptr<link::Device> device_;
    std::atomic<bool> closed_{false};
};

}  // namespace quillon::python
