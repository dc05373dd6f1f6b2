#include "python/session.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "boards/backends.h"
#include "features/long_work.h"
#include "link/hints.h"
#include "link/usb/usb_backend.h"
#include "log/log_file.h"
#include "platform/prompter.h"
#include "sim/sim_backend.h"

namespace quillon::python {

namespace {

// Every call, and the opening and closing of boards, run under this lock.
std::timed_mutex& CallLock() {
    static std::timed_mutex mu;
    return mu;
}

// How long a waiting caller waits before it looks again.
constexpr std::chrono::milliseconds kLookEvery{50};

// The report of the call this thread runs now (under CallLock), or nullptr:
// what other threads say (the USB event thread) is no part of the call.
thread_local CallReport* g_report = nullptr;

class ReportScope {
  public:
    explicit ReportScope(CallReport& report) { g_report = &report; }
    ~ReportScope() { g_report = nullptr; }
    ReportScope(const ReportScope&) = delete;
    ReportScope& operator=(const ReportScope&) = delete;
};

// The log line's text without its time stamp ("【...】 text").
std::string Unstamped(const std::string& line) {
    static const std::string kEnd = "】 ";
    const std::size_t at = line.find(kEnd);
    return at == std::string::npos ? line : line.substr(at + kEnd.size());
}

// Boxes become part of the call's report; a question is answered yes (the
// caller asked for the operation), an input box or a file dialog is cancelled.
class ReportingPrompter final : public Prompter {
  public:
    MsgAnswer Message(const std::string& text, MsgIcon, MsgButtons buttons) override {
        if (g_report) g_report->messages.push_back(text);
        return buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
    }
    std::optional<std::string> Input(const std::string&, const std::string&,
                                     const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> FileName(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<FontChoice> Font(const FontChoice&) override { return std::nullopt; }
    bool OpenWithDesktop(const std::string&) override { return false; }
};

// Lines said outside any call, kept for the next one; the oldest go first
// when nobody comes to take them for long.
class StrayLines {
  public:
    void Add(bool hint, std::string text) {
        std::lock_guard<std::mutex> lock(mu_);
        if (lines_.size() == kKept) lines_.erase(lines_.begin());
        lines_.push_back({hint, std::move(text)});
    }
    std::vector<StrayLine> Take() {
        std::lock_guard<std::mutex> lock(mu_);
        return std::exchange(lines_, {});
    }

  private:
    static constexpr std::size_t kKept = 200;
    std::mutex mu_;
    std::vector<StrayLine> lines_;
};

StrayLines& Strays() {
    // Never destroyed: the USB event thread may still speak while statics go.
    static StrayLines* lines = new StrayLines;
    return *lines;
}

}  // namespace

std::vector<StrayLine> TakeStrayLines() {
    return Strays().Take();
}

// The module keeps no log file and prints nothing: each line goes to the
// call's report (and on to the exception and Python's logging), or waits
// among the stray lines.
void InstallReporting() {
    static std::once_flag once;
    std::call_once(once, [] {
        static ReportingPrompter prompter;
        SetPrompter(&prompter);
        LogFile::AttachEcho([](const std::string& line) {
            if (g_report) g_report->log.push_back(Unstamped(line));
        });
        link::SetHintEcho(false);
        link::SetHintSink([](const std::string& text) {
            if (g_report) {
                g_report->hints.push_back(text);
            } else {
                Strays().Add(true, text);
            }
        });
        link::SetDiagnosticSink([](const std::string& line) {
            if (g_report) {
                g_report->diagnostics.push_back(line);
            } else {
                Strays().Add(false, line);
            }
        });
    });
}

namespace {

// Notes the first transfer of a call that failed, and a board that left.
class WatchedDevice final : public link::Device {
  public:
    explicit WatchedDevice(std::unique_ptr<link::Device> inner) : inner_(std::move(inner)) {}

    link::TransferResult Control(const link::SetupPacket& setup,
                                 std::span<std::uint8_t> data) override {
        return Note(inner_->Control(setup, data));
    }
    link::TransferResult BulkOut(std::uint8_t ep, std::span<const std::uint8_t> data) override {
        return Note(inner_->BulkOut(ep, data));
    }
    link::TransferResult BulkIn(std::uint8_t ep, std::span<std::uint8_t> data) override {
        return Note(inner_->BulkIn(ep, data));
    }
    link::TransferResult BulkOutStream(std::uint8_t ep, std::uint32_t length,
                                       const link::BulkSource& source) override {
        return Note(inner_->BulkOutStream(ep, length, source));
    }
    link::TransferResult BulkInStream(std::uint8_t ep, std::uint32_t length,
                                      const link::BulkSink& sink) override {
        return Note(inner_->BulkInStream(ep, length, sink));
    }
    link::BusAddress Address() const override { return inner_->Address(); }

  private:
    link::TransferResult Note(const link::TransferResult& r) {
        if (!r.ok() && g_report) {
            if (g_report->error == link::UsbError::None) {
                g_report->error = r.error;
                g_report->code = r.systemCode;
            }
            if (r.error == link::UsbError::NoDevice) g_report->removed = true;
        }
        return r;
    }
    std::unique_ptr<link::Device> inner_;
};

std::string WithHints(std::string message, const std::vector<std::string>& hints) {
    for (const std::string& h : hints) message += "; " + h;
    return message;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

std::unique_ptr<Session> Session::Open(const std::string& board, const std::string& profile,
                                       const std::string& trace, OpenError& error) {
    std::lock_guard<std::timed_mutex> lock(CallLock());
    InstallReporting();
    CallReport report;
    ReportScope scope(report);

    std::unique_ptr<Session> s(new Session);
    // A session given up here closes without the lock, which this holds.
    struct Abandon {
        std::unique_ptr<Session>& s;
        ~Abandon() {
            if (!s) return;
            s->closed_ = true;
            s->device_.reset();
            std::string ignored;
            if (s->trace_) s->trace_->Close(ignored);
        }
    } abandon{s};
    s->name_ = board;
    // The same notation as --board: "sim", "usb" or "usb:ID".
    boards::BoardOptions choice;
    if (!boards::ParseBoardChoice(board, choice)) choice.board.clear();
    if (choice.board == "sim") {
        std::string why;
        std::optional<sim::Profile> p = sim::ParseProfile(profile, why);
        if (!p) {
            error = {"the simulated board's profile: " + why, true};
            return nullptr;
        }
        auto backend = std::make_unique<sim::SimBackend>(std::move(*p));
        s->sim_ = backend.get();
        s->backend_ = std::move(backend);
    } else if (choice.board == "usb") {
        if (!profile.empty()) {
            error = {"a profile belongs to the simulated board only", true};
            return nullptr;
        }
        usb::UsbBackendOptions options;
        options.board = choice.boardId;
        s->backend_ = usb::MakeUsbBackend(options);
    } else {
        error = {"unknown board \"" + board + "\" (\"sim\", \"usb\" or \"usb:ID\" with a serial"
                 " number or a bus and port path such as \"usb:1-4.2\")", true};
        return nullptr;
    }
    if (!trace.empty()) {
        std::string why;
        s->trace_ = link::TraceLog::Open(trace, why);
        if (!s->trace_) {
            error = {why, true};
            return nullptr;
        }
    }
    if (!s->EnsureOpen()) {
        error.message = s->NoBoardMessage("no board could be opened (" + board + ")", report);
        error.report = report;
        return nullptr;
    }
    return s;
}

std::string Session::NoBoardMessage(const std::string& what, CallReport& report) const {
    // The backend's reason for it, unless a hint has said it already (the
    // reason of a USB that cannot be reached is a diagnostic, not a hint).
    const link::NoBoardReason why = backend_ ? backend_->WhyNoBoard() : link::NoBoardReason{};
    if (!why.hint.empty() && !Contains(report.hints, why.hint)) report.hints.push_back(why.hint);
    if (why.kind == link::NoBoard::Held) report.holder = why.holder;
    if (why.kind == link::NoBoard::NothingFound && report.hints.empty()) {
        return what + ": no board is connected";
    }
    return WithHints(what, report.hints);
}

Session::~Session() {
    std::string ignored;
    Close(ignored);
}

bool Session::EnsureOpen() {
    if (device_) return true;
    if (!backend_) return false;
    std::unique_ptr<link::Device> dev = backend_->OpenFirst();
    if (!dev) return false;
    if (trace_) dev = link::MakeTraceDevice(std::move(dev), trace_);
    device_ = std::make_unique<WatchedDevice>(std::move(dev));
    return true;
}

namespace {

// Takes the call lock, looking up while another call holds it. False when
// `interrupted` said stop first.
bool TakeTurn(std::unique_lock<std::timed_mutex>& lock, const Session::Interrupted& interrupted) {
    if (!interrupted) {
        lock.lock();
        return true;
    }
    while (!lock.try_lock_for(kLookEvery)) {
        if (interrupted()) return false;
    }
    return true;
}

// Runs `body` on a thread of its own and waits for it, looking up meanwhile;
// when `interrupted` says stop, the long work is cancelled and the body is
// still waited for: it may not outlive the board it was lent, nor the
// caller's buffers. The body never needs the interpreter lock, so the wait
// cannot hold up what it waits for.
bool RunAside(const Session::Body& body, link::BoardHandle h, CallReport& report,
              const Session::Interrupted& interrupted) {
    std::mutex mu;
    std::condition_variable ended;
    bool done = false, ok = false;
    std::exception_ptr failure;
    std::thread worker([&] {
        ReportScope scope(report);
        bool result = false;
        std::exception_ptr thrown;
        try {
            result = body(h);
        } catch (...) {
            thrown = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(mu);
        ok = result;
        failure = thrown;
        done = true;
        ended.notify_one();
    });
    std::unique_lock<std::mutex> lock(mu);
    while (!ended.wait_for(lock, kLookEvery, [&] { return done; })) {
        if (report.interrupted || !interrupted) continue;
        lock.unlock();
        report.interrupted = interrupted();
        // Ends the transfer in flight; a configuration load takes it when it has ended.
        if (report.interrupted) features::RequestCancel();
        lock.lock();
    }
    lock.unlock();
    worker.join();
    if (failure) std::rethrow_exception(failure);
    return ok;
}

}  // namespace

bool Session::Call(const Body& body, CallReport& report, const Interrupted& interrupted,
                   bool aside) {
    std::unique_lock<std::timed_mutex> lock(CallLock(), std::defer_lock);
    if (!TakeTurn(lock, interrupted)) {
        report.interrupted = true;
        return false;
    }
    ReportScope scope(report);
    if (closed_) {
        report.messages.push_back("the board is closed");
        return false;
    }
    if (!EnsureOpen()) {
        report.messages.push_back(
            NoBoardMessage("the board is not connected (it left and has not come back)", report));
        report.removed = true;
        return false;
    }
    // A Ctrl+C that stopped an earlier call must not stop this one.
    features::ClearCancel();
    link::BoardLink& link = link::BoardLink::Instance();
    const link::BoardHandle h = link.Lend(std::move(device_));
    bool ok = false;
    try {
        ok = aside ? RunAside(body, h, report, interrupted) : body(h);
    } catch (...) {
        device_ = link.Return();
        throw;
    }
    device_ = link.Return();
    // The handle of a board that left is dead; a new one is opened when it
    // is back.
    if (report.removed) device_.reset();
    return ok;
}

bool Session::Close(std::string& error) {
    if (closed_) return true;  // also a session given up while opening, under the lock
    std::lock_guard<std::timed_mutex> lock(CallLock());
    if (closed_) return true;
    closed_ = true;
    device_.reset();
    backend_.reset();
    sim_ = nullptr;
    if (!trace_) return true;
    const bool whole = trace_->Close(error);
    trace_.reset();
    return whole;
}

void Session::FlushTrace() {
    std::lock_guard<std::timed_mutex> lock(CallLock());
    if (trace_) trace_->Flush();
}

}  // namespace quillon::python
