#include "features/reporter.h"

#include "log/log_file.h"

namespace quillon::features {

void Reporter::Log(std::string_view text) { LogFile::Write(text); }

MsgAnswer Reporter::Message(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    return Prompts().Message(text, icon, buttons);
}

Reporter& DefaultReporter() {
    static Reporter r;
    return r;
}

}  // namespace quillon::features
