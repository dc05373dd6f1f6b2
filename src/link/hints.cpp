#include "link/hints.h"

#include <cstdio>
#include <mutex>

namespace quillon::link {

namespace {

struct Sink {
    std::mutex mu;
    HintSink sink;
    DiagnosticSink diagnostics;
    bool echo = true;
};

Sink& TheSink() {
    // Never destroyed: the USB event thread may still hint while statics go.
    static Sink* s = new Sink;
    return *s;
}

}  // namespace

void SetHintSink(HintSink sink) {
    Sink& s = TheSink();
    std::lock_guard<std::mutex> lock(s.mu);
    s.sink = std::move(sink);
}

void SetHintEcho(bool echo) {
    Sink& s = TheSink();
    std::lock_guard<std::mutex> lock(s.mu);
    s.echo = echo;
}

void Hint(const std::string& text) {
    HintSink sink;
    bool echo = true;
    {
        Sink& s = TheSink();
        std::lock_guard<std::mutex> lock(s.mu);
        sink = s.sink;
        echo = s.echo;
    }
    if (echo) {
        std::printf("  %s\n", text.c_str());
        std::fflush(stdout);
    }
    if (sink) sink(text);
}

void SetDiagnosticSink(DiagnosticSink sink) {
    Sink& s = TheSink();
    std::lock_guard<std::mutex> lock(s.mu);
    s.diagnostics = std::move(sink);
}

void Diagnostic(const std::string& line, bool toError) {
    DiagnosticSink sink;
    bool echo = true;
    {
        Sink& s = TheSink();
        std::lock_guard<std::mutex> lock(s.mu);
        sink = s.diagnostics;
        echo = s.echo;
    }
    if (echo) {
        std::FILE* out = toError ? stderr : stdout;
        std::fprintf(out, "%s\n", line.c_str());
        std::fflush(out);
    }
    if (sink) sink(line);
}

const char* NoBoardName(NoBoard kind) {
    switch (kind) {
        case NoBoard::Unknown:
            return "unknown";
        case NoBoard::NothingFound:
            return "nothing-found";
        case NoBoard::NoMatch:
            return "no-match";
        case NoBoard::NoAccess:
            return "no-access";
        case NoBoard::NoFirmware:
            return "no-firmware";
        case NoBoard::Busy:
            return "busy";
        case NoBoard::Held:
            return "held";
        case NoBoard::OpenFailed:
            return "open-failed";
        case NoBoard::NoUsb:
            return "no-usb";
    }
    return "unknown";
}

}  // namespace quillon::link
