#include "usb/usb_testbed.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <utility>

namespace quillon::test {
namespace {

std::string Three(int n) {
    char b[8];
    std::snprintf(b, sizeof b, "%03d", n);
    return b;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (std::uint8_t b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

int UrbStatus(const link::TransferResult& r) {
    switch (r.error) {
        case link::UsbError::None:
            return 0;
        case link::UsbError::Stall:
            return -EPIPE;
        case link::UsbError::NoDevice:
            return -ESHUTDOWN;
        case link::UsbError::Timeout:
            return -ETIMEDOUT;
        case link::UsbError::Overflow:
            return -EOVERFLOW;
        case link::UsbError::Cancelled:
            return -ENOENT;
        case link::UsbError::Io:
            return -EPROTO;
    }
    return -EPROTO;
}

}  // namespace

UsbTestbed::UsbTestbed() {
    testbed_ = umockdev_testbed_new();
    if (!testbed_) throw std::runtime_error("umockdev_testbed_new failed");
}

UsbTestbed::~UsbTestbed() {
    for (auto& [n, dev] : devs_) {
        umockdev_testbed_detach_ioctl(testbed_, ("/dev/bus/usb/001/" + Three(n)).c_str(), nullptr);
    }
    g_object_unref(testbed_);
    for (auto& [n, dev] : devs_) {
        for (Urb& u : dev->done) g_object_unref(u.urb);
        for (Urb& u : dev->held) g_object_unref(u.urb);
        g_object_unref(dev->handler);
    }
}

std::vector<std::uint8_t> UsbTestbed::OtherDescriptors(std::uint16_t vid, std::uint16_t pid) {
    // A vendor-specific interface, but with bulk endpoints 0x02 and 0x81.
    return {
        0x12,
        0x01,
        0x00,
        0x02,
        0x00,
        0x00,
        0x00,
        0x40,  //
        std::uint8_t(vid),
        std::uint8_t(vid >> 8),
        std::uint8_t(pid),  //
        std::uint8_t(pid >> 8),
        0x00,
        0x01,
        0x00,
        0x00,
        0x00,
        0x01,  //
        0x09,
        0x02,
        0x20,
        0x00,
        0x01,
        0x01,
        0x00,
        0x80,
        0x32,  // configuration
        0x09,
        0x04,
        0x00,
        0x00,
        0x02,
        0xFF,
        0x00,
        0x00,
        0x00,  // interface
        0x07,
        0x05,
        0x02,
        0x02,
        0x00,
        0x02,
        0x00,  // bulk OUT 0x02
        0x07,
        0x05,
        0x81,
        0x02,
        0x00,
        0x02,
        0x00,  // bulk IN 0x81
    };
}

void UsbTestbed::Plug(int devnum, sim::SimBoard& board) {
    Add(devnum, board.profile().usbVendorId, board.profile().usbProductId, board.UsbDescriptors(),
        &board);
}

void UsbTestbed::PlugOther(int devnum, std::vector<std::uint8_t> descriptors) {
    const std::uint16_t vid = descriptors[8] | (descriptors[9] << 8);
    const std::uint16_t pid = descriptors[10] | (descriptors[11] << 8);
    Add(devnum, vid, pid, descriptors, nullptr);
}

void UsbTestbed::Add(int devnum, std::uint16_t vid, std::uint16_t pid,
                     const std::vector<std::uint8_t>& descriptors, sim::SimBoard* board) {
    auto dev = std::make_unique<Dev>();
    dev->devnum = devnum;
    dev->board = board;
    dev->syspath = "/sys/devices/usb1/1-" + std::to_string(devnum);
    for (std::size_t i = 0; i + 6 < descriptors.size() && descriptors[i] > 0; i += descriptors[i]) {
        if (descriptors[i + 1] == 0x05) {
            dev->packetSize[descriptors[i + 2]] =
                (descriptors[i + 4] | (descriptors[i + 5] << 8)) & 0x7FF;
        }
    }
    dev->handler = umockdev_ioctl_base_new();
    g_signal_connect_after(dev->handler, "handle-ioctl", G_CALLBACK(&UsbTestbed::HandleIoctl),
                           dev.get());
    const std::string node = "/dev/bus/usb/001/" + Three(devnum);

    // The handler goes first, so libusb can open the device as soon as udev
    // announces it.
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed_, node.c_str(), dev->handler, &error)) {
        std::string what = error ? error->message : "attach_ioctl failed";
        g_clear_error(&error);
        throw std::runtime_error(what);
    }
    char ids[32];
    std::snprintf(ids, sizeof ids, "%04x/%04x/1", vid, pid);
    char vidText[8], pidText[8];
    std::snprintf(vidText, sizeof vidText, "%04x", vid);
    std::snprintf(pidText, sizeof pidText, "%04x", pid);
    // Attribute values carry the trailing newline that sysfs gives them.
    const std::string record =
        "P: /devices/usb1/1-" + std::to_string(devnum) + "\n" + "N: bus/usb/001/" + Three(devnum) +
        "\n"
        "E: SUBSYSTEM=usb\n"
        "E: DEVTYPE=usb_device\n"
        "E: DRIVER=usb\n"
        "E: BUSNUM=001\n"
        "E: DEVNUM=" +
        Three(devnum) + "\n" + "E: DEVNAME=" + node + "\n" + "E: PRODUCT=" + ids + "\n" +
        "A: busnum=1\\n\n"
        "A: devnum=" +
        std::to_string(devnum) + "\\n\n" + "A: dev=189:" + std::to_string(devnum - 1) + "\\n\n" +
        "A: bConfigurationValue=1\\n\n"
        "A: speed=480\\n\n"
        "A: idVendor=" +
        vidText + "\\n\n" + "A: idProduct=" + pidText + "\\n\n" +
        "H: descriptors=" + Hex(descriptors) + "\n";
    {
        std::lock_guard<std::mutex> lock(devsMu_);
        auto old = devs_.find(devnum);
        if (old != devs_.end()) throw std::runtime_error("device number in use");
        devs_[devnum] = std::move(dev);
    }
    if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error)) {
        std::string what = error ? error->message : "add_from_string failed";
        g_clear_error(&error);
        throw std::runtime_error(what);
    }
    // libusb opens the node itself; umockdev wants a file there to redirect.
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    const std::string file = std::string(root) + node;
    g_free(root);
    if (!g_file_test(file.c_str(), G_FILE_TEST_EXISTS)) std::ofstream(file).flush();
}

UsbTestbed::Dev& UsbTestbed::Find(int devnum) const {
    std::lock_guard<std::mutex> lock(devsMu_);
    auto it = devs_.find(devnum);
    if (it == devs_.end()) throw std::runtime_error("no such device");
    return *it->second;
}

void UsbTestbed::Unplug(int devnum, bool endUrbs) {
    Dev& dev = Find(devnum);
    {
        std::lock_guard<std::mutex> lock(dev.mu);
        if (dev.removed) return;
        dev.removed = true;
        dev.unplugged = true;
        // The kernel ends every URB of a vanished device with ESHUTDOWN.
        while (endUrbs && !dev.held.empty()) {
            Urb u = dev.held.front();
            dev.held.pop_front();
            u.status = -ESHUTDOWN;
            u.actual = 0;
            dev.done.push_back(u);
        }
    }
    // The uevent is built from the device's sysfs record, so it goes out
    // before the record does.
    umockdev_testbed_uevent(testbed_, dev.syspath.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_, dev.syspath.c_str());
}

void UsbTestbed::HoldBulkAfter(int devnum, std::uint64_t bytes) {
    Dev& dev = Find(devnum);
    std::lock_guard<std::mutex> lock(dev.mu);
    dev.holdAfter = bytes;
}

bool UsbTestbed::WaitForHeld(int devnum, std::chrono::milliseconds timeout) {
    Dev& dev = Find(devnum);
    std::unique_lock<std::mutex> lock(dev.mu);
    return dev.cv.wait_for(lock, timeout, [&] { return !dev.held.empty(); });
}

void UsbTestbed::HoldControl(int devnum) {
    Dev& dev = Find(devnum);
    std::lock_guard<std::mutex> lock(dev.mu);
    dev.holdControl = true;
}

void UsbTestbed::BindDriver(int devnum, std::string name) {
    Dev& dev = Find(devnum);
    std::lock_guard<std::mutex> lock(dev.mu);
    dev.driver = std::move(name);
}

UsbTestbed::Counts UsbTestbed::CountsOf(int devnum) const {
    Dev& dev = Find(devnum);
    std::lock_guard<std::mutex> lock(dev.mu);
    return dev.counts;
}

std::uint64_t UsbTestbed::LargestUrb(int devnum) const {
    Dev& dev = Find(devnum);
    std::lock_guard<std::mutex> lock(dev.mu);
    return dev.largestUrb;
}

gboolean UsbTestbed::HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    return Handle(*static_cast<Dev*>(self), client);
}

gboolean UsbTestbed::Handle(Dev& dev, UMockdevIoctlClient* client) {
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* d = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
            // What an xHCI controller offers: with scatter-gather libusb
            // sends each transfer as one URB.
            *reinterpret_cast<guint32*>(d->data) =
                USBDEVFS_CAP_BULK_SCATTER_GATHER | USBDEVFS_CAP_BULK_CONTINUATION |
                USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT |
                USBDEVFS_CAP_ZERO_PACKET;
            g_object_unref(d);
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE: {
            std::lock_guard<std::mutex> lock(dev.mu);
            if (dev.unplugged) {
                umockdev_ioctl_client_complete(client, -1, ENODEV);
                return TRUE;
            }
            if (request == USBDEVFS_CLAIMINTERFACE && !dev.driver.empty()) {
                umockdev_ioctl_client_complete(client, -1, EBUSY);
                return TRUE;
            }
            (request == USBDEVFS_CLAIMINTERFACE ? dev.counts.claims : dev.counts.releases) += 1;
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_CLEAR_HALT: {
            UMockdevIoctlData* d = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned), nullptr);
            const auto ep = static_cast<std::uint8_t>(*reinterpret_cast<unsigned*>(d->data));
            g_object_unref(d);
            std::lock_guard<std::mutex> lock(dev.mu);
            std::erase(dev.halted, ep);
            dev.counts.clearHalts += 1;
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_SETINTERFACE:
        case USBDEVFS_RESETEP:
        case USBDEVFS_RESET:
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        case USBDEVFS_GETDRIVER: {
            UMockdevIoctlData* d =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), nullptr);
            auto* g = reinterpret_cast<usbdevfs_getdriver*>(d->data);
            std::lock_guard<std::mutex> lock(dev.mu);
            if (dev.driver.empty()) {
                umockdev_ioctl_client_complete(client, -1, ENODATA);
            } else {
                std::snprintf(g->driver, sizeof g->driver, "%s", dev.driver.c_str());
                umockdev_ioctl_client_complete(client, 0, 0);
            }
            g_object_unref(d);
            return TRUE;
        }
        case USBDEVFS_IOCTL: {
            UMockdevIoctlData* d =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), nullptr);
            const int code = reinterpret_cast<usbdevfs_ioctl*>(d->data)->ioctl_code;
            g_object_unref(d);
            std::lock_guard<std::mutex> lock(dev.mu);
            if (code == static_cast<int>(USBDEVFS_DISCONNECT) && !dev.driver.empty()) {
                dev.detached = std::exchange(dev.driver, {});
                dev.counts.detaches += 1;
                umockdev_ioctl_client_complete(client, 0, 0);
            } else if (code == static_cast<int>(USBDEVFS_CONNECT) && !dev.detached.empty()) {
                dev.driver = std::exchange(dev.detached, {});
                dev.counts.attaches += 1;
                umockdev_ioctl_client_complete(client, 0, 0);
            } else {
                umockdev_ioctl_client_complete(client, -1, ENODATA);
            }
            return TRUE;
        }
        case USBDEVFS_SUBMITURB: {
            Submit(dev, client, arg);
            return TRUE;
        }
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY: {
            Urb u;
            {
                std::lock_guard<std::mutex> lock(dev.mu);
                if (dev.done.empty()) {
                    const bool gone = dev.unplugged && dev.held.empty();
                    umockdev_ioctl_client_complete(client, -1, gone ? ENODEV : EAGAIN);
                    return TRUE;
                }
                u = dev.done.front();
                dev.done.pop_front();
            }
            auto* urb = reinterpret_cast<usbdevfs_urb*>(u.urb->data);
            urb->status = u.status;
            urb->actual_length = u.actual;
            // The kernel hands back the address the client submitted.
            UMockdevIoctlData* ptr = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
            umockdev_ioctl_data_set_ptr(ptr, 0, u.urb);
            g_object_unref(ptr);
            g_object_unref(u.urb);
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_DISCARDURB: {
            const gulong address = *reinterpret_cast<gulong*>(arg->data);
            std::lock_guard<std::mutex> lock(dev.mu);
            for (auto it = dev.held.begin(); it != dev.held.end(); ++it) {
                if (it->urb->client_addr != address) continue;
                Urb u = *it;
                dev.held.erase(it);
                u.status = -ENOENT;
                u.actual = 0;
                dev.done.push_back(u);
                umockdev_ioctl_client_complete(client, 0, 0);
                return TRUE;
            }
            // Already answered: the kernel says EINVAL, libusb reaps it as is.
            umockdev_ioctl_client_complete(client, -1, EINVAL);
            return TRUE;
        }
        default:
            umockdev_ioctl_client_complete(client, -1, ENOTTY);
            return TRUE;
    }
}

void UsbTestbed::Submit(Dev& dev, UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    const int length = urb->buffer_length;
    UMockdevIoctlData* buffer =
        length > 0 ? umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer),
                                                 static_cast<gsize>(length), nullptr)
                   : nullptr;
    std::uint8_t* bytes = buffer ? buffer->data : nullptr;
    if (buffer) g_object_unref(buffer);  // urbData keeps it as its child

    Urb u;
    u.urb = urbData;
    {
        std::unique_lock<std::mutex> lock(dev.mu);
        if (dev.unplugged || !dev.board) {
            lock.unlock();
            g_object_unref(urbData);
            umockdev_ioctl_client_complete(client, -1, dev.board ? ENODEV : EPIPE);
            return;
        }
        if (urb->type == USBDEVFS_URB_TYPE_CONTROL && dev.holdControl) {
            dev.held.push_back(u);
            dev.cv.notify_all();
            umockdev_ioctl_client_complete(client, 0, 0);
            return;
        }
        if (urb->type == USBDEVFS_URB_TYPE_BULK) {
            dev.largestUrb = std::max<std::uint64_t>(dev.largestUrb, length);
            // A halted endpoint answers STALL until the host clears it.
            if (std::find(dev.halted.begin(), dev.halted.end(), urb->endpoint) !=
                dev.halted.end()) {
                u.status = -EPIPE;
                dev.done.push_back(u);
                umockdev_ioctl_client_complete(client, 0, 0);
                return;
            }
            if (dev.bulkBytes >= dev.holdAfter) {
                dev.held.push_back(u);
                dev.cv.notify_all();
                umockdev_ioctl_client_complete(client, 0, 0);
                return;
            }
        }
    }

    // The board answers outside the lock: it may take its time (link speed).
    link::TransferResult r;
    if (urb->type == USBDEVFS_URB_TYPE_CONTROL && length >= 8) {
        link::SetupPacket s;
        s.bmRequestType = bytes[0];
        s.bRequest = bytes[1];
        s.wValue = static_cast<std::uint16_t>(bytes[2] | (bytes[3] << 8));
        s.wIndex = static_cast<std::uint16_t>(bytes[4] | (bytes[5] << 8));
        s.wLength = static_cast<std::uint16_t>(bytes[6] | (bytes[7] << 8));
        const std::size_t stage = std::min<std::size_t>(s.wLength, length - 8);
        r = dev.board->Control(s, std::span<std::uint8_t>(bytes + 8, stage));
    } else if (urb->type == USBDEVFS_URB_TYPE_BULK) {
        const std::size_t n = static_cast<std::size_t>(length);
        const auto mps = dev.packetSize.find(urb->endpoint);
        if ((urb->endpoint & 0x80) && mps != dev.packetSize.end() && mps->second &&
            n % mps->second) {
            // The board sends whole packets while it has data; a buffer that
            // ends inside one overflows (babble), as on a real bus.
            std::vector<std::uint8_t> packets((n / mps->second + 1) * mps->second);
            r = dev.board->BulkIn(urb->endpoint, packets);
            std::copy_n(packets.begin(), std::min<std::size_t>(r.moved, n), bytes);
            if (r.ok() && r.moved > n) {
                r = {link::UsbError::Overflow, static_cast<std::uint32_t>(n), 0};
                std::lock_guard<std::mutex> lock(dev.mu);
                dev.counts.babbles += 1;
            }
        } else if (urb->endpoint & 0x80) {
            r = dev.board->BulkIn(urb->endpoint, std::span<std::uint8_t>(bytes, bytes ? n : 0));
        } else {
            r = dev.board->BulkOut(urb->endpoint,
                                   std::span<const std::uint8_t>(bytes, bytes ? n : 0));
        }
    } else {
        r.error = link::UsbError::Io;
    }
    u.status = UrbStatus(r);
    u.actual = static_cast<int>(r.moved);
    std::lock_guard<std::mutex> lock(dev.mu);
    if (urb->type == USBDEVFS_URB_TYPE_BULK) {
        dev.bulkBytes += r.moved;
        if (r.error == link::UsbError::Stall) dev.halted.push_back(urb->endpoint);
    }
    if (r.error == link::UsbError::NoDevice) dev.unplugged = true;
    dev.done.push_back(u);
    umockdev_ioctl_client_complete(client, 0, 0);
}

}  // namespace quillon::test
