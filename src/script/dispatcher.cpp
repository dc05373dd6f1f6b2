#include "script/dispatcher.h"

#include "features/long_work.h"
#include "log/log_file.h"
#include "platform/prompter.h"
#include "script/macro_syntax.h"

namespace quillon::script {

namespace {

constexpr MacroEntry kMacros[] = {
    {"RW", RunRegisterWrite},       {"RR", RunRegisterRead},
    {"UC", RunConfigure, true},     {"MR", RunMemoryRead, true},
    {"MW", RunMemoryWrite, true},   {"FC", RunFileCompare, true},
    {"IR", RunI2cRead},       {"IR2", RunI2cRead2},     {"IR3", RunI2cRead3},
    {"IW", RunI2cWrite},      {"IW2", RunI2cWrite2},    {"IW3", RunI2cWrite3},
    {"GW", RunGpioWrite},     {"GR", RunGpioRead},      {"GD", RunGpioDirection},
    {"STA", RunTempAlertSet}, {"GTA", RunTempAlertGet}, {"WAIT", RunWait},
};

// Nothing a macro, the requests below it or an event handled meanwhile writes
// may reach the log; the writer comes back on however the call ends. A macro
// run from an event handler inside WAIT nests: only the outermost call turns
// the writer on again.
int g_depth = 0;

class LogWriterOff {
  public:
    LogWriterOff() {
        ++g_depth;
        LogFile::SetEnabled(false);
    }
    ~LogWriterOff() {
        if (--g_depth == 0) LogFile::SetEnabled(true);
    }
    LogWriterOff(const LogWriterOff&) = delete;
    LogWriterOff& operator=(const LogWriterOff&) = delete;
};

}  // namespace

std::span<const MacroEntry> StandardMacros() {
    return kMacros;
}

std::string JoinMacroWords(std::span<const std::string_view> words) {
    std::string text;
    for (std::string_view w : words) text += w;
    return text;
}

MacroAnswer DispatchMacro(const MacroText& text, MacroContext& ctx,
                          std::span<const MacroEntry> table) {
    LogWriterOff logOff;
    // No item names no macro: reported like an unknown name.
    const std::string_view name = text.name();
    for (const MacroEntry& m : table) {
        if (name != m.name) continue;
        ctx.refusal.clear();
        MacroOutcome outcome = MacroOutcome::Failed;
        if (m.runsLong)
            features::Runner().Run([&] { outcome = m.run(text, ctx); });
        else
            outcome = m.run(text, ctx);
        switch (outcome) {
            case MacroOutcome::Done:
                return {"1", false};
            case MacroOutcome::NotDone:
                return {"0", false};
            case MacroOutcome::Failed:
                if (name == "MW") ctx.reporter->Message("ERROR", MsgIcon::Information);
                return {"0", true};
        }
    }
    // A name longer than any item may be is cut, not echoed whole.
    return {"KVX_COMMAND not found!!(" + std::string(Utf8Prefix(name, kMaxItemBytes)) + ")", true};
}

MacroAnswer DispatchMacro(std::span<const std::string_view> words, MacroContext& ctx,
                          std::span<const MacroEntry> table) {
    return DispatchMacro(MacroText(JoinMacroWords(words)), ctx, table);
}

}  // namespace quillon::script
