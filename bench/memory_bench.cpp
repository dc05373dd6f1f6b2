// Split and normal memory transfers against the simulated board, each beside
// its baseline measured in the same round, with the peak memory each transfer
// added to the program.
//
//   memory_bench [--link fast|usb2|usb3] [--dir DIR] [--rounds N] [--scratch] [MiB ...]
//
// Defaults: --link fast (the board as fast as the host allows, so the figures
// are the program's own), 5 rounds, 256 and 1024 MiB (64 MiB with a paced
// link). For every length a file of random bytes is made in a folder of its
// own under DIR; without --dir that is a tmpfs ($XDG_RUNTIME_DIR, else
// /dev/shm), which leaves the disk out; --dir on a disk puts it back in.
//
// Baselines: what a transfer of the file must do at the least.
//   read+copy   reads the file in 2 MiB pieces and copies each piece once
//               (for the writes: the program reads the file it sends);
//   copy+write  copies 2 MiB pieces once each, as the bytes of a read land,
//               and writes them to a new file beside the target, synced to the
//               disk and renamed over the target, as the program writes a
//               file it reads from the board (for the reads);
//   page cache  the same writes into the target in place, neither synced nor
//               renamed (a second line under each read).
// The variants and their baselines take turns: in each round every variant
// runs with its baselines just before or just after it (the order flips from
// round to round), so a slow spell of the machine weighs on both. Every figure
// is the median of the rounds: the rate in MB/s (10^6 bytes) and the ratio of
// the rounds' variant/baseline rates.
//
// The board's memory discards what it is sent and reads back its address
// pattern (memory_store = discard); with --scratch it keeps every byte in its
// scratch file, and the reads are checked against the source after the last
// round. Peak memory is the growth of the resident set (VmHWM, reset before
// each transfer) over what the program held just before it, the largest of
// the rounds; the board's memory is part of the program, as it is in the
// panel.
//
// With a paced link the simulated board moves bulk data no faster than that
// link, and two more lines show how well the bus is kept busy:
//   split read / normal read at usb3: R   (rates; below 1 the split read
//                                          leaves the bus idle between pieces)
//   normal read / bus time at usb3: R     (the bulk bytes at the link's pace
//                                          against the normal read's time)

#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "features/memory/mem_transfer.h"
#include "link/board_link.h"
#include "platform/file_io.h"
#include "peak_memory.h"
#include "quiet_reporter.h"
#include "sim/sim_backend.h"

using namespace quillon;
using bench::Peak;
using bench::StatusKiB;

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kPiece = 2u << 20;
constexpr long kTmpfsMagic = 0x01021994;

bool MakeFile(const std::string& path, std::uint64_t bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::vector<std::uint64_t> piece(kPiece / 8);
    std::mt19937_64 rng(42);
    bool ok = true;
    for (std::uint64_t done = 0; done < bytes && ok; done += kPiece) {
        for (auto& w : piece) w = rng();
        ok = std::fwrite(piece.data(), 1, kPiece, f) == kPiece;
    }
    return std::fclose(f) == 0 && ok;
}

enum class Sink { None, Replacing, InPlace };

// Seconds to read `path` piece by piece and copy each piece (Sink::None), or
// to copy the file's first piece over and over, as the bytes of a read land,
// and write each copy to `out` as `sink` says. Negative when a file failed.
double Baseline(const std::string& path, std::uint64_t bytes, Sink sink, const std::string& out) {
    std::unique_ptr<std::uint8_t[]> in(new std::uint8_t[kPiece]), copy(new std::uint8_t[kPiece]);
    std::memset(copy.get(), 0, kPiece);
    platform::InputFile file;
    if (file.Open(path) != platform::InputFile::Status::Ok) return -1;
    if (sink != Sink::None && !file.Read(in.get(), kPiece)) return -1;
    platform::ReplacingFile replacing;
    platform::OutputFile inPlace;
    const auto t0 = Clock::now();
    if (sink == Sink::Replacing && !replacing.Open(out)) return -1;
    if (sink == Sink::InPlace && !inPlace.Open(out)) return -1;
    bool ok = true;
    for (std::uint64_t done = 0; done < bytes && ok; done += kPiece) {
        if (sink == Sink::None) ok = file.Read(in.get(), kPiece).has_value();
        std::memcpy(copy.get(), in.get(), kPiece);
        if (sink == Sink::Replacing) ok = ok && replacing.Write(copy.get(), kPiece);
        if (sink == Sink::InPlace) ok = ok && inPlace.Write(copy.get(), kPiece);
    }
    if (sink == Sink::Replacing) ok = ok && replacing.Commit();
    if (sink == Sink::InPlace) ok = inPlace.Close() && ok;
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    // Keep the copy from being optimised away.
    if (copy[kPiece / 2] == 0x5A && copy[1] == 0xA5) std::fputc(' ', stderr);
    return ok ? s : -1;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

bool Same(const std::string& a, const std::string& b) {
    platform::InputFile fa, fb;
    if (fa.Open(a) != platform::InputFile::Status::Ok) return false;
    if (fb.Open(b) != platform::InputFile::Status::Ok) return false;
    if (fa.size() != fb.size()) return false;
    std::unique_ptr<std::uint8_t[]> x(new std::uint8_t[kPiece]), y(new std::uint8_t[kPiece]);
    for (;;) {
        const auto n = fa.Read(x.get(), kPiece);
        const auto m = fb.Read(y.get(), kPiece);
        if (!n || !m || *n != *m) return false;
        if (*n == 0) return true;
        if (std::memcmp(x.get(), y.get(), *n) != 0) return false;
    }
}

// One baseline of a variant: its name and one timed run (seconds).
struct Base {
    Base(const char* n, std::function<double()> r) : name(n), run(std::move(r)) {}
    const char* name;
    std::function<double()> run;
    std::vector<double> seconds, ratios;
};

// A transfer and its baselines, with what the rounds measured.
struct Variant {
    Variant(const char* n, std::function<bool()> r, std::vector<Base> b, bool isRead = false)
        : name(n), run(std::move(r)), bases(std::move(b)), read(isRead) {}
    const char* name;
    std::function<bool()> run;
    std::vector<Base> bases;
    bool read = false;
    std::vector<double> seconds;
    double peakMiB = 0;
    bool ok = true;
};

// One round: every variant with its baselines beside it.
void Round(std::vector<Variant>& variants, int round) {
    for (Variant& v : variants) {
        auto bases = [&] {
            for (Base& b : v.bases) {
                const double s = b.run();
                if (s < 0) v.ok = false;
                b.seconds.push_back(s);
            }
        };
        if (round % 2 == 0) bases();
        Peak peak;
        const auto t0 = Clock::now();
        v.ok = v.run() && v.ok;
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        v.peakMiB = std::max(v.peakMiB, peak.GrowthMiB());
        v.seconds.push_back(s);
        if (round % 2 != 0) bases();
        for (Base& b : v.bases) b.ratios.push_back(b.seconds.back() / s);
    }
}

void Report(const Variant& v, std::uint64_t bytes) {
    const double mbs = bytes / Median(v.seconds) / 1e6;
    bool first = true;
    for (const Base& b : v.bases) {
        const double baseMbs = bytes / Median(b.seconds) / 1e6;
        if (first) {
            std::printf("  %-24s %6.0f MB/s  %5.2f x %-38s (%5.0f MB/s)  peak +%5.1f MiB%s\n",
                        v.name, mbs, Median(b.ratios), b.name, baseMbs, v.peakMiB,
                        v.ok ? "" : "  FAILED");
        } else {
            std::printf("  %-24s %11s  %5.2f x %-38s (%5.0f MB/s)\n", "", "", Median(b.ratios),
                        b.name, baseMbs);
        }
        first = false;
    }
}

// The default folder: a tmpfs, so that the disk stays out of the figures.
std::string DefaultDir() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && std::filesystem::is_directory(runtime)) return runtime;
    return "/dev/shm";
}

bool IsTmpfs(const std::string& dir) {
    struct statfs fs {};
    return ::statfs(dir.c_str(), &fs) == 0 && static_cast<long>(fs.f_type) == kTmpfsMagic;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: memory_bench [--link fast|usb2|usb3] [--dir DIR] [--rounds N] "
                 "[--scratch] [MiB ...]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::uint64_t> sizes;
    bool scratch = false;
    int rounds = 5;
    std::string dir;
    sim::LinkSpeed speed = sim::LinkSpeed::Fast;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--scratch") {
            scratch = true;
        } else if ((a == "--rounds" || a == "--repeats") && hasValue) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--dir" && hasValue) {
            dir = argv[++i];
        } else if (a == "--link" && hasValue) {
            const std::string v = argv[++i];
            if (v == "fast")
                speed = sim::LinkSpeed::Fast;
            else if (v == "usb2")
                speed = sim::LinkSpeed::Usb2;
            else if (v == "usb3")
                speed = sim::LinkSpeed::Usb3;
            else
                return Usage();
        } else if (!a.empty() && a.find_first_not_of("0123456789") == std::string::npos) {
            sizes.push_back(std::strtoull(a.c_str(), nullptr, 10));
        } else {
            return Usage();
        }
    }
    if (sizes.empty()) {
        sizes = speed == sim::LinkSpeed::Fast ? std::vector<std::uint64_t>{256, 1024}
                                              : std::vector<std::uint64_t>{64};
    }
    if (dir.empty()) dir = DefaultDir();

    // A folder of this run's own: /dev/shm is shared by every user.
    std::string folder = dir + "/memory_bench-XXXXXX";
    if (!::mkdtemp(folder.data())) {
        std::fprintf(stderr, "memory_bench: cannot make a folder in %s: %s\n", dir.c_str(),
                     std::strerror(errno));
        return 1;
    }
    const std::string src = folder + "/source.bin";
    const std::string dst = folder + "/read.bin";
    const std::string baseOut = folder + "/baseline.bin";

    link::BoardLink& bl = link::BoardLink::Instance();
    sim::Profile profile;
    profile.memoryDiscard = !scratch;
    profile.linkSpeed = speed;
    bl.SetBackend(std::make_unique<sim::SimBackend>(profile));
    if (!bl.Open()) {
        std::fprintf(stderr, "memory_bench: the simulated board did not open\n");
        std::filesystem::remove_all(folder);
        return 1;
    }
    bench::QuietReporter quiet("memory_bench");
    features::MemTransferView view;
    const char* linkName = sim::LinkSpeedName(speed);
    std::printf(
        "memory_bench: simulated board, link %s, memory_store = %s, files in %s (%s), "
        "medians of %d rounds\n",
        linkName, scratch ? "scratch" : "discard", dir.c_str(),
        IsTmpfs(dir) ? "tmpfs" : "not tmpfs", rounds);
    std::printf("  idle resident set %.1f MiB\n", StatusKiB("VmRSS:") / 1024.0);

    bool allOk = true;
    for (std::uint64_t mib : sizes) {
        const std::uint64_t bytes = mib << 20;
        if (!MakeFile(src, bytes)) {
            std::fprintf(stderr, "memory_bench: cannot write %s\n", src.c_str());
            std::filesystem::remove_all(folder);
            return 1;
        }
        std::printf("%llu MiB\n", static_cast<unsigned long long>(mib));
        const link::BoardHandle h = link::CurrentBoard();
        features::SplitCount count;
        auto readCopy = [&] {
            return Base("read+copy", [&] { return Baseline(src, bytes, Sink::None, {}); });
        };
        auto copyWrite = [&] {
            return Base("copy+write (beside, synced, renamed)",
                        [&] { return Baseline(src, bytes, Sink::Replacing, baseOut); });
        };
        auto pageCache = [&] {
            return Base("copy+write (page cache)",
                        [&] { return Baseline(src, bytes, Sink::InPlace, baseOut); });
        };

        std::vector<Variant> variants;
        variants.push_back(Variant(
            "split write",
            [&] {
                return features::MemSplitWrite(h, false, 0, src, bytes, count, false, quiet, view);
            },
            std::vector<Base>{readCopy()}));
        variants.push_back(Variant(
            "split read",
            [&] {
                return features::MemSplitRead(h, false, 0, dst, bytes, count, false, quiet, view);
            },
            std::vector<Base>{copyWrite(), pageCache()}, true));
        const bool normal = bytes <= features::kNormalLimit;
        features::MemTransferRequest writeReq, readReq;
        if (normal) {
            char hex[32];
            std::snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(bytes));
            writeReq.lengthText = readReq.lengthText = hex;
            writeReq.split = readReq.split = false;
            writeReq.path = src;
            readReq.path = dst;
            variants.push_back(Variant(
                "normal (streamed) write",
                [&] { return features::MemWriteRun(h, writeReq, quiet, view); },
                std::vector<Base>{readCopy()}));
            variants.push_back(Variant(
                "normal (streamed) read",
                [&] { return features::MemReadRun(h, readReq, quiet, view); },
                std::vector<Base>{copyWrite(), pageCache()}, true));
        }
        for (int r = 0; r < rounds; ++r) Round(variants, r);
        for (Variant& v : variants) {
            if (v.read && scratch) v.ok = v.ok && Same(src, dst);
            Report(v, bytes);
            allOk = allOk && v.ok;
        }

        const double bus = sim::BulkRate(speed);
        if (bus > 0 && normal) {
            const Variant& split = variants[1];
            const Variant& whole = variants[3];
            std::vector<double> splitToNormal, normalToBus;
            for (int r = 0; r < rounds; ++r) {
                splitToNormal.push_back(whole.seconds[r] / split.seconds[r]);
                normalToBus.push_back(bytes / bus / whole.seconds[r]);
            }
            std::printf("split read / normal read at %s: %.2f\n", linkName, Median(splitToNormal));
            std::printf("normal read / bus time at %s: %.2f\n", linkName, Median(normalToBus));
        }
        std::remove(dst.c_str());
        std::remove(baseOut.c_str());
    }
    std::filesystem::remove_all(folder);
    bl.Close();
    return allOk ? 0 : 1;
}
