// Stopping bulk transfers on the libusb backend, against the umockdev test
// bed: an abort asked for from another thread, a board whose FIFO stopped,
// and a board pulled while a worker thread holds the link.

#include <gtest/gtest.h>
#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "link/abort.h"
#include "link/board_link.h"
#include "link/bulk.h"
#include "link/usb/usb_backend.h"
#include "link/vendor_requests.h"
#include "log/log_file.h"
#include "sim/sim_board.h"
#include "support/fresh_home.h"
#include "usb/usb_testbed.h"

namespace quillon {
namespace {

using namespace std::chrono_literals;
using link::BulkOutcome;
using link::DeviceNotice;
using link::UsbError;

constexpr std::size_t kKiB = 1024;
constexpr std::size_t kMiB = kKiB * kKiB;
constexpr std::uint32_t kLength = 8 * kMiB;
constexpr std::uint8_t kWidth32 = 0x80;
constexpr int kDevnum = 2;

std::vector<std::uint8_t> Pattern(std::size_t n, std::uint32_t seed) {
    std::vector<std::uint8_t> v(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : v) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return v;
}

// The result of a call running on a thread of its own; one that does not end
// within 30 s fails the test and ends the process, since it still uses the
// test's buffers.
template <typename T>
T Finish(std::future<T>& running, const char* what) {
    if (running.wait_for(30s) != std::future_status::ready) {
        ADD_FAILURE() << what << " hangs";
        std::abort();
    }
    return running.get();
}

// One thread waits until another opens it.
class Gate {
  public:
    void Open() {
        std::lock_guard<std::mutex> lock(mu_);
        open_ = true;
        cv_.notify_all();
    }
    bool Wait() {
        std::unique_lock<std::mutex> lock(mu_);
        return cv_.wait_for(lock, 30s, [&] { return open_; });
    }

  private:
    std::mutex mu_;
    std::condition_variable cv_;
    bool open_ = false;
};

// A device that counts when it is destroyed.
class Watched final : public link::Device {
  public:
    Watched(std::unique_ptr<link::Device> inner, std::atomic<int>& freed)
        : inner_(std::move(inner)), freed_(freed) {}
    ~Watched() override { ++freed_; }
    link::TransferResult Control(const link::SetupPacket& s, std::span<std::uint8_t> d) override {
        return inner_->Control(s, d);
    }
    link::TransferResult BulkOut(std::uint8_t ep, std::span<const std::uint8_t> d) override {
        return inner_->BulkOut(ep, d);
    }
    link::TransferResult BulkIn(std::uint8_t ep, std::span<std::uint8_t> d) override {
        return inner_->BulkIn(ep, d);
    }
    link::TransferResult BulkOutStream(std::uint8_t ep, std::uint32_t n,
                                       const link::BulkSource& source) override {
        return inner_->BulkOutStream(ep, n, source);
    }
    link::TransferResult BulkInStream(std::uint8_t ep, std::uint32_t n,
                                      const link::BulkSink& sink) override {
        return inner_->BulkInStream(ep, n, sink);
    }

  private:
    std::unique_ptr<link::Device> inner_;
    std::atomic<int>& freed_;
};

// Bulk URBs of a test-bed log: submitted, and reaped with `status`.
int Submits(const std::vector<test::UsbTestbed::UrbEvent>& log) {
    return static_cast<int>(std::count_if(log.begin(), log.end(), [](const auto& e) {
        return e.kind == test::UsbTestbed::UrbEvent::Submit;
    }));
}
int Reaps(const std::vector<test::UsbTestbed::UrbEvent>& log, int status) {
    return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const auto& e) {
        return e.kind == test::UsbTestbed::UrbEvent::Reap && e.status == status;
    }));
}

class UsbAbortTest : public ::testing::Test {
  protected:
    // A board at USB 2 speed: its transfers take their time, as on a bus.
    static sim::Profile UsbTwo() {
        sim::Profile p;
        p.linkSpeed = sim::LinkSpeed::Usb2;
        return p;
    }
    void SetUp() override {
        link::ClearBulkAbort();
        link::BoardLink::Instance().ResetForTest();
        LogFile::ResetForTest();
        LogFile::AttachEcho([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(logMu_);
            log_.push_back(line);
        });
        bed.Plug(kDevnum, board);
        board.SetRegister(0, 0);
        board.SetRegister(1, 0);
    }
    void TearDown() override {
        link::ClearBulkAbort();
        link::BoardLink::Instance().ResetForTest();
        LogFile::ResetForTest();
    }

    // Opens the board as the link's board; transfers move in pieces of
    // 256 KiB, four at a time.
    link::BoardHandle Open(usb::UsbBackendOptions options = {}) {
        options.chunkBytes = 256 * kKiB;
        options.inFlight = 4;
        auto& link = link::BoardLink::Instance();
        link.SetBackend(usb::MakeUsbBackend(options));
        return link.Open() ? link.Handle() : link::kNoBoard;
    }
    // The log lines written so far, without their stamps.
    std::vector<std::string> Logged() {
        std::lock_guard<std::mutex> lock(logMu_);
        std::vector<std::string> texts;
        const std::string end = "】 ";
        for (const std::string& line : log_)
            texts.push_back(line.substr(line.find(end) + end.size()));
        return texts;
    }

    static link::BulkResult Read(link::BoardHandle h, std::uint32_t n,
                                 std::vector<std::uint8_t>& into) {
        return link::BulkReadFramed(h, false, kWidth32, n, [&](std::span<const std::uint8_t> p) {
            into.insert(into.end(), p.begin(), p.end());
            return true;
        });
    }
    static link::BulkResult Write(link::BoardHandle h, const std::vector<std::uint8_t>& data) {
        std::size_t at = 0;
        return link::BulkWriteFramed(h, false, kWidth32, static_cast<std::uint32_t>(data.size()),
                                     [&](std::span<std::uint8_t> p) {
                                         std::copy_n(data.begin() + at, p.size(), p.begin());
                                         at += p.size();
                                         return true;
                                     });
    }

    test::FreshHome home;
    sim::SimBoard board{UsbTwo()};
    test::UsbTestbed bed;

  private:
    std::mutex logMu_;
    std::vector<std::string> log_;
};

// --- An abort from another thread ------------------------------------------

struct AbortCase {
    bool read;
    bool late;    // the test bed answers URBs from a thread of its own
    bool moving;  // the abort comes while the board moves data, else while
                  // the bus has stopped in the middle of a URB
};

class UsbAbortInFlight : public UsbAbortTest, public ::testing::WithParamInterface<AbortCase> {};

TEST_P(UsbAbortInFlight, EndsTheTransferSendsTheEndCommandAndLeavesThePipeWhole) {
    const AbortCase c = GetParam();
    if (c.late) bed.CompleteLater(kDevnum);
    const link::BoardHandle h = Open();
    ASSERT_NE(h, link::kNoBoard);
    const std::vector<std::uint8_t> data = Pattern(kLength, 21);
    if (c.read) board.WriteMemory(0, 0, data);

    // Held: the bus stops in the middle of a URB, at a packet boundary, with
    // more URBs queued behind it, and the abort comes then. Moving: it comes
    // once a megabyte has moved, most likely while the board works on a URB.
    const std::size_t stopAt = 3 * kMiB + 64 * kKiB;
    if (!c.moving) bed.HoldBulkAfter(kDevnum, stopAt);
    const std::uint64_t bytesBefore = board.BulkBytes();
    const std::size_t logBefore = bed.UrbLog(kDevnum).size();
    std::vector<std::uint8_t> got;
    auto running = std::async(std::launch::async,
                              [&] { return c.read ? Read(h, kLength, got) : Write(h, data); });
    bool inFlight = true;
    if (c.moving) {
        for (int i = 0; i < 10000 && board.BulkBytes() - bytesBefore < kMiB; ++i) {
            std::this_thread::sleep_for(1ms);
        }
    } else {
        inFlight = bed.WaitForHeld(kDevnum, 10s);
    }
    link::RequestBulkAbort();
    const link::BulkResult r = Finish(running, "the aborted transfer");
    ASSERT_TRUE(inFlight);

    EXPECT_EQ(r.outcome, BulkOutcome::Cancelled);
    if (c.moving) {
        EXPECT_GE(r.moved, kMiB);
        EXPECT_LT(r.moved, kLength);
    } else {
        EXPECT_EQ(r.moved, stopAt);
    }
    EXPECT_EQ(board.BulkBytes() - bytesBefore, r.moved);
    if (c.read) {
        ASSERT_EQ(got.size(), r.moved);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin()));
    } else {
        EXPECT_TRUE(board.ReadMemory(0, 0, r.moved) ==
                    std::vector<std::uint8_t>(data.begin(), data.begin() + r.moved));
    }
    // Every URB of the call ended: the one in flight and those behind it
    // were taken back, the first with the bytes it had moved.
    const auto log = bed.UrbLog(kDevnum);
    const std::vector<test::UsbTestbed::UrbEvent> urbs(log.begin() + logBefore, log.end());
    EXPECT_EQ(Reaps(urbs, 0) + Reaps(urbs, -ENOENT), Submits(urbs));
    EXPECT_EQ(Reaps(urbs, -ENOENT), bed.CountsOf(kDevnum).discards);
    if (!c.moving) {
        EXPECT_GE(bed.CountsOf(kDevnum).discards, 1);
        EXPECT_TRUE(std::any_of(urbs.begin(), urbs.end(), [](const auto& e) {
            return e.kind == test::UsbTestbed::UrbEvent::Reap && e.status == -ENOENT &&
                   e.length == 64 * 1024;
        }));
    }
    // The end command closed the transfer on the board, and no code was logged.
    EXPECT_FALSE(board.MemTransferOpen());
    EXPECT_EQ(board.LastMemCommand().command, c.read ? link::kMemReadEnd : link::kMemWriteEnd);
    EXPECT_TRUE(Logged().empty()) << ::testing::PrintToString(Logged());

    // While the abort stands nothing new starts, not even its begin command.
    const std::uint64_t requests = board.RequestCount();
    const std::size_t urbCount = bed.UrbLog(kDevnum).size();
    std::vector<std::uint8_t> none;
    const link::BulkResult refused = Read(h, 4096, none);
    EXPECT_EQ(refused.outcome, BulkOutcome::Cancelled);
    EXPECT_EQ(refused.moved, 0u);
    EXPECT_EQ(board.RequestCount(), requests);
    EXPECT_EQ(bed.UrbLog(kDevnum).size(), urbCount);

    // Cleared, the pipe moves a new pattern whole, first packet included.
    link::ClearBulkAbort();
    bed.StopHolding(kDevnum);
    const std::vector<std::uint8_t> next = Pattern(256 * kKiB + 512, 22);
    EXPECT_TRUE(Write(h, next).done());
    std::vector<std::uint8_t> back;
    EXPECT_TRUE(Read(h, static_cast<std::uint32_t>(next.size()), back).done());
    EXPECT_TRUE(back == next);
    EXPECT_TRUE(board.ReadMemory(0, 0, next.size()) == next);
    EXPECT_TRUE(Logged().empty()) << ::testing::PrintToString(Logged());
}

INSTANTIATE_TEST_SUITE_P(
    Bulk, UsbAbortInFlight,
    ::testing::Values(AbortCase{true, false, false}, AbortCase{false, false, false},
                      AbortCase{true, true, false}, AbortCase{false, true, false},
                      AbortCase{true, false, true}, AbortCase{false, true, true}),
    [](const auto& info) {
        return std::string(info.param.read ? "Read" : "Write") +
               (info.param.late ? "CompletedLater" : "CompletedAtOnce") +
               (info.param.moving ? "WhileMoving" : "WhileHeld");
    });

// --- A board whose FIFO stopped (hang_bulk) --------------------------------

struct HangCase {
    bool read;
    bool abort;  // else the bulk time-out ends it
};

class UsbHungTransfer : public UsbAbortTest, public ::testing::WithParamInterface<HangCase> {};

// The board neither moves nor refuses the third URB; the URB stays in flight
// until the host takes it back, and nothing else ends it.
TEST_P(UsbHungTransfer, EndsByAbortOrTimeOutAndTheNextTransferWorks) {
    const HangCase c = GetParam();
    usb::UsbBackendOptions options;
    options.bulkTimeout = c.abort ? 0ms : 200ms;
    const link::BoardHandle h = Open(options);
    ASSERT_NE(h, link::kNoBoard);
    link::Device* dev = link::BoardLink::Instance().DeviceFor(h);
    ASSERT_NE(dev, nullptr);
    const std::vector<std::uint8_t> data = Pattern(kLength, 31);
    board.WriteMemory(0, 0, data);

    const std::uint8_t begin = c.read ? link::kMemReadBegin : link::kMemWriteBegin;
    ASSERT_TRUE(link::VR_MEM_CMD(h, begin, kWidth32));
    sim::Faults f;
    f.hangBulk = board.BulkCount() + 3;
    board.SetFaults(f);
    const std::size_t piece = 256 * kKiB;
    std::vector<std::uint8_t> buffer(kLength);
    auto running = std::async(std::launch::async, [&] {
        return c.read ? dev->BulkIn(link::kBulkInEp, buffer) : dev->BulkOut(link::kBulkOutEp, data);
    });
    const bool held = bed.WaitForHeld(kDevnum, 10s);
    if (c.abort) link::RequestBulkAbort();
    const link::TransferResult r = Finish(running, "the hung transfer");
    ASSERT_TRUE(held);

    EXPECT_EQ(r.error, c.abort ? UsbError::Cancelled : UsbError::Timeout)
        << link::UsbErrorName(r.error);
    EXPECT_EQ(r.systemCode, c.abort ? LIBUSB_ERROR_INTERRUPTED : LIBUSB_ERROR_TIMEOUT);
    EXPECT_EQ(r.moved, 2 * piece);
    EXPECT_EQ(board.BulkCount(), f.hangBulk);  // none passed the hung one
    EXPECT_GE(bed.CountsOf(kDevnum).discards, 1);
    link::ClearBulkAbort();
    ASSERT_TRUE(link::VR_MEM_CMD(h, c.read ? link::kMemReadEnd : link::kMemWriteEnd, kWidth32));

    // The hang was that transfer's alone.
    const std::vector<std::uint8_t> next = Pattern(64 * kKiB, 32);
    EXPECT_TRUE(Write(h, next).done());
    std::vector<std::uint8_t> back;
    EXPECT_TRUE(Read(h, static_cast<std::uint32_t>(next.size()), back).done());
    EXPECT_TRUE(back == next);
}

INSTANTIATE_TEST_SUITE_P(Bulk, UsbHungTransfer,
                         ::testing::Values(HangCase{true, true}, HangCase{false, true},
                                           HangCase{true, false}, HangCase{false, false}),
                         [](const auto& info) {
                             return std::string(info.param.read ? "Read" : "Write") +
                                    (info.param.abort ? "Aborted" : "TimedOut");
                         });

// --- A board pulled while a worker holds the link --------------------------

enum class RemovalAt { InsideTheTransfer, BetweenTwoRequests };

class UsbRemovalDuringWork : public UsbAbortTest, public ::testing::WithParamInterface<RemovalAt> {
  protected:
    std::atomic<int> freed{0};  // devices destroyed (outlives the link's devices)
};

// As the panel runs long work: the GUI thread takes a hold, a worker runs
// the requests, and the removal notice is served on the GUI thread while the
// worker is where the case puts it. The worker's transfer fails as a lost
// board does, its next request finds no board, and the device object lives
// until the hold is let go.
TEST_P(UsbRemovalDuringWork, TheWorkerFailsCleanlyAndNeverReachesAFreedDevice) {
    const bool inside = GetParam() == RemovalAt::InsideTheTransfer;
    auto& link = link::BoardLink::Instance();
    link.SetDeviceWrapper([&](std::unique_ptr<link::Device> d) -> std::unique_ptr<link::Device> {
        return std::make_unique<Watched>(std::move(d), freed);
    });
    const link::BoardHandle h = Open();
    ASSERT_NE(h, link::kNoBoard);
    const std::vector<std::uint8_t> data = Pattern(4 * kMiB, 41);
    board.WriteMemory(0, 0, data);
    // Inside: the second piece is on the bus (held after 64 KiB) while the
    // worker hands the first to its sink.
    if (inside) bed.HoldBulkAfter(kDevnum, kMiB + 64 * kKiB);

    Gate reached, goOn;
    std::vector<std::uint8_t> got;
    link::BoardLink::Hold hold = link.HoldForWork();
    auto worker = std::async(std::launch::async, [&] {
        const link::BulkResult first =
            link::BulkReadFramed(h, false, kWidth32, static_cast<std::uint32_t>(data.size()),
                                 [&](std::span<const std::uint8_t> p) {
                                     const bool firstPiece = got.empty();
                                     got.insert(got.end(), p.begin(), p.end());
                                     if (inside && firstPiece) {
                                         reached.Open();
                                         goOn.Wait();
                                     }
                                     return true;
                                 });
        if (!inside) {
            reached.Open();
            goOn.Wait();
        }
        const link::BulkResult second = Write(h, Pattern(4096, 42));
        std::uint16_t version = 0;
        const bool info = link::VR_BOARD_INFO(h, link::kInfoFirmwareVersion, version);
        return std::make_tuple(first, second, info);
    });
    if (!reached.Wait()) {
        ADD_FAILURE() << "the worker never got there";
        std::abort();
    }
    bed.Unplug(kDevnum);
    const int submits = Submits(bed.UrbLog(kDevnum));
    const std::uint64_t requests = board.RequestCount();
    link.OnDeviceChange(DeviceNotice::Removal);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.Handle(), link::kNoBoard);
    EXPECT_EQ(link.DeviceFor(h), nullptr);
    EXPECT_EQ(freed, 0);  // the worker may still be using it
    goOn.Open();
    const auto [first, second, info] = Finish(worker, "the worker");
    EXPECT_EQ(freed, 0);
    hold.Release();
    EXPECT_EQ(freed, 1);

    if (inside) {
        EXPECT_EQ(first.outcome, BulkOutcome::Failed);
        EXPECT_EQ(first.moved, kMiB + 64 * kKiB);
    } else {
        EXPECT_EQ(first.outcome, BulkOutcome::Done);
        EXPECT_EQ(first.moved, data.size());
    }
    ASSERT_EQ(got.size(), first.moved);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin()));
    // After the removal nothing of the worker's reached the bus: the write
    // was refused as to no board ("1"), not failed at its begin command.
    EXPECT_EQ(second.outcome, BulkOutcome::Failed);
    EXPECT_EQ(second.moved, 0u);
    EXPECT_FALSE(info);
    EXPECT_EQ(Submits(bed.UrbLog(kDevnum)), submits);
    EXPECT_EQ(board.RequestCount(), requests);
    using Lines = std::vector<std::string>;
    const Lines logged = inside ? Lines{"USB CLOSE!!", "D3", "1"} : Lines{"USB CLOSE!!", "1"};
    EXPECT_EQ(Logged(), logged);

    // The board back on the bus is a new link: the worker's handle stays dead.
    bed.Plug(kDevnum + 1, board);
    link.OnDeviceChange(DeviceNotice::Arrival);
    ASSERT_TRUE(link.IsOpen());
    EXPECT_NE(link.Handle(), h);
    EXPECT_EQ(link.DeviceFor(h), nullptr);
    std::vector<std::uint8_t> back;
    EXPECT_TRUE(Read(link.Handle(), 64 * kKiB, back).done());
    EXPECT_TRUE(std::equal(back.begin(), back.end(), data.begin()));
}

INSTANTIATE_TEST_SUITE_P(Link, UsbRemovalDuringWork,
                         ::testing::Values(RemovalAt::InsideTheTransfer,
                                           RemovalAt::BetweenTwoRequests),
                         [](const auto& info) {
                             return info.param == RemovalAt::InsideTheTransfer
                                        ? "InsideTheTransfer"
                                        : "BetweenTwoRequests";
                         });

// No pause on either side: the worker's requests meet the notice wherever
// they happen to be, so nothing but the link's own lock keeps the handle,
// the device and the hold apart (the ThreadSanitizer build checks it). The
// notice comes before the kernel has ended the URBs: the GUI thread then
// touches nothing that the worker's transfer locks, so no other lock orders
// the two threads' use of the link.
TEST_F(UsbAbortTest, RequestsRacingTheRemovalEndCleanly) {
    const link::BoardHandle h = Open();
    ASSERT_NE(h, link::kNoBoard);
    auto& link = link::BoardLink::Instance();
    const std::vector<std::uint8_t> data = Pattern(256 * kKiB, 43);
    board.WriteMemory(0, 0, data);

    Gate running;
    int rounds = 0;
    link::BoardLink::Hold hold = link.HoldForWork();
    auto worker = std::async(std::launch::async, [&] {
        for (;;) {
            std::vector<std::uint8_t> back;
            const link::BulkResult r = Read(h, static_cast<std::uint32_t>(data.size()), back);
            if (!r.done()) return r;
            EXPECT_TRUE(back == data);
            if (++rounds == 3) running.Open();
        }
    });
    ASSERT_TRUE(running.Wait());
    link.OnDeviceChange(DeviceNotice::Removal);
    bed.Unplug(kDevnum);
    const link::BulkResult last = Finish(worker, "the worker");
    hold.Release();
    EXPECT_EQ(last.outcome, BulkOutcome::Failed);
    EXPECT_GE(rounds, 3);
    EXPECT_FALSE(link.IsOpen());
}

}  // namespace
}  // namespace quillon
