#pragma once
// The board on libusb-1.0.
//
// A board is a device whose active configuration has a vendor-specific
// interface (class 0xFF) with a bulk OUT endpoint 0x06 and a bulk IN endpoint
// 0x82. The settings key USB_IDS (section SETUP, "04B4:00F1,04B4:8613") narrows
// the search to those VID:PID pairs; empty means any device with that interface.
//
// Several boards on one host: by default the first board found is opened, as
// ever. A board id names one instead: its bus and port path ("1-4.2", stable
// while the board stays in the same socket) or its serial number. The link
// then follows that board alone: another board's arrival or removal leaves it
// be.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/device.h"

namespace quillon::usb {

inline constexpr const char* kUsbIdsKey = "USB_IDS";
// Seconds a bulk piece may take beyond the time its bytes need on the link
// (see UsbBackendOptions::bulkTimeout); 0 = no time-out.
inline constexpr const char* kBulkTimeoutKey = "USB_BULK_TIMEOUT";
inline constexpr int kBulkTimeoutDefaultSeconds = 10;

struct UsbId {
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    bool operator==(const UsbId&) const = default;
};

// Parses a USB_IDS text: entries "VVVV:PPPP" in hexadecimal (an optional "0x"
// on either half), separated by commas, semicolons or blanks. Entries that do
// not parse are left out and collected in `rejected` when it is given.
std::vector<UsbId> ParseUsbIds(std::string_view text, std::vector<std::string>* rejected = nullptr);

// A board as the bus shows it.
struct BoardEntry {
    unsigned bus = 0;
    std::string ports;     // port numbers from the root hub, "4.2"; "" when not known
    unsigned address = 0;  // the device address (new at every plug)
    UsbId id;
    std::string serial;           // the serial number string; "" when the firmware has none
    bool serialUnknown = false;   // it has one, but it could not be read
    std::string speed;            // "low", "full", "high", "super", "super+", "unknown"
};

// "1-4.2": bus and port path; "1@7" (bus and address) when the port path is not known.
std::string PortId(const BoardEntry& board);
// One line of a board list:
// "usb:1-4.2  04b4:00f1  speed high  serial QB-0001" ("serial -" for none,
// "serial ?" when it could not be read).
std::string DescribeBoard(const BoardEntry& board);

// The board among `boards` that `id` names: the one at that bus and port path,
// else the one with that serial number. nullopt with `error` when no board or
// more than one has it; the error lists the boards there are.
std::optional<std::size_t> MatchBoard(const std::vector<BoardEntry>& boards, std::string_view id,
                                      std::string& error);

// The boards present (narrowed by USB_IDS as for opening), in the order in
// which the first is opened by default. When USB itself cannot be reached the
// list is empty and `error` (when given) says why.
std::vector<BoardEntry> ListBoards(std::string* error = nullptr);

struct UsbBackendOptions {
    // The board to open (see MatchBoard); empty: the first board.
    std::string board;
    // Watch by listing the devices every `pollInterval` even where libusb has
    // hot-plug support (the path taken on platforms without it).
    bool forcePolling = false;
    std::chrono::milliseconds pollInterval{1000};
    // A bulk call is cut into transfers of this size (rounded down to a
    // multiple of 1024 and of the pipes' packet size),
    // `inFlight` of them queued at a time, never more than the 16 MiB that
    // usbfs allows by default. Four of 1 MiB keep the bus busy well below it.
    std::size_t chunkBytes = std::size_t{1} << 20;
    int inFlight = 4;
    // A control request the board has not finished after this long fails
    // with a time-out (a firmware that NAKs it while the FPGA is not ready).
    std::chrono::milliseconds controlTimeout{5000};
    // A bulk piece may take this long plus the time that its bytes and those
    // queued ahead of it need at a tenth of the link's signalling rate; then
    // it fails with a time-out. Unset: USB_BULK_TIMEOUT seconds from the
    // settings (default 10). Zero: no time-out.
    std::optional<std::chrono::milliseconds> bulkTimeout;
    // An arriving device that is not a board yet (its configuration not set
    // yet) is looked at again for this long.
    std::chrono::milliseconds arrivalRecheck{2000};
    // Folders where the boards' udev rule may be installed, in the order udev
    // gives them precedence; the access hint names the rule found there.
    std::vector<std::string> ruleDirs{"/etc/udev/rules.d", "/usr/lib/udev/rules.d",
                                      "/lib/udev/rules.d"};
    // Where a copy of the rule comes with the program, relative to the
    // program's folder (an installed share folder; packaging/ of the sources
    // beside a build folder).
    std::vector<std::string> shippedRuleDirs{"../share/quillon", "../../packaging",
                                             "../packaging"};
};

std::unique_ptr<link::Backend> MakeUsbBackend();
std::unique_ptr<link::Backend> MakeUsbBackend(const UsbBackendOptions& options);

// The hint for a board whose device file the user may not open: names the
// boards' udev rule where it is installed (the first of `ruleDirs` that has
// it); else the copy that comes with the program (`shippedRule`, when there
// is one) to install, or the line to install.
std::string AccessHint(unsigned bus, unsigned address, UsbId id,
                       const std::vector<std::string>& ruleDirs,
                       const std::string& shippedRule = {});

// USB_BULK_TIMEOUT from the settings: seconds (default 10; a negative value
// gives the default; at most a day); 0 = no time-out.
std::chrono::milliseconds BulkTimeoutSetting();
// libusb's time-out of a bulk piece with `queued` bytes of its call to move
// before it ends (its own and those queued ahead of it) on a link at `speed`
// (as BoardEntry::speed names it; "unknown" counts as high speed): `base`
// plus the time those bytes need at a tenth of the link's signalling rate.
// 0 (none) when `base` is 0.
std::chrono::milliseconds BulkPieceTimeout(std::chrono::milliseconds base, std::size_t queued,
                                           std::string_view speed);

// Where the backend's threads meet: the event thread that watches the bus,
// libusb's hot-plug callback (on whichever thread handles libusb's events)
// and the thread that opens boards. A hook set here is called at each point
// on the thread that reaches it, outside the backend's locks, so a test can
// hold one thread there while another goes on. None by default.
enum class MeetingPoint {
    TakingHotplugEvents,  // the event thread, before it takes the callback's queue
    ReadingFilter,        // the event thread, before it reads the USB_IDS filter
    ReadingOpenBoard,     // the event thread, before it looks at the open board
    HotplugQueued,        // the hot-plug callback, after it queued an event
};
using MeetingHook = void (*)(MeetingPoint);
void SetMeetingHook(MeetingHook hook);  // nullptr: none

// "1.0.26.11724": major.minor.micro.nano of the libusb in use.
std::string LibusbVersion();

}  // namespace quillon::usb
