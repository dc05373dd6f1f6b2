// The libusb backend's parts that its files share: the context, the board's
// interface, a device's shared state, error mapping and the hints.
#pragma once

#include <libusb.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/board_lock.h"
#include "link/device.h"
#include "link/usb/usb_backend.h"

namespace quillon::usb::detail {

using link::TransferResult;
using link::UsbError;

// Diagnostics of the device layer go to standard output (link::Diagnostic),
// never to the log. One line each; a trailing line end is the caller's habit.
void Diag(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// libusb's error codes and transfer statuses as the link names them.
UsbError FromLibusbError(int code);
UsbError FromTransferStatus(int status);
int ErrorCodeOf(int status);

struct Context {
    libusb_context* ctx = nullptr;
    int initError = 0;
    Context() { initError = libusb_init(&ctx); }
    ~Context() {
        if (ctx) libusb_exit(ctx);
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
};

// A device is known by bus number and address: the kernel does not hand the
// address of a device that left to the next one at once, and both stay
// readable from libusb's record after the descriptors are gone.
using DeviceKey = std::uint32_t;
inline DeviceKey KeyOf(libusb_device* d) {
    return (DeviceKey{libusb_get_bus_number(d)} << 8) | libusb_get_device_address(d);
}

struct BoardInterface {
    int number = -1;
    int altSetting = 0;
    // wMaxPacketSize of the two pipes: 512 at high speed, 1024 at SuperSpeed,
    // 64 at full speed.
    std::size_t packetOut = 512;
    std::size_t packetIn = 512;
};

struct ConfigDeleter {
    void operator()(libusb_config_descriptor* c) const { libusb_free_config_descriptor(c); }
};

inline std::size_t PacketSize(const libusb_endpoint_descriptor& ep) {
    // Bits 11-12 are extra transactions per microframe (interrupt and
    // isochronous only).
    return ep.wMaxPacketSize & 0x7FF;
}

// The board's signature: a vendor-specific interface with the two bulk pipes.
std::optional<BoardInterface> FindBoardInterface(libusb_device* dev, const std::vector<UsbId>& ids);

// The IDs the USB controllers show without firmware of the board: an FX3
// runs its boot loader, an FX2 without firmware enumerates as the bare chip.
inline constexpr UsbId kFx3Bootloader{0x04B4, 0x00F3};
inline constexpr UsbId kFx2Bare{0x04B4, 0x8613};
// The boards' own ID, for when USB_IDS does not name theirs.
inline constexpr UsbId kBoardId{0x04B4, 0x00F1};

// A device that is a board's controller without the board's firmware
// running: the hint that says so, or nothing.
std::optional<std::string> NoFirmwareHint(libusb_device* dev, const std::vector<UsbId>& ids);
// The copy of the boards' udev rule that comes with the program, or "".
std::string ShippedRule(const std::vector<std::string>& dirs);
inline constexpr const char* kBusyHint =
    "another program has the board open (another quillon or quillon-run?): end it, then plug"
    " the board in again";
// usbfs refused a URB for want of memory with nothing of ours in flight.
void ReportUsbfsMemory();

std::vector<UsbId> ReadUsbIdFilter();
// Where the backend's threads meet: a test may hold one there.
void Meet(MeetingPoint point);

struct DeviceListDeleter {
    void operator()(libusb_device** list) const { libusb_free_device_list(list, 1); }
};
using DeviceList = std::unique_ptr<libusb_device*[], DeviceListDeleter>;

// Shared by the open device and the backend's event thread: when the event
// thread sees the open board leave, it marks it gone, and every transfer
// waiting on it is cancelled by its own caller instead of waiting on.
struct OpenState {
    OpenState(DeviceKey k, std::unique_ptr<link::BoardLock> l) : key(k), lock(std::move(l)) {}
    const DeviceKey key;
    std::atomic<bool> gone{false};
    // This process's hold on the board: let go with the last of the device's
    // owners, after the interface was released and the handle closed.
    const std::unique_ptr<link::BoardLock> lock;
};

// The completions of one call. The callback runs on whichever thread handles
// libusb's events (the caller itself or the backend's event thread), so it

struct DeviceSettings {
    std::chrono::milliseconds controlTimeout{5000};
    std::chrono::milliseconds bulkTimeout{0};  // 0: none
    std::string speed = "high";                // as SpeedName gives it
};

// The open board's device.
std::unique_ptr<link::Device> MakeUsbDevice(std::shared_ptr<Context> ctx,
                                            libusb_device_handle* handle, BoardInterface itf,
                                            std::shared_ptr<OpenState> state,
                                            const UsbBackendOptions& options,
                                            DeviceSettings settings);

const char* SpeedName(int speed);
BoardEntry PlaceOf(libusb_device* dev);
BoardEntry EntryOf(libusb_device* dev);
// The boards of a device list, each with its device.
struct Listed {
    BoardEntry entry;
    libusb_device* dev = nullptr;
    BoardInterface itf;
};
std::vector<Listed> ListedBoards(libusb_device** list, ssize_t n, const std::vector<UsbId>& filter);

}  // namespace quillon::usb::detail
