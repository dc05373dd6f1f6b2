#include "platform/prompter.h"

#include <cstdio>

namespace quillon {

namespace {
StderrPrompter g_stderrPrompter;
Prompter* g_prompter = nullptr;

const char* IconName(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Error: return "error";
        case MsgIcon::Question: return "question";
        case MsgIcon::Warning: return "warning";
        case MsgIcon::Information: return "information";
    }
    return "message";
}
}  // namespace

Prompter& Prompts() { return g_prompter ? *g_prompter : g_stderrPrompter; }
void SetPrompter(Prompter* prompter) { g_prompter = prompter; }

MsgAnswer StderrPrompter::Message(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    std::fprintf(stderr, "[%s] %s: %s\n", IconName(icon), kMessageCaption, text.c_str());
    std::fflush(stderr);
    // Without anyone to ask, a Yes/No question is answered No: destructive runs
    // never start unattended by accident.
    return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
}

std::optional<std::string> StderrPrompter::Input(const std::string& caption,
                                                 const std::string& prompt, const std::string&) {
    std::fprintf(stderr, "[input] %s: %s (cancelled: no window)\n", caption.c_str(),
                 prompt.c_str());
    return std::nullopt;
}

std::optional<std::string> StderrPrompter::FileName(const FileDialogRequest& request) {
    std::fprintf(stderr, "[file dialog] %s (cancelled: no window)\n", request.title.c_str());
    return std::nullopt;
}

std::optional<FontChoice> StderrPrompter::Font(const FontChoice&) { return std::nullopt; }

bool StderrPrompter::OpenWithDesktop(const std::string& pathOrUrl) {
    std::fprintf(stderr, "[open] %s\n", pathOrUrl.c_str());
    return false;
}

}  // namespace quillon
