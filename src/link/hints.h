#pragma once
// Hints: one line each that tells the user what to do about a problem of the
// device link (no access to the board, the board held by another program, the
// usbfs memory used up, a board in its bootloader). A hint goes to standard
// output with the device layer's diagnostics, and to the hint sink, which the
// programs point at the log so that a user who started the panel from the
// desktop sees it too.

#include <functional>
#include <string>

namespace quillon::link {

// Called from any thread (the USB event thread too), never with a lock of
// the device layer held. nullptr detaches the sink.
using HintSink = std::function<void(const std::string& text)>;
void SetHintSink(HintSink sink);
// Whether hints also go to standard output (they do unless a library that
// hands them to its caller turns that off).
void SetHintEcho(bool echo);

void Hint(const std::string& text);

// Why no board is open, as far as the backend can tell: what its last look at
// the bus found. The programs show it to the user in their own words; `hint`
// is the line the backend gave for it (the device and what to do), which also
// went through Hint.
enum class NoBoard {
    Unknown,       // the backend does not tell, or has not looked yet
    NothingFound,  // no board on the bus
    NoMatch,       // the board asked for (usb:ID) is not there, or its ID fits several
    NoAccess,      // a board is there, but its device file may not be opened (udev rule)
    NoFirmware,    // a board's USB controller without the board's firmware (bootloader)
    Busy,          // another program has the board open
    OpenFailed,    // a board is there, but opening it failed otherwise
    NoUsb,         // USB itself cannot be reached (libusb did not start)
};

struct NoBoardReason {
    NoBoard kind = NoBoard::Unknown;
    std::string hint;
    bool operator==(const NoBoardReason&) const = default;
};

// "nothing-found", "no-access", ...: the kind for programs' messages and logs.
const char* NoBoardName(NoBoard kind);

}  // namespace quillon::link
