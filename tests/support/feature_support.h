#pragma once
// What the feature tests share: the simulated board with every transfer
// recorded on its way in, a reporter and a prompter that keep what the user
// would have seen, in order, and a small frame for a page under test.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QWidget>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/page.h"
#include "features/reporter.h"
#include "link/board_link.h"
#include "link/usb_cause.h"
#include "link/vendor_requests.h"
#include "log/log_file.h"
#include "platform/prompter.h"
#include "sim/sim_backend.h"
#include "support/fresh_home.h"

namespace quillon::test {

// One transfer as the board saw it.
struct Wire {
    bool bulk = false;
    link::SetupPacket setup;         // control only
    std::vector<std::uint8_t> data;  // control data stage, as sent (OUT) or as received (IN)
    std::uint64_t bulkLength = 0;    // bulk OUT only
    bool ok = false;

    // "B2:C1", "B1:C0", "BULK:65539", "B0:IN2", ... (short forms for order checks)
    std::string Short() const {
        if (bulk) return "BULK:" + std::to_string(bulkLength);
        char buf[32];
        if (setup.In()) {
            std::snprintf(buf, sizeof buf, "%02X:IN%u", setup.bRequest, setup.wValue & 0x3F);
        } else {
            std::snprintf(buf, sizeof buf, "%02X:%02X", setup.bRequest, data.empty() ? 0 : data[0]);
        }
        return buf;
    }
};

// Passes every transfer on; keeps the control transfers and the bulk OUT lengths.
class WireRecorder : public link::Device {
public:
    WireRecorder(std::unique_ptr<link::Device> inner, std::shared_ptr<std::vector<Wire>> wire)
        : inner_(std::move(inner)), wire_(std::move(wire)) {}
    link::TransferResult Control(const link::SetupPacket& setup,
                                 std::span<std::uint8_t> data) override {
        link::TransferResult r = inner_->Control(setup, data);
        Wire w;
        w.setup = setup;
        w.data.assign(data.begin(), data.end());
        w.ok = r.ok();
        wire_->push_back(std::move(w));
        return r;
    }
    link::TransferResult BulkOut(std::uint8_t ep, std::span<const std::uint8_t> data) override {
        link::TransferResult r = inner_->BulkOut(ep, data);
        Wire w;
        w.bulk = true;
        w.bulkLength = data.size();
        w.ok = r.ok();
        wire_->push_back(std::move(w));
        return r;
    }
    link::TransferResult BulkIn(std::uint8_t ep, std::span<std::uint8_t> data) override {
        return inner_->BulkIn(ep, data);
    }
    // A streamed transfer is one transfer of its whole length.
    link::TransferResult BulkOutStream(std::uint8_t ep, std::uint32_t length,
                                       const link::BulkSource& source) override {
        link::TransferResult r = inner_->BulkOutStream(ep, length, source);
        Wire w;
        w.bulk = true;
        w.bulkLength = length;
        w.ok = r.ok();
        wire_->push_back(std::move(w));
        return r;
    }
    link::TransferResult BulkInStream(std::uint8_t ep, std::uint32_t length,
                                      const link::BulkSink& sink) override {
        return inner_->BulkInStream(ep, length, sink);
    }

private:
    std::unique_ptr<link::Device> inner_;
    std::shared_ptr<std::vector<Wire>> wire_;
};

// One thing the user was shown.
struct Shown {
    enum Kind { Log, Box, Status, Busy, BusyHide } kind;
    std::string text;
    MsgIcon icon = MsgIcon::Information;
    bool operator==(const Shown&) const = default;
};
inline Shown LogLine(std::string t) { return {Shown::Log, std::move(t)}; }
inline Shown Warning(std::string t) { return {Shown::Box, std::move(t), MsgIcon::Warning}; }
inline Shown StatusText(std::string t) { return {Shown::Status, std::move(t)}; }
// A failure's box with the cause on its second line.
inline Shown Warning(const std::string& t, const std::string& cause) {
    return Warning(t + "\n" + cause);
}
// The cause a request leaves when the simulated board fails it (FailNextRequest).
inline constexpr const char* kIoCause = "USBの入出力ｴﾗｰ [LIBUSB_ERROR_IO]";
// ... stalls it, and when the board leaves the bus.
inline const std::string kStallCause = link::UsbCauseText(link::UsbError::Stall, -9);
inline const std::string kRemovedCause = link::UsbCauseText(link::UsbError::NoDevice, -4);

inline std::ostream& operator<<(std::ostream& os, const Shown& s) {
    static const char* const kinds[] = {"log", "box", "status", "busy", "busyhide"};
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
    void Busy(const std::string& text) override { shown.push_back({Shown::Busy, text}); }
    void BusyHide() override { shown.push_back({Shown::BusyHide, {}}); }
    void Pump() override {
        ++pumps;
        if (onPump) onPump();
    }
    std::vector<std::string> Logs() const {
        std::vector<std::string> l;
        for (const Shown& s : shown)
            if (s.kind == Shown::Log) l.push_back(s.text);
        return l;
    }
    std::vector<Shown> Boxes() const {
        std::vector<Shown> b;
        for (const Shown& s : shown)
            if (s.kind == Shown::Box) b.push_back(s);
        return b;
    }
    void Clear() { shown.clear(); }

    std::vector<Shown> shown;
    int pumps = 0;
    std::function<void()> onPump;
};

// A RecordingReporter whose log lines take the real way, through the log
// writer, so that the lines the link layer writes on its own (bulk error
// codes) are kept in order among them. Attach it after the log writer was
// reset (SimBoardFixture resets it).
class LogRecordingReporter : public RecordingReporter {
public:
    LogRecordingReporter() {
        LogFile::AttachEcho([this](const std::string& line) {
            const auto at = line.find("】 ");
            shown.push_back(LogLine(at == std::string::npos ? line : line.substr(at + 4)));
        });
    }
    ~LogRecordingReporter() override { LogFile::AttachEcho(nullptr); }
    void Log(std::string_view text) override { LogFile::Write(text); }
};

// A fresh home and a simulated board of `profile` on the one BoardLink (opened
// unless asked not to), with the wire it sees.
class SimBoardFixture {
public:
    explicit SimBoardFixture(sim::Profile profile = {}, bool open = true) {
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
        if (open) bl.Open();
    }
    ~SimBoardFixture() {
        link::BoardLink::Instance().ResetForTest();
        LogFile::ResetForTest();
    }

    sim::SimBoard& board() { return backend_->board(); }
    sim::SimBackend& backend() { return *backend_; }
    std::vector<Wire>& wire() { return *wire_; }
    const FreshHome& home() const { return home_; }

    std::vector<std::string> Order() const {
        std::vector<std::string> o;
        for (const Wire& w : *wire_) o.push_back(w.Short());
        return o;
    }
    void SetConfigStatus(std::optional<std::uint8_t> status) {
        sim::Faults f = board().GetFaults();
        f.configStatus = status;
        board().SetFaults(f);
    }
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
    // A file of `bytes` in the fresh home.
    std::string File(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = home_.root() + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

private:
    FreshHome home_;
    sim::SimBackend* backend_ = nullptr;
    std::shared_ptr<std::vector<Wire>> wire_ = std::make_shared<std::vector<Wire>>();
};

// Answers input boxes and file dialogs from queues (nullopt = cancelled),
// message boxes with OK, and keeps every question.
class QueuePrompter : public StderrPrompter {
public:
    QueuePrompter() { SetPrompter(this); }
    ~QueuePrompter() override { SetPrompter(nullptr); }
    MsgAnswer Message(const std::string& text, MsgIcon icon, MsgButtons) override {
        messages.push_back({Shown::Box, text, icon});
        return MsgAnswer::Ok;
    }
    std::optional<std::string> Input(const std::string& caption, const std::string& prompt,
                                     const std::string& initial) override {
        asked.push_back({caption, prompt, initial});
        return Next(answers);
    }
    std::optional<std::string> FileName(const FileDialogRequest& request) override {
        files.push_back(request);
        return Next(fileAnswers);
    }

    struct Question {
        std::string caption, prompt, initial;
    };
    std::deque<std::optional<std::string>> answers;
    std::vector<Question> asked;
    std::deque<std::optional<std::string>> fileAnswers;
    std::vector<FileDialogRequest> files;
    std::vector<Shown> messages;

private:
    static std::optional<std::string> Next(std::deque<std::optional<std::string>>& q) {
        if (q.empty()) return std::nullopt;
        std::optional<std::string> a = q.front();
        q.pop_front();
        return a;
    }
};

// The frame around one page under test: records board controls and offers the
// menu items a page asks for by name.
class FakeFrame : public app::PageContext {
public:
    FakeFrame() : menuOwner_(new QWidget) {}
    void SetStatus(const QString& text) override { reporter_.Status(text.toStdString()); }
    void RegisterBoardControl(QWidget* control, std::function<bool(bool)> rule) override {
        controls.push_back({control, std::move(rule)});
    }
    void RegisterBoardAction(QAction* action) override { actions.push_back(action); }
    void RefreshBoardControls() override { Enable(BoardOpen()); }
    void Enable(bool open) {
        for (auto& [w, rule] : controls) w->setEnabled(rule ? rule(open) : open);
    }
    bool BoardOpen() const override { return link::BoardLink::Instance().IsOpen(); }
    features::Reporter& reporter() override { return reporter_; }
    QAction* MenuAction(const char* objectName) override {
        QAction*& a = menu_[objectName];
        if (!a) {
            const std::string name = objectName;
            const char* caption = name == "N8"    ? "ｵｰﾄｺﾝﾌｨｸﾞ"
                                  : name == "N17" ? "拡張ﾚｼﾞｽﾀｱｸｾｽをｴﾐｭﾚｰﾄする"
                                                  : objectName;
            a = new QAction(QString::fromUtf8(caption), menuOwner_.get());
            a->setObjectName(objectName);
            a->setCheckable(name == "N8");
        }
        return a;
    }
    QTimer* Timer(int) override { return nullptr; }
    QWidget* PageWidget(int) override { return nullptr; }
    // In place: the recording reporter is the test thread's.
    bool RunLong(const app::LongWorkOptions&, const std::function<void()>& work) override {
        work();
        return true;
    }

    RecordingReporter& rec() { return reporter_; }
    QAction* n8() { return MenuAction("N8"); }
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
    std::map<std::string, QAction*> menu_;
};

// One QApplication for the whole test program (offscreen by the test environment).
inline void EnsureApp() {
    static int argc = 1;
    static char name[] = "feature_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
}

// The application exists before the first widget: list it first among a
// fixture's bases.
struct AppFirst {
    AppFirst() { EnsureApp(); }
};

// A page's control by objectName; a missing one fails the test.
template <typename T>
T* Find(QWidget* page, const char* name) {
    T* w = page->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

}  // namespace quillon::test
