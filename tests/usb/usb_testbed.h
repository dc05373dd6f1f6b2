#pragma once
// A umockdev testbed with USB devices on bus 1 whose usbdevfs URBs are
// answered by simulated boards, so the real libusb runs against them.
//
// The process must run under umockdev's preload (the test main re-executes
// itself with it). The ioctl handler runs on umockdev's own thread; every
// method here is safe to call from the test thread meanwhile.
//
// By default a URB is answered inside its submit call. CompleteLater() makes
// a device answer from a thread of its own instead, one URB at a time in the
// order submitted (so each endpoint's URBs complete in order), as a host
// controller does, so the host sees URBs in flight for real.
//
// The host controller takes bulk transfers one of two ways (Controller), and
// usbfs ends them as the kernel does in either.

#include <umockdev.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_board.h"

namespace quillon::test {

class UsbTestbed {
  public:
    // How the host controller takes a bulk transfer; libusb asks when it
    // opens a device, so it is chosen before the devices are opened.
    //  ScatterGather (an xHCI controller): libusb hands each transfer to the
    //   kernel as one URB. A short packet ends that URB alone; URBs queued
    //   behind it go on with what the board sends next.
    //  SplitUrbs (USB 2 hosts and older controllers, where FX2 boards usually
    //   sit): libusb cuts each transfer into URBs of 16 KiB, all but the first
    //   flagged as its continuation and, on reads, all but the last as
    //   short-not-ok. A short packet ends the URB it arrives in (-EREMOTEIO);
    //   usbfs takes back the URBs of the same transfer behind it (-ECONNRESET,
    //   nothing moved) and refuses further continuations until a new transfer
    //   begins. URBs of a later transfer go on.
    enum class Controller { ScatterGather, SplitUrbs };
    explicit UsbTestbed(Controller controller = Controller::ScatterGather);
    ~UsbTestbed();
    UsbTestbed(const UsbTestbed&) = delete;
    UsbTestbed& operator=(const UsbTestbed&) = delete;

    struct PlugOptions {
        // False: the device shows no active configuration yet (an empty
        // bConfigurationValue, as while the kernel is still setting it up)
        // until Configure().
        bool configured = true;
        // Descriptors to show instead of the board's own.
        std::vector<std::uint8_t> descriptors;
        // The port path from the root hub ("3.2"); default: the device number.
        std::string ports;
        // The kernel's copy of the serial number in sysfs, as the kernel keeps
        // it; without it a serial number is read from the board.
        bool serialInSysfs = false;
    };
    // Plugs `board` in as device `devnum` (1..127) of bus 1; udev sees "add".
    void Plug(int devnum, sim::SimBoard& board) { Plug(devnum, board, PlugOptions{}); }
    void Plug(int devnum, sim::SimBoard& board, const PlugOptions& options);
    // Plugs in a hub at port path `ports` ("3"), so that devices behind it
    // ("3.1") get their whole port path. Plug it before them.
    void PlugHub(int devnum, const std::string& ports);
    // Plugs in a device that is not a board: its URBs are refused.
    void PlugOther(int devnum, std::vector<std::uint8_t> descriptors, bool configured = true);
    // The kernel has set the device's configuration.
    void Configure(int devnum);
    // Pulls the cable: URBs in flight end with ESHUTDOWN as the kernel ends
    // them, further requests fail with ENODEV, udev sees "remove".
    // With `endUrbs` false the URBs in flight stay there until the host
    // cancels them (a driver that never completes them on its own).
    void Unplug(int devnum, bool endUrbs = true);

    // Answers URBs of `devnum` from now on from a thread of its own. The
    // next URB is answered once the previous one has been reaped and, when
    // `refillGrace` is not zero, the host has submitted another URB since
    // (or that long has passed): the pace of a bus that keeps moving while
    // the host refills its queue.
    void CompleteLater(int devnum, std::chrono::milliseconds refillGrace = {});

    // A bulk URB stays in flight (never reaped) until the host discards it or
    // an unplug ends it: when the board's hang_bulk fault names it, when one
    // before it on its endpoint is held, and when the board stopped it early
    // because the host's abort flag is set (with the bytes moved until then).
    // A URB discarded after it moved bytes leaves the endpoint's data toggle
    // out of step until the host clears the endpoint.
    //
    // From now on, bulk URBs of `devnum` are left in flight unanswered once
    // `bytes` more bulk bytes have moved (until the host discards them or an
    // unplug ends them). A URB that reaches the limit moves its bytes up to it
    // first, and keeps them as its length when it is discarded.
    void HoldBulkAfter(int devnum, std::uint64_t bytes);
    // Waits until a URB is being held; false after `timeout`.
    bool WaitForHeld(int devnum, std::chrono::milliseconds timeout);
    // From now on, control URBs of `devnum` are left in flight unanswered
    // (a firmware that NAKs the request).
    void HoldControl(int devnum);
    // New URBs are answered again (those held stay held).
    void StopHolding(int devnum);

    // The `nth` bulk URB submitted from now on (1 = the next) is refused by
    // the submit call with `error` (ENOMEM: the usbfs memory pool is used up;
    // ENODEV).
    void FailSubmit(int devnum, int nth, int error);
    // The `nth` bulk URB submitted from now on moves `partial` bytes and then
    // ends with -`error`: EPIPE (the board stalls; the endpoint stays halted
    // until cleared), EOVERFLOW (babble; halted too), EPROTO (a transaction
    // error: the host's data toggle is reset and the board's is not, so the
    // first packet after it is lost until the host clears the endpoint).
    void FailUrb(int devnum, int nth, int error, std::size_t partial = 0);
    // The next `count` claims fail as for an interface that is not
    // registered yet (ENOENT; EINVAL from a disconnect-and-claim).
    void FailClaims(int devnum, int count);
    // Opening the device's node fails with `error` from now on (0: opens
    // again): EACCES as for a user whom no udev rule lets in, EBUSY.
    void RefuseOpen(int devnum, int error);

    // A kernel driver holds the interface: claims fail with EBUSY until it
    // is disconnected. With `rebinds`, a driver disconnected by itself binds
    // again at once (before a separate claim can come).
    void BindDriver(int devnum, std::string name, bool rebinds = false);

    // usbdevfs requests that succeeded.
    struct Counts {
        int claims = 0;
        int releases = 0;
        int detaches = 0;  // kernel driver disconnected
        int attaches = 0;  // kernel driver connected again
        int clearHalts = 0;
        int babbles = 0;  // bulk IN URBs the board sent more into than they held
        int discards = 0;  // bulk URBs the host took back before they ended
        std::vector<int> altSettings;  // SETINTERFACE requests, in order
    };
    Counts CountsOf(int devnum) const;
    std::uint64_t LargestUrb(int devnum) const;  // bytes of the largest bulk URB

    // What happened to the bulk URBs of a device, in order.
    struct UrbEvent {
        enum Kind { Submit, Reap } kind = Submit;
        int id = 0;  // numbered in submission order from 1
        std::uint8_t endpoint = 0;
        int length = 0;  // Submit: buffer length; Reap: bytes moved
        int status = 0;  // Reap: 0 or -errno
        int transfer = 0;  // the URB that began its transfer (itself unless a continuation)
    };
    std::vector<UrbEvent> UrbLog(int devnum) const;

    // Descriptors of a device with a vendor interface on other endpoints.
    static std::vector<std::uint8_t> OtherDescriptors(std::uint16_t vid, std::uint16_t pid);
    // A controller in its bootloader: a vendor interface without endpoints.
    static std::vector<std::uint8_t> BootloaderDescriptors(std::uint16_t vid, std::uint16_t pid);

  private:
    struct Urb {
        UMockdevIoctlData* urb = nullptr;  // the client's usbdevfs_urb (one reference)
        int id = 0;
        int type = 0;
        unsigned flags = 0;  // USBDEVFS_URB_*
        int transfer = 0;
        std::uint8_t endpoint = 0;
        std::uint8_t* bytes = nullptr;
        int length = 0;
        int status = 0;
        int actual = 0;
        bool control() const;
        bool bulk() const;
    };
    struct Dev {
        int devnum = 0;
        std::string syspath;
        sim::SimBoard* board = nullptr;
        bool scatterGather = true;
        UMockdevIoctlBase* handler = nullptr;
        mutable std::mutex mu;
        std::condition_variable cv;
        bool unplugged = false;  // off the bus: requests fail
        bool removed = false;    // taken out of the testbed
        std::deque<Urb> pending;  // submitted, waiting for the completer
        std::deque<Urb> done;     // waiting to be reaped
        std::deque<Urb> held;     // left in flight
        std::uint64_t bulkBytes = 0;
        std::uint64_t holdAfter = UINT64_MAX;
        bool holdControl = false;
        // wMaxPacketSize by interface, alternate setting and endpoint.
        std::map<int, std::map<int, std::map<std::uint8_t, std::size_t>>> packetSize;
        std::map<int, int> altSetting;  // by interface
        std::uint64_t largestUrb = 0;
        Counts counts;
        std::string driver;                // bound kernel driver, empty = none
        std::string detached;              // the driver that was disconnected
        bool rebinds = false;
        std::vector<std::uint8_t> halted;  // bulk endpoints halted by a stall
        std::vector<std::uint8_t> toggled;  // bulk endpoints with the toggle out of step
        std::vector<std::uint8_t> noContinuation;  // refuse continuation URBs
        std::map<std::uint8_t, int> transferAt;    // by endpoint: the transfer submitted last
        int failClaims = 0;
        int failSubmitAt = 0, failSubmitError = 0;  // counts down per bulk submit
        int failUrbAt = 0, failUrbError = 0;
        std::size_t failUrbPartial = 0;
        int nextId = 1;
        std::uint64_t submits = 0;
        std::vector<UrbEvent> log;
        // The completer.
        bool late = false;
        std::chrono::milliseconds refillGrace{0};
        int awaitingReap = 0;  // id of the URB answered last, until reaped
        int answering = 0;     // id of the URB the board is working on
        gulong answeringAddress = 0;
        bool stop = false;
        std::thread completer;
    };

    void Add(int devnum, std::uint16_t vid, std::uint16_t pid,
             const std::vector<std::uint8_t>& descriptors, sim::SimBoard* board,
             bool configured, const std::string& ports = {}, const std::string& serial = {});
    Dev& Find(int devnum) const;
    static gboolean HandleIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client,
                                gpointer self);
    static gboolean Handle(Dev& dev, UMockdevIoctlClient* client);
    static void Submit(Dev& dev, UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    // Answers `u` from the board. Called with `lock` held; releases it while
    // the board works. Leaves `u` in done or held.
    static void Answer(Dev& dev, Urb u, std::unique_lock<std::mutex>& lock);
    // Ends `u` with `status` (dev.mu held), and a failed bulk URB's transfer
    // with it, as usbfs does.
    static void Finish(Dev& dev, Urb u, int status);
    static void CompleterLoop(Dev& dev);
    static std::size_t PacketSizeLocked(const Dev& dev, std::uint8_t endpoint, bool* known);
    static void StopCompleter(Dev& dev);

    const Controller controller_;
    UMockdevTestbed* testbed_ = nullptr;
    std::map<int, std::unique_ptr<Dev>> devs_;
    mutable std::mutex devsMu_;
};

}  // namespace quillon::test
