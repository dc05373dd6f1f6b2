// Bus presence, faults, firmware reset, the backend and its profile.

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "sim/sim_backend.h"
#include "sim/sim_board.h"
#include "sim_host.h"

namespace quillon::sim {
namespace {

using namespace std::chrono_literals;
using link::DeviceNotice;
using link::UsbError;
using test::RawHost;

// Collects notices from any thread; waits for them with a deadline.
class NoticeLog {
  public:
    link::NoticePoster Poster() {
        return [this](DeviceNotice n) {
            std::lock_guard<std::mutex> lock(mu_);
            notices_.push_back(n);
            cv_.notify_all();
        };
    }
    bool WaitFor(std::size_t count, std::chrono::milliseconds limit = 5000ms) {
        std::unique_lock<std::mutex> lock(mu_);
        return cv_.wait_for(lock, limit, [&] { return notices_.size() >= count; });
    }
    std::vector<DeviceNotice> Get() {
        std::lock_guard<std::mutex> lock(mu_);
        return notices_;
    }

  private:
    std::mutex mu_;
    std::condition_variable cv_;
    std::vector<DeviceNotice> notices_;
};

TEST(SimFaults, FailAndStallHitExactlyTheirRequestAndDoNothing) {
    SimBoard board;
    RawHost host{board};
    Faults f;
    f.failRequest = board.RequestCount() + 2;
    f.stallRequest = board.RequestCount() + 3;
    board.SetFaults(f);
    EXPECT_TRUE(host.RegWrite(1, 0x00, 0x11));
    auto r = host.Out(0xB0, RawHost::RegValue(2, 0), 0, {0x22});
    EXPECT_EQ(r.error, UsbError::Io);
    EXPECT_EQ(r.moved, 0u);
    EXPECT_EQ(host.Out(0xB0, RawHost::RegValue(3, 0), 0, {0x33}).error, UsbError::Stall);
    EXPECT_TRUE(host.RegWrite(4, 0x00, 0x44));
    EXPECT_EQ(board.Register(1), 0x11u);
    EXPECT_EQ(board.Register(2), 0u);
    EXPECT_EQ(board.Register(3), 0u);
    EXPECT_EQ(board.Register(4), 0x44u);
}

TEST(SimFaults, ShortBulkFallsShortOnceAndReportsSuccess) {
    SimBoard board;
    RawHost host{board};
    Faults f;
    f.shortBulkBy = 100;
    board.SetFaults(f);
    std::vector<std::uint8_t> buf(4096, 0x5A);
    ASSERT_TRUE(host.MemCmd(0xC0));
    auto r = board.BulkOut(0x06, buf);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.moved, 4096u - 100);
    r = board.BulkOut(0x06, buf);
    EXPECT_EQ(r.moved, 4096u);
}

TEST(SimFaults, UnplugAtRequestLeavesTheBusWithoutAnswering) {
    SimBoard board;
    RawHost host{board};
    std::vector<BoardEvent> events;
    board.SetEventHandler([&](BoardEvent e) { events.push_back(e); });
    Faults f;
    f.unplugAtRequest = board.RequestCount() + 1;
    board.SetFaults(f);
    EXPECT_EQ(host.Out(0xB0, RawHost::RegValue(5, 0), 0, {9}).error, UsbError::NoDevice);
    EXPECT_EQ(events, std::vector<BoardEvent>{BoardEvent::LeftBus});
    EXPECT_FALSE(board.OnBus());
    EXPECT_EQ(host.In(0xB3, 0xC0, 0, 2).error, UsbError::NoDevice);
    std::vector<std::uint8_t> buf(8);
    EXPECT_EQ(board.BulkOut(0x06, buf).error, UsbError::NoDevice);
    // Plugging in again is a power cycle: the design's registers start over.
    board.Plug();
    EXPECT_EQ(events.back(), BoardEvent::Arrived);
    EXPECT_EQ(board.Register(5), 0u);
    EXPECT_TRUE(board.Configuration().configured);
    board.SetEventHandler(nullptr);
}

TEST(SimFaults, UnplugAfterBulkBytesCutsTheTransferWhereItWas) {
    SimBoard board;
    RawHost host{board};
    int left = 0;
    board.SetEventHandler([&](BoardEvent e) { left += e == BoardEvent::LeftBus; });
    Faults f;
    f.unplugAfterBulkBytes = 3'000'000;  // inside the third slice of a 5 MB transfer
    board.SetFaults(f);
    std::vector<std::uint8_t> buf(5'000'000, 0x11);
    ASSERT_TRUE(host.MemCmd(0xC0));
    auto r = board.BulkOut(0x06, buf);
    EXPECT_EQ(r.error, UsbError::NoDevice);
    EXPECT_EQ(r.moved, 3'000'000u);
    EXPECT_EQ(left, 1);
    EXPECT_EQ(board.BulkBytes(), 3'000'000u);
    board.SetEventHandler(nullptr);
}

// Bulk transfers are counted on their own, so a fault can hit any piece of a
// split transfer; a streamed transfer counts once and meets the same faults
// as one call of its length.
TEST(SimFaults, BulkFaultsHitTheirTransferAndStreamsAreOneTransfer) {
    SimBoard board;
    RawHost host{board};
    int left = 0;
    board.SetEventHandler([&](BoardEvent e) { left += e == BoardEvent::LeftBus; });
    std::vector<std::uint8_t> buf(512, 0x22);
    Faults f;
    f.stallBulk = board.BulkCount() + 2;
    f.shortBulkBy = 100;
    board.SetFaults(f);
    ASSERT_TRUE(host.MemCmd(0xC0));
    std::size_t given = 0;
    const link::BulkSource source = [&](std::span<std::uint8_t> piece) {
        std::fill(piece.begin(), piece.end(), 0x33);
        given += piece.size();
        return true;
    };
    auto r = board.BulkOutStreamInSession(board.Session(), 0x06, 3'000'000, source);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.moved, 3'000'000u - 100);  // short once, at the end of the one transfer
    EXPECT_EQ(board.BulkOut(0x06, buf).error, UsbError::Stall);
    EXPECT_TRUE(board.BulkOut(0x06, buf).ok());
    EXPECT_EQ(board.BulkCount(), 3u);
    EXPECT_EQ(board.ReadMemory(0, 0, 1)[0], 0x33);

    f = Faults{};
    f.unplugAtBulk = board.BulkCount() + 1;
    board.SetFaults(f);
    EXPECT_EQ(board.BulkOut(0x06, buf).error, UsbError::NoDevice);
    EXPECT_EQ(left, 1);
    board.Plug();

    // Read back as a stream; the sink may stop it.
    ASSERT_TRUE(host.MemCmd(0x80));
    std::size_t taken = 0;
    r = board.BulkInStreamInSession(board.Session(), 0x82, 3'000'000,
                                    [&](std::span<const std::uint8_t> piece) {
                                        taken += piece.size();
                                        return taken < 2'000'000;
                                    });
    EXPECT_EQ(r.error, UsbError::Cancelled);
    EXPECT_EQ(r.moved, 2u << 20);
    board.SetEventHandler(nullptr);
}

TEST(SimFaults, UnplugFromAnotherThreadEndsAPacedTransferPromptly) {
    Profile p;
    p.linkSpeed = LinkSpeed::Usb2;  // 80 MB would take two seconds
    SimBoard board(p);
    RawHost host{board};
    std::vector<std::uint8_t> buf(80'000'000);
    ASSERT_TRUE(host.MemCmd(0xC0));
    std::thread puller([&] {
        while (board.BulkBytes() == 0) std::this_thread::yield();
        board.Unplug();
    });
    auto r = board.BulkOut(0x06, buf);
    puller.join();
    EXPECT_EQ(r.error, UsbError::NoDevice);
    EXPECT_GT(r.moved, 0u);
    EXPECT_LT(r.moved, buf.size());
}

TEST(SimReset, FirmwareResetLeavesAndReturnsWithFreshFirmwareState) {
    Profile p;
    p.resetDelayMs = 50;
    SimBoard board(p);
    RawHost host{board};
    NoticeLog log;
    auto post = log.Poster();
    board.SetEventHandler([&](BoardEvent e) {
        post(e == BoardEvent::LeftBus ? DeviceNotice::Removal : DeviceNotice::Arrival);
    });
    ASSERT_TRUE(host.Out(0xB7, 0, 12).ok());  // read wait
    ASSERT_TRUE(host.RegWrite(8, 0x80, 0xCAFE));
    board.WriteMemory(0, 0, std::vector<std::uint8_t>{1, 2, 3});

    EXPECT_TRUE(host.Out(0xC9, 0, 0).ok());
    EXPECT_EQ(log.Get(), std::vector<DeviceNotice>{DeviceNotice::Removal});
    EXPECT_EQ(host.In(0xB3, 0xC0, 0, 2).error, UsbError::NoDevice);
    ASSERT_TRUE(log.WaitFor(2));
    EXPECT_EQ(log.Get().back(), DeviceNotice::Arrival);
    EXPECT_TRUE(board.OnBus());
    EXPECT_EQ(board.FirmwareResets(), 1u);
    // The firmware forgot its waits; the FPGA and the memory did not notice.
    EXPECT_EQ(board.ReadWait(), 0);
    EXPECT_EQ(board.Register(8), 0xCAFEu);
    EXPECT_EQ(board.ReadMemory(0, 0, 3), (std::vector<std::uint8_t>{1, 2, 3}));
    board.SetEventHandler(nullptr);
}

TEST(SimReset, PullingTheCableDuringAResetKeepsTheBoardAway) {
    Profile p;
    p.resetDelayMs = 20;
    auto board = std::make_unique<SimBoard>(p);
    RawHost host{*board};
    ASSERT_TRUE(host.Out(0xC9, 0, 0).ok());
    board->Unplug();
    std::this_thread::sleep_for(60ms);  // past the re-arrival that must not come
    EXPECT_FALSE(board->OnBus());
    // And a board destroyed while a re-arrival is pending stops its timer.
    auto other = std::make_unique<SimBoard>(p);
    RawHost host2{*other};
    ASSERT_TRUE(host2.Out(0xC9, 0, 0).ok());
    other.reset();
}

TEST(SimBackendTest, DevicesStayBoundToTheSessionTheyOpenedIn) {
    SimBackend backend;
    EXPECT_EQ(ActiveSimBackend(), &backend);
    EXPECT_EQ(backend.Name(), "sim");
    EXPECT_EQ(backend.DriverVersion(), "0.0.0.0 (simulated board)");
    NoticeLog log;
    backend.WatchDevices(log.Poster());

    auto dev = backend.OpenFirst();
    ASSERT_TRUE(dev);
    std::vector<std::uint8_t> info(2);
    link::SetupPacket s{link::kVendorIn, 0xB3, 0x40, 0, 2};
    EXPECT_TRUE(dev->Control(s, info).ok());

    backend.Unplug();
    EXPECT_EQ(log.Get(), std::vector<DeviceNotice>{DeviceNotice::Removal});
    EXPECT_EQ(backend.OpenFirst(), nullptr);
    backend.Plug();
    EXPECT_EQ(log.Get().back(), DeviceNotice::Arrival);
    // The old device never reaches the board again; a new one does.
    EXPECT_EQ(dev->Control(s, info).error, UsbError::NoDevice);
    auto dev2 = backend.OpenFirst();
    ASSERT_TRUE(dev2);
    EXPECT_TRUE(dev2->Control(s, info).ok());
}

TEST(SimBackendTest, FirmwareResetThroughADevicePostsRemovalThenArrival) {
    Profile p;
    p.resetDelayMs = 30;
    SimBackend backend(p);
    NoticeLog log;
    backend.WatchDevices(log.Poster());
    auto dev = backend.OpenFirst();
    ASSERT_TRUE(dev);
    std::vector<std::uint8_t> none;
    link::SetupPacket reset{link::kVendorOut, 0xC9, 0, 0, 0};
    EXPECT_TRUE(dev->Control(reset, none).ok());
    EXPECT_EQ(log.Get(), std::vector<DeviceNotice>{DeviceNotice::Removal});
    ASSERT_TRUE(log.WaitFor(2));
    EXPECT_EQ(log.Get().back(), DeviceNotice::Arrival);
    std::vector<std::uint8_t> info(2);
    link::SetupPacket s{link::kVendorIn, 0xB3, 0x40, 0, 2};
    EXPECT_EQ(dev->Control(s, info).error, UsbError::NoDevice);
    auto again = backend.OpenFirst();
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->Control(s, info).ok());
}

TEST(SimBackendTest, SecondBoardComesAndGoesWithItsOwnNotices) {
    SimBackend backend;
    NoticeLog log;
    backend.WatchDevices(log.Poster());
    auto dev = backend.OpenFirst();
    SimBoard& second = backend.AddSecondBoard();
    EXPECT_EQ(log.Get(), std::vector<DeviceNotice>{DeviceNotice::Arrival});
    backend.UnplugSecond();
    // Notices carry no identity: the link sees a removal; the main board is fine.
    EXPECT_EQ(log.Get().back(), DeviceNotice::Removal);
    EXPECT_FALSE(second.OnBus());
    std::vector<std::uint8_t> info(2);
    link::SetupPacket s{link::kVendorIn, 0xB3, 0x40, 0, 2};
    EXPECT_TRUE(dev->Control(s, info).ok());
    // With the main board away, the second one is the first board found.
    backend.PlugSecond();
    backend.Unplug();
    auto other = backend.OpenFirst();
    ASSERT_TRUE(other);
    RawHost host{second};
    host.RegWrite(3, 0x00, 0x42);
    std::vector<std::uint8_t> v(1);
    link::SetupPacket r{link::kVendorIn, 0xB0, 3, 0, 1};
    ASSERT_TRUE(other->Control(r, v).ok());
    EXPECT_EQ(v[0], 0x42);
}

TEST(SimBackendTest, ADeviceOutlivingItsBackendFailsCleanly) {
    std::unique_ptr<link::Device> dev;
    {
        SimBackend backend;
        dev = backend.OpenFirst();
    }
    EXPECT_EQ(ActiveSimBackend(), nullptr);
    std::vector<std::uint8_t> info(2);
    link::SetupPacket s{link::kVendorIn, 0xB3, 0x40, 0, 2};
    EXPECT_TRUE(dev->Control(s, info).ok());  // the board lives as long as its devices
}

TEST(SimProfileTest, EveryKeyParses) {
    std::string error;
    auto p = ParseProfile(R"(# a board for the demo
firmware_version = 0x0301
product_id = 0x6311
chip_revision = 4
speed_code = 0x80
usb_vid = 0x04B4
usb_pid = 0x8613
link_speed = usb3
fpga_at_power_up = unconfigured
block_mismatch_byte = 17
block_mismatch_read = 4
temperature = 42.5
temp_alert = 70
watchdog = 10
gpio_input_a = 0x01
gpio_input_c = 0x02
gpio_input_e = 0x03
eeprom_fill = 0
fw_reset_answers = no
reset_delay_ms = 100
memory_limit_mib = 512
memory_store = discard
fail_request = 3
stall_request = 4
unplug_at_request = 5
short_bulk = 512
unplug_after_bulk_bytes = 1048576
stall_bulk = 6
unplug_at_bulk = 7
i2c_status_zero = yes
config_status = 1
)",
                          error);
    ASSERT_TRUE(p) << error;
    EXPECT_EQ(p->firmwareVersion, 0x0301);
    EXPECT_EQ(p->productId, 0x6311);
    EXPECT_EQ(p->speedCode, 0x80);
    EXPECT_EQ(p->usbProductId, 0x8613);
    EXPECT_EQ(p->linkSpeed, LinkSpeed::Usb3);
    EXPECT_TRUE(p->unconfiguredAtPowerUp);
    EXPECT_EQ(p->blockMismatchByte, 17);
    EXPECT_EQ(p->blockMismatchRead, 4u);
    EXPECT_EQ(p->fixedTemperature, 42 << 8 | 50);
    EXPECT_EQ(p->tempAlertThreshold, 70);
    EXPECT_EQ(p->gpioInput[2], 3);
    EXPECT_FALSE(p->fwResetAnswers);
    EXPECT_EQ(p->resetDelayMs, 100);
    EXPECT_EQ(p->memoryLimitMiB, 512u);
    EXPECT_TRUE(p->memoryDiscard);
    EXPECT_EQ(p->faults.failRequest, 3u);
    EXPECT_EQ(p->faults.unplugAtRequest, 5u);
    EXPECT_EQ(p->faults.shortBulkBy, 512u);
    EXPECT_EQ(p->faults.unplugAfterBulkBytes, 1048576u);
    EXPECT_EQ(p->faults.stallBulk, 6u);
    EXPECT_EQ(p->faults.unplugAtBulk, 7u);
    EXPECT_TRUE(p->faults.i2cStatusZero);
    EXPECT_EQ(p->faults.configStatus, 1);
}

TEST(SimProfileTest, ExampleBoardsLoad) {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(QUILLON_SOURCE_DIR "/examples/boards")) {
        std::string error;
        EXPECT_TRUE(LoadProfile(e.path().string(), error)) << error;
        ++n;
    }
    EXPECT_GE(n, 4);
}

TEST(SimProfileTest, BadProfilesAreRefusedWithTheLine) {
    std::string error;
    EXPECT_FALSE(ParseProfile("link_speed = usb2\nlink_sped = usb3\n", error));
    EXPECT_EQ(error, "line 2: unknown key 'link_sped'");
    EXPECT_FALSE(ParseProfile("product_id = 0x10000\n", error));
    EXPECT_EQ(error, "line 1: bad value '0x10000' for product_id");
    EXPECT_FALSE(ParseProfile("temperature = 40.123\n", error));
    // The wide EEPROM needs an address byte of its own.
    for (const char* bad : {"0xA1", "0xA0", "0xC0", "0x100"})
        EXPECT_FALSE(ParseProfile(std::string("wide_eeprom_address = ") + bad, error)) << bad;
    ASSERT_TRUE(ParseProfile("wide_eeprom_address = 0xAE", error));
    EXPECT_EQ(ParseProfile("wide_eeprom_address = 0xAE", error)->wideEepromAddress, 0xAE);
    EXPECT_FALSE(ParseProfile("just words\n", error));
    EXPECT_EQ(error, "line 1: expected key = value");

    EXPECT_FALSE(LoadProfile("/nonexistent/board.profile", error));
    EXPECT_NE(error.find("/nonexistent/board.profile"), std::string::npos);
    EXPECT_EQ(MakeSimBackend("/nonexistent/board.profile", error), nullptr);

    const std::string path = ::testing::TempDir() + "sim_profile_test.profile";
    std::ofstream(path) << "product_id = 0x7201\r\nlink_speed = usb2 # slow\r\n";
    auto backend = MakeSimBackend(path, error);
    ASSERT_TRUE(backend) << error;
    EXPECT_EQ(ActiveSimBackend()->board().profile().productId, 0x7201);
    EXPECT_EQ(ActiveSimBackend()->board().profile().linkSpeed, LinkSpeed::Usb2);
}

}  // namespace
}  // namespace quillon::sim
