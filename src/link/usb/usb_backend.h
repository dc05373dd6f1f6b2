#pragma once
// The board on libusb-1.0.
//
// A board is a device whose active configuration has a vendor-specific
// interface (class 0xFF) with a bulk OUT endpoint 0x06 and a bulk IN endpoint
// 0x82. The settings key USB_IDS (section SETUP, "04B4:00F1,04B4:8613") narrows
// the search to those VID:PID pairs; empty means any device with that interface.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/device.h"

namespace quillon::usb {

inline constexpr const char* kUsbIdsKey = "USB_IDS";

struct UsbId {
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    bool operator==(const UsbId&) const = default;
};

// Parses a USB_IDS text: entries "VVVV:PPPP" in hexadecimal (an optional "0x"
// on either half), separated by commas, semicolons or blanks. Entries that do
// not parse are left out and collected in `rejected` when it is given.
std::vector<UsbId> ParseUsbIds(std::string_view text, std::vector<std::string>* rejected = nullptr);

struct UsbBackendOptions {
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
};

std::unique_ptr<link::Backend> MakeUsbBackend();
std::unique_ptr<link::Backend> MakeUsbBackend(const UsbBackendOptions& options);

// "1.0.26.11724": major.minor.micro.nano of the libusb in use.
std::string LibusbVersion();

}  // namespace quillon::usb
