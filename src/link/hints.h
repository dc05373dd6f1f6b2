#pragma once
// Hints: one line each that tells the user what to do about a problem of the
// device link (no access to the board, the board held by another program, the
// usbfs memory used up, a board in its bootloader). A hint goes to standard
// output with the device layer's diagnostics, and to the hint sink, which the
// programs point at the log so that a user who started the panel from the
// desktop sees it too.
//
// Diagnostics: the device layer's own lines for whoever watches the terminal
// ("ERROR code :-9", "libusb_open() ERROR!! ..."), never part of the log.
// They go to standard output (a few to standard error) and to the diagnostic
// sink. A library that must keep the process's output to itself (the Python
// module) turns the echo off and takes both through the sinks.

#include <functional>
#include <string>

namespace quillon::link {

// Called from any thread (the USB event thread too), never with a lock of
// the device layer held. nullptr detaches the sink.
using HintSink = std::function<void(const std::string& text)>;
void SetHintSink(HintSink sink);
// Whether hints and diagnostics also go to the terminal (they do unless a
// library that hands them to its caller turns that off).
void SetHintEcho(bool echo);

void Hint(const std::string& text);

// Any thread, like the hint sink; nullptr detaches it.
using DiagnosticSink = std::function<void(const std::string& line)>;
void SetDiagnosticSink(DiagnosticSink sink);
// One line (without its line end) to standard output, or to standard error
// when `toError`, while the echo is on; and to the diagnostic sink.
void Diagnostic(const std::string& line, bool toError = false);

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
    Held,          // another process of ours holds the board's lock (`holder` names it)
    OpenFailed,    // a board is there, but opening it failed otherwise
    NoUsb,         // USB itself cannot be reached (libusb did not start)
};

struct NoBoardReason {
    NoBoard kind = NoBoard::Unknown;
    std::string hint;
    long holder = 0;  // Held: the holder's process number (0 when it could not be read)
    bool operator==(const NoBoardReason&) const = default;
};

// "nothing-found", "no-access", ...: the kind for programs' messages and logs.
const char* NoBoardName(NoBoard kind);

}  // namespace quillon::link
