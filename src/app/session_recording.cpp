#include "app/session_recording.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QStatusBar>
#include <filesystem>

#include "features/file_names.h"
#include "features/memory/mem_page.h"
#include "features/registers/reg_page_ops.h"
#include "log/log_file.h"
#include "platform/prompter.h"
#include "platform/settings_store.h"
#include "script/session_recorder.h"

namespace quillon::app {

namespace {

QPointer<QAction> g_item;
QPointer<QLabel> g_mark;
std::function<std::string()> g_board;

void ShowState() {
    const script::SessionRecorder* r = script::ActiveRecording();
    if (g_item) g_item->setChecked(r != nullptr);
    if (g_mark) {
        g_mark->setVisible(r != nullptr);
        if (r) g_mark->setToolTip(QString::fromStdString(r->path()));
    }
}

// The menu item: checked starts a recording into a file the user names,
// unchecked stops it.
void ItemTriggered(bool checked) {
    if (!checked) {
        StopRecording();
        return;
    }
    FileDialogRequest request;
    request.title = Lang::Tr("記録するﾌｧｲﾙを指定してください。");
    request.filter = Lang::Tr("TCLﾌｧｲﾙ (*.tcl);;全て (*)");
    request.save = true;
    request.fileName = "session.tcl";
    request.folder = SettingsStore().ReadString(kSetup, "RecordDir", "");
    const std::optional<std::string> chosen = Prompts().FileName(request);
    if (chosen && !chosen->empty()) {
        SettingsStore().WriteString(kSetup, "RecordDir",
                                    std::filesystem::path(*chosen).parent_path().string());
        StartRecording(*chosen);
    }
    ShowState();
}

}  // namespace

QAction* InstallRecordingItem(QMainWindow* window, QMenu* menu, QAction* before,
                              std::function<std::string()> board) {
    g_board = std::move(board);
    g_item = new QAction(Lang::Marked(kRecordItem), menu);
    g_item->setObjectName("Record1");
    g_item->setCheckable(true);
    menu->insertAction(before, g_item);
    QObject::connect(g_item, &QAction::triggered, g_item, [](bool checked) { ItemTriggered(checked); });
    g_mark = new QLabel(Lang::Marked(kRecordingMark), window);
    g_mark->setObjectName("RecordingMark");
    g_mark->setStyleSheet("QLabel#RecordingMark { color: #C00000; padding: 0px 4px; }");
    window->statusBar()->addPermanentWidget(g_mark);
    ShowState();
    return g_item;
}

std::optional<std::string> TakeRecordOption(std::vector<std::string>& args, std::string& error) {
    std::optional<std::string> file;
    for (std::size_t i = 0; i < args.size();) {
        const std::string a = args[i];
        if (a == "--record") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = "--record needs a file name";
                return std::nullopt;
            }
            file = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        } else if (a.rfind("--record=", 0) == 0) {
            file = a.substr(9);
            if (file->empty()) {
                error = "--record needs a file name";
                return std::nullopt;
            }
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
    return file;
}

namespace {
std::optional<std::string> g_pending;  // --record FILE, until the log is open
}  // namespace

void RecordFromStart(const std::string& path) {
    g_pending = path;
}

void StartPendingRecording() {
    if (!g_pending) return;
    const std::string path = *g_pending;
    g_pending.reset();
    StartRecording(path);
}

bool StartRecording(const std::string& path) {
    std::string why;
    const std::string board = g_board ? g_board() : std::string("usb");
    auto recorder = script::SessionRecorder::Start(path, board, why);
    if (!recorder) {
        Prompts().Message(features::RefusalText(Lang::MarkedStd(kRecordFailed), path, why),
                          MsgIcon::Warning, MsgButtons::Ok);
        ShowState();
        return false;
    }
    const std::string full = recorder->path();
    StopRecording();
    script::SetActiveRecording(std::move(recorder));
    LogFile::Write(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "操作の記録開始：%1"), full));
    ShowState();
    return true;
}

void StopRecording() {
    std::unique_ptr<script::SessionRecorder> r = script::SetActiveRecording(nullptr);
    if (r) {
        const std::string path = r->path();
        if (r->Stop()) {
            LogFile::Write(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "操作の記録終了：%1"), path));
        } else {
            LogFile::Write(Lang::Fill(
                QT_TRANSLATE_NOOP("Lang", "操作の記録終了：%1 (書き込めなかった行があります)"),
                path));
        }
    }
    ShowState();
}

void RecordRegister(bool write, const std::string& numberText, int widthIndex,
                    const std::string& field, bool emulate) {
    if (!script::ActiveRecording()) return;
    const std::optional<int> number = ParseStoredInteger(numberText);
    const std::optional<std::uint64_t> value = features::ParseHexField(field);
    if (!number || *number < 0 || !value) return;
    const int bits = 8 << (widthIndex >= 0 && widthIndex <= 3 ? widthIndex : 0);
    const auto address = static_cast<std::uint32_t>(*number);
    if (write) {
        script::Record(script::RegWriteOp{address, bits, *value, emulate});
    } else {
        script::Record(script::RegReadOp{address, bits, emulate}, script::ReadNote(field));
    }
}

void RecordMemTransfer(bool write, const features::MemTransferRequest& request, bool ok,
                       bool cancelled) {
    if (!script::ActiveRecording()) return;
    const std::string name = write ? "MemWrite" : "MemRead";
    const std::optional<std::uint64_t> length = features::ParseMemLength(request.lengthText);
    const int bits = 8 << (request.widthIndex >= 0 && request.widthIndex <= 3 ? request.widthIndex : 0);
    std::error_code ec;
    const std::string path = std::filesystem::absolute(request.path, ec).lexically_normal().string();
    const std::string what = name + " of " + (length ? std::to_string(*length) : request.lengthText) +
                             " bytes " + (write ? "from " : "into ") + path + " at " +
                             std::to_string(bits) + "bit";
    if (!ok) return RecordNotReplayed(what, "it failed");
    if (cancelled) return RecordNotReplayed(what, "it was cancelled part way");
    if (request.split)
        return RecordNotReplayed(what, "split into 2 MiB pieces, which no macro does");
    if (request.tessera)
        return RecordNotReplayed(what, "Tessera memory commands, which the macros never send");
    if (request.scramble)
        return RecordNotReplayed(what, "scrambled, which the macros never do");
    if (!length) return;
    if (write) {
        script::Record(script::MemWriteOp{path, *length, bits});
    } else {
        script::Record(script::MemReadOp{path, *length, bits});
    }
}

void RecordOptionNote(const std::string& option, bool on) {
    script::RecordNote("option: " + option + (on ? " on" : " off") +
                       " (the macros cannot carry it: MemWrite and MemRead while it is on are "
                       "written as comments)");
}

void RecordScriptRun(const std::string& path, bool ok, const std::string& who) {
    script::SessionRecorder* r = script::ActiveRecording();
    if (!r) return;
    std::error_code ec;
    const std::string full = std::filesystem::absolute(path, ec).lexically_normal().string();
    if (!ok) return RecordNotReplayed("script " + full, "it failed");
    if (full.find_first_of("{}\\\n\r") != std::string::npos)
        return RecordNotReplayed("script " + full, "its name cannot be written in braces");
    script::RecordNote(who + ":");
    r->Raw("source {" + full + "}");
}

void RecordRegExBurst(bool write, int address, int length,
                      const std::array<std::uint8_t, 64>& bytes) {
    if (!script::ActiveRecording()) return;
    std::uint64_t value = 0;
    for (int i = 0; i < length && i < 8; ++i) value |= std::uint64_t{bytes[i]} << (8 * i);
    const auto a = static_cast<std::uint32_t>(address);
    if (length == 1 || length == 2 || length == 4 || length == 8) {
        if (write) {
            script::Record(script::RegWriteOp{a, 8 * length, value, true});
        } else {
            script::Record(script::RegReadOp{a, 8 * length, true},
                           script::ReadNote(features::HexField(value, 2 * length)));
        }
        return;
    }
    RecordNotReplayed(std::string("extended register burst ") + (write ? "write" : "read") +
                          " of " + std::to_string(length) + " bytes at " + std::to_string(address),
                      "RW and RR -REGEX move 1, 2, 4 or 8 bytes");
}

void RecordI2cCommand(bool write, int portIndex, int lengthIndex,
                      const features::I2cCommandFields& fields) {
    if (!script::ActiveRecording()) return;
    std::array<std::uint8_t, 4> b{};
    for (std::size_t i = 0; i < b.size(); ++i) {
        const std::optional<std::uint32_t> v = features::ParseHexInt(fields.bytes[i]);
        if (!v) return;
        b[i] = static_cast<std::uint8_t>(*v);
    }
    const int port = portIndex == 0 ? 0 : 1;
    const int mode = lengthIndex == 0 ? 3 : 4;
    const std::uint32_t reg = mode == 3 ? b[1] : std::uint32_t{b[1]} << 8 | b[2];
    const std::uint8_t last = mode == 3 ? b[2] : b[3];
    // IW3 and IR3 send 00 after the three bytes of a 3-byte command, and a
    // read's last command byte is always the device's read address.
    const char* why = nullptr;
    if (mode == 3 && b[3] != 0) why = "IW3 and IR3 send 00 as the fourth byte of a 3-byte command";
    if (!write && last != static_cast<std::uint8_t>(b[0] + 1))
        why = "IR3 sends the device's read address (its address byte + 1) as the last byte";
    if (why) {
        std::string bytes;
        for (std::uint8_t x : b) bytes += " " + features::HexField(x, 2);
        return RecordNotReplayed(std::string("I2C command ") + (write ? "write" : "read") + " of" +
                                     bytes + " (" + std::to_string(mode) + "-byte) on port " +
                                     std::to_string(port) +
                                     (write ? "" : ", " + script::ReadNote(fields.result)),
                                 why);
    }
    if (write) {
        script::Record(script::I2cWriteOp{3, port, mode, b[0], reg, last});
    } else {
        script::Record(script::I2cReadOp{3, port, mode, b[0], reg},
                       script::ReadNote(fields.result));
    }
}

void RecordBoardChange(const std::string& board) {
    script::RecordNote("board: changed to " + board +
                       "; the lines below ran on it (quillon-run --board " + board + ")");
}

void RecordNotReplayed(const std::string& what, const std::string& why) {
    script::RecordNote(what + ": not replayed, " + why);
}

}  // namespace quillon::app
