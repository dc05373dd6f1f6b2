// The boards on the bus: where each sits, its speed and serial number, and the
// list that --list shows and usb:ID picks from.
#include <libusb.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <numeric>
#include <optional>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "link/abort.h"
#include "link/board_lock.h"
#include "link/hints.h"
#include "link/usb/usb_internal.h"
#include "platform/file_io.h"
#include "platform/platform.h"
#include "platform/settings_store.h"

namespace quillon::usb {
namespace detail {

const char* SpeedName(int speed) {
    switch (speed) {
        case LIBUSB_SPEED_LOW:
            return "low";
        case LIBUSB_SPEED_FULL:
            return "full";
        case LIBUSB_SPEED_HIGH:
            return "high";
        case LIBUSB_SPEED_SUPER:
            return "super";
        case LIBUSB_SPEED_SUPER_PLUS:
            return "super+";
        default:
            return "unknown";
    }
}

// The serial number string of a board: the system's copy where it keeps one
// (no access needed, nothing sent), else string descriptor `index` read from
// the board itself.
void ReadSerial(libusb_device* dev, std::uint8_t index, BoardEntry& e) {
    if (index == 0) return;
    if (std::optional<std::string> s = platform::UsbDeviceAttribute(e.bus, e.ports, "serial")) {
        e.serial = *s;
        return;
    }
    libusb_device_handle* handle = nullptr;
    if (libusb_open(dev, &handle) == LIBUSB_SUCCESS) {
        unsigned char text[256] = {};
        const int n = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text - 1);
        libusb_close(handle);
        if (n > 0) {
            e.serial.assign(reinterpret_cast<const char*>(text), static_cast<std::size_t>(n));
            return;
        }
    }
    e.serialUnknown = true;
}

// Where a device sits: bus, port path and address, from libusb's record alone.
BoardEntry PlaceOf(libusb_device* dev) {
    BoardEntry e;
    e.bus = libusb_get_bus_number(dev);
    e.address = libusb_get_device_address(dev);
    std::uint8_t ports[8];
    const int n = libusb_get_port_numbers(dev, ports, sizeof ports);
    for (int i = 0; i < n; ++i) e.ports += (i ? "." : "") + std::to_string(ports[i]);
    return e;
}

BoardEntry EntryOf(libusb_device* dev) {
    BoardEntry e = PlaceOf(dev);
    e.speed = SpeedName(libusb_get_device_speed(dev));
    libusb_device_descriptor dd{};
    if (libusb_get_device_descriptor(dev, &dd) == LIBUSB_SUCCESS) {
        e.id = {dd.idVendor, dd.idProduct};
        ReadSerial(dev, dd.iSerialNumber, e);
    }
    return e;
}

// The boards of a device list, each with its device.
std::vector<Listed> ListedBoards(libusb_device** list, ssize_t n,
                                 const std::vector<UsbId>& filter) {
    std::vector<Listed> boards;
    for (ssize_t i = 0; i < n; ++i) {
        if (std::optional<BoardInterface> itf = FindBoardInterface(list[i], filter)) {
            boards.push_back({EntryOf(list[i]), list[i], *itf});
        }
    }
    return boards;
}

}  // namespace detail

using namespace detail;

std::string PortId(const BoardEntry& b) {
    if (b.ports.empty()) return std::to_string(b.bus) + "@" + std::to_string(b.address);
    return std::to_string(b.bus) + "-" + b.ports;
}

namespace {

// The serial number as listed: "-" when the board reports none, "?" when it
// could not be read.
const char* SerialText(const BoardEntry& b) {
    return b.serialUnknown ? "?" : b.serial.empty() ? "-" : b.serial.c_str();
}

}  // namespace

std::string DescribeBoard(const BoardEntry& b) {
    return Format("usb:%-8s %04x:%04x  speed %-6s serial %s", PortId(b).c_str(), b.id.vid, b.id.pid,
                  b.speed.c_str(), SerialText(b));
}

namespace {

std::string BoardsThere(const std::vector<BoardEntry>& boards) {
    if (boards.empty()) return "no board is connected";
    std::string list = "boards connected:";
    for (const BoardEntry& b : boards) {
        list += Format(" usb:%s (%04x:%04x, serial %s)", PortId(b).c_str(), b.id.vid, b.id.pid,
                       SerialText(b));
    }
    return list;
}

}  // namespace

std::optional<std::size_t> MatchBoard(const std::vector<BoardEntry>& boards, std::string_view id,
                                      std::string& error) {
    for (std::size_t i = 0; i < boards.size(); ++i) {
        if (PortId(boards[i]) == id) return i;
    }
    std::vector<std::size_t> same;
    for (std::size_t i = 0; i < boards.size(); ++i) {
        if (!boards[i].serial.empty() && boards[i].serial == id) same.push_back(i);
    }
    if (same.size() == 1) return same.front();
    const std::string named = "usb:" + std::string(id);
    if (same.empty()) {
        error = "no board " + named +
                " (no board connected has that serial number or bus and"
                " port path); " +
                BoardsThere(boards);
    } else {
        error = "the serial number " + std::string(id) + " is on " + std::to_string(same.size()) +
                " boards: name one by its bus and port path (usb:BUS-PORTS); " +
                BoardsThere(boards);
    }
    return std::nullopt;
}

std::vector<BoardEntry> ListBoards(std::string* error) {
    Context ctx;
    if (ctx.initError != LIBUSB_SUCCESS) {
        if (error) *error = std::string("libusb_init: ") + libusb_error_name(ctx.initError);
        return {};
    }
    libusb_device** raw = nullptr;
    const ssize_t n = libusb_get_device_list(ctx.ctx, &raw);
    if (n < 0) {
        if (error)
            *error =
                std::string("libusb_get_device_list: ") + libusb_error_name(static_cast<int>(n));
        return {};
    }
    DeviceList list(raw);
    std::vector<BoardEntry> boards;
    for (const Listed& b : ListedBoards(list.get(), n, ReadUsbIdFilter()))
        boards.push_back(b.entry);
    return boards;
}

}  // namespace quillon::usb
