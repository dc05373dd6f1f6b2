#pragma once
// Choosing the board by name, and the options every program shares:
//   --board usb|sim   --sim-profile FILE   --trace FILE

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/device.h"

namespace quillon::link {

struct BoardOptions {
    std::string board = "usb";  // "usb" or "sim"
    std::string simProfile;     // --sim-profile FILE
    std::string traceFile;      // --trace FILE
};

// Removes the board options from `args` (argv without argv[0]) and returns them;
// nullopt with `error` set for a bad value or a missing argument.
std::optional<BoardOptions> TakeBoardOptions(std::vector<std::string>& args, std::string& error);

// The backend of that name; nullptr with `error` for an unknown name or a bad profile.
std::unique_ptr<Backend> MakeBackend(const BoardOptions& options, std::string& error);

// Installs the backend and, when asked, the wire trace on the one BoardLink.
bool SetUpBoardLink(const BoardOptions& options, std::string& error);

// Registers the link for arrival and removal notices, delivered to
// BoardLink::OnDeviceChange through the Qt event loop of the application's
// thread, whatever thread a backend notices them on. Notices after the
// application object is gone are dropped.
void RegisterQueuedNotices();

// Writes the device link's hints (no access, board busy, usbfs memory, board
// without firmware) to the log as well, on the application's thread. Called
// once the log is open.
void RouteHintsToLog();

}  // namespace quillon::link
