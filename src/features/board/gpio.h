#pragma once
// The three 8-bit GPIO ports of the USB controller: Port A (0), Port C (1) and
// Port E (2). The direction is set for the whole port: 0 = input, 1 = output.
//
// The requests below serve the GPIO page and the GW/GR/GD macros alike; the
// page operations add the conversion and the reporting.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "features/reporter.h"
#include "link/board_link.h"

namespace quillon::features {

inline constexpr int kGpioPorts = 3;

// Each fails without a request for a port outside 0..2.
bool GpioSetDirection(link::BoardHandle h, int port, bool output);
bool GpioWriteByte(link::BoardHandle h, int port, std::uint8_t value);
bool GpioReadByte(link::BoardHandle h, int port, std::uint8_t& value);

// "A", "C", "E".
const char* GpioPortLetter(int port);

// The page's "Set": `direction` is the list's text ("IN" or "OUT"). Port A
// logs the word first, whatever follows. Success: status
// "PortXのDIR(...)を切り換えました。"; failure: log and warning.
bool GpioDirectionSet(link::BoardHandle h, int port, const std::string& direction,
                      Reporter& reporter = DefaultReporter());
// The page's "Read": the new text of the port's read field ("5A"), or nullopt
// after the failure was logged and shown.
std::optional<std::string> GpioRead(link::BoardHandle h, int port,
                                    Reporter& reporter = DefaultReporter());
// The page's "Write": the field as hexadecimal (up to 64 bits, the low 8 sent).
// The new text of the field ("A5"), or nullopt after telling why not.
std::optional<std::string> GpioWrite(link::BoardHandle h, int port, std::string_view field,
                                     Reporter& reporter = DefaultReporter());

}  // namespace quillon::features
