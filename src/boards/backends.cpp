#include "boards/backends.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <cstdio>

#include "link/board_link.h"
#include "link/hints.h"
#include "link/trace.h"
#include "link/usb/usb_backend.h"
#include "log/log_file.h"
#include "platform/settings_store.h"
#include "sim/sim_backend.h"

namespace quillon::boards {

using namespace quillon::link;

namespace {

constexpr const char* kBoardChoices =
    "use --board usb, --board usb:ID with a serial number or a bus and port path such as"
    " 1-4.2 (quillon-run --list shows them), or --board sim";

// The run's wire trace, kept so that the end of the run can close it.
std::shared_ptr<TraceLog>& RunTrace() {
    static std::shared_ptr<TraceLog> trace;
    return trace;
}

// "--name VALUE" or "--name=VALUE" at args[i]. Returns false when args[i] is
// not this option; sets `missing` when the value is absent.
bool TakeValue(std::vector<std::string>& args, std::size_t i, const std::string& name,
               std::string& value, bool& missing) {
    const std::string& a = args[i];
    if (a == name) {
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            missing = true;
            return true;
        }
        value = args[i + 1];
        args.erase(args.begin() + i, args.begin() + i + 2);
        return true;
    }
    if (a.size() > name.size() && a.compare(0, name.size(), name) == 0 && a[name.size()] == '=') {
        value = a.substr(name.size() + 1);
        if (value.empty()) {
            missing = true;
            return true;
        }
        args.erase(args.begin() + i);
        return true;
    }
    return false;
}

}  // namespace

std::optional<BoardOptions> TakeBoardOptions(std::vector<std::string>& args, std::string& error) {
    BoardOptions options;
    std::size_t i = 0;
    while (i < args.size()) {
        if (args[i] == "--") break;  // everything after belongs to the program
        if (args[i] == kTraceSyncOption) {
            options.traceSync = true;
            args.erase(args.begin() + i);
            continue;
        }
        bool missing = false;
        std::string value;
        std::string* target = nullptr;
        std::string name;
        for (auto [n, t] : {std::pair<const char*, std::string*>{"--board", &options.board},
                            {"--sim-profile", &options.simProfile},
                            {"--trace", &options.traceFile}}) {
            if (TakeValue(args, i, n, value, missing)) {
                name = n;
                target = t;
                break;
            }
        }
        if (!target) {
            ++i;
            continue;
        }
        if (missing) {
            error = name + " needs a value";
            if (name == "--board")
                error += " (usb, usb:ID or sim)";
            else
                error += " (a file name)";
            return std::nullopt;
        }
        if (name == "--board") {
            if (!ParseBoardChoice(value, options)) {
                error = "unknown board \"" + value + "\" (" + kBoardChoices + ")";
                return std::nullopt;
            }
            options.boardGiven = true;
            continue;
        }
        if (name == "--sim-profile") options.simProfileGiven = true;
        *target = value;
    }
    return options;
}

std::string BoardOptionsHelp(std::string_view defaultBoard) {
    // The default's words wrapped under the option's text, in 80 columns.
    constexpr std::size_t kIndent = 23, kWidth = 80;
    std::string text =
        "  --board usb|sim      the board: the real board through libusb or the simulated\n";
    std::string line = std::string(kIndent, ' ') + "board (default:";
    std::string_view rest = defaultBoard;
    while (!rest.empty()) {
        const std::size_t space = rest.find(' ');
        std::string word(rest.substr(0, space));
        rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
        if (rest.empty()) word += ")";
        if (line.size() + 1 + word.size() > kWidth) {
            text += line + "\n";
            line = std::string(kIndent - 1, ' ');
        }
        line += " " + word;
    }
    text += line + "\n";
    return text +
           "  --board usb:ID       one of several boards: ID is its serial number or its bus and\n"
           "                       port path (1-4.2, stable while it stays in the same socket);\n"
           "                       quillon-run --list shows them\n"
           "  --sim-profile FILE   profile of the simulated board (key = value lines)\n"
           "  --trace FILE         write every USB transfer to FILE (the wire trace); lines are\n"
           "                       written in blocks, at the latest a second after their "
           "transfer;\n"
           "                       FILE.pcap is a capture for Wireshark (usbmon records, a "
           "submit\n"
           "                       and a completion per transfer) instead of text lines\n"
           "  --trace-sync         write each trace line as its transfer returns (for a script\n"
           "                       that reads its own trace; slower)\n";
}

bool ParseBoardChoice(std::string_view text, BoardOptions& options) {
    // A board id is a port path or a serial number: printable, and short.
    constexpr std::size_t kLongestId = 255;
    if (text == "usb" || text == "sim") {
        options.board = std::string(text);
        options.boardId.clear();
        return true;
    }
    if (!text.starts_with("usb:")) return false;
    const std::string_view id = text.substr(4);
    if (id.empty() || id.size() > kLongestId) return false;
    for (char c : id) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    }
    options.board = "usb";
    options.boardId = std::string(id);
    return true;
}

std::string BoardChoiceText(const BoardOptions& options) {
    if (options.board == "usb" && !options.boardId.empty()) return "usb:" + options.boardId;
    return options.board;
}

StoredChoice ApplyStoredChoice(BoardOptions& options, std::string& stored) {
    if (options.boardGiven) return StoredChoice::None;
    std::string profile;
    {
        SettingsStore store;
        stored = store.ReadString(kSetup, kBoardKey, "");
        profile = store.ReadString(kSetup, kSimProfileKey, "");
    }
    if (stored.empty()) return StoredChoice::None;
    BoardOptions chosen = options;
    if (!ParseBoardChoice(stored, chosen)) return StoredChoice::Unusable;
    if (chosen.board == "sim" && !options.simProfileGiven) chosen.simProfile = profile;
    options = chosen;
    return StoredChoice::Used;
}

void StoreBoardChoice(const BoardOptions& options) {
    SettingsStore store;
    store.WriteString(kSetup, kBoardKey, BoardChoiceText(options));
    store.WriteString(kSetup, kSimProfileKey, options.board == "sim" ? options.simProfile : "");
}

std::unique_ptr<Backend> MakeBackend(const BoardOptions& options, std::string& error) {
    if (options.board == "usb") {
        usb::UsbBackendOptions usbOptions;
        usbOptions.board = options.boardId;
        std::unique_ptr<Backend> b = usb::MakeUsbBackend(usbOptions);
        if (!b) error = "the USB backend could not start";
        return b;
    }
    if (options.board == "sim") return sim::MakeSimBackend(options.simProfile, error);
    error = "unknown board \"" + options.board + "\" (" + kBoardChoices + ")";
    return nullptr;
}

bool SetUpBoardLink(const BoardOptions& options, std::string& error) {
    std::unique_ptr<Backend> backend = MakeBackend(options, error);
    if (!backend) return false;
    // Opened once per run (emptied): the trace of one run, whatever boards come and go.
    std::shared_ptr<TraceLog> trace;
    if (!options.traceFile.empty()) {
        trace = TraceLog::Open(options.traceFile, error, false,
                               options.traceSync ? TraceWrites::EachLine : TraceWrites::Gathered);
        if (!trace) return false;
    }
    BoardLink& link = BoardLink::Instance();
    link.SetBackend(std::move(backend));
    RunTrace() = trace;
    if (trace) {
        // Every board opened during the run writes to the same file.
        link.SetDeviceWrapper(
            [trace](std::unique_ptr<Device> d) { return MakeTraceDevice(std::move(d), trace); });
    } else {
        link.SetDeviceWrapper(nullptr);
    }
    return true;
}

bool FinishTrace(std::string& error) {
    std::shared_ptr<TraceLog> trace = RunTrace();
    if (!trace) return true;
    return trace->Close(error);
}

void FlushTrace() {
    if (const std::shared_ptr<TraceLog>& trace = RunTrace()) trace->Flush();
}

int FinishTraceStatus(int status, const char* program) {
    std::string error;
    if (FinishTrace(error)) return status;
    std::fprintf(stderr, "%s: the wire trace is incomplete: %s\n", program, error.c_str());
    return status == 0 ? kExitTraceLost : status;
}

void RegisterQueuedNotices() {
    BoardLink::Instance().RegisterNotices([](DeviceNotice notice) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return;
        QMetaObject::invokeMethod(
            app, [notice] { BoardLink::Instance().OnDeviceChange(notice); }, Qt::QueuedConnection);
    });
}

void RouteHintsToLog() {
    SetHintSink([](const std::string& text) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return;
        // The log belongs to the application's thread; the USB event thread
        // hints of an arrival too.
        if (QThread::currentThread() == app->thread()) {
            LogFile::Write(text);
        } else {
            QMetaObject::invokeMethod(
                app, [text] { LogFile::Write(text); }, Qt::QueuedConnection);
        }
    });
}

}  // namespace quillon::boards
