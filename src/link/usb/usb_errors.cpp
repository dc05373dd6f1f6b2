// The libusb backend's words: libusb's errors as the link names them, and the
// hints that tell a user what to do about a board that does not open.
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

void Diag(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Diag(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::string line = text;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    link::Diagnostic(line);
}

UsbError FromLibusbError(int code) {
    switch (code) {
        case LIBUSB_SUCCESS:
            return UsbError::None;
        case LIBUSB_ERROR_PIPE:
            return UsbError::Stall;
        case LIBUSB_ERROR_NO_DEVICE:
            return UsbError::NoDevice;
        case LIBUSB_ERROR_TIMEOUT:
            return UsbError::Timeout;
        case LIBUSB_ERROR_OVERFLOW:
            return UsbError::Overflow;
        case LIBUSB_ERROR_INTERRUPTED:
            return UsbError::Cancelled;
        default:
            return UsbError::Io;
    }
}

UsbError FromTransferStatus(int status) {
    switch (status) {
        case LIBUSB_TRANSFER_COMPLETED:
            return UsbError::None;
        case LIBUSB_TRANSFER_STALL:
            return UsbError::Stall;
        case LIBUSB_TRANSFER_NO_DEVICE:
            return UsbError::NoDevice;
        case LIBUSB_TRANSFER_TIMED_OUT:
            return UsbError::Timeout;
        case LIBUSB_TRANSFER_OVERFLOW:
            return UsbError::Overflow;
        case LIBUSB_TRANSFER_CANCELLED:
            return UsbError::Cancelled;
        default:
            return UsbError::Io;
    }
}

// A transfer's status as the libusb error code of the same meaning, so that
// every failure reports its code in one numbering (libusb_error).
int ErrorCodeOf(int status) {
    switch (status) {
        case LIBUSB_TRANSFER_COMPLETED:
            return LIBUSB_SUCCESS;
        case LIBUSB_TRANSFER_STALL:
            return LIBUSB_ERROR_PIPE;
        case LIBUSB_TRANSFER_NO_DEVICE:
            return LIBUSB_ERROR_NO_DEVICE;
        case LIBUSB_TRANSFER_TIMED_OUT:
            return LIBUSB_ERROR_TIMEOUT;
        case LIBUSB_TRANSFER_OVERFLOW:
            return LIBUSB_ERROR_OVERFLOW;
        case LIBUSB_TRANSFER_CANCELLED:
            return LIBUSB_ERROR_INTERRUPTED;
        default:
            return LIBUSB_ERROR_IO;
    }
}

// The libusb context. Open devices hold it too, so it outlives the backend

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

// A device that is a board's controller without the board's firmware
// running: the hint that says so, or nothing.
std::optional<std::string> NoFirmwareHint(libusb_device* dev, const std::vector<UsbId>& ids) {
    libusb_device_descriptor dd{};
    if (libusb_get_device_descriptor(dev, &dd) != LIBUSB_SUCCESS) return std::nullopt;
    libusb_config_descriptor* raw = nullptr;
    if (libusb_get_active_config_descriptor(dev, &raw) != LIBUSB_SUCCESS || !raw) {
        return std::nullopt;  // not configured yet: nothing to tell by
    }
    libusb_free_config_descriptor(raw);
    if (FindBoardInterface(dev, {})) return std::nullopt;
    const UsbId id{dd.idVendor, dd.idProduct};
    const char* what = nullptr;
    if (id == kFx3Bootloader) {
        what =
            "is an FX3 in its bootloader: the board's firmware is not running (after a"
            " firmware reset or a failed update)";
    } else if (id == kFx2Bare) {
        what =
            "is an FX2 at its default ID without firmware (no firmware in its EEPROM, or"
            " a failed update)";
    } else if (ids.empty() ? id == kBoardId : std::find(ids.begin(), ids.end(), id) != ids.end()) {
        what =
            "has a board's ID but not the board's pipes 0x06 and 0x82: its firmware is not"
            " running (bootloader, or no firmware)";
    } else {
        return std::nullopt;
    }
    return Format(
        "USB: %04x:%04x (bus %03u device %03u) %s; load the board's firmware, then plug the"
        " board in again",
        id.vid, id.pid, libusb_get_bus_number(dev), libusb_get_device_address(dev), what);
}

constexpr const char* kRuleName = "70-quillon.rules";

std::string ToLower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Whether a rule file has a line for `id` that is not a comment.
bool RuleCovers(const std::string& path, UsbId id) {
    // A rule file is a few lines; whatever else sits under its name is not read.
    const platform::WholeFile file = platform::ReadWholeFile(path, 1u << 20);
    if (!file.ok()) return false;
    std::istringstream in(std::string(file.bytes.begin(), file.bytes.end()));
    const std::string vid = Format("idvendor}==\"%04x\"", id.vid);
    const std::string pid = Format("idproduct}==\"%04x\"", id.pid);
    std::string line;
    while (std::getline(in, line)) {
        line = ToLower(line);
        std::erase(line, ' ');
        if (line.empty() || line[0] == '#') continue;
        if (line.find(vid) != std::string::npos && line.find(pid) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// The copy of the boards' udev rule that comes with the program, or "".
std::string ShippedRule(const std::vector<std::string>& dirs) {
    if (!QCoreApplication::instance()) return {};
    const std::filesystem::path program = QCoreApplication::applicationDirPath().toStdString();
    for (const std::string& dir : dirs) {
        std::error_code ec;
        const std::filesystem::path rule = (program / dir / kRuleName).lexically_normal();
        if (std::filesystem::is_regular_file(rule, ec)) return rule.string();
    }
    return {};
}

// usbfs refused a URB for want of memory with nothing of ours in flight.
void ReportUsbfsMemory() {
    link::Hint(
        "USB: usbfs memory used up (the kernel's pool usbfs_memory_mb, 16 MiB by default, is"
        " shared by every program using USB): end other USB programs, or raise it with 'echo 256"
        " | sudo tee /sys/module/usbcore/parameters/usbfs_memory_mb' (for good: the kernel"
        " parameter usbcore.usbfs_memory_mb=256)");
}

}  // namespace detail

using namespace detail;

std::string AccessHint(unsigned bus, unsigned address, UsbId id,
                       const std::vector<std::string>& ruleDirs, const std::string& shippedRule) {
    const std::string node = Format("/dev/bus/usb/%03u/%03u", bus, address);
    const std::string ids = Format("%04x:%04x", id.vid, id.pid);
    std::string installed;
    for (const std::string& dir : ruleDirs) {
        const std::string path = (std::filesystem::path(dir) / kRuleName).string();
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) {
            installed = path;
            break;
        }
    }
    if (!installed.empty() && RuleCovers(installed, id)) {
        return Format(
            "USB: no permission for %s (%s), although the rule %s covers it: run 'sudo udevadm"
            " control --reload && sudo udevadm trigger' (or plug the board in again); from a"
            " remote session, join the group plugdev and log in again",
            node.c_str(), ids.c_str(), installed.c_str());
    }
    if (!installed.empty()) {
        return Format(
            "USB: no permission for %s: the rule %s has no line for %s; add one like its others"
            " with ATTR{idVendor}==\"%04x\", ATTR{idProduct}==\"%04x\", run 'sudo udevadm"
            " control --reload', then plug the board in again",
            node.c_str(), installed.c_str(), ids.c_str(), id.vid, id.pid);
    }
    const std::string folder = ruleDirs.empty() ? "/etc/udev/rules.d" : ruleDirs.front();
    if (!shippedRule.empty() && RuleCovers(shippedRule, id)) {
        return Format(
            "USB: no permission for %s (%s): install the boards' udev rule with 'sudo cp %s %s/"
            " && sudo udevadm control --reload', then plug the board in again",
            node.c_str(), ids.c_str(), shippedRule.c_str(), folder.c_str());
    }
    const std::string target = (std::filesystem::path(folder) / kRuleName).string();
    return Format(
        "USB: no permission for %s (%s): add to %s%s%s the line 'SUBSYSTEM==\"usb\","
        " ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"%04x\", ATTR{idProduct}==\"%04x\","
        " MODE=\"0660\", GROUP=\"plugdev\", TAG+=\"uaccess\"', run 'sudo udevadm control"
        " --reload', then plug the board in again",
        node.c_str(), ids.c_str(), target.c_str(), shippedRule.empty() ? "" : " (a copy of ",
        shippedRule.empty() ? "" : (shippedRule + ")").c_str(), id.vid, id.pid);
}

}  // namespace quillon::usb
