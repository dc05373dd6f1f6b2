#include "usb/usb_testbed.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <stdexcept>
#include <utility>

namespace quillon::test {
namespace {

// Device nodes whose open fails, and how. umockdev's preload library serves
// the opens of the device nodes; this process's own open() comes before it
// and turns the refused ones away as the kernel would.
std::mutex g_refusedMu;
std::map<std::string, int> g_refused;

int RefusalOf(const char* path) {
    std::lock_guard<std::mutex> lock(g_refusedMu);
    const auto it = g_refused.find(path);
    return it == g_refused.end() ? 0 : it->second;
}

// The open functions below are called from inside ThreadSanitizer's runtime
// too (its symbolizer opens the program while it reports a race), where an
// instrumented access would report again and deadlock the report. So the
// opens of anything but a USB device node pass through untouched, and the
// next function is kept without a guarded static.
#define QUILLON_UNINSTRUMENTED __attribute__((no_sanitize("thread"), noinline))

QUILLON_UNINSTRUMENTED bool UsbNode(const char* path) {
    static constexpr char kPrefix[] = "/dev/bus/usb/";
    if (!path) return false;
    for (std::size_t i = 0; i + 1 < sizeof kPrefix; ++i) {
        if (path[i] != kPrefix[i]) return false;
    }
    return true;
}

template <typename Function>
QUILLON_UNINSTRUMENTED Function Next(Function* slot, const char* name) {
    Function next = __atomic_load_n(slot, __ATOMIC_ACQUIRE);
    if (!next) {
        next = reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
        __atomic_store_n(slot, next, __ATOMIC_RELEASE);
    }
    return next;
}

template <typename Open>
QUILLON_UNINSTRUMENTED int OpenUnlessRefused(Open* slot, const char* name, const char* path,
                                             int flags, va_list args) {
    mode_t mode = 0;
    if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) mode = va_arg(args, mode_t);
    if (UsbNode(path)) {
        if (const int error = RefusalOf(path)) {
            errno = error;
            return -1;
        }
    }
    return Next(slot, name)(path, flags, mode);
}

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

// Device and configuration descriptor of a device with one vendor-specific
// interface and the given endpoints (address, wMaxPacketSize).
std::vector<std::uint8_t> VendorDevice(std::uint16_t vid, std::uint16_t pid,
                                       std::vector<std::pair<std::uint8_t, std::uint16_t>> eps) {
    const auto total = static_cast<std::uint16_t>(9 + 9 + 7 * eps.size());
    std::vector<std::uint8_t> d = {
        0x12, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x40,  // device
        std::uint8_t(vid), std::uint8_t(vid >> 8), std::uint8_t(pid), std::uint8_t(pid >> 8),
        0x00, 0x01, 0x00, 0x00, 0x00, 0x01,  //
        0x09, 0x02, std::uint8_t(total), std::uint8_t(total >> 8), 0x01, 0x01, 0x00, 0x80,
        0x32,  // configuration
        0x09, 0x04, 0x00, 0x00, std::uint8_t(eps.size()), 0xFF, 0x00, 0x00, 0x00,  // interface
    };
    for (auto [ep, mps] : eps) {
        d.insert(d.end(), {0x07, 0x05, ep, 0x02, std::uint8_t(mps), std::uint8_t(mps >> 8), 0x00});
    }
    return d;
}

}  // namespace

bool UsbTestbed::Urb::control() const {
    return type == USBDEVFS_URB_TYPE_CONTROL;
}
bool UsbTestbed::Urb::bulk() const {
    return type == USBDEVFS_URB_TYPE_BULK;
}

UsbTestbed::UsbTestbed(Controller controller) : controller_(controller) {
    testbed_ = umockdev_testbed_new();
    if (!testbed_) throw std::runtime_error("umockdev_testbed_new failed");
}

UsbTestbed::~UsbTestbed() {
    {
        std::lock_guard<std::mutex> lock(g_refusedMu);
        g_refused.clear();
    }
    for (auto& [n, dev] : devs_) StopCompleter(*dev);
    for (auto& [n, dev] : devs_) {
        umockdev_testbed_detach_ioctl(testbed_, ("/dev/bus/usb/001/" + Three(n)).c_str(), nullptr);
    }
    g_object_unref(testbed_);
    for (auto& [n, dev] : devs_) {
        for (auto* q : {&dev->pending, &dev->done, &dev->held}) {
            for (Urb& u : *q) g_object_unref(u.urb);
        }
        g_object_unref(dev->handler);
    }
}

std::vector<std::uint8_t> UsbTestbed::OtherDescriptors(std::uint16_t vid, std::uint16_t pid) {
    // A vendor-specific interface, but with bulk endpoints 0x02 and 0x81.
    return VendorDevice(vid, pid, {{0x02, 512}, {0x81, 512}});
}

std::vector<std::uint8_t> UsbTestbed::BootloaderDescriptors(std::uint16_t vid, std::uint16_t pid) {
    return VendorDevice(vid, pid, {});
}

void UsbTestbed::Plug(int devnum, sim::SimBoard& board, const PlugOptions& options) {
    Add(devnum, board.profile().usbVendorId, board.profile().usbProductId,
        options.descriptors.empty() ? board.UsbDescriptors() : options.descriptors, &board,
        options.configured, options.ports,
        options.serialInSysfs ? board.profile().usbSerial : std::string());
}

void UsbTestbed::PlugHub(int devnum, const std::string& ports) {
    std::vector<std::uint8_t> d = VendorDevice(0x1D6B, 0x0002, {{0x81, 4}});
    d[4] = 0x09;       // device class: hub
    d[18 + 9 + 5] = 0x09;  // interface class: hub
    Add(devnum, 0x1D6B, 0x0002, d, nullptr, true, ports);
}

void UsbTestbed::PlugOther(int devnum, std::vector<std::uint8_t> descriptors, bool configured) {
    const std::uint16_t vid = descriptors[8] | (descriptors[9] << 8);
    const std::uint16_t pid = descriptors[10] | (descriptors[11] << 8);
    Add(devnum, vid, pid, descriptors, nullptr, configured);
}

void UsbTestbed::Add(int devnum, std::uint16_t vid, std::uint16_t pid,
                     const std::vector<std::uint8_t>& descriptors, sim::SimBoard* board,
                     bool configured, const std::string& ports, const std::string& serial) {
    auto dev = std::make_unique<Dev>();
    dev->devnum = devnum;
    dev->board = board;
    dev->scatterGather = controller_ == Controller::ScatterGather;
    const std::string name = "1-" + (ports.empty() ? std::to_string(devnum) : ports);
    dev->syspath = "/sys/devices/usb1/" + name;
    int iface = 0, alt = 0;
    for (std::size_t i = 0; i + 1 < descriptors.size() && descriptors[i] > 0;
         i += descriptors[i]) {
        if (descriptors[i + 1] == 0x04 && i + 3 < descriptors.size()) {
            iface = descriptors[i + 2];
            alt = descriptors[i + 3];
            dev->packetSize[iface][alt];
        } else if (descriptors[i + 1] == 0x05 && i + 5 < descriptors.size()) {
            dev->packetSize[iface][alt][descriptors[i + 2]] =
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
    // Attribute values carry the trailing newline that sysfs gives them; an
    // unconfigured device has an empty bConfigurationValue.
    const std::string record =
        "P: /devices/usb1/" + name + "\n" + "N: bus/usb/001/" + Three(devnum) +
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
        "A: bConfigurationValue=" + (configured ? "1" : "") +
        "\\n\n"
        "A: speed=480\\n\n"
        "A: idVendor=" +
        vidText + "\\n\n" + "A: idProduct=" + pidText + "\\n\n" +
        (serial.empty() ? "" : "A: serial=" + serial + "\\n\n") +
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

void UsbTestbed::Configure(int devnum) {
    Dev& dev = Find(devnum);
    umockdev_testbed_set_attribute(testbed_, dev.syspath.c_str(), "bConfigurationValue", "1\n");
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
        // The kernel ends every URB of a vanished device with ESHUTDOWN,
        // with the bytes that moved before.
        for (auto* q : {&dev.held, &dev.pending}) {
            while (endUrbs && !q->empty()) {
                Urb u = q->front();
                q->pop_front();
                u.status = -ESHUTDOWN;
                dev.done.push_back(u);
            }
        }
        dev.cv.notify_all();
    }
    // The uevent is built from the device's sysfs record, so it goes out
    // before the record does.
    umockdev_testbed_uevent(testbed_, dev.syspath.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_, dev.syspath.c_str());
}

void UsbTestbed::CompleteLater(int devnum, std::chrono::milliseconds refillGrace) {
    Dev& dev = Find(devnum);
    std::lock_guard<std::mutex> lock(dev.mu);
    dev.refillGrace = refillGrace;
    if (dev.late) return;
    dev.late = true;
    dev.completer = std::thread([&dev] { CompleterLoop(dev); });
}

void UsbTestbed::StopCompleter(Dev& dev) {
    {
        std::lock_guard<std::mutex> lock(dev.mu);
        dev.stop = true;
        dev.cv.notify_all();
    }
    if (dev.completer.joinable()) dev.completer.join();
}

void UsbTestbed::HoldBulkAfter(int devnum, std::uint64_t bytes) {
    Dev& dev = Find(devnum);
    std::lock_guard<std::mutex> lock(dev.mu);
    dev.holdAfter = dev.bulkBytes + bytes;
}

void UsbTestbed::StopHolding(int devnum) {
    Dev& dev = Find(devnum);
    std::lock_guard<std::mutex> lock(dev.mu);
    dev.holdAfter = UINT64_MAX;
    dev.holdControl = false;
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

void UsbTestbed::FailSubmit(int devnum, int nth, int error) {
    Dev& dev = Find(devnum);
    std::lock_guard<std::mutex> lock(dev.mu);
    dev.failSubmitAt = nth;
    dev.failSubmitError = error;
}

void UsbTestbed::FailUrb(int devnum, int nth, int error, std::size_t partial) {
    Dev& dev = Find(devnum);
    std::lock_guard<std::mutex> lock(dev.mu);
    dev.failUrbAt = nth;
    dev.failUrbError = error;
    dev.failUrbPartial = partial;
}

void UsbTestbed::RefuseOpen(int devnum, int error) {
    const std::string node = "/dev/bus/usb/001/" + Three(devnum);
    std::lock_guard<std::mutex> lock(g_refusedMu);
    if (error) {
        g_refused[node] = error;
    } else {
        g_refused.erase(node);
    }
}

void UsbTestbed::FailClaims(int devnum, int count) {
    Dev& dev = Find(devnum);
    std::lock_guard<std::mutex> lock(dev.mu);
    dev.failClaims = count;
}

void UsbTestbed::BindDriver(int devnum, std::string name, bool rebinds) {
    Dev& dev = Find(devnum);
    std::lock_guard<std::mutex> lock(dev.mu);
    dev.driver = std::move(name);
    dev.rebinds = rebinds;
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

std::vector<UsbTestbed::UrbEvent> UsbTestbed::UrbLog(int devnum) const {
    Dev& dev = Find(devnum);
    std::lock_guard<std::mutex> lock(dev.mu);
    return dev.log;
}

gboolean UsbTestbed::HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    return Handle(*static_cast<Dev*>(self), client);
}

std::size_t UsbTestbed::PacketSizeLocked(const Dev& dev, std::uint8_t endpoint, bool* known) {
    for (const auto& [iface, alts] : dev.packetSize) {
        const auto cur = dev.altSetting.find(iface);
        const auto alt = alts.find(cur == dev.altSetting.end() ? 0 : cur->second);
        if (alt == alts.end()) continue;
        const auto ep = alt->second.find(endpoint);
        if (ep == alt->second.end()) continue;
        if (known) *known = true;
        return ep->second;
    }
    if (known) *known = false;
    return 0;
}

gboolean UsbTestbed::Handle(Dev& dev, UMockdevIoctlClient* client) {
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* d = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
            // With scatter-gather libusb sends each transfer as one URB;
            // without it, as URBs of 16 KiB flagged to be one transfer.
            guint32 caps = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                           USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
            if (dev.scatterGather) caps |= USBDEVFS_CAP_BULK_SCATTER_GATHER;
            *reinterpret_cast<guint32*>(d->data) = caps;
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
            if (request == USBDEVFS_CLAIMINTERFACE) {
                if (dev.failClaims > 0) {
                    --dev.failClaims;
                    umockdev_ioctl_client_complete(client, -1, ENOENT);
                    return TRUE;
                }
                if (!dev.driver.empty()) {
                    umockdev_ioctl_client_complete(client, -1, EBUSY);
                    return TRUE;
                }
            }
            (request == USBDEVFS_CLAIMINTERFACE ? dev.counts.claims : dev.counts.releases) += 1;
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_DISCONNECT_CLAIM: {
            UMockdevIoctlData* d =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_disconnect_claim), nullptr);
            const auto dc = *reinterpret_cast<usbdevfs_disconnect_claim*>(d->data);
            g_object_unref(d);
            std::lock_guard<std::mutex> lock(dev.mu);
            int err = 0;
            if (dev.unplugged) {
                err = ENODEV;
            } else if (dev.failClaims > 0) {
                --dev.failClaims;
                err = EINVAL;  // what this request answers for a missing interface
            } else if (!dev.driver.empty()) {
                const bool same = dev.driver == dc.driver;
                if ((dc.flags & USBDEVFS_DISCONNECT_CLAIM_EXCEPT_DRIVER) ? same
                    : (dc.flags & USBDEVFS_DISCONNECT_CLAIM_IF_DRIVER)  ? !same
                                                                        : false) {
                    err = EBUSY;
                } else {
                    dev.detached = std::exchange(dev.driver, {});
                    dev.counts.detaches += 1;
                }
            }
            if (err) {
                umockdev_ioctl_client_complete(client, -1, err);
            } else {
                dev.counts.claims += 1;
                umockdev_ioctl_client_complete(client, 0, 0);
            }
            return TRUE;
        }
        case USBDEVFS_CLEAR_HALT: {
            UMockdevIoctlData* d = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned), nullptr);
            const auto ep = static_cast<std::uint8_t>(*reinterpret_cast<unsigned*>(d->data));
            g_object_unref(d);
            std::lock_guard<std::mutex> lock(dev.mu);
            // CLEAR_FEATURE(ENDPOINT_HALT) resets the data toggle on both sides.
            std::erase(dev.halted, ep);
            std::erase(dev.toggled, ep);
            dev.counts.clearHalts += 1;
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_SETINTERFACE: {
            UMockdevIoctlData* d =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_setinterface), nullptr);
            const auto si = *reinterpret_cast<usbdevfs_setinterface*>(d->data);
            g_object_unref(d);
            std::lock_guard<std::mutex> lock(dev.mu);
            const auto iface = dev.packetSize.find(static_cast<int>(si.interface));
            if (iface == dev.packetSize.end() ||
                !iface->second.count(static_cast<int>(si.altsetting))) {
                umockdev_ioctl_client_complete(client, -1, EINVAL);
                return TRUE;
            }
            dev.altSetting[static_cast<int>(si.interface)] = static_cast<int>(si.altsetting);
            dev.counts.altSettings.push_back(static_cast<int>(si.altsetting));
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
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
                // A driver that binds again at once is back before a claim
                // that follows the disconnect can come.
                if (!dev.rebinds) dev.detached = std::exchange(dev.driver, {});
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
                    const bool gone = dev.unplugged && dev.held.empty() && dev.pending.empty();
                    umockdev_ioctl_client_complete(client, -1, gone ? ENODEV : EAGAIN);
                    return TRUE;
                }
                u = dev.done.front();
                dev.done.pop_front();
                if (u.bulk()) {
                    dev.log.push_back(
                        {UrbEvent::Reap, u.id, u.endpoint, u.actual, u.status, u.transfer});
                }
                if (dev.awaitingReap == u.id) {
                    dev.awaitingReap = 0;
                    dev.cv.notify_all();
                }
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
            std::unique_lock<std::mutex> lock(dev.mu);
            // The kernel kills the URB and returns once it has ended: one on
            // the bus right now ends first, as it would have.
            const bool wasAnswering = dev.answering && dev.answeringAddress == address;
            dev.cv.wait(lock, [&] { return !dev.answering || dev.answeringAddress != address; });
            // A URB the board has not finished ends with what moved so far,
            // and -ENOENT (usb_kill_urb's status).
            for (auto* q : {&dev.held, &dev.pending}) {
                for (auto it = q->begin(); it != q->end(); ++it) {
                    if (it->urb->client_addr != address) continue;
                    Urb u = *it;
                    q->erase(it);
                    u.status = -ENOENT;
                    if (u.bulk()) {
                        dev.counts.discards += 1;
                        // Taken back in the middle: a packet may have been on
                        // the wire, and the two sides disagree on its toggle.
                        if (u.actual > 0) dev.toggled.push_back(u.endpoint);
                    }
                    dev.done.push_back(u);
                    umockdev_ioctl_client_complete(client, 0, 0);
                    return TRUE;
                }
            }
            // It ended while the kill waited for it: it keeps its status. One
            // answered before (waiting to be reaped): EINVAL, libusb reaps it
            // as it is.
            if (wasAnswering) {
                umockdev_ioctl_client_complete(client, 0, 0);
            } else {
                umockdev_ioctl_client_complete(client, -1, EINVAL);
            }
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
    if (buffer) g_object_unref(buffer);  // urbData keeps it as its child

    Urb u;
    u.urb = urbData;
    u.type = urb->type;
    u.flags = urb->flags;
    u.endpoint = urb->endpoint;
    u.bytes = buffer ? buffer->data : nullptr;
    u.length = length;

    std::unique_lock<std::mutex> lock(dev.mu);
    auto refuse = [&](int err) {
        lock.unlock();
        g_object_unref(urbData);
        umockdev_ioctl_client_complete(client, -1, err);
    };
    if (dev.unplugged || !dev.board) return refuse(dev.board ? ENODEV : EPIPE);
    if (u.bulk()) {
        if (dev.failSubmitAt > 0 && --dev.failSubmitAt == 0) return refuse(dev.failSubmitError);
        // usbfs takes only endpoints of the interfaces' current settings,
        // and the host controller no endpoint without a packet size.
        bool known = false;
        const std::size_t mps = PacketSizeLocked(dev, u.endpoint, &known);
        if (!known) return refuse(ENOENT);
        if (mps == 0) return refuse(EMSGSIZE);
        // A transfer that ended early takes no more of its URBs; a new one
        // opens the endpoint again.
        const bool continuation = (u.flags & USBDEVFS_URB_BULK_CONTINUATION) != 0;
        auto& closed = dev.noContinuation;
        if (!continuation) {
            std::erase(closed, u.endpoint);
        } else if (std::find(closed.begin(), closed.end(), u.endpoint) != closed.end()) {
            return refuse(EREMOTEIO);
        }
        dev.largestUrb = std::max<std::uint64_t>(dev.largestUrb, length);
        u.id = dev.nextId++;
        if (!continuation || !dev.transferAt.count(u.endpoint)) dev.transferAt[u.endpoint] = u.id;
        u.transfer = dev.transferAt[u.endpoint];
        dev.log.push_back({UrbEvent::Submit, u.id, u.endpoint, length, 0, u.transfer});
    } else {
        u.id = dev.nextId++;
    }
    dev.submits += 1;
    if (!dev.late) {
        Answer(dev, u, lock);
        lock.unlock();
        umockdev_ioctl_client_complete(client, 0, 0);
        return;
    }
    // Completing the submit copies the URB's buffer back to the client: the
    // completer may write into it only afterwards. (Nothing else of this
    // client is handled meanwhile: umockdev serves its ioctls one by one.)
    lock.unlock();
    umockdev_ioctl_client_complete(client, 0, 0);
    lock.lock();
    if (dev.unplugged) {
        u.status = -ESHUTDOWN;
        dev.done.push_back(u);
    } else {
        dev.pending.push_back(u);
    }
    dev.cv.notify_all();
}

void UsbTestbed::Finish(Dev& dev, Urb u, int status) {
    u.status = status;
    dev.done.push_back(u);
    if (!u.bulk() || status >= 0 || status == -ENOENT || status == -ECONNRESET) return;
    // usbfs ends the rest of a failed URB's transfer while the controller
    // holds the endpoint's queue: the URBs behind it that continue the same
    // transfer end without moving anything. When no new transfer was queued
    // behind them, continuations submitted later are refused.
    std::vector<const Urb*> behind;
    for (const auto* q : {&dev.held, &dev.pending}) {
        for (const Urb& b : *q) {
            if (b.bulk() && b.endpoint == u.endpoint) behind.push_back(&b);
        }
    }
    std::sort(behind.begin(), behind.end(),
              [](const Urb* a, const Urb* b) { return a->id < b->id; });
    std::vector<int> ended;
    bool newTransfer = false;
    for (const Urb* b : behind) {
        newTransfer = !(b->flags & USBDEVFS_URB_BULK_CONTINUATION);
        if (newTransfer) break;
        ended.push_back(b->id);
    }
    for (auto* q : {&dev.held, &dev.pending}) {
        std::erase_if(*q, [&](const Urb& b) {
            if (std::find(ended.begin(), ended.end(), b.id) == ended.end()) return false;
            Urb e = b;
            e.status = -ECONNRESET;
            dev.done.push_back(e);
            return true;
        });
    }
    if (!newTransfer) dev.noContinuation.push_back(u.endpoint);
    dev.cv.notify_all();
}

void UsbTestbed::Answer(Dev& dev, Urb u, std::unique_lock<std::mutex>& lock) {
    auto finish = [&](int status) { Finish(dev, u, status); };
    auto hold = [&] {
        dev.held.push_back(u);
        dev.cv.notify_all();
    };
    if (u.control() && dev.holdControl) return hold();
    if (!u.control() && !u.bulk()) return finish(-EPROTO);

    if (u.control()) {
        link::TransferResult r{link::UsbError::Io};
        if (u.length >= 8) {
            const std::uint8_t* b = u.bytes;
            link::SetupPacket s;
            s.bmRequestType = b[0];
            s.bRequest = b[1];
            s.wValue = static_cast<std::uint16_t>(b[2] | (b[3] << 8));
            s.wIndex = static_cast<std::uint16_t>(b[4] | (b[5] << 8));
            s.wLength = static_cast<std::uint16_t>(b[6] | (b[7] << 8));
            const std::size_t stage = std::min<std::size_t>(s.wLength, u.length - 8);
            lock.unlock();
            r = dev.board->Control(s, std::span<std::uint8_t>(u.bytes + 8, stage));
            lock.lock();
        }
        u.actual = static_cast<int>(r.moved);
        if (r.error == link::UsbError::NoDevice) dev.unplugged = true;
        return finish(UrbStatus(r));
    }

    // An endpoint's URBs end in order: none passes one left in flight.
    if (std::any_of(dev.held.begin(), dev.held.end(),
                    [&](const Urb& h) { return h.endpoint == u.endpoint; })) {
        return hold();
    }
    // A halted endpoint answers STALL until the host clears it.
    if (std::find(dev.halted.begin(), dev.halted.end(), u.endpoint) != dev.halted.end()) {
        return finish(-EPIPE);
    }
    // A board whose FIFO stopped (hang_bulk) NAKs until the host gives up:
    // the URB is left in flight without asking the board, which would wait
    // inside the call for an abort or an unplug.
    if (dev.board->TakeHungBulk()) return hold();
    const bool in = (u.endpoint & 0x80) != 0;
    const std::size_t mps = PacketSizeLocked(dev, u.endpoint, nullptr);
    const auto n = static_cast<std::size_t>(u.length);
    std::size_t limit = n;  // bytes this URB may move now
    int failure = 0;
    if (dev.failUrbAt > 0 && --dev.failUrbAt == 0) {
        failure = dev.failUrbError;
        limit = std::min(n, dev.failUrbPartial);
    }
    bool holding = false;
    if (dev.bulkBytes >= dev.holdAfter) return hold();
    if (dev.bulkBytes + limit > dev.holdAfter) {
        limit = static_cast<std::size_t>(dev.holdAfter - dev.bulkBytes);
        holding = true;
    }
    // Toggles out of step: the first packet is taken for a repeat of the
    // last one and dropped by whoever receives it.
    const bool dropFirst =
        std::find(dev.toggled.begin(), dev.toggled.end(), u.endpoint) != dev.toggled.end();
    std::erase(dev.toggled, u.endpoint);

    // The board answers outside the lock: it may take its time (link speed).
    lock.unlock();
    link::TransferResult r;  // nothing moved when the URB may move nothing
    std::size_t skip = 0;
    if (dropFirst && limit > 0 && mps) {
        skip = std::min(mps, limit);
        if (in) {
            std::vector<std::uint8_t> lost(skip);
            dev.board->BulkIn(u.endpoint, lost);
        }
    }
    bool babble = false;
    if (in && mps && limit == n && n % mps) {
        // The board sends whole packets while it has data; a buffer that
        // ends inside one overflows (babble), as on a real bus.
        std::vector<std::uint8_t> packets((n / mps + 1) * mps);
        r = dev.board->BulkIn(u.endpoint, packets);
        std::copy_n(packets.begin(), std::min<std::size_t>(r.moved, n), u.bytes);
        if (r.ok() && r.moved > n) {
            r = {link::UsbError::Overflow, static_cast<std::uint32_t>(n), 0};
            babble = true;
        }
    } else if (limit == 0) {
    } else if (in) {
        r = dev.board->BulkIn(u.endpoint, std::span<std::uint8_t>(u.bytes, limit));
    } else {
        r = dev.board->BulkOut(u.endpoint,
                               std::span<const std::uint8_t>(u.bytes + skip, limit - skip));
        if (r.moved) r.moved += static_cast<std::uint32_t>(skip);  // the host saw it go
    }
    lock.lock();
    if (babble) dev.counts.babbles += 1;
    u.actual = static_cast<int>(r.moved);
    dev.bulkBytes += r.moved;
    if (r.error == link::UsbError::NoDevice) dev.unplugged = true;
    if (r.error == link::UsbError::Stall || r.error == link::UsbError::Overflow) {
        dev.halted.push_back(u.endpoint);
    }
    // The board stops a transfer when it sees the host's abort flag, which no
    // real board can see: on the bus it only stopped moving data, and the
    // URB stays in flight with what moved until the host takes it back.
    if (r.error == link::UsbError::Cancelled) return hold();
    if (!r.ok()) return finish(UrbStatus(r));
    if (failure) {
        if (failure == EPIPE || failure == EOVERFLOW) dev.halted.push_back(u.endpoint);
        if (failure == EPROTO) dev.toggled.push_back(u.endpoint);
        return finish(-failure);
    }
    if (holding && r.moved == limit) return hold();
    // A short packet into a URB flagged short-not-ok fails it.
    if (in && (u.flags & USBDEVFS_URB_SHORT_NOT_OK) && r.moved < n) return finish(-EREMOTEIO);
    finish(0);
}

void UsbTestbed::CompleterLoop(Dev& dev) {
    std::unique_lock<std::mutex> lock(dev.mu);
    std::uint64_t submitsAtReap = 0;
    bool graceDue = false;
    for (;;) {
        dev.cv.wait(lock, [&] {
            return dev.stop || (!dev.unplugged && !dev.pending.empty() && dev.awaitingReap == 0);
        });
        if (dev.stop) return;
        if (graceDue && dev.refillGrace.count() > 0) {
            // The bus goes on with the next URB while the host refills its
            // queue; a host that refills at once has done so by now.
            graceDue = false;
            dev.cv.wait_for(lock, dev.refillGrace,
                            [&] { return dev.stop || dev.submits > submitsAtReap; });
            continue;  // the queue may have changed meanwhile
        }
        Urb u = dev.pending.front();
        dev.pending.pop_front();
        const std::size_t before = dev.done.size();
        dev.answering = u.id;
        dev.answeringAddress = u.urb->client_addr;
        Answer(dev, u, lock);
        dev.answering = 0;
        dev.cv.notify_all();
        if (dev.done.size() > before) {
            dev.awaitingReap = dev.done.back().id;
            dev.cv.wait(lock, [&] { return dev.stop || dev.awaitingReap == 0 || dev.unplugged; });
            submitsAtReap = dev.submits;
            // The host refills its queue when a transfer has ended, not
            // between the URBs of one.
            graceDue = dev.pending.empty() ||
                       !(dev.pending.front().flags & USBDEVFS_URB_BULK_CONTINUATION);
        }
    }
}

}  // namespace quillon::test

using OpenFunction = int (*)(const char*, int, ...);
using Open2Function = int (*)(const char*, int);

namespace {
OpenFunction g_open = nullptr, g_open64 = nullptr;
Open2Function g_open2 = nullptr, g_open64_2 = nullptr;

QUILLON_UNINSTRUMENTED int Open2UnlessRefused(Open2Function* slot, const char* name,
                                              const char* path, int flags) {
    if (quillon::test::UsbNode(path)) {
        if (const int error = quillon::test::RefusalOf(path)) {
            errno = error;
            return -1;
        }
    }
    return quillon::test::Next(slot, name)(path, flags);
}
}  // namespace

extern "C" QUILLON_UNINSTRUMENTED int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const int fd = quillon::test::OpenUnlessRefused(&g_open, "open", path, flags, args);
    va_end(args);
    return fd;
}

extern "C" QUILLON_UNINSTRUMENTED int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const int fd = quillon::test::OpenUnlessRefused(&g_open64, "open64", path, flags, args);
    va_end(args);
    return fd;
}

// The fortified forms, which a library built with _FORTIFY_SOURCE calls when
// its flags are not known at compile time.
extern "C" QUILLON_UNINSTRUMENTED int __open_2(const char* path, int flags) {
    return Open2UnlessRefused(&g_open2, "__open_2", path, flags);
}

extern "C" QUILLON_UNINSTRUMENTED int __open64_2(const char* path, int flags) {
    return Open2UnlessRefused(&g_open64_2, "__open64_2", path, flags);
}
