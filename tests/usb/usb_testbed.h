#pragma once
// A umockdev testbed with USB devices on bus 1 whose usbdevfs URBs are
// answered by simulated boards, so the real libusb runs against them.
//
// The process must run under umockdev's preload (the test main re-executes
// itself with it). The ioctl handler runs on umockdev's own thread; every
// method here is safe to call from the test thread meanwhile.

#include <umockdev.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/sim_board.h"

namespace quillon::test {

class UsbTestbed {
  public:
    UsbTestbed();
    ~UsbTestbed();
    UsbTestbed(const UsbTestbed&) = delete;
    UsbTestbed& operator=(const UsbTestbed&) = delete;

    // Plugs `board` in as device `devnum` (1..127) of bus 1, with the board's
    // own descriptors; udev sees "add".
    void Plug(int devnum, sim::SimBoard& board);
    // Plugs in a device that is not a board: its URBs are refused.
    void PlugOther(int devnum, std::vector<std::uint8_t> descriptors);
    // Pulls the cable: URBs in flight end with ESHUTDOWN as the kernel ends
    // them, further requests fail with ENODEV, udev sees "remove".
    // With `endUrbs` false the URBs in flight stay there until the host
    // cancels them (a driver that never completes them on its own).
    void Unplug(int devnum, bool endUrbs = true);

    // From now on, bulk URBs of `devnum` beyond `bytes` bulk bytes are left in
    // flight unanswered (until an unplug ends them).
    void HoldBulkAfter(int devnum, std::uint64_t bytes);
    // Waits until a URB is being held; false after `timeout`.
    bool WaitForHeld(int devnum, std::chrono::milliseconds timeout);

    // From now on, control URBs of `devnum` are left in flight unanswered.
    void HoldControl(int devnum);

    // A kernel driver holds the interface: claims fail with EBUSY until it
    // is disconnected.
    void BindDriver(int devnum, std::string name);

    // usbdevfs requests that succeeded.
    struct Counts {
        int claims = 0;
        int releases = 0;
        int detaches = 0;  // kernel driver disconnected
        int attaches = 0;  // kernel driver connected again
        int clearHalts = 0;
        int babbles = 0;  // bulk IN URBs the board sent more into than they held
    };
    Counts CountsOf(int devnum) const;
    std::uint64_t LargestUrb(int devnum) const;  // bytes of the largest bulk URB

    // Descriptors of a device with a vendor interface on other endpoints.
    static std::vector<std::uint8_t> OtherDescriptors(std::uint16_t vid, std::uint16_t pid);

  private:
    struct Urb {
        UMockdevIoctlData* urb = nullptr;  // the client's usbdevfs_urb (one reference)
        int status = 0;
        int actual = 0;
        std::vector<std::uint8_t> in;  // data for an IN URB, copied at reaping
    };
    struct Dev {
        int devnum = 0;
        std::string syspath;
        sim::SimBoard* board = nullptr;
        UMockdevIoctlBase* handler = nullptr;
        mutable std::mutex mu;
        std::condition_variable cv;
        bool unplugged = false;  // off the bus: requests fail
        bool removed = false;    // taken out of the testbed
        std::deque<Urb> done;    // waiting to be reaped
        std::deque<Urb> held;    // left in flight
        std::uint64_t bulkBytes = 0;
        std::uint64_t holdAfter = UINT64_MAX;
        bool holdControl = false;
        std::map<std::uint8_t, std::size_t> packetSize;  // wMaxPacketSize by endpoint
        std::uint64_t largestUrb = 0;
        Counts counts;
        std::string driver;                // bound kernel driver, empty = none
        std::string detached;              // the driver that was disconnected
        std::vector<std::uint8_t> halted;  // bulk endpoints halted by a stall
    };

    void Add(int devnum, std::uint16_t vid, std::uint16_t pid,
             const std::vector<std::uint8_t>& descriptors, sim::SimBoard* board);
    Dev& Find(int devnum) const;
    static gboolean HandleIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client,
                                gpointer self);
    static gboolean Handle(Dev& dev, UMockdevIoctlClient* client);
    static void Submit(Dev& dev, UMockdevIoctlClient* client, UMockdevIoctlData* arg);

    UMockdevTestbed* testbed_ = nullptr;
    std::map<int, std::unique_ptr<Dev>> devs_;
    mutable std::mutex devsMu_;
};

}  // namespace quillon::test
