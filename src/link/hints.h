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

}  // namespace quillon::link
