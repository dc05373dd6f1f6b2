// UC, MW, MR, FC and WAIT: the macros that work with files and time.

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

#include "features/busy_gate.h"
#include "features/config/fpga_load.h"
#include "features/long_work.h"
#include "features/memory/file_stream.h"
#include "link/bulk.h"
#include "platform/cause.h"
#include "platform/file_io.h"
#include "script/macro_support.h"

namespace quillon::script {

using namespace detail;

namespace {

constexpr const char* kDefaultLength = "200000";

constexpr const char* kBusy = "another transfer is running";

// A folder, a FIFO or a device under a macro's file name is refused with the
// reason: none of them can be read as a file, and a FIFO would wait for ever.
MacroOutcome RefuseUnreadable(MacroContext& ctx, const char* macro, const std::string& name,
                              platform::InputFile::Status status) {
    return Refuse(ctx, std::string(macro) + ": " + name + " " + platform::InputFile::Describe(status));
}

// The option tables, in the order each macro matches them.
struct TransferOptions {  // MW, MR
    std::optional<std::string> length;
    std::optional<std::uint32_t> width;
    std::optional<std::string> file;
};
constexpr OptionPattern<TransferOptions> kTransferOptions[] = {
    StrOption<&TransferOptions::length>("-L"),
    DecOption<&TransferOptions::width>("-W"),
    StrOption<&TransferOptions::file>("-F"),
};

struct ConfigureOptions {  // UC
    std::optional<std::string> file, family;
    bool bitswap = false, encrypt = false;
};
constexpr OptionPattern<ConfigureOptions> kConfigureOptions[] = {
    StrOption<&ConfigureOptions::file>("-F"),
    StrOption<&ConfigureOptions::family>("-M"),
    FlagOption<&ConfigureOptions::bitswap>("-B"),
    FlagOption<&ConfigureOptions::encrypt>("-E"),
};

struct CompareOptions {  // FC
    std::optional<std::string> first, second;
};
constexpr OptionPattern<CompareOptions> kCompareOptions[] = {
    StrOption<&CompareOptions::first>("-S"),
    StrOption<&CompareOptions::second>("-D"),
};

struct WaitOptions {
    std::optional<std::uint32_t> time;
};
constexpr OptionPattern<WaitOptions> kWaitOptions[] = {DecOption<&WaitOptions::time>("-T")};

struct MemoryOptions {
    std::uint8_t widthCode = 0;
    std::uint64_t length = 0;
    std::string file;
};

// The common options of MW and MR: width first, then the length, then the file.
std::optional<MemoryOptions> ReadMemoryOptions(const char* macro, const MacroText& text,
                                               MacroContext& ctx) {
    TransferOptions given;
    if (!ScanOptions(kTransferOptions, text, given, ctx)) return std::nullopt;
    const auto& [length, width, file] = given;
    MemoryOptions o;
    auto code = WidthCode(width.value_or(8));
    if (!code) {
        Refuse(ctx, std::string(macro) + ": the width must be 8, 16, 32 or 64");
        return std::nullopt;
    }
    o.widthCode = *code;
    auto bytes = ParsePrefixedHex(length.value_or(kDefaultLength));
    if (!bytes) {
        Refuse(ctx, std::string(macro) + ": the -L length is not hexadecimal digits");
        return std::nullopt;
    }
    o.length = *bytes;
    if (static_cast<std::uint32_t>(o.length) == 0) {
        Refuse(ctx, std::string(macro) + ": the length must not be 0");
        return std::nullopt;
    }
    if (!file) {
        Refuse(ctx, std::string(macro) + ": the -F file is missing");
        return std::nullopt;
    }
    o.file = *file;
    return o;
}

}  // namespace

std::string ResolveMacroPath(const MacroContext& ctx, const std::string& name) {
    if (ctx.baseDir.empty() || name.empty() || std::filesystem::path(name).is_absolute())
        return name;
    return (std::filesystem::path(ctx.baseDir) / name).string();
}

MacroOutcome RunConfigure(const MacroText& text, MacroContext& ctx) {
    ConfigureOptions given;
    if (!ScanOptions(kConfigureOptions, text, given, ctx)) return MacroOutcome::Failed;
    const auto& [file, family, bitswap, encrypt] = given;
    if (!file) return Refuse(ctx, "UC: the -F file is missing");
    const std::string path = ResolveMacroPath(ctx, *file);
    // Looked at once without opening it: the load opens it to read it.
    const platform::NameProblem problem = platform::CheckFileToRead(path);
    if (platform::IsNotRegular(problem))
        return RefuseUnreadable(ctx, "UC", *file, platform::InputFile::Status::NotRegular);
    if (!platform::PathExists(path)) return MacroOutcome::NotDone;
    features::BusyGate::Hold hold = features::BusyGate::TryTake("UC");
    if (!hold) return Refuse(ctx, kBusy);
    // Without -M the file is taken as Altera's: only "X" selects Xilinx.
    const bool xilinx = family && UpperAscii(*family) == "X";
    return features::FpgaConfigure(ctx.board, path, xilinx, bitswap, encrypt, *ctx.reporter)
               ? MacroOutcome::Done
               : MacroOutcome::NotDone;
}

MacroOutcome RunMemoryWrite(const MacroText& text, MacroContext& ctx) {
    auto o = ReadMemoryOptions("MW", text, ctx);
    if (!o) return MacroOutcome::Failed;
    const std::string path = ResolveMacroPath(ctx, o->file);
    // Opened once, before the board is asked: the open is the check.
    platform::InputFile file;
    if (const auto status = file.Open(path); status == platform::InputFile::Status::Missing) {
        ctx.reporter->Message(o->file, MsgIcon::Information);
        return MacroOutcome::Failed;
    } else if (status != platform::InputFile::Status::Ok) {
        return RefuseUnreadable(ctx, "MW", o->file, status);
    }
    // Only 32 bits travel in one transfer. A longer length would be cut and the
    // write reported as done, so it is refused instead.
    if (o->length > 0xFFFFFFFFull) return Refuse(ctx, "MW: the length is beyond 4 GiB - 1");
    const auto length = static_cast<std::uint32_t>(o->length);
    features::BusyGate::Hold hold = features::BusyGate::TryTake("MW");
    if (!hold) return Refuse(ctx, kBusy);
    // The file streams into the one transfer: a short file is followed by
    // zeros, a longer one is cut at the length.
    features::ProgressMeter meter(*ctx.reporter, length);
    features::FileFeed feed(file, false, &meter);
    return link::BulkWriteStream(ctx.board, false, o->widthCode, length, feed.Source())
               ? MacroOutcome::Done
               : MacroOutcome::Failed;
}

MacroOutcome RunMemoryRead(const MacroText& text, MacroContext& ctx) {
    auto o = ReadMemoryOptions("MR", text, ctx);
    if (!o) return MacroOutcome::Failed;
    const auto length = static_cast<std::uint32_t>(o->length);
    features::BusyGate::Hold hold = features::BusyGate::TryTake("MR");
    if (!hold) return Refuse(ctx, kBusy);
    // The data goes to a file beside the destination, which takes its place
    // only after the board delivered everything: a failed read leaves an
    // existing file as it was.
    // A name that cannot take the data is refused before the board is asked.
    const std::string path = ResolveMacroPath(ctx, o->file);
    platform::ReplacingFile file;
    if (!file.Open(path)) return Refuse(ctx, "MR: cannot write \"" + path + "\": " + file.whyNot());
    features::ProgressMeter meter(*ctx.reporter, length);
    features::FileDrain drain(file, false, &meter);
    if (!link::BulkReadStream(ctx.board, false, o->widthCode, length, drain.Sink()))
        return MacroOutcome::Failed;
    if (drain.writeFailed() || drain.written() != length || !file.Commit())
        return Refuse(ctx, "MR: the file could not be written whole");
    if (o->length > 0xFFFFFFFFull) return Refuse(ctx, "MR: the length is beyond 4 GiB - 1");
    return MacroOutcome::Done;
}

MacroOutcome RunFileCompare(const MacroText& text, MacroContext& ctx) {
    CompareOptions given;
    if (!ScanOptions(kCompareOptions, text, given, ctx)) return MacroOutcome::Failed;
    const auto& [first, second] = given;
    if (!first || !second) return Refuse(ctx, "FC: both -S and -D files must be given");
    const std::string a = ResolveMacroPath(ctx, *first);
    const std::string b = ResolveMacroPath(ctx, *second);
    // Opened once each: a missing file is a difference, something that is no
    // file a refusal.
    platform::InputFile fa, fb;
    const auto sa = fa.Open(a), sb = fb.Open(b);
    using Status = platform::InputFile::Status;
    if (sa == Status::Missing || sb == Status::Missing) return MacroOutcome::NotDone;
    if (sa == Status::NotRegular) return RefuseUnreadable(ctx, "FC", *first, sa);
    if (sb == Status::NotRegular) return RefuseUnreadable(ctx, "FC", *second, sb);
    if (sa != Status::Ok || sb != Status::Ok)
        return MacroOutcome::NotDone;
    if (fa.size() != fb.size()) return MacroOutcome::NotDone;
    // Compared in pieces: the outcome is that of a whole-file compare without
    // holding both files in memory.
    constexpr std::size_t kPiece = 65536;
    std::unique_ptr<std::uint8_t[]> pa(new std::uint8_t[kPiece]), pb(new std::uint8_t[kPiece]);
    features::ProgressMeter meter(*ctx.reporter, fa.size());
    for (;;) {
        if (features::CancelRequested()) return MacroOutcome::Failed;
        const auto na = fa.Read(pa.get(), kPiece);
        const auto nb = fb.Read(pb.get(), kPiece);
        if (!na || !nb || *na != *nb) return MacroOutcome::NotDone;
        if (*na == 0) break;
        if (std::memcmp(pa.get(), pb.get(), *na) != 0) return MacroOutcome::NotDone;
        meter.Add(*na);
    }
    return MacroOutcome::Done;
}

MacroOutcome RunWait(const MacroText& text, MacroContext& ctx) {
    WaitOptions given;
    if (!ScanOptions(kWaitOptions, text, given, ctx)) return MacroOutcome::Failed;
    const auto& [time] = given;
    if (!time) return Refuse(ctx, "WAIT: the -T time is missing");
    // A negative time returns at once: read as an unsigned count it would wait
    // about 49.7 days with no way to stop it.
    const auto ms = static_cast<std::int32_t>(*time);
    if (ms <= 0) return MacroOutcome::Done;
    // A steady clock: setting the system clock back cannot stretch the wait.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (features::CancelRequested()) return MacroOutcome::Failed;
        if (ctx.pump)
            ctx.pump();
        else
            ctx.reporter->Pump();
        // Events are served within a millisecond, without spinning a core.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return MacroOutcome::Done;
}

}  // namespace quillon::script
