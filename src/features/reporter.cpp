#include "features/reporter.h"

#include <chrono>

#include "log/log_file.h"
#include "platform/cause.h"

namespace quillon::features {

void Reporter::Log(std::string_view text) { LogFile::Write(text); }

MsgAnswer Reporter::Message(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    return Prompts().Message(text, icon, buttons);
}

void Reporter::Fail(std::string_view logLine) {
    Log(logLine);
    if (std::optional<std::string> cause = PeekCause()) Log(*cause);
}

MsgAnswer Reporter::FailBox(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    std::optional<std::string> cause = TakeCause();
    return Message(cause ? text + "\n" + *cause : text, icon, buttons);
}

namespace {

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

ProgressMeter::ProgressMeter(Reporter& reporter, std::uint64_t total, Reporter::Unit unit)
    : reporter_(reporter), total_(total), unit_(unit), lastMs_(NowMs()) {
    reporter_.Progress(0, total_, unit_);
}

void ProgressMeter::Set(std::uint64_t done) {
    done_ = done;
    const std::int64_t now = NowMs();
    if (done_ < total_ && now - lastMs_ < 50) return;
    lastMs_ = now;
    reporter_.Progress(done_, total_, unit_);
}

Reporter& DefaultReporter() {
    static Reporter r;
    return r;
}

}  // namespace quillon::features
