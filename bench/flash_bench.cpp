// The flash runs against the simulated board at unlimited speed: the
// parallel-flash write and verify of a 4 MiB image and the serial-flash run
// of a 16 MiB image. The sim's flash timing is off (flash_time_scale = 0), so
// what remains is the host's work and the sim's own; every transfer is timed
// on its way into the board to tell the two apart.
//
//   flash_bench [NOR image MiB (4)] [repeats (3)]
//
// The serial-flash run's fixed waits (1.2 s in all) are counted, not slept.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "features/flash/bridge_files.h"
#include "features/flash/flash_time.h"
#include "features/flash/nor_bridge.h"
#include "features/flash/par_flash.h"
#include "features/flash/ser_bridge.h"
#include "link/board_link.h"
#include "sim/sim_backend.h"

using namespace quillon;
using Clock = std::chrono::steady_clock;

namespace {

struct Meter {
    double boardSeconds = 0;
    std::uint64_t requests = 0;
    std::uint64_t bulkBytes = 0;
};

// Times every transfer inside the board.
class TimedDevice : public link::Device {
  public:
    TimedDevice(std::unique_ptr<link::Device> inner, Meter& meter)
        : inner_(std::move(inner)), meter_(meter) {}
    link::TransferResult Control(const link::SetupPacket& s, std::span<std::uint8_t> d) override {
        ++meter_.requests;
        return Timed([&] { return inner_->Control(s, d); });
    }
    link::TransferResult BulkOut(std::uint8_t ep, std::span<const std::uint8_t> d) override {
        meter_.bulkBytes += d.size();
        return Timed([&] { return inner_->BulkOut(ep, d); });
    }
    link::TransferResult BulkIn(std::uint8_t ep, std::span<std::uint8_t> d) override {
        meter_.bulkBytes += d.size();
        return Timed([&] { return inner_->BulkIn(ep, d); });
    }

  private:
    template <typename F>
    link::TransferResult Timed(F&& f) {
        const auto t0 = Clock::now();
        link::TransferResult r = f();
        meter_.boardSeconds += std::chrono::duration<double>(Clock::now() - t0).count();
        return r;
    }
    std::unique_ptr<link::Device> inner_;
    Meter& meter_;
};

class QuietReporter : public features::Reporter {
  public:
    void Log(std::string_view) override {}
    MsgAnswer Message(const std::string&, MsgIcon, MsgButtons b) override {
        return b == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
    }
};

class CountedWaits : public features::FlashTime {
  public:
    void SleepMs(int ms) override { sleptMs += ms; }
    std::int64_t sleptMs = 0;
};

struct NullDisplay : features::ParFlashDisplay {
    void Range(std::uint32_t) override {}
    void Position(std::uint32_t) override {}
    void Text(const std::string&) override {}
    void Elapsed(std::int64_t) override {}
};

struct NullSerView : features::SerBridgeView {
    void SetProgress(int) override {}
    void SetPhase(const std::string&) override {}
    void SetResult(features::RunResult r) override { result = r; }
    void SetElapsed(std::optional<std::int64_t>) override {}
    void SetExecuteEnabled(bool) override {}
    void ShowLog() override {}
    features::RunResult result = features::RunResult::Dash;
};

std::string WriteFile(const std::string& path, std::size_t n, std::uint64_t seed) {
    std::vector<char> bytes(n);
    std::mt19937_64 rng(seed);
    for (auto& b : bytes) b = static_cast<char>(rng());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(n));
    return path;
}

void Report(const char* what, double seconds, const Meter& m, double mib) {
    const double host = seconds - m.boardSeconds;
    std::printf("%-28s %8.1f ms  board %8.1f ms  host %8.1f ms  host/MiB %7.1f ms  "
                "requests %8llu  host/request %5.2f us\n",
                what, seconds * 1e3, m.boardSeconds * 1e3, host * 1e3, host * 1e3 / mib,
                static_cast<unsigned long long>(m.requests), m.requests ? host * 1e6 / m.requests : 0);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t norMiB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 4;
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 3;

    const std::string dir = std::filesystem::temp_directory_path().string() + "/quillon-flash-bench";
    std::filesystem::create_directories(dir + "/Flash");
    for (const char* name : features::kSerBridgeDesigns)
        std::ofstream(dir + "/Flash/" + name) << "QUILLON-SIM-DESIGN serbridge bench\n";
    for (const char* name : features::kNorBridgeDesigns)
        std::ofstream(dir + "/Flash/" + name) << "QUILLON-SIM-DESIGN norbridge2 bench\n";
    features::SetFlashFoldersForTest({dir + "/Flash"});
    const std::string norImage = WriteFile(dir + "/nor.bin", norMiB << 20, 1);
    const std::string serImage = WriteFile(dir + "/ser.bin", 16u << 20, 2);

    sim::Profile profile;
    profile.flash.timeScale = 0;
    Meter meter;
    link::BoardLink& bl = link::BoardLink::Instance();
    bl.SetBackend(std::make_unique<sim::SimBackend>(profile));
    bl.SetDeviceWrapper([&meter](std::unique_ptr<link::Device> d) -> std::unique_ptr<link::Device> {
        return std::make_unique<TimedDevice>(std::move(d), meter);
    });
    if (!bl.Open()) return 1;
    const link::BoardHandle h = bl.Handle();
    QuietReporter r;
    CountedWaits waits;
    features::SetFlashTimeForTest(&waits);
    NullDisplay display;

    for (int i = 0; i < repeats; ++i) {
        features::FlashGeometry g;
        if (!features::ParFlashPrepare(h, 0, g, r)) return 1;
        meter = {};
        auto t0 = Clock::now();
        if (!features::ParFlashEraseAll(h, g, 0, display, r)) return 1;
        Report("NOR erase (all blocks)", std::chrono::duration<double>(Clock::now() - t0).count(),
               meter, g.totalBytes / double(1 << 20));
        meter = {};
        t0 = Clock::now();
        if (!features::ParFlashWriteImage(h, g, 0, norImage, display, r)) return 1;
        Report("NOR write", std::chrono::duration<double>(Clock::now() - t0).count(), meter, norMiB);
        meter = {};
        t0 = Clock::now();
        if (!features::ParFlashVerify(h, g, norImage, false, r)) return 1;
        Report("NOR verify", std::chrono::duration<double>(Clock::now() - t0).count(), meter, norMiB);

        NullSerView view;
        meter = {};
        waits.sleptMs = 0;
        t0 = Clock::now();
        if (!features::SerBridgeExecute(h, 0, serImage, view, r)) return 1;
        Report("SerBridge run (16 MiB)", std::chrono::duration<double>(Clock::now() - t0).count(),
               meter, 16);
        std::printf("  (+ %lld ms of fixed waits not slept)\n\n", static_cast<long long>(waits.sleptMs));
    }
    features::SetFlashTimeForTest(nullptr);
    bl.ResetForTest();
    std::filesystem::remove_all(dir);
    return 0;
}
