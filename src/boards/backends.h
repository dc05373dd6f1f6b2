#pragma once
// Choosing the board by name, and the options every program shares:
//   --board usb|usb:ID|sim   --sim-profile FILE   --trace FILE   --trace-sync
// ID names one of several boards: its bus and port path ("1-4.2") or its
// serial number (usb/usb_backend.h). FILE.pcap traces as a Wireshark capture.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/device.h"

namespace quillon::boards {

struct BoardOptions {
    std::string board = "usb";  // "usb" or "sim"
    std::string boardId;        // usb:ID: the board to open; empty = the first
    std::string simProfile;     // --sim-profile FILE
    std::string traceFile;      // --trace FILE
    bool traceSync = false;     // --trace-sync: each trace line written as its transfer returns
    // Whether the command line named the board (--board) or the profile
    // (--sim-profile): a stored choice fills in only what it left open.
    bool boardGiven = false;
    bool simProfileGiven = false;
};

// The one board option without a value.
inline constexpr const char* kTraceSyncOption = "--trace-sync";

// The board options in a usage line, and their lines of --help, the same
// for every program; `defaultBoard` says which board is taken without --board.
inline constexpr const char* kBoardOptionsUsage =
    "[--board usb|usb:ID|sim] [--sim-profile FILE] [--trace FILE [--trace-sync]]";
std::string BoardOptionsHelp(std::string_view defaultBoard);

// Removes the board options from `args` (argv without argv[0]) and returns them;
// nullopt with `error` set for a bad value or a missing argument.
std::optional<BoardOptions> TakeBoardOptions(std::vector<std::string>& args, std::string& error);

// The board chosen in the panel, used at the next start unless --board is
// given: BOARD = usb | usb:ID | sim (section SETUP), and SIM_PROFILE = the
// simulated board's profile file (empty: the default profile).
inline constexpr const char* kBoardKey = "BOARD";
inline constexpr const char* kSimProfileKey = "SIM_PROFILE";

// "usb", "usb:ID" or "sim" (the value of --board and of BOARD) into
// `options`' board and boardId; false, leaving them be, for anything else.
bool ParseBoardChoice(std::string_view text, BoardOptions& options);
// The choice as ParseBoardChoice reads it back: "usb", "usb:ID" or "sim".
std::string BoardChoiceText(const BoardOptions& options);

enum class StoredChoice {
    None,      // no choice stored, or the command line named the board
    Used,      // `options` now holds the stored choice
    Unusable,  // BOARD holds something else (`stored`); `options` left as they were
};
// Fills `options` from the stored choice where the command line left them
// open: nothing when --board was given; --sim-profile wins over SIM_PROFILE.
StoredChoice ApplyStoredChoice(BoardOptions& options, std::string& stored);
// Stores `options`' board (and, for the simulated board, its profile).
void StoreBoardChoice(const BoardOptions& options);

// The backend of that name; nullptr with `error` for an unknown name or a bad profile.
std::unique_ptr<link::Backend> MakeBackend(const BoardOptions& options, std::string& error);

// Installs the backend and, when asked, the wire trace on the one BoardLink.
bool SetUpBoardLink(const BoardOptions& options, std::string& error);

// Exit status of a run whose wire trace lost lines (when nothing else failed).
inline constexpr int kExitTraceLost = 4;

// The end of the run for the wire trace: writes out what it still holds and
// closes it. False, with `error` saying why, when any line of the run's trace
// could not be written; true when the run has no trace.
bool FinishTrace(std::string& error);
// Writes out what the run's trace has gathered, for a reader that wants the
// file as it stands now.
void FlushTrace();
// FinishTrace for a program's last step: `status` when the trace is whole (or
// there is none); otherwise the loss goes to standard error under `program`'s
// name, and a `status` of 0 becomes kExitTraceLost.
int FinishTraceStatus(int status, const char* program);

// Registers the link for arrival and removal notices, delivered to
// BoardLink::OnDeviceChange through the Qt event loop of the application's
// thread, whatever thread a backend notices them on. Notices after the
// application object is gone are dropped.
void RegisterQueuedNotices();

// Writes the device link's hints (no access, board busy, usbfs memory, board
// without firmware) to the log as well, on the application's thread. Called
// once the log is open.
void RouteHintsToLog();

}  // namespace quillon::boards
