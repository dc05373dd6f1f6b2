// UC, MW, MR, FC and WAIT: the macros that work with files and time.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

#include "features/busy_gate.h"
#include "features/config/fpga_load.h"
#include "features/memory/file_stream.h"
#include "link/bulk.h"
#include "log/file_io.h"
#include "script/macro_support.h"

namespace quillon::script {

using namespace detail;

namespace {

constexpr const char* kDefaultLength = "200000";

constexpr const char* kBusy = "another transfer is running";

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
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
    if (!FileExists(path)) return MacroOutcome::NotDone;
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
    if (!FileExists(path)) {
        ctx.reporter->Message(o->file, MsgIcon::Information);
        return MacroOutcome::Failed;
    }
    // Only 32 bits travel in one transfer. A longer length would be cut and the
    // write reported as done, so it is refused instead.
    if (o->length > 0xFFFFFFFFull) return Refuse(ctx, "MW: the length is beyond 4 GiB - 1");
    const auto length = static_cast<std::uint32_t>(o->length);
    features::BusyGate::Hold hold = features::BusyGate::TryTake("MW");
    if (!hold) return Refuse(ctx, kBusy);
    platform::InputFile file;
    if (file.Open(path) != platform::InputFile::Status::Ok)
        return Refuse(ctx, "MW: the file cannot be opened");
    // The file streams into the one transfer: a short file is followed by
    // zeros, a longer one is cut at the length.
    features::FileFeed feed(file, false);
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
    const std::string path = ResolveMacroPath(ctx, o->file);
    platform::ReplacingFile file;
    const bool created = file.Open(path);
    features::FileDrain drain(file, false);
    if (!link::BulkReadStream(ctx.board, false, o->widthCode, length, drain.Sink()))
        return MacroOutcome::Failed;
    if (!created) return Refuse(ctx, "MR: the file cannot be created");
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
    if (!FileExists(a) || !FileExists(b)) return MacroOutcome::NotDone;
    FilePtr fa(std::fopen(a.c_str(), "rb"));
    if (!fa) return MacroOutcome::NotDone;
    FilePtr fb(std::fopen(b.c_str(), "rb"));
    if (!fb) return MacroOutcome::NotDone;
    std::error_code ea, eb;
    auto sa = std::filesystem::file_size(a, ea);
    auto sb = std::filesystem::file_size(b, eb);
    if (ea || eb || sa != sb) return MacroOutcome::NotDone;
    // Compared in pieces: the outcome is that of a whole-file compare without
    // holding both files in memory.
    std::unique_ptr<std::uint8_t[]> pa(new std::uint8_t[65536]), pb(new std::uint8_t[65536]);
    for (;;) {
        std::size_t na = std::fread(pa.get(), 1, 65536, fa.get());
        std::size_t nb = std::fread(pb.get(), 1, 65536, fb.get());
        if (na != nb || std::ferror(fa.get()) || std::ferror(fb.get()))
            return MacroOutcome::NotDone;
        if (na == 0) break;
        if (std::memcmp(pa.get(), pb.get(), na) != 0) return MacroOutcome::NotDone;
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
