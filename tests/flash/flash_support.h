#pragma once
// What the flash tests share: a clock that runs only when asked, a reporter
// that answers Yes, the pages' views as records, and the bridge design files.

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "features/flash/bridge_files.h"
#include "features/flash/flash_time.h"
#include "features/flash/nor_bridge.h"
#include "features/flash/ser_bridge.h"
#include "support/feature_support.h"

namespace quillon::test {

// Time moves by `step` ms at every reading and by the length of every sleep.
class FakeFlashTime : public features::FlashTime {
  public:
    FakeFlashTime() { features::SetFlashTimeForTest(this); }
    ~FakeFlashTime() override { features::SetFlashTimeForTest(nullptr); }
    std::int64_t NowMs() override { return now += step; }
    void SleepMs(int ms) override { now += ms; }
    std::int64_t now = 5'000'000;
    std::int64_t step = 0;
};

// Answers every Yes/No question with `answer` and keeps what was shown.
class YesReporter : public RecordingReporter {
  public:
    MsgAnswer Message(const std::string& text, MsgIcon icon, MsgButtons buttons) override {
        shown.push_back({Shown::Box, text, icon});
        return buttons == MsgButtons::YesNo ? answer : MsgAnswer::Ok;
    }
    MsgAnswer answer = MsgAnswer::Yes;
};

// The bridge design files the sim recognises, in a Flash folder of the
// fresh home that the lookup is pointed at.
class BridgeFolder {
  public:
    explicit BridgeFolder(const std::string& root) : folder_(root + "/Flash") {
        std::filesystem::create_directories(folder_);
        for (const char* name : features::kSerBridgeDesigns) Write(name, "serbridge");
        for (const char* name : features::kNorBridgeDesigns) Write(name, "norbridge2");
        features::SetFlashFoldersForTest({folder_});
    }
    ~BridgeFolder() { features::SetFlashFoldersForTest({}); }
    void Remove(const std::string& name) { std::filesystem::remove(folder_ + "/" + name); }
    const std::string& folder() const { return folder_; }

  private:
    void Write(const std::string& name, const char* design) {
        std::ofstream(folder_ + "/" + name) << "QUILLON-SIM-DESIGN " << design << " test\n";
    }
    std::string folder_;
};

struct SerView : features::SerBridgeView {
    void SetProgress(int p) override { progress.push_back(p); }
    void SetPhase(const std::string& t) override { phase = t; }
    void SetResult(features::RunResult r) override { result = r; }
    void SetElapsed(std::optional<std::int64_t> s) override { elapsed = s; }
    void SetExecuteEnabled(bool e) override { executeEnabled = e; }
    void ShowLog() override { ++logShown; }
    std::vector<int> progress;
    std::string phase;
    features::RunResult result = features::RunResult::Dash;
    std::optional<std::int64_t> elapsed;
    bool executeEnabled = true;
    int logShown = 0;
};

struct NorView : features::NorBridgeView {
    void Range(std::uint32_t m) override { maximum = m; }
    void Position(std::uint32_t p) override { position = p; }
    void Text(const std::string& t) override { texts.push_back(t); }
    void Elapsed(std::int64_t) override {}
    void SetResult(features::RunResult r) override { result = r; }
    void SetTime(std::optional<std::int64_t> s) override { timeShown = s.has_value(); }
    void SetControlsEnabled(bool e) override { controlsEnabled = e; }
    void SetRunning(bool r) override {
        running = r;
        if (r) ++runs;
    }
    void ShowLog() override {}
    void ProgressToMaximum() override { position = maximum; }
    void ReplaceLastLine(const std::string& t) override { replaced.push_back(t); }
    std::uint32_t maximum = 0, position = 0;
    std::vector<std::string> texts, replaced;
    features::RunResult result = features::RunResult::Dash;
    bool timeShown = false, controlsEnabled = true, running = false;
    int runs = 0;
};

// A board whose flash works instantly unless the test says otherwise.
inline sim::Profile InstantFlash(sim::Profile p = {}) {
    p.flash.timeScale = 0;
    return p;
}

inline std::vector<std::uint8_t> Pattern(std::size_t n, std::uint32_t seed = 7) {
    std::vector<std::uint8_t> v(n);
    for (auto& b : v) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    return v;
}

// The register writes the board saw at `reg` (any width), in order.
inline std::vector<std::uint64_t> RegWrites(const std::vector<Wire>& wire, std::uint16_t reg) {
    std::vector<std::uint64_t> v;
    for (const Wire& w : wire) {
        if (w.bulk || w.setup.In() || w.setup.bRequest != link::vr::REG) continue;
        const auto a = static_cast<std::uint16_t>(((w.setup.wValue >> 8) << 6) | (w.setup.wValue & 0x3F));
        if (a != reg) continue;
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < w.data.size(); ++i) value |= std::uint64_t{w.data[i]} << (8 * i);
        v.push_back(value);
    }
    return v;
}

inline std::vector<std::uint64_t> BulkLengths(const std::vector<Wire>& wire) {
    std::vector<std::uint64_t> v;
    for (const Wire& w : wire)
        if (w.bulk) v.push_back(w.bulkLength);
    return v;
}

}  // namespace quillon::test
