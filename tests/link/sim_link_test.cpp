// The link against the simulated board, with the wire trace on: what the
// board decoded and what the trace recorded, not what the packing code meant.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "boards/backends.h"
#include "link/bulk.h"
#include "link/fake_board.h"
#include "link/hints.h"
#include "link/vendor_requests.h"
#include "sim/sim_backend.h"
#include "support/fresh_home.h"

namespace quillon::link {
namespace {

using namespace quillon::boards;

using Lines = std::vector<std::string>;

// Both programs' --help take the board options from one text: its default,
// short or long, is wrapped within 80 columns and read whole.
TEST(BoardOptions, HelpWrapsItsDefaultWithinTheWidth) {
    for (const std::string def :
         {"the first one found",
          "the board chosen last in the panel's File menu, else the first USB board found"}) {
        const std::string help = boards::BoardOptionsHelp(def);
        const std::string entry = help.substr(0, help.find("  --board usb:ID"));
        std::istringstream lines(entry);
        std::string flat;
        for (std::string line; std::getline(lines, line);) {
            EXPECT_LE(line.size(), 80u) << line;
            std::istringstream words(line);
            for (std::string w; words >> w;) flat += (flat.empty() ? "" : " ") + w;
        }
        EXPECT_TRUE(flat.ends_with("simulated board (default: " + def + ")")) << help;
        EXPECT_NE(help.find("\n  --trace-sync "), std::string::npos);
    }
}

TEST(BoardOptions, FormsAndErrors) {
    std::string error;
    std::vector<std::string> args = {"a.tcl", "--board=sim",  "--trace",
                                     "t.txt", "--trace-sync", "--sim-profile=p.ini",
                                     "--",    "--board",      "x"};
    auto o = TakeBoardOptions(args, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->board, "sim");
    EXPECT_EQ(o->traceFile, "t.txt");
    EXPECT_TRUE(o->traceSync);
    EXPECT_EQ(o->simProfile, "p.ini");
    EXPECT_EQ(args, (Lines{"a.tcl", "--", "--board", "x"}));

    args = {};
    o = TakeBoardOptions(args, error);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->board, "usb");
    EXPECT_EQ(o->boardId, "");
    args = {"--board=usb:QB-0001"};
    o = TakeBoardOptions(args, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->board, "usb");
    EXPECT_EQ(o->boardId, "QB-0001");

    for (Lines bad : {Lines{"--board", "pci"}, Lines{"--board"}, Lines{"--trace="},
                      Lines{"--board", "usb:"}, Lines{"--board", "sim:1"},
                      Lines{"x", "--sim-profile"}}) {
        error.clear();
        EXPECT_FALSE(TakeBoardOptions(bad, error));
        EXPECT_FALSE(error.empty());
    }
    args = {"--board=pci"};
    TakeBoardOptions(args, error);
    EXPECT_NE(error.find("pci"), std::string::npos);
}

// The USB event thread hints too: its hints reach the log on the
// application's thread, in the order given.
TEST(LinkHints, ReachTheLogOnTheApplicationsThread) {
    test::FreshHome home;
    test::LinkFixture fixture;
    int argc = 1;
    char name[] = "link_sim_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    ASSERT_TRUE(LogFile::Open());
    RouteHintsToLog();
    Hint("on the application's thread");
    EXPECT_EQ(fixture.log, Lines{"on the application's thread"});
    std::thread([] { Hint("from the event thread"); }).join();
    EXPECT_EQ(fixture.log.size(), 1u);
    QCoreApplication::processEvents();
    EXPECT_EQ(fixture.log, (Lines{"on the application's thread", "from the event thread"}));
    SetHintSink(nullptr);
}

class SimLink : public ::testing::Test, public test::LinkFixture {
  protected:
    void SetUp() override {
        tracePath = home.root() + "/trace.txt";
        BoardOptions o;
        o.board = "sim";
        o.traceFile = tracePath;
        std::string error;
        ASSERT_TRUE(SetUpBoardLink(o, error)) << error;
        sim = dynamic_cast<sim::SimBackend*>(BoardLink::Instance().backend());
        ASSERT_NE(sim, nullptr);
        BoardLink::Instance().RegisterNotices([this](DeviceNotice n) {
            std::lock_guard<std::mutex> lock(mu);
            notices.push_back(n);
        });
        ASSERT_TRUE(BoardLink::Instance().Open());
    }
    // Hands the posted notices to the link, as the GUI thread's loop would.
    void Pump() {
        std::vector<DeviceNotice> ns;
        {
            std::lock_guard<std::mutex> lock(mu);
            ns.swap(notices);
        }
        for (DeviceNotice n : ns) BoardLink::Instance().OnDeviceChange(n);
    }
    Lines Trace() const {
        FlushTrace();
        std::ifstream in(tracePath);
        Lines lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    BoardHandle h() const { return CurrentBoard(); }

    test::FreshHome home;
    std::string tracePath;
    sim::SimBackend* sim = nullptr;
    std::mutex mu;
    std::vector<DeviceNotice> notices;
};

TEST_F(SimLink, RegistersLandWhereTheBoardDecodesThem) {
    ASSERT_TRUE(VR_REG_WRITE(h(), 0x3FFF, RegWidth::Bits64, 0x04030201, 0x08070605));
    std::uint32_t lo = 0, hi = 0;
    ASSERT_TRUE(VR_REG_READ(h(), 0x3FFF, RegWidth::Bits64, lo, hi));
    EXPECT_EQ(sim->board().Register(0x3FFF), 0x0807060504030201ull);
    EXPECT_EQ(Trace(),
              (Lines{"CTRL bm=40 req=B0 val=FFFF idx=0000 len=8 -> OK 8 data=0102030405060708",
                     "CTRL bm=C0 req=B0 val=FFFF idx=3FC0 len=8 -> OK 8 data=0102030405060708"}));

    // Narrow writes reach only their bytes of the register.
    sim->board().SetRegister(0x40, 0x1111111111111111ull);
    ASSERT_TRUE(VR_REG_WRITE(h(), 0x40, RegWidth::Bits16, 0xABCD, 0));
    ASSERT_TRUE(VR_REG_WRITE(h(), 0x40, RegWidth::Bits8, 0x1FF, 0));
    EXPECT_EQ(sim->board().Register(0x40), 0x111111111111ABFFull);
    ASSERT_TRUE(VR_REG_READ(h(), 0x40, RegWidth::Bits16, lo, hi));
    EXPECT_EQ(lo, 0xABFFu);
    EXPECT_EQ(Trace().back(), "CTRL bm=C0 req=B0 val=0140 idx=0040 len=2 -> OK 2 data=FFAB");

    std::vector<std::uint8_t> block(512);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_TRUE(VR_REG512_WRITE(h(), 0x12345, block));
    EXPECT_EQ(sim->board().BlockRegisters(0x12345, 512), block);
}

TEST_F(SimLink, BulkFramingInBothModes) {
    std::vector<std::uint8_t> out(1030), in(1030);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(i ^ 0x5A);
    ASSERT_TRUE(BulkWrite(h(), true, 0x80, 1030, out.data()));
    EXPECT_EQ(sim->board().LastMemCommand().units, 1030u >> 2);
    ASSERT_TRUE(BulkRead(h(), false, 0x80, 1030, in.data()));
    EXPECT_EQ(in, out);
    EXPECT_FALSE(sim->board().MemTransferOpen());
    const Lines t = Trace();
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t[0], "CTRL bm=40 req=A1 val=0101 idx=C000 len=0 -> OK 0");
    EXPECT_EQ(t[1].substr(0, 38), "BULK ep=06 len=1030 -> OK 1030 data=5A");
    EXPECT_EQ(t[3], "CTRL bm=40 req=B1 val=0080 idx=0000 len=1 -> OK 1 data=80");
    EXPECT_TRUE(log.empty());
}

TEST_F(SimLink, FaultsShowAsTheUserIsMeantToSeeThem) {
    sim::Faults f;
    f.i2cStatusZero = true;
    sim->board().SetFaults(f);
    std::uint8_t data = 0;
    EXPECT_FALSE(VR_I2C1_READ(h(), 0xA0, 0, data));

    f = {};
    f.stallRequest = sim->board().RequestCount() + 1;
    sim->board().SetFaults(f);
    std::vector<std::uint8_t> buf(64);
    EXPECT_FALSE(BulkWrite(h(), false, 0, 64, buf.data()));
    EXPECT_EQ(log, (Lines{"MC", "0", "0", "1", "2"}));
    EXPECT_EQ(Trace().back(), "CTRL bm=40 req=B1 val=0000 idx=0000 len=1 -> ERR STALL");
}

TEST_F(SimLink, RemovalDuringALongTransferThenReplug) {
    const std::uint32_t length = 16u << 20;
    std::vector<std::uint8_t> buf(length);
    sim::Faults f;
    f.unplugAfterBulkBytes = 3u << 20;
    sim->board().SetFaults(f);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(BulkRead(h(), true, 0, length, buf.data()));
    // The sim numbers its codes as libusb does: -4 = no device.
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR code :-4\n");
    EXPECT_EQ(log, Lines{"D3"});
    EXPECT_EQ(Trace().back(), "BULK ep=82 len=16777216 -> ERR NO_DEVICE");

    // The operation goes on before the notice is served: its requests fail
    // cleanly and nothing reaches the (gone) board.
    const BoardHandle old = h();
    const auto seen = sim->board().RequestCount();
    EXPECT_FALSE(BulkWrite(old, false, 0, 4, buf.data()));
    EXPECT_EQ(log.back(), "2");
    Pump();
    EXPECT_EQ(log.back(), "USB CLOSE!!");
    EXPECT_EQ(h(), kNoBoard);
    // Once closed, the handle the operation holds is no board at all.
    EXPECT_FALSE(BulkWrite(old, false, 0, 4, buf.data()));
    EXPECT_EQ(log.back(), "1");
    EXPECT_EQ(sim->board().RequestCount(), seen);

    sim->board().SetFaults({});
    sim->Plug();
    Pump();
    EXPECT_EQ(log.back(), "USB OPEN!!");
    EXPECT_FALSE(VR_FW_RESET(old));
    std::uint16_t version = 0;
    ASSERT_TRUE(VR_BOARD_INFO(h(), kInfoFirmwareVersion, version));
    EXPECT_EQ(version, sim->board().profile().firmwareVersion);
    EXPECT_EQ(Trace().back().substr(0, 44), "CTRL bm=C0 req=B3 val=00C0 idx=0000 len=2 ->");

    // The same on the way out.
    f.unplugAfterBulkBytes = 1u << 20;
    sim->board().SetFaults(f);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(BulkWrite(h(), false, 0xC0, length, buf.data()));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(log.back(), "4");
}

TEST_F(SimLink, SecondBoardArrivalIgnoredItsRemovalCloses) {
    sim->AddSecondBoard();
    Pump();
    EXPECT_TRUE(log.empty());
    sim->UnplugSecond();
    Pump();
    EXPECT_EQ(log, Lines{"USB CLOSE!!"});
    EXPECT_EQ(h(), kNoBoard);
}

}  // namespace
}  // namespace quillon::link
