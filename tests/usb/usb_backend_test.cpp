// The libusb backend against a umockdev testbed whose URBs the simulated
// board answers: libusb itself runs for real, down to the usbdevfs ioctls.

#include "link/usb/usb_backend.h"

#include <gtest/gtest.h>
#include <libusb.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "link/hints.h"
#include "link/vendor_requests.h"
#include "platform/settings_store.h"
#include "sim/sim_board.h"
#include "support/fresh_home.h"
#include "usb/usb_testbed.h"

// After glib's headers, which use Qt's keywords as names.
#include <QCoreApplication>

namespace quillon {
namespace {

using namespace std::chrono_literals;
using link::DeviceNotice;
using link::UsbError;

constexpr std::size_t kMiB = std::size_t{1} << 20;

// Under ThreadSanitizer every byte touched costs many times more; the large
// transfers shrink there (what they show does not depend on their size).
#if defined(__SANITIZE_THREAD__)
constexpr std::size_t kLarge = 12 * kMiB;
#else
constexpr std::size_t kLarge = 40 * kMiB;
#endif

// Notices as the GUI thread would receive them.
class NoticeLog {
  public:
    link::NoticePoster Poster() {
        return [this](DeviceNotice n) {
            std::lock_guard<std::mutex> lock(mu_);
            got_.push_back(n);
            cv_.notify_all();
        };
    }
    bool WaitForCount(std::size_t n, std::chrono::milliseconds timeout = 10s) {
        std::unique_lock<std::mutex> lock(mu_);
        return cv_.wait_for(lock, timeout, [&] { return got_.size() >= n; });
    }
    std::vector<DeviceNotice> Got() {
        std::lock_guard<std::mutex> lock(mu_);
        return got_;
    }

  private:
    std::mutex mu_;
    std::condition_variable cv_;
    std::vector<DeviceNotice> got_;
};

// Hints as the log would receive them.
class HintLog {
  public:
    HintLog() {
        link::SetHintSink([this](const std::string& text) {
            std::lock_guard<std::mutex> lock(mu_);
            got_.push_back(text);
            cv_.notify_all();
        });
    }
    ~HintLog() { link::SetHintSink(nullptr); }
    bool WaitForCount(std::size_t n, std::chrono::milliseconds timeout = 10s) {
        std::unique_lock<std::mutex> lock(mu_);
        return cv_.wait_for(lock, timeout, [&] { return got_.size() >= n; });
    }
    std::vector<std::string> Got() {
        std::lock_guard<std::mutex> lock(mu_);
        return got_;
    }
    // The one hint that contains all of `words`; fails the test otherwise.
    std::string One(std::initializer_list<const char*> words) {
        std::vector<std::string> found;
        for (const std::string& h : Got()) {
            if (std::all_of(words.begin(), words.end(),
                            [&](const char* w) { return h.find(w) != std::string::npos; })) {
                found.push_back(h);
            }
        }
        EXPECT_EQ(found.size(), 1u) << ::testing::PrintToString(Got());
        return found.empty() ? std::string() : found.front();
    }

  private:
    std::mutex mu_;
    std::condition_variable cv_;
    std::vector<std::string> got_;
};

// Runs `call` on a thread of its own and gives its result; a call that does
// not end within 30 s fails the test and ends the process, since it still
// uses the test's buffers.
template <typename F>
auto Bounded(const char* what, F&& call) {
    auto running = std::async(std::launch::async, std::forward<F>(call));
    if (running.wait_for(30s) != std::future_status::ready) {
        ADD_FAILURE() << what << " hangs";
        std::abort();
    }
    return running.get();
}

sim::Profile BoardWithIds(std::uint16_t vid, std::uint16_t pid) {
    sim::Profile p;
    p.usbVendorId = vid;
    p.usbProductId = pid;
    return p;
}

std::vector<std::uint8_t> Pattern(std::size_t n, std::uint32_t seed) {
    std::vector<std::uint8_t> v(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        v[i] = static_cast<std::uint8_t>(x >> 24);
    }
    return v;
}

class UsbBackendTest : public ::testing::Test {
  protected:
    explicit UsbBackendTest(test::UsbTestbed::Controller controller = {}) : bed(controller) {}
    void Start(usb::UsbBackendOptions options = {}) { backend = usb::MakeUsbBackend(options); }
    static usb::UsbBackendOptions SmallPieces() {
        usb::UsbBackendOptions o;
        o.chunkBytes = 64 * 1024;  // many piece boundaries in little data
        return o;
    }
    // Plugs `board` in as device 2 and opens it; memory transfers go to
    // address 0 of memory 0.
    std::unique_ptr<link::Device> PlugAndOpen(const usb::UsbBackendOptions& options) {
        bed.Plug(2, board);
        Start(options);
        board.SetRegister(0, 0);
        board.SetRegister(1, 0);
        return backend->OpenFirst();
    }
    void SetUsbIds(const char* text) {
        SettingsStore s;
        s.WriteString(kSetup, usb::kUsbIdsKey, text);
    }

    // One memory command (VR_MEM_CMD) at 32-bit width.
    static link::TransferResult MemCmd(link::Device& d, std::uint8_t command) {
        std::uint8_t byte = command;
        return d.Control({link::kVendorOut, link::vr::MEM_CMD, 0x80, 0, 1}, {&byte, 1});
    }
    static link::TransferResult WriteMemory(link::Device& d, std::span<const std::uint8_t> b) {
        EXPECT_TRUE(MemCmd(d, link::kMemWriteBegin).ok());
        link::TransferResult r = d.BulkOut(link::kBulkOutEp, b);
        EXPECT_TRUE(MemCmd(d, link::kMemWriteEnd).ok());
        return r;
    }
    static link::TransferResult ReadMemory(link::Device& d, std::span<std::uint8_t> b) {
        EXPECT_TRUE(MemCmd(d, link::kMemReadBegin).ok());
        link::TransferResult r = d.BulkIn(link::kBulkInEp, b);
        EXPECT_TRUE(MemCmd(d, link::kMemReadEnd).ok());
        return r;
    }

    test::FreshHome home;
    sim::SimBoard board;
    test::UsbTestbed bed;
    std::unique_ptr<link::Backend> backend;  // last: goes before the testbed
};

using Controller = test::UsbTestbed::Controller;

// The reads on both kinds of host controller: one URB per transfer, or a
// transfer cut into URBs that the kernel ends together at a short packet.
class UsbRead : public UsbBackendTest, public ::testing::WithParamInterface<Controller> {
  protected:
    UsbRead() : UsbBackendTest(GetParam()) {}
    static bool Split() { return GetParam() == Controller::SplitUrbs; }
};

TEST(UsbIds, ParsesListsAndRejectsBadEntries) {
    using usb::ParseUsbIds;
    using usb::UsbId;
    EXPECT_EQ(ParseUsbIds("04B4:00F1,04B4:8613"),
              (std::vector<UsbId>{{0x04B4, 0x00F1}, {0x04B4, 0x8613}}));
    EXPECT_EQ(ParseUsbIds(" 0x04b4:0x00f1 ; 4b4:f1\t1234:ABCD,"),
              (std::vector<UsbId>{{0x04B4, 0x00F1}, {0x1234, 0xABCD}}));
    EXPECT_TRUE(ParseUsbIds("").empty());

    std::vector<std::string> rejected;
    const auto ids =
        ParseUsbIds("04B4,04B4:,:8613,12345:0001,G4B4:0001,04B4:00F1:00,04B4:8613", &rejected);
    EXPECT_EQ(ids, (std::vector<UsbId>{{0x04B4, 0x8613}}));
    EXPECT_EQ(rejected, (std::vector<std::string>{"04B4", "04B4:", ":8613", "12345:0001",
                                                  "G4B4:0001", "04B4:00F1:00"}));
}

TEST(UsbVersion, IsTheLibusbInUse) {
    const libusb_version* v = libusb_get_version();
    EXPECT_EQ(usb::LibusbVersion(), std::to_string(v->major) + "." + std::to_string(v->minor) +
                                        "." + std::to_string(v->micro) + "." +
                                        std::to_string(v->nano));
    EXPECT_EQ(usb::MakeUsbBackend()->DriverVersion(), usb::LibusbVersion());
}

TEST_F(UsbBackendTest, OpensTheBoardBySignatureAndSkipsOtherDevices) {
    // Same VID:PID as the board, but not its interface.
    bed.PlugOther(2, test::UsbTestbed::OtherDescriptors(0x04B4, 0x00F1));
    bed.Plug(3, board);
    Start();

    {
        std::unique_ptr<link::Device> dev = backend->OpenFirst();
        ASSERT_NE(dev, nullptr);
        EXPECT_EQ(bed.CountsOf(2).claims, 0);
        EXPECT_EQ(bed.CountsOf(3).claims, 1);

        // Control IN: VR_REG_READ of register 0x123 at 32 bits.
        board.SetRegister(0x123, 0x12345678);
        std::uint8_t in[4] = {};
        link::TransferResult r =
            dev->Control({link::kVendorIn, link::vr::REG,
                          link::RegWValue(0x123, link::RegWidth::Bits32), 0x123 & 0x3FC0, 4},
                         in);
        ASSERT_TRUE(r.ok()) << link::UsbErrorName(r.error);
        EXPECT_EQ(r.moved, 4u);
        EXPECT_EQ(std::vector<std::uint8_t>(in, in + 4),
                  (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12}));

        // Control OUT: VR_REG_WRITE of register 0x3FFF at 16 bits.
        std::uint8_t out[2] = {0xCD, 0xAB};
        r = dev->Control({link::kVendorOut, link::vr::REG,
                          link::RegWValue(0x3FFF, link::RegWidth::Bits16), 0, 2},
                         out);
        ASSERT_TRUE(r.ok()) << link::UsbErrorName(r.error);
        EXPECT_EQ(r.moved, 2u);
        EXPECT_EQ(board.Register(0x3FFF) & 0xFFFF, 0xABCDu);

        // A request the firmware does not know stalls.
        std::uint8_t junk[2] = {};
        r = dev->Control({link::kVendorIn, 0x7E, 0, 0, 2}, junk);
        EXPECT_EQ(r.error, UsbError::Stall);
        // The pipe still works after the stall.
        r = dev->Control({link::kVendorIn, link::vr::REG,
                          link::RegWValue(0x123, link::RegWidth::Bits32), 0x123 & 0x3FC0, 4},
                         in);
        EXPECT_TRUE(r.ok());
        EXPECT_EQ(bed.CountsOf(3).releases, 0);
    }
    // Destroying the device releases the interface.
    EXPECT_EQ(bed.CountsOf(3).releases, 1);
}

TEST_F(UsbBackendTest, OpensOnlyTheFirstBoardAndHonoursUsbIds) {
    sim::SimBoard second(BoardWithIds(0x04B4, 0x8613));
    bed.Plug(2, board);
    bed.Plug(3, second);
    Start();

    {
        std::unique_ptr<link::Device> dev = backend->OpenFirst();
        ASSERT_NE(dev, nullptr);
        EXPECT_EQ(bed.CountsOf(2).claims + bed.CountsOf(3).claims, 1);
    }

    SetUsbIds("zz:1, 04b4:8613 ,bogus");
    testing::internal::CaptureStdout();
    {
        std::unique_ptr<link::Device> dev = backend->OpenFirst();
        const std::string out = testing::internal::GetCapturedStdout();
        ASSERT_NE(dev, nullptr);
        EXPECT_NE(out.find("\"zz:1\""), std::string::npos) << out;
        EXPECT_NE(out.find("\"bogus\""), std::string::npos) << out;
        const std::uint64_t before = second.RequestCount();
        std::uint8_t in[2] = {};
        EXPECT_TRUE(
            dev->Control({link::kVendorIn, link::vr::BOARD_INFO, link::kInfoProductId, 0, 2}, in)
                .ok());
        EXPECT_EQ(second.RequestCount(), before + 1);
    }
    EXPECT_EQ(bed.CountsOf(3).claims, bed.CountsOf(3).releases);

    SetUsbIds("04B4:1234");
    EXPECT_EQ(backend->OpenFirst(), nullptr);

    // Typed into the settings file by hand, unquoted.
    {
        std::ofstream ini(home.iniPath());
        ini << "[SETUP]\nUSB_IDS=04B4:9999,04b4:8613\n";
    }
    const std::uint64_t before = second.RequestCount();
    std::unique_ptr<link::Device> dev = backend->OpenFirst();
    ASSERT_NE(dev, nullptr);
    std::uint8_t in[2] = {};
    EXPECT_TRUE(
        dev->Control({link::kVendorIn, link::vr::BOARD_INFO, link::kInfoProductId, 0, 2}, in).ok());
    EXPECT_EQ(second.RequestCount(), before + 1);
}

sim::Profile BoardWithSerial(const char* serial) {
    sim::Profile p;
    p.usbSerial = serial;
    return p;
}

// Which board a device reaches: the value it reads from register 7, which
// each board of a test holds differently.
std::uint32_t Register7(link::Device& d) {
    std::uint8_t in[4] = {};
    EXPECT_TRUE(d.Control({link::kVendorIn, link::vr::REG,
                           link::RegWValue(7, link::RegWidth::Bits32), 0, 4},
                          in)
                    .ok());
    return in[0] | in[1] << 8 | in[2] << 16 | static_cast<std::uint32_t>(in[3]) << 24;
}

// Two boards alike but for their serial numbers (one kept by the kernel in
// sysfs, one read from the board) and their sockets.
class TwoBoards : public UsbBackendTest {
  protected:
    void SetUp() override {
        first.SetRegister(7, 1);
        second.SetRegister(7, 2);
        PlugAt(5, first, "2", true);
        bed.PlugHub(4, "3");
        PlugAt(6, second, "3.1", false);
    }
    void PlugAt(int devnum, sim::SimBoard& b, const char* ports, bool sysfs) {
        test::UsbTestbed::PlugOptions o;
        o.ports = ports;
        o.serialInSysfs = sysfs;
        bed.Plug(devnum, b, o);
    }
    std::unique_ptr<link::Device> OpenNamed(const char* id) {
        usb::UsbBackendOptions o;
        o.board = id;
        Start(o);
        return backend->OpenFirst();
    }
    sim::SimBoard first{BoardWithSerial("QB-0001")};
    sim::SimBoard second{BoardWithSerial("QB-0002")};
};

TEST_F(TwoBoards, AreListedAndEitherOpensBySerialOrByPath) {
    std::vector<usb::BoardEntry> boards = usb::ListBoards();
    ASSERT_EQ(boards.size(), 2u);
    std::sort(boards.begin(), boards.end(),
              [](const auto& a, const auto& b) { return a.ports < b.ports; });
    EXPECT_EQ(usb::PortId(boards[0]), "1-2");
    EXPECT_EQ(usb::PortId(boards[1]), "1-3.1");
    EXPECT_EQ(boards[0].serial, "QB-0001");
    EXPECT_EQ(boards[1].serial, "QB-0002");
    EXPECT_EQ(usb::DescribeBoard(boards[1]),
              "usb:1-3.1    04b4:00f1  speed high   serial QB-0002");

    for (const char* id : {"QB-0002", "1-3.1"}) {
        SCOPED_TRACE(id);
        std::unique_ptr<link::Device> dev = OpenNamed(id);
        ASSERT_NE(dev, nullptr);
        EXPECT_EQ(Register7(*dev), 2u);
        EXPECT_EQ(dev->Address().device, 6);
    }
    std::unique_ptr<link::Device> dev = OpenNamed("QB-0001");
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(Register7(*dev), 1u);
}

TEST_F(TwoBoards, AnIdThatNamesNoneOrTwoIsRefusedWithTheList) {
    sim::SimBoard twin(BoardWithSerial("QB-0002"));
    twin.SetRegister(7, 3);
    PlugAt(7, twin, "4", false);
    HintLog hints;
    EXPECT_EQ(OpenNamed("QB-9999"), nullptr);
    const std::string none = hints.One({"usb:QB-9999"});
    for (const char* there : {"usb:1-2 ", "usb:1-3.1 ", "usb:1-4 ", "QB-0001"}) {
        EXPECT_NE(none.find(there), std::string::npos) << none;
    }
    EXPECT_EQ(OpenNamed("QB-0002"), nullptr);
    const std::string two = hints.One({"QB-0002 is on 2 boards"});
    EXPECT_NE(two.find("usb:1-4 "), std::string::npos) << two;
    // Either twin by its socket.
    std::unique_ptr<link::Device> dev = OpenNamed("1-4");
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(Register7(*dev), 3u);
}

// The link follows the board it was given: another board coming or going
// is no notice of its own board.
TEST_F(TwoBoards, TheNamedBoardAloneIsFollowed) {
    std::unique_ptr<link::Device> dev = OpenNamed("QB-0002");
    ASSERT_NE(dev, nullptr);
    NoticeLog notices;
    backend->WatchDevices(notices.Poster());
    bed.Unplug(5);
    sim::SimBoard other(BoardWithSerial("QB-0003"));
    PlugAt(8, other, "5", true);
    EXPECT_FALSE(notices.WaitForCount(1, 1500ms));
    EXPECT_EQ(Register7(*dev), 2u);

    bed.Unplug(6);
    ASSERT_TRUE(notices.WaitForCount(1));
    dev.reset();
    PlugAt(9, second, "3.1", false);
    ASSERT_TRUE(notices.WaitForCount(2));
    EXPECT_EQ(notices.Got(),
              (std::vector<DeviceNotice>{DeviceNotice::Removal, DeviceNotice::Arrival}));
}

// The programs themselves on the test bed: quillon-run runs beside this
// binary, under the same preload library (which serves its ioctls from here).
std::string RunUnderTestbed(const std::string& commandLine, int& status) {
    const std::string command = "LD_PRELOAD=libumockdev-preload.so.0 " + commandLine + " 2>&1";
    std::string out;
    if (std::FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        status = WEXITSTATUS(::pclose(p));
    }
    return out;
}

std::filesystem::path TestBinaries() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

std::string RunProgram(const std::string& arguments, int& status) {
    return RunUnderTestbed("'" + (TestBinaries() / "quillon-run").string() + "' " + arguments,
                           status);
}

TEST_F(TwoBoards, QuillonRunListsThemAndOpensTheOneNamed) {
    if (!std::filesystem::exists(std::filesystem::read_symlink("/proc/self/exe").parent_path() /
                                 "quillon-run")) {
        GTEST_SKIP() << "quillon-run is not built beside the tests";
    }
    int status = -1;
    std::string out = RunProgram("--list", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("usb:1-2      04b4:00f1  speed high   serial QB-0001\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("usb:1-3.1    04b4:00f1  speed high   serial QB-0002\n"), std::string::npos)
        << out;

    const std::string script = home.root() + "/which.tcl";
    std::ofstream(script) << "KVX_COMMAND \"RR -A7 -W32\"\nTPRINT \"register 7 = $read\"\n";
    for (const char* id : {"usb:QB-0002", "usb:1-3.1"}) {
        out = RunProgram(std::string("--board ") + id + " " + script, status);
        EXPECT_EQ(status, 0) << out;
        EXPECT_NE(out.find("register 7 = 2"), std::string::npos) << out;
    }
    out = RunProgram("--board usb:QB-0003 " + script, status);
    EXPECT_EQ(status, 3) << out;
    EXPECT_NE(out.find("no board usb:QB-0003"), std::string::npos) << out;
    EXPECT_NE(out.find("usb:1-3.1 (04b4:00f1, serial QB-0002)"), std::string::npos) << out;
}

// One board, one process: whoever else opens it (another backend, quillon-run,
// the Python module) is turned away before the device is touched, with this
// process's number; once it is let go the next opener has it.
TEST_F(UsbBackendTest, ABoardThisProcessHoldsIsRefusedNamingTheHolder) {
    bed.Plug(2, board);
    Start();
    std::unique_ptr<link::Device> held = backend->OpenFirst();
    ASSERT_NE(held, nullptr);
    const std::string pid = std::to_string(::getpid());
    const std::string inUse = "the board usb:1-2 is in use by process " + pid;

    HintLog hints;
    std::unique_ptr<link::Backend> other = usb::MakeUsbBackend();
    EXPECT_EQ(other->OpenFirst(), nullptr);
    const link::NoBoardReason why = other->WhyNoBoard();
    EXPECT_EQ(why.kind, link::NoBoard::Held);
    EXPECT_EQ(why.holder, static_cast<long>(::getpid()));
    EXPECT_EQ(why.hint, hints.One({inUse.c_str(), "(this process)"}));

    int status = -1;
    if (std::filesystem::exists(TestBinaries() / "quillon-run")) {
        const std::string script = home.root() + "/read.tcl";
        std::ofstream(script) << "KVX_COMMAND \"RR -A0 -W32\"\n";
        const std::string out = RunProgram("--board usb " + script, status);
        EXPECT_EQ(status, 3) << out;
        EXPECT_NE(out.find(inUse), std::string::npos) << out;
    }
    // The module, when this build made it (the sanitizer builds do not).
    const std::filesystem::path python = TestBinaries().parent_path() / "python";
    if (std::filesystem::exists(python / "quillon" / "__init__.py")) {
        const std::string out = RunUnderTestbed(
            "env PYTHONPATH='" + python.string() +
                "' /usr/bin/python3 -c 'import quillon\ntry:\n quillon.open(\"usb\")\n"
                "except quillon.BoardError as e:\n print(e.holder, e)'",
            status);
        // The exception and nothing else: one line, starting with its holder.
        EXPECT_EQ(out.rfind(pid + " open: no board could be opened (usb); USB: " + inUse, 0), 0u)
            << out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    }
    // Neither opener reached the device.
    EXPECT_EQ(bed.CountsOf(2).claims, 1);

    held.reset();
    EXPECT_NE(other->OpenFirst(), nullptr);
}

TEST(BoardIds, APathIsTriedBeforeASerialNumber) {
    usb::BoardEntry a, b;
    a.bus = b.bus = 1;
    a.ports = "2";
    b.ports = "3";
    b.serial = "1-2";  // a serial number that reads like a path
    a.serial = "1-3";
    std::string error;
    EXPECT_EQ(usb::MatchBoard({a, b}, "1-2", error), 0u);
    EXPECT_EQ(usb::MatchBoard({a, b}, "1-3", error), 1u);
    b.ports = "4";
    EXPECT_EQ(usb::MatchBoard({a, b}, "1-3", error), 0u);  // no board there: the serial
    EXPECT_FALSE(usb::MatchBoard({}, "1-3", error));
    EXPECT_NE(error.find("no board is connected"), std::string::npos) << error;
}

TEST_F(UsbBackendTest, DetachesABoundKernelDriverAndGivesItBack) {
    bed.Plug(2, board);
    // A driver that binds again as soon as it is let go: detaching and
    // claiming must be one step.
    bed.BindDriver(2, "usbtest", /*rebinds=*/true);
    Start();
    {
        std::unique_ptr<link::Device> dev = backend->OpenFirst();
        ASSERT_NE(dev, nullptr);
        EXPECT_EQ(bed.CountsOf(2).detaches, 1);
        EXPECT_EQ(bed.CountsOf(2).claims, 1);
    }
    EXPECT_EQ(bed.CountsOf(2).releases, 1);
    EXPECT_EQ(bed.CountsOf(2).attaches, 1);
}

TEST_F(UsbBackendTest, ABoardAnotherProgramHoldsIsLeftAloneWithAHint) {
    bed.Plug(2, board);
    bed.BindDriver(2, "usbfs");  // what the kernel reports for another program's claim
    Start();
    HintLog hints;
    testing::internal::CaptureStdout();
    EXPECT_EQ(backend->OpenFirst(), nullptr);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("LIBUSB_ERROR_BUSY"), std::string::npos) << out;
    EXPECT_NE(out.find("another program has the board open"), std::string::npos) << out;
    EXPECT_EQ(bed.CountsOf(2).detaches, 0);  // not ours to take away
    // The log hears of it too.
    EXPECT_NE(hints.One({"another program has the board open"}), "");
}

TEST_F(UsbBackendTest, StalledBulkPipeIsClearedForTheNextCall) {
    bed.Plug(2, board);
    Start();
    std::unique_ptr<link::Device> dev = backend->OpenFirst();
    ASSERT_NE(dev, nullptr);
    std::vector<std::uint8_t> buffer(4096);
    // Outside a memory begin/end pair the board stalls the pipe.
    EXPECT_EQ(dev->BulkIn(link::kBulkInEp, buffer).error, UsbError::Stall);
    link::TransferResult r = ReadMemory(*dev, buffer);
    EXPECT_TRUE(r.ok()) << link::UsbErrorName(r.error);
    EXPECT_EQ(r.moved, buffer.size());
    EXPECT_EQ(bed.CountsOf(2).clearHalts, 1);
}

TEST_F(UsbBackendTest, BulkOfAnyLengthMovesInOneCall) {
    bed.Plug(2, board);
    usb::UsbBackendOptions options;
    options.chunkBytes = 64 * 1024;  // small chunks: many boundaries, quick
    options.inFlight = 3;
    Start(options);
    std::unique_ptr<link::Device> dev = backend->OpenFirst();
    ASSERT_NE(dev, nullptr);
    board.SetRegister(0, 0);  // start address
    board.SetRegister(1, 0);  // target memory

    const std::size_t chunk = options.chunkBytes;
    for (std::size_t n : {std::size_t{4}, std::size_t{512}, chunk - 4, chunk, chunk + 4, 3 * chunk,
                          7 * chunk + 512}) {
        SCOPED_TRACE(n);
        const std::vector<std::uint8_t> data = Pattern(n, static_cast<std::uint32_t>(n));
        link::TransferResult w = WriteMemory(*dev, data);
        ASSERT_TRUE(w.ok()) << link::UsbErrorName(w.error);
        EXPECT_EQ(w.moved, n);
        EXPECT_EQ(board.ReadMemory(0, 0, n), data);

        std::vector<std::uint8_t> back(n, 0xEE);
        link::TransferResult r = ReadMemory(*dev, back);
        ASSERT_TRUE(r.ok()) << link::UsbErrorName(r.error);
        EXPECT_EQ(r.moved, n);
        EXPECT_EQ(back, data);
    }
    // Reads and writes in pieces of `chunk`.
    EXPECT_EQ(bed.LargestUrb(2), chunk);
    EXPECT_EQ(bed.CountsOf(2).babbles, 0);
}

// The testbed's board streams whole packets, as one that was not told the
// length does: a read that ends inside a packet must not overflow.
TEST_P(UsbRead, ReadEndingInsideASuperSpeedPacketGetsItsBytes) {
    sim::Profile p;
    p.linkSpeed = sim::LinkSpeed::Usb3;  // 1024-byte packets
    sim::SimBoard fast(p);
    bed.Plug(2, fast);
    usb::UsbBackendOptions options;
    options.chunkBytes = 4096;
    Start(options);
    std::unique_ptr<link::Device> dev = backend->OpenFirst();
    ASSERT_NE(dev, nullptr);
    fast.SetRegister(0, 0);
    fast.SetRegister(1, 0);
    const std::vector<std::uint8_t> data = Pattern(3 * 4096, 3);
    ASSERT_TRUE(WriteMemory(*dev, data).ok());
    for (std::size_t n :
         {std::size_t{1}, std::size_t{512}, std::size_t{1536}, std::size_t{2 * 4096 + 1000}}) {
        SCOPED_TRACE(n);
        std::vector<std::uint8_t> back(n + 16, 0xEE);
        link::TransferResult r = ReadMemory(*dev, std::span(back).first(n));
        ASSERT_TRUE(r.ok()) << link::UsbErrorName(r.error);
        EXPECT_EQ(r.moved, n);
        EXPECT_TRUE(std::equal(back.begin(), back.begin() + n, data.begin()));
        EXPECT_EQ(back[n], 0xEE);  // nothing beyond the buffer
    }
    // A babble error halts the pipe on xHCI; reads never cause one.
    EXPECT_EQ(bed.CountsOf(2).babbles, 0);
}

// Outstanding URBs of one direction after each event of the log.
struct QueueDepth {
    std::vector<int> afterEvent;
    int most = 0;
};
QueueDepth DepthOf(const std::vector<test::UsbTestbed::UrbEvent>& log) {
    QueueDepth d;
    int now = 0;
    for (const auto& e : log) {
        now += e.kind == test::UsbTestbed::UrbEvent::Submit ? 1 : -1;
        d.afterEvent.push_back(now);
        d.most = std::max(d.most, now);
    }
    return d;
}

std::vector<test::UsbTestbed::UrbEvent> EventsOf(const std::vector<test::UsbTestbed::UrbEvent>& log,
                                                 std::uint8_t endpoint) {
    std::vector<test::UsbTestbed::UrbEvent> out;
    std::copy_if(log.begin(), log.end(), std::back_inserter(out),
                 [&](const auto& e) { return e.endpoint == endpoint; });
    return out;
}

using Event = test::UsbTestbed::UrbEvent;

// The log by libusb transfer: each transfer submitted with its first URB and
// reaped with its last, with the bytes of all (the first failure its status).
// With scatter-gather every transfer is one URB. Exact while the thread that
// submits a transfer submits all its URBs before any is reaped (no watcher).
std::vector<Event> TransfersOf(const std::vector<Event>& urbs) {
    std::vector<Event> out;
    struct Open {
        int urbs = 0;
        std::size_t submit = 0;  // its Submit in `out`
        Event reap;
    };
    std::map<int, Open> open;
    for (const Event& e : urbs) {
        if (e.kind == Event::Submit) {
            auto [it, first] = open.try_emplace(e.transfer);
            if (first) {
                it->second.submit = out.size();
                out.push_back({Event::Submit, e.transfer, e.endpoint, 0, 0, e.transfer});
                it->second.reap = {Event::Reap, e.transfer, e.endpoint, 0, 0, e.transfer};
            }
            out[it->second.submit].length += e.length;
            it->second.urbs += 1;
            continue;
        }
        Open& t = open.at(e.transfer);
        t.reap.length += e.length;
        if (t.reap.status == 0) t.reap.status = e.status;
        if (--t.urbs == 0) {
            out.push_back(t.reap);
            open.erase(e.transfer);
        }
    }
    return out;
}

// From the first completion to the submission of the last piece, at least
// three URBs stay outstanding, and every completion is followed by a new
// submission before the next completion is reaped.
void ExpectQueueKeptFull(const std::vector<Event>& out, std::size_t n) {
    const auto lastSubmit = std::find_if(out.rbegin(), out.rend(),
                                         [](const Event& e) { return e.kind == Event::Submit; });
    const auto lastSubmitAt = static_cast<std::size_t>(out.rend() - lastSubmit - 1);
    const QueueDepth depth = DepthOf(out);
    std::size_t submits = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i].length, static_cast<int>(kMiB));
        if (out[i].kind == Event::Submit) {
            ++submits;
            continue;
        }
        if (i >= lastSubmitAt) continue;
        EXPECT_GE(depth.afterEvent[i], 3) << "after the reap of URB " << out[i].id;
        EXPECT_EQ(out[i + 1].kind, Event::Submit) << "after the reap of URB " << out[i].id;
    }
    EXPECT_EQ(submits, n / kMiB);
    EXPECT_EQ(depth.most, 4);
}

// The bus goes on while the host refills: the test bed completes the next
// transfer only once the host had its chance to submit another one. Reads and
// writes alike keep four transfers of 1 MiB queued, each completion followed
// by the next submission, also when streamed: the source fills a piece, or
// the sink takes one, while the rest of the queue is on the bus.
TEST_P(UsbRead, FortyMegabytesKeepTheQueueFull) {
    bed.Plug(2, board);
    bed.CompleteLater(2, /*refillGrace=*/300ms);
    Start();  // default pieces: 1 MiB, four in flight
    std::unique_ptr<link::Device> dev = backend->OpenFirst();
    ASSERT_NE(dev, nullptr);
    board.SetRegister(0, 0);
    board.SetRegister(1, 0);

    const std::size_t n = kLarge;
    for (bool streamed : {false, true}) {
        SCOPED_TRACE(streamed ? "streamed" : "from one buffer");
        const std::vector<std::uint8_t> data = Pattern(n, streamed ? 41 : 40);
        const std::size_t logFrom = bed.UrbLog(2).size();
        link::TransferResult w;
        if (streamed) {
            std::size_t at = 0;
            EXPECT_TRUE(MemCmd(*dev, link::kMemWriteBegin).ok());
            w = dev->BulkOutStream(link::kBulkOutEp, static_cast<std::uint32_t>(n),
                                   [&](std::span<std::uint8_t> piece) {
                                       std::copy_n(data.begin() + at, piece.size(), piece.begin());
                                       at += piece.size();
                                       return true;
                                   });
            EXPECT_TRUE(MemCmd(*dev, link::kMemWriteEnd).ok());
        } else {
            w = WriteMemory(*dev, data);
        }
        ASSERT_TRUE(w.ok()) << link::UsbErrorName(w.error);
        EXPECT_EQ(w.moved, n);
        EXPECT_TRUE(board.ReadMemory(0, 0, n) == data);

        std::vector<std::uint8_t> back;
        link::TransferResult r;
        if (streamed) {
            EXPECT_TRUE(MemCmd(*dev, link::kMemReadBegin).ok());
            r = dev->BulkInStream(link::kBulkInEp, static_cast<std::uint32_t>(n),
                                  [&](std::span<const std::uint8_t> piece) {
                                      back.insert(back.end(), piece.begin(), piece.end());
                                      return true;
                                  });
            EXPECT_TRUE(MemCmd(*dev, link::kMemReadEnd).ok());
        } else {
            back.resize(n);
            r = ReadMemory(*dev, back);
        }
        ASSERT_TRUE(r.ok()) << link::UsbErrorName(r.error);
        EXPECT_EQ(r.moved, n);
        EXPECT_TRUE(back == data);

        std::vector<Event> log = bed.UrbLog(2);
        log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(logFrom));
        for (std::uint8_t ep : {link::kBulkOutEp, link::kBulkInEp}) {
            SCOPED_TRACE(ep == link::kBulkInEp ? "read" : "write");
            ExpectQueueKeptFull(TransfersOf(EventsOf(log, ep)), n);
        }
    }
    EXPECT_EQ(bed.LargestUrb(2), Split() ? 16 * 1024 : kMiB);
}

// Reads `length` bytes in pieces of `piece` (as a split read does) through
// five buffers lent in turn; appends what each piece brought to `back` and
// gives each piece's result, in order. `onPiece` runs as each is handed back.
std::vector<link::TransferResult> ReadInPieces(link::Device& dev, std::uint64_t length,
                                               std::uint32_t piece, std::vector<std::uint8_t>& back,
                                               const std::function<void(std::uint64_t)>& onPiece = {}) {
    std::vector<std::vector<std::uint8_t>> buffers(5, std::vector<std::uint8_t>(piece));
    std::vector<std::uint8_t*> free;
    for (auto& b : buffers) free.push_back(b.data());
    std::vector<link::TransferResult> results;
    std::uint8_t byte = link::kMemReadBegin;
    EXPECT_TRUE(dev.Control({link::kVendorOut, link::vr::MEM_CMD, 0x80, 0, 1}, {&byte, 1}).ok());
    dev.BulkInPieces(link::kBulkInEp, length, piece,
                     {[&](std::uint64_t, std::uint32_t) -> std::uint8_t* {
                          EXPECT_FALSE(free.empty()) << "more pieces lent than in flight";
                          if (free.empty()) return nullptr;
                          std::uint8_t* b = free.back();
                          free.pop_back();
                          return b;
                      },
                      [&](std::uint64_t k, std::uint8_t* b, const link::TransferResult& r) {
                          EXPECT_EQ(k, results.size());
                          results.push_back(r);
                          if (b) {
                              back.insert(back.end(), b, b + r.moved);
                              free.push_back(b);
                          }
                          if (onPiece) onPiece(k);
                          return true;
                      }});
    byte = link::kMemReadEnd;
    EXPECT_TRUE(dev.Control({link::kVendorOut, link::vr::MEM_CMD, 0x80, 0, 1}, {&byte, 1}).ok());
    return results;
}

// A read in pieces of 2 MiB keeps the queue full across their boundaries, as
// one read of the whole length does: each piece ends at its boundary, whole.
TEST_P(UsbRead, ReadInPiecesKeepsTheQueueFullAcrossThem) {
    bed.Plug(2, board);
    bed.CompleteLater(2, /*refillGrace=*/300ms);
    Start();  // default pieces: 1 MiB, four in flight
    std::unique_ptr<link::Device> dev = backend->OpenFirst();
    ASSERT_NE(dev, nullptr);
    board.SetRegister(0, 0);
    board.SetRegister(1, 0);
    const std::size_t n = kLarge;
    const std::vector<std::uint8_t> data = Pattern(n, 43);
    board.WriteMemory(0, 0, data);

    const std::size_t logFrom = bed.UrbLog(2).size();
    std::vector<std::uint8_t> back;
    const std::vector<link::TransferResult> results = ReadInPieces(*dev, n, 2 * kMiB, back);
    ASSERT_EQ(results.size(), n / (2 * kMiB));
    for (const link::TransferResult& r : results) {
        EXPECT_TRUE(r.ok()) << link::UsbErrorName(r.error);
        EXPECT_EQ(r.moved, 2 * kMiB);
    }
    EXPECT_TRUE(back == data);
    std::vector<Event> log = bed.UrbLog(2);
    log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(logFrom));
    ExpectQueueKeptFull(TransfersOf(EventsOf(log, link::kBulkInEp)), n);
}

// A short packet inside a piece ends that piece short, and the read with it:
// no piece behind it is handed back, those before it are whole, and the pipe
// is whole for the next read.
TEST_P(UsbRead, ShortPacketEndsAReadInPiecesAtItsPiece) {
    for (bool late : {false, true}) {
        SCOPED_TRACE(late ? "completed later" : "completed at once");
        sim::SimBoard b;
        const int devnum = late ? 3 : 2;
        bed.Plug(devnum, b);
        if (late) bed.CompleteLater(devnum);
        Start(SmallPieces());
        std::unique_ptr<link::Device> dev = backend->OpenFirst();
        ASSERT_NE(dev, nullptr);
        b.SetRegister(0, 0);
        b.SetRegister(1, 0);
        constexpr std::uint32_t kPiece = 4 * 64 * 1024;
        const std::vector<std::uint8_t> data = Pattern(8 * kPiece, 8);
        b.WriteMemory(0, 0, data);

        std::vector<std::uint8_t> back;
        const std::vector<link::TransferResult> results =
            ReadInPieces(*dev, data.size(), kPiece, back, [&](std::uint64_t k) {
                if (k != 1) return;
                sim::Faults f;
                f.shortBulkBy = 100;  // the next transfer the board answers
                b.SetFaults(f);
            });
        ASSERT_GE(results.size(), 3u);
        ASSERT_LT(results.size(), 8u);
        for (std::size_t k = 0; k + 1 < results.size(); ++k) EXPECT_EQ(results[k].moved, kPiece);
        EXPECT_TRUE(results.back().ok()) << link::UsbErrorName(results.back().error);
        EXPECT_LT(results.back().moved, kPiece);
        EXPECT_GT(results.back().moved, 0u);
        EXPECT_TRUE(std::equal(back.begin(), back.end(), data.begin()));

        back.clear();
        for (const link::TransferResult& r : ReadInPieces(*dev, data.size(), kPiece, back)) {
            EXPECT_TRUE(r.ok() && r.moved == kPiece) << link::UsbErrorName(r.error);
        }
        EXPECT_TRUE(back == data);
        dev.reset();
        bed.Unplug(devnum);
    }
}

// A streamed transfer's source or sink may stop it: the transfer ends at once
// with the bytes that moved, and a read hands on none that it read ahead. A
// short packet ends a streamed read as any other.
TEST_P(UsbRead, StreamedTransferStopsWhenItsCallerDoes) {
    std::unique_ptr<link::Device> dev = PlugAndOpen(SmallPieces());
    ASSERT_NE(dev, nullptr);
    const std::uint32_t n = 16 * 64 * 1024;
    const std::vector<std::uint8_t> data = Pattern(n, 17);
    ASSERT_TRUE(WriteMemory(*dev, data).ok());

    int pieces = 0;
    ASSERT_TRUE(MemCmd(*dev, link::kMemWriteBegin).ok());
    link::TransferResult r = dev->BulkOutStream(link::kBulkOutEp, n, [&](std::span<std::uint8_t> p) {
        std::fill(p.begin(), p.end(), 0);
        return ++pieces <= 5;
    });
    EXPECT_EQ(r.error, UsbError::Cancelled);
    EXPECT_EQ(r.moved, 5u * 64 * 1024);
    const std::vector<std::uint8_t> memory = board.ReadMemory(0, 0, n);

    std::vector<std::uint8_t> back;
    ASSERT_TRUE(MemCmd(*dev, link::kMemReadBegin).ok());
    r = dev->BulkInStream(link::kBulkInEp, n, [&](std::span<const std::uint8_t> p) {
        back.insert(back.end(), p.begin(), p.end());
        return back.size() < n / 2;
    });
    EXPECT_EQ(r.error, UsbError::Cancelled);
    EXPECT_EQ(r.moved, back.size());
    EXPECT_EQ(back.size(), n / 2);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), memory.begin()));

    sim::Faults f;
    f.shortBulkBy = 100;
    board.SetFaults(f);
    back.clear();
    const std::uint64_t before = board.BulkBytes();
    ASSERT_TRUE(MemCmd(*dev, link::kMemReadBegin).ok());
    r = dev->BulkInStream(link::kBulkInEp, n, [&](std::span<const std::uint8_t> p) {
        back.insert(back.end(), p.begin(), p.end());
        return true;
    });
    EXPECT_TRUE(r.ok()) << link::UsbErrorName(r.error);
    EXPECT_EQ(r.moved, back.size());
    EXPECT_LT(r.moved, n);
    EXPECT_EQ(board.BulkBytes() - before, r.moved);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), memory.begin()));
}

// A short packet ends the call. Every byte the board sent is one the call
// reports, in order: what landed in transfers queued behind the short packet
// follows it. Then the pipe is whole for the next read.
TEST_P(UsbRead, ShortTransferEndsTheCallWithWhatMoved) {
    for (bool late : {false, true}) {
        SCOPED_TRACE(late ? "completed later" : "completed at once");
        sim::SimBoard b;
        const int devnum = late ? 3 : 2;
        bed.Plug(devnum, b);
        if (late) bed.CompleteLater(devnum);
        Start(SmallPieces());
        std::unique_ptr<link::Device> dev = backend->OpenFirst();
        ASSERT_NE(dev, nullptr);
        const std::vector<std::uint8_t> data = Pattern(5 * 64 * 1024, 6);
        ASSERT_TRUE(WriteMemory(*dev, data).ok());

        // The first URB comes back 100 bytes short, or as a zero-length packet.
        for (std::size_t shortBy : {std::size_t{100}, data.size()}) {
            SCOPED_TRACE(shortBy);
            sim::Faults f;
            f.shortBulkBy = shortBy;
            b.SetFaults(f);
            std::vector<std::uint8_t> back(data.size());
            const std::uint64_t before = b.BulkBytes();
            link::TransferResult r = ReadMemory(*dev, back);
            EXPECT_TRUE(r.ok()) << link::UsbErrorName(r.error);
            EXPECT_LT(r.moved, data.size());
            EXPECT_EQ(b.BulkBytes() - before, r.moved);
            EXPECT_TRUE(std::equal(back.begin(), back.begin() + r.moved, data.begin()));

            r = ReadMemory(*dev, back);
            ASSERT_TRUE(r.ok()) << link::UsbErrorName(r.error);
            EXPECT_TRUE(back == data);
        }
        dev.reset();
        bed.Unplug(devnum);
    }
}

INSTANTIATE_TEST_SUITE_P(Host, UsbRead,
                         ::testing::Values(Controller::ScatterGather, Controller::SplitUrbs),
                         [](const auto& info) {
                             return info.param == Controller::SplitUrbs ? "SplitUrbs"
                                                                        : "ScatterGather";
                         });

// Pulls the board while a large read has a transfer in flight. Without `watch`
// the ends of the URBs tell the call; with it the URBs are left hanging and
// only the watcher's removal can end the call (by cancelling them).
void PullDuringRead(test::UsbTestbed& bed, link::Backend& backend, bool watch) {
    NoticeLog notices;
    if (watch) backend.WatchDevices(notices.Poster());
    std::unique_ptr<link::Device> dev = backend.OpenFirst();
    ASSERT_NE(dev, nullptr);

    std::uint8_t begin = link::kMemReadBegin;
    ASSERT_TRUE(dev->Control({link::kVendorOut, link::vr::MEM_CMD, 0x80, 0, 1}, {&begin, 1}).ok());
    bed.HoldBulkAfter(2, 3 * kMiB);
    std::vector<std::uint8_t> back(kLarge);
    auto reading =
        std::async(std::launch::async, [&] { return dev->BulkIn(link::kBulkInEp, back); });
    ASSERT_TRUE(bed.WaitForHeld(2, 10s));
    bed.Unplug(2, /*endUrbs=*/!watch);

    if (reading.wait_for(30s) != std::future_status::ready) {
        ADD_FAILURE() << "the bulk call hangs after the unplug";
        std::abort();  // the call still uses `back`: do not unwind under it
    }
    link::TransferResult r = reading.get();
    EXPECT_EQ(r.error, UsbError::NoDevice) << link::UsbErrorName(r.error);
    EXPECT_EQ(r.moved, 3 * kMiB);

    // The link is dead for further requests, and says so at once.
    std::uint8_t in[2] = {};
    EXPECT_EQ(dev->Control({link::kVendorIn, link::vr::BOARD_INFO, 0, 0, 2}, in).error,
              UsbError::NoDevice);
    if (watch) {
        ASSERT_TRUE(notices.WaitForCount(1));
        EXPECT_EQ(notices.Got(), std::vector<DeviceNotice>{DeviceNotice::Removal});
    }
    dev.reset();  // closes a device that is gone without complaint
}

TEST_F(UsbBackendTest, RemovalDuringBulkEndsItWithNoDevice) {
    bed.Plug(2, board);
    Start();
    PullDuringRead(bed, *backend, false);
}

TEST_F(UsbBackendTest, RemovalSeenByTheWatcherEndsBulkWithNoDevice) {
    bed.Plug(2, board);
    Start();
    PullDuringRead(bed, *backend, true);
}

TEST_F(UsbBackendTest, BoardLeavingTheBusMidTransferEndsItWithNoDevice) {
    bed.Plug(2, board);
    Start();
    NoticeLog notices;
    backend->WatchDevices(notices.Poster());
    std::unique_ptr<link::Device> dev = backend->OpenFirst();
    ASSERT_NE(dev, nullptr);
    board.SetRegister(0, 0);
    board.SetRegister(1, 0);
    const std::vector<std::uint8_t> data = Pattern(kLarge / 2, 7);
    ASSERT_TRUE(WriteMemory(*dev, data).ok());

    // The board drops off in the middle of a piece: the call ends with what
    // came before.
    sim::Faults f;
    f.unplugAfterBulkBytes = 2 * kMiB + kMiB / 2;
    board.SetFaults(f);
    std::uint8_t begin = link::kMemReadBegin;
    ASSERT_TRUE(dev->Control({link::kVendorOut, link::vr::MEM_CMD, 0x80, 0, 1}, {&begin, 1}).ok());
    std::vector<std::uint8_t> back(kLarge / 2);
    link::TransferResult r = dev->BulkIn(link::kBulkInEp, back);
    EXPECT_EQ(r.error, UsbError::NoDevice) << link::UsbErrorName(r.error);
    EXPECT_GE(r.moved, 2 * kMiB);
    EXPECT_LE(r.moved, f.unplugAfterBulkBytes);
    EXPECT_TRUE(std::equal(back.begin(), back.begin() + r.moved, data.begin()));

    bed.Unplug(2);  // udev hears of it afterwards
    ASSERT_TRUE(notices.WaitForCount(1));
    EXPECT_EQ(notices.Got(), std::vector<DeviceNotice>{DeviceNotice::Removal});
}

TEST_F(UsbBackendTest, RemovalDuringAControlRequestEndsIt) {
    // Without a watcher the kernel ends the request; with one, the request
    // is left in flight and only the removal the watcher sees ends it.
    sim::SimBoard second;
    Start();
    NoticeLog notices;
    for (int devnum : {2, 3}) {
        SCOPED_TRACE(devnum);
        const bool watch = devnum == 3;
        bed.Plug(devnum, watch ? second : board);
        if (watch) backend->WatchDevices(notices.Poster());
        std::unique_ptr<link::Device> dev = backend->OpenFirst();
        ASSERT_NE(dev, nullptr);
        bed.HoldControl(devnum);
        std::uint8_t in[8] = {};
        auto asking = std::async(std::launch::async, [&] {
            return dev->Control({link::kVendorIn, link::vr::BOARD_INFO, 0, 0, 8}, in);
        });
        ASSERT_TRUE(bed.WaitForHeld(devnum, 10s));
        bed.Unplug(devnum, /*endUrbs=*/!watch);
        if (asking.wait_for(30s) != std::future_status::ready) {
            ADD_FAILURE() << "the control request hangs after the unplug";
            std::abort();
        }
        EXPECT_EQ(asking.get().error, UsbError::NoDevice);
    }
}

// At exit the application object goes before the board link (a static)
// destroys the backend: no notice may be posted in between.
TEST_F(UsbBackendTest, NoNoticeIsPostedOnceTheApplicationIsGone) {
    Start();
    NoticeLog notices;
    std::atomic<int> withoutApp{0};
    {
        int argc = 1;
        char name[] = "usb_tests";
        char* argv[] = {name, nullptr};
        QCoreApplication app(argc, argv);
        backend->WatchDevices([&](DeviceNotice n) {
            if (!QCoreApplication::instance()) ++withoutApp;
            notices.Poster()(n);
        });
        bed.Plug(2, board);
        ASSERT_TRUE(notices.WaitForCount(1));
    }
    bed.Unplug(2);
    bed.Plug(3, board);
    // Nothing to wait for but the absence of a notice: the watcher would
    // have told these within milliseconds.
    EXPECT_FALSE(notices.WaitForCount(2, 300ms));
    EXPECT_EQ(withoutApp, 0);
    backend.reset();
}

// The firmware NAKs a vendor request (an FX3 waiting for its FPGA): the
// request ends with a time-out instead of blocking the program.
TEST_F(UsbBackendTest, ControlRequestTheBoardNeverAnswersTimesOut) {
    bed.Plug(2, board);
    usb::UsbBackendOptions options;
    options.controlTimeout = 200ms;
    Start(options);
    std::unique_ptr<link::Device> dev = backend->OpenFirst();
    ASSERT_NE(dev, nullptr);
    bed.HoldControl(2);
    std::uint8_t in[2] = {};
    const link::SetupPacket info{link::kVendorIn, link::vr::BOARD_INFO, link::kInfoProductId, 0, 2};
    link::TransferResult r = Bounded("the control request", [&] { return dev->Control(info, in); });
    EXPECT_EQ(r.error, UsbError::Timeout) << link::UsbErrorName(r.error);
    EXPECT_EQ(r.systemCode, LIBUSB_ERROR_TIMEOUT);
    bed.StopHolding(2);
    EXPECT_TRUE(dev->Control(info, in).ok());
}

// The FPGA stops taking or giving data in the middle of a piece: the call
// ends with a time-out and the bytes that moved, and the pipe is cleared.
TEST_F(UsbBackendTest, BulkTransferTheBoardStopsServingTimesOutWithWhatMoved) {
    usb::UsbBackendOptions options = SmallPieces();
    options.bulkTimeout = 200ms;
    std::unique_ptr<link::Device> dev = PlugAndOpen(options);
    ASSERT_NE(dev, nullptr);
    bed.CompleteLater(2);
    const std::vector<std::uint8_t> data = Pattern(kMiB, 5);
    ASSERT_TRUE(WriteMemory(*dev, data).ok());

    const std::size_t stopsAfter = 150 * 1024 + 512;
    std::vector<std::uint8_t> back(data.size());
    for (bool in : {false, true}) {
        SCOPED_TRACE(in ? "read" : "write");
        const std::uint64_t before = board.BulkBytes();
        bed.HoldBulkAfter(2, stopsAfter);
        link::TransferResult r = Bounded("the bulk call", [&] {
            return in ? ReadMemory(*dev, back) : WriteMemory(*dev, data);
        });
        EXPECT_EQ(r.error, UsbError::Timeout) << link::UsbErrorName(r.error);
        EXPECT_EQ(r.systemCode, LIBUSB_ERROR_TIMEOUT);
        EXPECT_EQ(r.moved, stopsAfter);
        EXPECT_EQ(board.BulkBytes() - before, r.moved);
        if (in) {
            EXPECT_TRUE(std::equal(back.begin(), back.begin() + stopsAfter, data.begin()));
        }
        bed.StopHolding(2);
    }
    EXPECT_EQ(bed.CountsOf(2).clearHalts, 2);
    link::TransferResult r = ReadMemory(*dev, back);
    ASSERT_TRUE(r.ok()) << link::UsbErrorName(r.error);
    EXPECT_TRUE(back == data);
}

// A transaction error leaves the data toggles out of step unless the pipe is
// cleared; then the next transfer would lose its first packet.
TEST_F(UsbBackendTest, TransactionErrorIsClearedSoTheNextTransferIsWhole) {
    std::unique_ptr<link::Device> dev = PlugAndOpen(SmallPieces());
    ASSERT_NE(dev, nullptr);
    const std::vector<std::uint8_t> data = Pattern(64 * 1024, 11);
    ASSERT_TRUE(WriteMemory(*dev, data).ok());

    const std::uint64_t before = board.BulkBytes();
    bed.FailUrb(2, 1, EPROTO, 4096);
    std::vector<std::uint8_t> back(data.size());
    link::TransferResult r = ReadMemory(*dev, back);
    EXPECT_EQ(r.error, UsbError::Io) << link::UsbErrorName(r.error);
    EXPECT_EQ(r.moved, 4096u);
    EXPECT_EQ(board.BulkBytes() - before, r.moved);
    r = ReadMemory(*dev, back);
    ASSERT_TRUE(r.ok()) << link::UsbErrorName(r.error);
    EXPECT_TRUE(back == data);

    bed.FailUrb(2, 1, EPROTO);
    EXPECT_EQ(WriteMemory(*dev, Pattern(64 * 1024, 12)).error, UsbError::Io);
    const std::vector<std::uint8_t> again = Pattern(64 * 1024, 13);
    ASSERT_TRUE(WriteMemory(*dev, again).ok());
    EXPECT_TRUE(board.ReadMemory(0, 0, again.size()) == again);
    EXPECT_EQ(bed.CountsOf(2).clearHalts, 2);
}

// usbfs_memory_mb is one pool for every program. With pieces in flight the
// call waits for one and goes on with fewer; with none it fails and says
// what to do.
TEST_F(UsbBackendTest, UsbfsMemoryUsedUp) {
    HintLog hints;
    std::unique_ptr<link::Device> dev = PlugAndOpen(SmallPieces());
    ASSERT_NE(dev, nullptr);
    const std::vector<std::uint8_t> data = Pattern(16 * 64 * 1024, 9);

    bed.FailSubmit(2, 3, ENOMEM);
    link::TransferResult r = WriteMemory(*dev, data);
    ASSERT_TRUE(r.ok()) << link::UsbErrorName(r.error);
    EXPECT_EQ(r.moved, data.size());
    EXPECT_TRUE(board.ReadMemory(0, 0, data.size()) == data);

    // So does a read.
    bed.FailSubmit(2, 3, ENOMEM);
    std::vector<std::uint8_t> back(data.size());
    r = ReadMemory(*dev, back);
    ASSERT_TRUE(r.ok()) << link::UsbErrorName(r.error);
    EXPECT_TRUE(back == data);
    EXPECT_TRUE(hints.Got().empty());

    bed.FailSubmit(2, 1, ENOMEM);
    r = WriteMemory(*dev, data);
    EXPECT_EQ(r.error, UsbError::Io);
    EXPECT_EQ(r.systemCode, LIBUSB_ERROR_NO_MEM);
    EXPECT_EQ(r.moved, 0u);
    EXPECT_NE(hints.One({"usbfs_memory_mb"}), "");
}

// The kernel announces a device before it has set its configuration, and
// registers the interface a little after that.
TEST_F(UsbBackendTest, BoardArrivingBeforeItsConfigurationIsSetOpensOnceItIs) {
    if (!libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) {
        GTEST_SKIP() << "libusb has no hot-plug support here";
    }
    Start();
    NoticeLog notices;
    backend->WatchDevices(notices.Poster());
    test::UsbTestbed::PlugOptions unconfigured;
    unconfigured.configured = false;
    bed.Plug(2, board, unconfigured);
    // Lets udev's announcement through first; nothing is timed here.
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(notices.Got().empty());
    bed.Configure(2);
    ASSERT_TRUE(notices.WaitForCount(1));
    EXPECT_EQ(notices.Got(), std::vector<DeviceNotice>{DeviceNotice::Arrival});

    bed.FailClaims(2, 2);
    std::unique_ptr<link::Device> dev = backend->OpenFirst();
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(bed.CountsOf(2).claims, 1);
}

// Descriptors of a board whose alternate setting 0 gives the pipes no packet
// size (no bandwidth) and setting 1 gives them 512 bytes.
std::vector<std::uint8_t> TwoSettingsDescriptors(const sim::SimBoard& b) {
    std::vector<std::uint8_t> d = b.UsbDescriptors();
    d.resize(18 + 9);  // device and configuration descriptors
    for (std::uint8_t alt : {0, 1}) {
        d.insert(d.end(), {9, 0x04, 0, alt, 2, 0xFF, 0, 0, 0});
        const std::uint8_t size = alt ? 0x02 : 0x00;  // 512 or 0, high byte
        for (std::uint8_t ep : {link::kBulkOutEp, link::kBulkInEp}) {
            d.insert(d.end(), {7, 0x05, ep, 0x02, 0x00, size, 0});
        }
    }
    const auto total = static_cast<std::uint16_t>(d.size() - 18);
    d[18 + 2] = static_cast<std::uint8_t>(total);
    d[18 + 3] = static_cast<std::uint8_t>(total >> 8);
    return d;
}

TEST_F(UsbBackendTest, AlternateSettingWithoutPacketsIsPassedOver) {
    test::UsbTestbed::PlugOptions twoSettings;
    twoSettings.descriptors = TwoSettingsDescriptors(board);
    bed.Plug(2, board, twoSettings);
    Start();
    std::unique_ptr<link::Device> dev = backend->OpenFirst();
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(bed.CountsOf(2).altSettings, std::vector<int>{1});
    board.SetRegister(0, 0);
    board.SetRegister(1, 0);
    const std::vector<std::uint8_t> data = Pattern(4096, 4);
    ASSERT_TRUE(WriteMemory(*dev, data).ok());
    std::vector<std::uint8_t> back(data.size());
    ASSERT_TRUE(ReadMemory(*dev, back).ok());
    EXPECT_TRUE(back == data);
}

// After a firmware reset or a failed update the controller shows up as its
// bootloader (FX3) or at its default ID without firmware (FX2).
TEST_F(UsbBackendTest, BoardWithoutItsFirmwareIsNamed) {
    bed.PlugOther(2, test::UsbTestbed::BootloaderDescriptors(0x04B4, 0x00F3));
    bed.PlugOther(3, test::UsbTestbed::OtherDescriptors(0x04B4, 0x8613));
    Start();
    HintLog hints;
    EXPECT_EQ(backend->OpenFirst(), nullptr);
    EXPECT_NE(hints.One({"04b4:00f3", "bootloader"}), "");
    EXPECT_NE(hints.One({"04b4:8613", "firmware"}), "");
    EXPECT_EQ(hints.Got().size(), 2u);

    // One of the board's own IDs, but not its pipes.
    SetUsbIds("04B4:1004");
    bed.PlugOther(4, test::UsbTestbed::OtherDescriptors(0x04B4, 0x1004));
    EXPECT_EQ(backend->OpenFirst(), nullptr);
    EXPECT_NE(hints.One({"04b4:1004", "firmware"}), "");
}

// Where libusb has no hot-plug support the backend lists the bus instead;
// the bootloader is named on that path as well, once.
class UsbBootloaderWatch : public UsbBackendTest, public ::testing::WithParamInterface<bool> {};

TEST_P(UsbBootloaderWatch, BoardComesBackThroughItsBootloader) {
    const bool polling = GetParam();
    if (!polling && !libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) {
        GTEST_SKIP() << "libusb has no hot-plug support here";
    }
    usb::UsbBackendOptions options;
    options.forcePolling = polling;
    options.pollInterval = 50ms;
    Start(options);
    NoticeLog notices;
    HintLog hints;
    backend->WatchDevices(notices.Poster());
    bed.Plug(2, board);
    ASSERT_TRUE(notices.WaitForCount(1));
    std::unique_ptr<link::Device> dev = backend->OpenFirst();
    ASSERT_NE(dev, nullptr);

    bed.Unplug(2);
    ASSERT_TRUE(notices.WaitForCount(2));
    dev.reset();
    bed.PlugOther(3, test::UsbTestbed::BootloaderDescriptors(0x04B4, 0x00F3));
    ASSERT_TRUE(hints.WaitForCount(1));
    EXPECT_NE(hints.One({"04b4:00f3", "bootloader"}), "");
    bed.Unplug(3);
    bed.Plug(4, board);
    ASSERT_TRUE(notices.WaitForCount(3));
    EXPECT_EQ(notices.Got(), (std::vector<DeviceNotice>{DeviceNotice::Arrival, DeviceNotice::Removal,
                                                        DeviceNotice::Arrival}));
    dev = backend->OpenFirst();
    ASSERT_NE(dev, nullptr);
    std::uint8_t in[2] = {};
    EXPECT_TRUE(
        dev->Control({link::kVendorIn, link::vr::BOARD_INFO, link::kInfoProductId, 0, 2}, in).ok());
    EXPECT_EQ(hints.Got().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Watch, UsbBootloaderWatch, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Polling" : "Hotplug"; });

// The bulk time-out: USB_BULK_TIMEOUT seconds, then as much again as the
// piece and those ahead of it need at a tenth of the link's rate.
struct PieceTimeoutCase {
    const char* setting;  // nullptr: not set
    std::int64_t baseMs;
    std::size_t queued;
    const char* speed;
    std::int64_t expectedMs;
};

class UsbBulkTimeout : public ::testing::TestWithParam<PieceTimeoutCase> {
  protected:
    test::FreshHome home;
};

TEST_P(UsbBulkTimeout, ComesFromItsSettingAndGrowsWithLengthAndSlowerLinks) {
    const PieceTimeoutCase& c = GetParam();
    if (c.setting) {
        SettingsStore s;
        s.WriteString(kSetup, usb::kBulkTimeoutKey, c.setting);
    }
    const std::chrono::milliseconds base = usb::BulkTimeoutSetting();
    EXPECT_EQ(base.count(), c.baseMs);
    EXPECT_EQ(usb::BulkPieceTimeout(base, c.queued, c.speed).count(), c.expectedMs);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, UsbBulkTimeout,
    ::testing::Values(
        // The default, on a high-speed link: 4 MiB at 6 MB/s.
        PieceTimeoutCase{nullptr, 10000, 4 * kMiB, "high", 10699},
        PieceTimeoutCase{"abc", 10000, 0, "high", 10000},
        PieceTimeoutCase{"-3", 10000, 0, "high", 10000},
        PieceTimeoutCase{"2", 2000, 4 * kMiB, "unknown", 2699},
        // Full speed (an FX2 on a USB 1.1 port) needs 80 times as long as
        // high speed; SuperSpeed a tenth; low speed as full.
        PieceTimeoutCase{"2", 2000, 4 * kMiB, "full", 29962},
        PieceTimeoutCase{"2", 2000, 1 * kMiB, "low", 8990},
        PieceTimeoutCase{"2", 2000, 4 * kMiB, "super", 2067},
        PieceTimeoutCase{"2", 2000, 4 * kMiB, "super+", 2033},
        // None, however long the piece; and at most a day.
        PieceTimeoutCase{"0", 0, 16 * kMiB, "full", 0},
        PieceTimeoutCase{"999999", 86400000, 0, "high", 86400000}));

// Why no board opened, for the panel to say: the reason follows the bus,
// and a device that leaves takes the reason about it along.
TEST_F(UsbBackendTest, TellsWhyNoBoardOpened) {
    using link::NoBoard;
    const auto becomes = [&](NoBoard kind) {
        for (int i = 0; i < 500 && backend->WhyNoBoard().kind != kind; ++i)
            std::this_thread::sleep_for(20ms);
        return backend->WhyNoBoard().kind == kind;
    };
    Start();
    HintLog hints;
    NoticeLog notices;
    EXPECT_EQ(backend->OpenFirst(), nullptr);
    EXPECT_EQ(backend->WhyNoBoard(), (link::NoBoardReason{NoBoard::NothingFound, ""}));
    backend->WatchDevices(notices.Poster());

    bed.Plug(2, board);
    bed.BindDriver(2, "usbfs");  // another program's claim
    ASSERT_TRUE(notices.WaitForCount(1));
    EXPECT_EQ(backend->OpenFirst(), nullptr);
    EXPECT_EQ(backend->WhyNoBoard(),
              (link::NoBoardReason{NoBoard::Busy, hints.One({"another program"})}));
    bed.Unplug(2);
    EXPECT_TRUE(becomes(NoBoard::NothingFound));

    bed.PlugOther(3, test::UsbTestbed::BootloaderDescriptors(0x04B4, 0x00F3));
    ASSERT_TRUE(becomes(NoBoard::NoFirmware));
    EXPECT_EQ(backend->WhyNoBoard().hint, hints.One({"04b4:00f3", "bootloader"}));
    bed.Unplug(3);
    EXPECT_TRUE(becomes(NoBoard::NothingFound));

    bed.Plug(4, board);
    ASSERT_TRUE(notices.WaitForCount(3));
    std::unique_ptr<link::Device> dev = backend->OpenFirst();
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(backend->WhyNoBoard().kind, NoBoard::Unknown);
    bed.Unplug(4);
    ASSERT_TRUE(notices.WaitForCount(4));
    EXPECT_EQ(backend->WhyNoBoard().kind, NoBoard::NothingFound);
    dev.reset();

    usb::UsbBackendOptions named;
    named.board = "9-9";
    backend = usb::MakeUsbBackend(named);
    EXPECT_EQ(backend->OpenFirst(), nullptr);
    EXPECT_EQ(backend->WhyNoBoard().kind, NoBoard::NoMatch);
    EXPECT_EQ(backend->WhyNoBoard().hint.rfind("USB: no board usb:9-9", 0), 0u);
}

// A board whose node the user may not open (no udev rule: EACCES), or that
// usbfs refuses as busy (EBUSY): the open fails with the hint that says why
// and what to do, when the board is looked for and when it arrives; the
// reason stays what the panel's band and the runner show.
class UsbRefusedOpen : public UsbBackendTest, public ::testing::WithParamInterface<int> {};

TEST_P(UsbRefusedOpen, TellsWhyWithItsHint) {
    const bool access = GetParam() == EACCES;
    const std::vector<const char*> words =
        access ? std::vector<const char*>{"/dev/bus/usb/001/002", "ATTR{idVendor}==\"04b4\""}
               : std::vector<const char*>{"libusb_open() ERROR!!", "bus 001 device 002"};
    const auto expected = [&](const std::string& hint) {
        return link::NoBoardReason{access ? link::NoBoard::NoAccess : link::NoBoard::OpenFailed,
                                   hint};
    };
    HintLog hints;
    bed.RefuseOpen(2, GetParam());
    bed.Plug(2, board);
    Start();
    EXPECT_EQ(backend->OpenFirst(), nullptr);
    const auto one = [&] {
        std::vector<std::string> found;
        for (const std::string& h : hints.Got()) {
            if (std::all_of(words.begin(), words.end(),
                            [&](const char* w) { return h.find(w) != std::string::npos; }))
                found.push_back(h);
        }
        return found;
    };
    if (access) {
        ASSERT_EQ(one().size(), 1u) << ::testing::PrintToString(hints.Got());
        EXPECT_EQ(backend->WhyNoBoard(), expected(one().front()));
    } else {
        EXPECT_TRUE(one().empty()) << "a busy node is no matter of access";
        const std::string hint = backend->WhyNoBoard().hint;
        EXPECT_EQ(backend->WhyNoBoard(), expected(hint));
        for (const char* w : words) EXPECT_NE(hint.find(w), std::string::npos) << hint;
    }
    bed.Unplug(2);

    // Arriving while watched: the open the arrival brings about says the same.
    if (!libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) return;
    const std::size_t before = hints.Got().size();
    NoticeLog notices;
    backend->WatchDevices(notices.Poster());
    bed.RefuseOpen(3, GetParam());
    bed.Plug(3, board);
    ASSERT_TRUE(notices.WaitForCount(1));
    EXPECT_EQ(notices.Got(), std::vector<DeviceNotice>{DeviceNotice::Arrival});
    EXPECT_EQ(backend->OpenFirst(), nullptr);
    EXPECT_EQ(backend->WhyNoBoard().kind, expected("").kind);
    if (access) {
        EXPECT_GT(hints.Got().size(), before);
        EXPECT_NE(backend->WhyNoBoard().hint.find("/dev/bus/usb/001/003"), std::string::npos)
            << backend->WhyNoBoard().hint;
    }
    // Let in, it opens.
    bed.RefuseOpen(3, 0);
    EXPECT_NE(backend->OpenFirst(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Usbfs, UsbRefusedOpen, ::testing::Values(EACCES, EBUSY),
                         [](const auto& info) { return info.param == EACCES ? "EACCES" : "EBUSY"; });

TEST(UsbAccessHint, NamesTheInstalledRuleOrTheLineToInstall) {
    test::FreshHome home;
    const std::filesystem::path root = std::getenv("XDG_DATA_HOME");
    const std::filesystem::path etc = root / "etc", lib = root / "lib";
    std::filesystem::create_directories(etc);
    std::filesystem::create_directories(lib);
    const std::vector<std::string> dirs{etc.string(), lib.string()};

    // Nothing installed: the hint gives the rule line to install.
    std::string h = usb::AccessHint(1, 5, {0x04B4, 0x00F1}, dirs);
    EXPECT_NE(h.find("/dev/bus/usb/001/005"), std::string::npos) << h;
    EXPECT_NE(h.find("ATTR{idVendor}==\"04b4\", ATTR{idProduct}==\"00f1\""), std::string::npos)
        << h;
    EXPECT_NE(h.find((etc / "70-quillon.rules").string()), std::string::npos) << h;

    // The copy that comes with the program, to install as it is.
    const std::string shipped = (root / "70-quillon.rules").string();
    std::filesystem::copy_file(std::filesystem::path(QUILLON_SOURCE_DIR) / "packaging/70-quillon.rules",
                               shipped);
    h = usb::AccessHint(1, 5, {0x04B4, 0x00F1}, dirs, shipped);
    EXPECT_NE(h.find("sudo cp " + shipped + " " + etc.string() + "/"), std::string::npos) << h;
    h = usb::AccessHint(1, 5, {0x04B4, 0x1004}, dirs, shipped);
    EXPECT_NE(h.find("a copy of " + shipped), std::string::npos) << h;
    EXPECT_NE(h.find("ATTR{idProduct}==\"1004\""), std::string::npos) << h;

    // Installed, without a line for this board: add one to that file.
    {
        std::ofstream rule(lib / "70-quillon.rules");
        rule << "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"04b4\", ATTR{idProduct}==\"8613\", "
                "TAG+=\"uaccess\"\n";
    }
    h = usb::AccessHint(1, 5, {0x04B4, 0x00F1}, dirs);
    EXPECT_NE(h.find((lib / "70-quillon.rules").string()), std::string::npos) << h;
    EXPECT_NE(h.find("no line for 04b4:00f1"), std::string::npos) << h;

    // Installed with its line: the rule has not taken effect yet.
    h = usb::AccessHint(1, 5, {0x04B4, 0x8613}, dirs);
    EXPECT_NE(h.find((lib / "70-quillon.rules").string()), std::string::npos) << h;
    EXPECT_NE(h.find("udevadm"), std::string::npos) << h;
    EXPECT_EQ(h.find("no line for"), std::string::npos) << h;
}

class UsbHotplugTest : public UsbBackendTest, public ::testing::WithParamInterface<bool> {};

TEST_P(UsbHotplugTest, ArrivalAndRemovalOfBoardsOnly) {
    const bool polling = GetParam();
    if (!polling && !libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) {
        GTEST_SKIP() << "libusb has no hot-plug support here";
    }
    usb::UsbBackendOptions options;
    options.forcePolling = polling;
    options.pollInterval = 50ms;
    Start(options);
    NoticeLog notices;
    backend->WatchDevices(notices.Poster());
    EXPECT_EQ(backend->OpenFirst(), nullptr);

    // The other device comes first: by the time the board's arrival is told,
    // the other one has been looked at and left alone.
    bed.PlugOther(2, test::UsbTestbed::OtherDescriptors(0x04B4, 0x00F1));
    bed.Plug(3, board);
    ASSERT_TRUE(notices.WaitForCount(1));
    EXPECT_EQ(notices.Got(), std::vector<DeviceNotice>{DeviceNotice::Arrival});
    {
        std::unique_ptr<link::Device> dev = backend->OpenFirst();
        ASSERT_NE(dev, nullptr);
        EXPECT_EQ(bed.CountsOf(3).claims, 1);
    }

    bed.Unplug(2);
    bed.Unplug(3);
    ASSERT_TRUE(notices.WaitForCount(2));
    EXPECT_EQ(notices.Got(),
              (std::vector<DeviceNotice>{DeviceNotice::Arrival, DeviceNotice::Removal}));

    // A board filtered out by USB_IDS is not announced; the next one is.
    SetUsbIds("04B4:8613");
    backend.reset();
    Start(options);
    NoticeLog second;
    backend->WatchDevices(second.Poster());
    sim::SimBoard other(BoardWithIds(0x04B4, 0x1000));
    sim::SimBoard wanted(BoardWithIds(0x04B4, 0x8613));
    bed.Plug(4, other);
    bed.Plug(5, wanted);
    ASSERT_TRUE(second.WaitForCount(1));
    bed.Unplug(4);
    bed.Unplug(5);
    ASSERT_TRUE(second.WaitForCount(2));
    EXPECT_EQ(second.Got(),
              (std::vector<DeviceNotice>{DeviceNotice::Arrival, DeviceNotice::Removal}));
    backend.reset();
}

INSTANTIATE_TEST_SUITE_P(Watch, UsbHotplugTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Polling" : "Hotplug"; });

// Holds the thread that reaches an armed meeting point until Release(). The
// hold and the release go through relaxed atomics only: they must not order
// the two threads' accesses for ThreadSanitizer, which then sees exactly the
// order the backend's own locks give (none, when one is missing). Seen counts
// every meeting point reached.
class Meeting {
  public:
    Meeting() { usb::SetMeetingHook(&Reached); }
    ~Meeting() {
        Release();
        usb::SetMeetingHook(nullptr);
    }
    static void Arm(usb::MeetingPoint p) {
        held().store(false, std::memory_order_relaxed);
        released().store(false, std::memory_order_relaxed);
        armed().store(static_cast<int>(p) + 1, std::memory_order_relaxed);
    }
    static bool WaitForHeld() { return Until([] { return held().load(std::memory_order_relaxed); }); }
    static void Release() { released().store(true, std::memory_order_relaxed); }
    static int Seen(usb::MeetingPoint p) {
        return seen()[static_cast<int>(p)].load(std::memory_order_relaxed);
    }
    // Waits up to 30 s.
    template <typename F>
    static bool Until(F done) {
        for (int i = 0; i < 3000; ++i) {
            if (done()) return true;
            std::this_thread::sleep_for(10ms);
        }
        return done();
    }

  private:
    static std::atomic<int>& armed() {
        static std::atomic<int> a{0};
        return a;
    }
    static std::atomic<bool>& held() {
        static std::atomic<bool> h{false};
        return h;
    }
    static std::atomic<bool>& released() {
        static std::atomic<bool> r{false};
        return r;
    }
    static std::atomic<int>* seen() {
        static std::atomic<int> s[4] = {};
        return s;
    }
    static void Reached(usb::MeetingPoint p) {
        seen()[static_cast<int>(p)].fetch_add(1, std::memory_order_relaxed);
        int want = static_cast<int>(p) + 1;
        if (!armed().compare_exchange_strong(want, 0, std::memory_order_relaxed)) return;
        held().store(true, std::memory_order_relaxed);
        // Bounded: a test that fails before its release does not hang the backend.
        Until([] { return released().load(std::memory_order_relaxed); });
    }
};

// The event thread is held just before it reads what the opening thread
// writes (the USB_IDS filter, the open board), or before it takes the queue
// that libusb's hot-plug callback fills on the opening thread's event
// handling; meanwhile the other thread does its part. Without a lock on
// either side of that path ThreadSanitizer reports the race every time.
enum class Meet { Filter, OpenBoard, HotplugQueue };

class UsbThreadsMeet : public UsbBackendTest, public ::testing::WithParamInterface<Meet> {};

TEST_P(UsbThreadsMeet, AndTheBackendsLocksOrderThem) {
    if (!libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) {
        GTEST_SKIP() << "libusb has no hot-plug support here";
    }
    using P = usb::MeetingPoint;
    Meeting meeting;
    NoticeLog notices;
    HintLog hints;
    switch (GetParam()) {
        case Meet::Filter: {
            // The opening thread finds no board, so nothing after its write
            // of the filter takes the backend's lock.
            Start();
            backend->WatchDevices(notices.Poster());
            Meeting::Arm(P::ReadingFilter);
            bed.PlugOther(3, test::UsbTestbed::BootloaderDescriptors(0x04B4, 0x00F3));
            ASSERT_TRUE(Meeting::WaitForHeld());
            EXPECT_EQ(backend->OpenFirst(), nullptr);
            Meeting::Release();
            // The held thread goes on to tell of the bootloader as well.
            ASSERT_TRUE(hints.WaitForCount(2));
            EXPECT_EQ(backend->WhyNoBoard().kind, link::NoBoard::NoFirmware);
            break;
        }
        case Meet::OpenBoard: {
            bed.Plug(2, board);
            bed.PlugOther(3, test::UsbTestbed::OtherDescriptors(0x04B4, 0x1000));
            Start();
            backend->WatchDevices(notices.Poster());
            Meeting::Arm(P::ReadingOpenBoard);
            bed.Unplug(3);
            ASSERT_TRUE(Meeting::WaitForHeld());
            std::unique_ptr<link::Device> dev = backend->OpenFirst();
            Meeting::Release();
            ASSERT_NE(dev, nullptr);
            // Another device's leaving leaves the open board be.
            std::uint8_t in[2] = {};
            EXPECT_TRUE(dev->Control({link::kVendorIn, link::vr::BOARD_INFO, link::kInfoProductId,
                                      0, 2}, in).ok());
            EXPECT_TRUE(notices.Got().empty());
            break;
        }
        case Meet::HotplugQueue: {
            bed.Plug(2, board);
            Start();
            backend->WatchDevices(notices.Poster());
            std::unique_ptr<link::Device> dev = backend->OpenFirst();
            ASSERT_NE(dev, nullptr);
            Meeting::Arm(P::TakingHotplugEvents);
            ASSERT_TRUE(Meeting::WaitForHeld());
            sim::SimBoard second;
            bed.Plug(3, second);
            // With the event thread held, this thread's requests handle
            // libusb's events, and with them the arrival's callback.
            const int before = Meeting::Seen(P::HotplugQueued);
            std::uint8_t in[2] = {};
            EXPECT_TRUE(Meeting::Until([&] {
                dev->Control({link::kVendorIn, link::vr::BOARD_INFO, link::kInfoProductId, 0, 2},
                             in);
                return Meeting::Seen(P::HotplugQueued) > before;
            }));
            Meeting::Release();
            ASSERT_TRUE(notices.WaitForCount(1));
            EXPECT_EQ(notices.Got(), std::vector<DeviceNotice>{DeviceNotice::Arrival});
            backend.reset();
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Event, UsbThreadsMeet,
                         ::testing::Values(Meet::Filter, Meet::OpenBoard, Meet::HotplugQueue),
                         [](const auto& info) {
                             switch (info.param) {
                                 case Meet::Filter: return "Filter";
                                 case Meet::OpenBoard: return "OpenBoard";
                                 default: return "HotplugQueue";
                             }
                         });

}  // namespace
}  // namespace quillon
