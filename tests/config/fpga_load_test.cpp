// The load and clear operations against the simulated board: what reached the
// board, in which order, and how the outcome is judged.

#include "features/config/fpga_load.h"

#include <gtest/gtest.h>

#include "support/feature_support.h"
#include "sim/sim_board.h"

namespace quillon::features {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Seq = std::vector<std::string>;

class FpgaLoadTest : public ::testing::Test, public test::SimBoardFixture {
  protected:
    test::RecordingReporter rec;
};

// What the sim recorded must be exactly the stream the builder makes.
void ExpectStreamArrived(sim::SimBoard& board, const Bytes& file, const ConfigOptions& o) {
    const auto stream = ConfigStream::Build(file, o);
    ASSERT_TRUE(stream);
    const sim::ConfigInfo info = board.Configuration();
    EXPECT_EQ(info.lastStreamLength, stream->size());
    EXPECT_EQ(info.lastStreamCrc32, sim::Crc32(stream->bytes()));
    EXPECT_FALSE(info.configMode);
    EXPECT_TRUE(info.configured);
}

TEST_F(FpgaLoadTest, StandardLoadRequestOrderAndFlagLines) {
    const Bytes file{0x01, 0x02, 0xA0};
    const std::string path = File("design.bin", file);
    ASSERT_TRUE(FpgaConfigure(link::CurrentBoard(), path, true, true, false, rec));
    EXPECT_EQ(Order(), (Seq{"B2:C1", "B1:C0", "BULK:65539", "B1:40", "B0:IN2", "B2:41"}));
    EXPECT_EQ(rec.Logs(), (std::vector<std::string>{"!!", "1", "1", "0"}));
    ExpectStreamArrived(board(), file, {ConfigLayout::Standard, true, true, false});
}

TEST_F(FpgaLoadTest, TesseraLayoutsLogNothingAndSendTheirLengths) {
    const Bytes file{1, 2, 3, 4, 5, 6};
    const std::string path = File("t.rbf", file);
    const link::BoardHandle h = link::CurrentBoard();

    ASSERT_TRUE(FpgaConfigureTesseraXilinx(h, path, false, rec));
    ExpectStreamArrived(board(), file, {ConfigLayout::TesseraXilinx, false, false, false});
    ASSERT_TRUE(FpgaConfigureTesseraAltera(h, path, true, rec));
    ExpectStreamArrived(board(), file, {ConfigLayout::TesseraAltera, false, false, true});
    ASSERT_TRUE(FpgaConfigureTesseraTavel(h, path, rec));
    ExpectStreamArrived(board(), file, {ConfigLayout::TesseraTavel, false, false, false});
    EXPECT_TRUE(rec.Logs().empty());

    std::vector<std::uint64_t> bulk;
    for (const test::Wire& w : wire())
        if (w.bulk) bulk.push_back(w.bulkLength);
    EXPECT_EQ(bulk, (std::vector<std::uint64_t>{4194310, 96, 48}));
}

TEST_F(FpgaLoadTest, NonZeroStatusEndsConfigModeAndStillFails) {
    SetConfigStatus(1);
    const std::string path = File("d.rbf", {1, 2, 3, 4});
    EXPECT_FALSE(FpgaConfigure(link::CurrentBoard(), path, false, false, false, rec));
    EXPECT_EQ(Order(), (Seq{"B2:C1", "B1:C0", "BULK:4", "B1:40", "B0:IN2", "B2:41"}));
    EXPECT_FALSE(board().Configuration().configMode);
}

TEST_F(FpgaLoadTest, FailureBeforeTheStatusLeavesConfigModeOpen) {
    // Missing file: begin sent, then nothing.
    EXPECT_FALSE(
        FpgaConfigure(link::CurrentBoard(), home().root() + "/none.rbf", false, false, false, rec));
    EXPECT_EQ(Order(), (Seq{"B2:C1"}));
    EXPECT_TRUE(board().Configuration().configMode);
    // A directory is not a configuration file.
    wire().clear();
    EXPECT_FALSE(FpgaConfigureTesseraAltera(link::CurrentBoard(), home().root(), false, rec));
    EXPECT_EQ(Order(), (Seq{"B2:C1"}));

    // The status read fails: no end request.
    wire().clear();
    const std::string path = File("d.rbf", {1, 2});
    sim::Faults f = board().GetFaults();
    f.failRequest = board().RequestCount() + 4;  // C1, C0, 40, then the status read
    board().SetFaults(f);
    EXPECT_FALSE(FpgaConfigure(link::CurrentBoard(), path, false, false, false, rec));
    EXPECT_EQ(Order(), (Seq{"B2:C1", "B1:C0", "BULK:2", "B1:40", "B0:IN2"}));
}

TEST_F(FpgaLoadTest, FailedBeginSendsNothingElse) {
    sim::Faults f = board().GetFaults();
    f.stallRequest = board().RequestCount() + 1;
    board().SetFaults(f);
    const std::string path = File("d.rbf", {1});
    EXPECT_FALSE(FpgaConfigure(link::CurrentBoard(), path, false, false, false, rec));
    EXPECT_EQ(Order(), (Seq{"B2:C1"}));
    EXPECT_TRUE(rec.Logs().empty());  // the flag lines come after the begin request
}

TEST_F(FpgaLoadTest, ShortBulkTransferFails) {
    sim::Faults f = board().GetFaults();
    f.shortBulkBy = 1;
    board().SetFaults(f);
    const std::string path = File("d.rbf", {1, 2, 3, 4});
    EXPECT_FALSE(FpgaConfigure(link::CurrentBoard(), path, false, false, false, rec));
    const Seq o = Order();
    ASSERT_FALSE(o.empty());
    EXPECT_EQ(o.back(), "BULK:4");  // no end command, no status read, no end request
    EXPECT_TRUE(board().Configuration().configMode);
}

// Sparse files: the size is what counts, nothing of them is read.
TEST_F(FpgaLoadTest, StreamsBeyondOneTransferAreRefusedBeforeReading) {
    const std::string big = File("big.rbf", {});
    std::filesystem::resize_file(big, 256ull << 20);  // 16n = 4 GiB with encrypt
    EXPECT_FALSE(FpgaConfigureTesseraAltera(link::CurrentBoard(), big, true, rec));
    EXPECT_EQ(Order(), (Seq{"B2:C1"}));

    wire().clear();
    std::filesystem::resize_file(big, 4ull << 30);  // its length no longer fits 32 bits
    EXPECT_FALSE(FpgaConfigure(link::CurrentBoard(), big, false, false, false, rec));
    EXPECT_EQ(Order(), (Seq{"B2:C1"}));
}

TEST_F(FpgaLoadTest, NoBoardSendsNothing) {
    const std::string path = File("d.rbf", {1});
    EXPECT_FALSE(FpgaConfigure(link::kNoBoard, path, false, false, false, rec));
    EXPECT_FALSE(FpgaClear(link::kNoBoard, rec));
    EXPECT_TRUE(wire().empty());
    EXPECT_TRUE(rec.Logs().empty());
}

TEST_F(FpgaLoadTest, ClearNeedsNonZeroStatus) {
    ASSERT_TRUE(FpgaClear(link::CurrentBoard(), rec));
    EXPECT_EQ(Order(), (Seq{"B2:C1", "B0:IN2", "B2:41"}));
    EXPECT_FALSE(board().Configuration().configured);

    wire().clear();
    SetConfigStatus(0);
    EXPECT_FALSE(FpgaClear(link::CurrentBoard(), rec));
    EXPECT_EQ(Order(), (Seq{"B2:C1", "B0:IN2", "B2:41"}));
}

TEST(ConfigTargetRegister, MaskedToFourteenBits) {
    SetConfigTargetRegister(0x7FFF);
    EXPECT_EQ(ConfigTargetRegister(), 0x3FFF);
    SetConfigTargetRegister(0x10);
    EXPECT_EQ(ConfigTargetRegister(), 0x10);
    SetConfigTargetRegister(-1);
    EXPECT_EQ(ConfigTargetRegister(), 0x3FFF);
    SetConfigTargetRegister(0x3FFF);
}

}  // namespace
}  // namespace quillon::features
