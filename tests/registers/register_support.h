#pragma once
// What the register tests share: the simulated board with every control
// transfer recorded on its way in, a reporter that keeps what the user would
// have seen, in order, and a small frame for the pages.

#include <QAction>
#include <QApplication>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/page.h"
#include "features/reporter.h"
#include "link/board_link.h"
#include "log/log_file.h"
#include "log/prompter.h"
#include "sim/sim_backend.h"
#include "support/fresh_home.h"

namespace quillon::test {

struct Wire {
    link::SetupPacket setup;
    std::vector<std::uint8_t> data;  // as sent (OUT) or as received (IN)
    bool ok = false;
};

// Passes every control transfer on and keeps it.
class WireRecorder : public link::Device {
  public:
    WireRecorder(std::unique_ptr<link::Device> inner, std::shared_ptr<std::vector<Wire>> wire)
        : inner_(std::move(inner)), wire_(std::move(wire)) {}
    link::TransferResult Control(const link::SetupPacket& setup,
                                 std::span<std::uint8_t> data) override {
        link::TransferResult r = inner_->Control(setup, data);
        wire_->push_back({setup, std::vector<std::uint8_t>(data.begin(), data.end()), r.ok()});
        return r;
    }
    link::TransferResult BulkOut(std::uint8_t ep, std::span<const std::uint8_t> data) override {
        return inner_->BulkOut(ep, data);
    }
    link::TransferResult BulkIn(std::uint8_t ep, std::span<std::uint8_t> data) override {
        return inner_->BulkIn(ep, data);
    }

  private:
    std::unique_ptr<link::Device> inner_;
    std::shared_ptr<std::vector<Wire>> wire_;
};

// One thing the user was shown.
struct Shown {
    enum Kind { Log, Box, Status } kind;
    std::string text;
    MsgIcon icon = MsgIcon::Information;
    bool operator==(const Shown&) const = default;
};
inline Shown LogLine(std::string t) {
    return {Shown::Log, std::move(t)};
}
inline Shown Warning(std::string t) {
    return {Shown::Box, std::move(t), MsgIcon::Warning};
}
inline Shown StatusText(std::string t) {
    return {Shown::Status, std::move(t)};
}

inline std::ostream& operator<<(std::ostream& os, const Shown& s) {
    static const char* const kinds[] = {"log", "box", "status"};
    return os << kinds[s.kind] << "(" << s.text << ", " << static_cast<int>(s.icon) << ")";
}

class RecordingReporter : public features::Reporter {
  public:
    void Log(std::string_view text) override { shown.push_back(LogLine(std::string(text))); }
    MsgAnswer Message(const std::string& text, MsgIcon icon, MsgButtons) override {
        shown.push_back({Shown::Box, text, icon});
        return MsgAnswer::Ok;
    }
    void Status(const std::string& text) override { shown.push_back(StatusText(text)); }
    void Pump() override {
        ++pumps;
        if (onPump) onPump();
    }
    std::vector<Shown> Boxes() const {
        std::vector<Shown> b;
        for (const Shown& s : shown)
            if (s.kind == Shown::Box) b.push_back(s);
        return b;
    }
    std::vector<std::string> Logs() const {
        std::vector<std::string> l;
        for (const Shown& s : shown)
            if (s.kind == Shown::Log) l.push_back(s.text);
        return l;
    }

    std::vector<Shown> shown;
    int pumps = 0;
    std::function<void()> onPump;
};

// A fresh home, a simulated board of `profile` opened on the one BoardLink,
// and the wire it sees.
class SimBoardFixture {
  public:
    explicit SimBoardFixture(sim::Profile profile = {}) {
        LogFile::ResetForTest();
        link::BoardLink& bl = link::BoardLink::Instance();
        bl.ResetForTest();
        auto backend = std::make_unique<sim::SimBackend>(profile);
        backend_ = backend.get();
        bl.SetBackend(std::move(backend));
        auto wire = wire_;
        bl.SetDeviceWrapper(
            [wire](std::unique_ptr<link::Device> d) -> std::unique_ptr<link::Device> {
                return std::make_unique<WireRecorder>(std::move(d), wire);
            });
        bl.Open();
    }
    ~SimBoardFixture() {
        link::BoardLink::Instance().ResetForTest();
        LogFile::ResetForTest();
    }

    sim::SimBoard& board() { return backend_->board(); }
    sim::SimBackend& backend() { return *backend_; }
    std::vector<Wire>& wire() { return *wire_; }
    // The next control transfer the board sees fails with an I/O error.
    void FailNextRequest() {
        sim::Faults f = board().GetFaults();
        f.failRequest = board().RequestCount() + 1;
        board().SetFaults(f);
    }
    // The cable is pulled and the link hears of it, as the GUI thread would.
    void Unplug() {
        backend_->Unplug();
        link::BoardLink::Instance().OnDeviceChange(link::DeviceNotice::Removal);
    }

  private:
    FreshHome home_;
    sim::SimBackend* backend_ = nullptr;
    std::shared_ptr<std::vector<Wire>> wire_ = std::make_shared<std::vector<Wire>>();
};

// Answers input boxes from a queue (nullopt = cancelled) and keeps the questions.
class QueuePrompter : public StderrPrompter {
  public:
    QueuePrompter() { SetPrompter(this); }
    ~QueuePrompter() override { SetPrompter(nullptr); }
    std::optional<std::string> Input(const std::string& caption, const std::string& prompt,
                                     const std::string& initial) override {
        asked.push_back({caption, prompt, initial});
        if (answers.empty()) return std::nullopt;
        std::optional<std::string> a = answers.front();
        answers.pop_front();
        return a;
    }
    struct Question {
        std::string caption, prompt, initial;
    };
    std::deque<std::optional<std::string>> answers;
    std::vector<Question> asked;
};

// The frame around one page under test.
class FakeFrame : public app::PageContext {
  public:
    FakeFrame() : menuOwner_(new QWidget) {}
    void SetStatus(const QString& text) override { reporter_.Status(text.toStdString()); }
    void RegisterBoardControl(QWidget* control, std::function<bool(bool)> rule) override {
        controls.push_back({control, std::move(rule)});
    }
    void RegisterBoardAction(QAction* action) override { actions.push_back(action); }
    void RefreshBoardControls() override {
        for (auto& [w, rule] : controls) w->setEnabled(rule ? rule(BoardOpen()) : BoardOpen());
    }
    bool BoardOpen() const override { return link::BoardLink::Instance().IsOpen(); }
    features::Reporter& reporter() override { return reporter_; }
    QAction* MenuAction(const char* objectName) override {
        if (std::string(objectName) != "N17") return nullptr;
        if (!n17_) {
            n17_ = new QAction(QString::fromUtf8("拡張ﾚｼﾞｽﾀｱｸｾｽをｴﾐｭﾚｰﾄする"), menuOwner_.get());
            n17_->setObjectName("N17");
        }
        return n17_;
    }
    QTimer* Timer(int) override { return nullptr; }
    QWidget* PageWidget(int) override { return nullptr; }

    RecordingReporter& rec() { return reporter_; }
    bool Registered(const QWidget* w) const {
        for (const auto& c : controls)
            if (c.first == w) return true;
        return false;
    }

    std::vector<std::pair<QWidget*, std::function<bool(bool)>>> controls;
    std::vector<QAction*> actions;

  private:
    RecordingReporter reporter_;
    std::unique_ptr<QWidget> menuOwner_;
    QAction* n17_ = nullptr;
};

// One QApplication for the whole test program (offscreen by the test environment).
inline void EnsureApp() {
    static int argc = 1;
    static char name[] = "register_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
}

}  // namespace quillon::test
