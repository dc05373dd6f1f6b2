// Bulk framing: commands around one pipe transfer, and the codes a failure leaves.

#include "link/bulk.h"

#include <gtest/gtest.h>

#include "link/fake_board.h"
#include "link/vendor_requests.h"

namespace quillon::link {
namespace {

using Lines = std::vector<std::string>;

class Bulk : public ::testing::Test, public test::LinkFixture {
  protected:
    void SetUp() override { board = OpenFake(); }
    // Fails every control transfer whose data stage starts with `command`
    // (one-byte framing) or whose wIndex carries it (length framing).
    void FailCommand(std::uint8_t command) {
        board->answer = [command](const SetupPacket& s, std::span<std::uint8_t> d) {
            const bool hit =
                s.bRequest == vr::MEM_CMD ? d[0] == command : (s.wIndex >> 8) == command;
            return hit ? TransferResult{UsbError::Stall, 0, -9}
                       : TransferResult{UsbError::None, static_cast<std::uint32_t>(d.size()), 0};
        };
    }
    std::shared_ptr<test::FakeBoardState> board;
    std::vector<std::uint8_t> buf = std::vector<std::uint8_t>(1030, 0x5A);
};

TEST_F(Bulk, NoBoard) {
    EXPECT_FALSE(BulkWrite(kNoBoard, false, 0x80, 4, buf.data()));
    EXPECT_FALSE(BulkRead(kNoBoard, false, 0x80, 4, buf.data()));
    EXPECT_EQ(log, Lines{"1"});
    EXPECT_TRUE(board->sent.empty());
}

TEST_F(Bulk, LengthFramingTellsUnitsButMovesEveryByte) {
    ASSERT_TRUE(BulkWrite(CurrentBoard(), true, 0x80, 1030, buf.data()));
    ASSERT_EQ(board->sent.size(), 3u);
    EXPECT_EQ(board->sent[0].setup.bRequest, vr::MEM_CMDLEN);
    EXPECT_EQ(board->sent[0].setup.wValue, 1030 >> 2);
    EXPECT_EQ(board->sent[0].setup.wIndex, 0xC000);
    EXPECT_EQ(board->sent[1].endpoint, kBulkOutEp);
    EXPECT_EQ(board->sent[1].data.size(), 1030u);
    EXPECT_EQ(board->sent[2].setup.wIndex, 0x4000);

    board->sent.clear();
    ASSERT_TRUE(BulkRead(CurrentBoard(), false, 0x1C0 & 0xFF, 16, buf.data()));
    ASSERT_EQ(board->sent.size(), 3u);
    EXPECT_EQ(board->sent[0].setup.wValue, 0xC0);
    EXPECT_EQ(board->sent[0].data, std::vector<std::uint8_t>{kMemReadBegin});
    EXPECT_EQ(board->sent[1].endpoint, kBulkInEp);
    EXPECT_EQ(board->sent[2].data, std::vector<std::uint8_t>{kMemReadEnd});
    EXPECT_TRUE(log.empty());
}

TEST_F(Bulk, BeginFailureLeavesCommandLinesAndNoPipeTransfer) {
    FailCommand(kMemWriteBegin);
    EXPECT_FALSE(BulkWrite(CurrentBoard(), false, 0x00, 8, buf.data()));
    EXPECT_EQ(log, (Lines{"MC", "0", "0", "1", "2"}));
    log.clear();
    EXPECT_FALSE(BulkWrite(CurrentBoard(), true, 0x00, 8, buf.data()));
    EXPECT_EQ(log, (Lines{"0", "0", "3"}));
    log.clear();
    FailCommand(kMemReadBegin);
    EXPECT_FALSE(BulkRead(CurrentBoard(), false, 0x00, 8, buf.data()));
    EXPECT_FALSE(BulkRead(CurrentBoard(), true, 0x00, 8, buf.data()));
    EXPECT_EQ(log, (Lines{"MC", "0", "0", "1", "D1", "0", "0", "D2"}));
    for (const auto& s : board->sent) EXPECT_EQ(s.endpoint, 0);
}

TEST_F(Bulk, PipeFailuresAndEndFailures) {
    testing::internal::CaptureStdout();
    board->bulkResults = {{UsbError::NoDevice, 512, -4},
                          {UsbError::None, 7, 0},
                          {UsbError::Io, 0, -1},
                          {UsbError::None, 9, 0}};
    EXPECT_FALSE(BulkWrite(CurrentBoard(), false, 0, 8, buf.data()));
    EXPECT_FALSE(BulkWrite(CurrentBoard(), false, 0, 8, buf.data()));
    EXPECT_FALSE(BulkRead(CurrentBoard(), false, 0, 8, buf.data()));
    EXPECT_FALSE(BulkRead(CurrentBoard(), false, 0, 8, buf.data()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERROR code :-4\nTransfer Size ERROR!!\nERROR code :-1\nTransfer Size ERROR!!\n");
    EXPECT_EQ(log, (Lines{"4", "5", "D3", "D4"}));

    log.clear();
    FailCommand(kMemWriteEnd);
    EXPECT_FALSE(BulkWrite(CurrentBoard(), true, 0, 8, buf.data()));
    FailCommand(kMemReadEnd);
    EXPECT_FALSE(BulkRead(CurrentBoard(), false, 0, 8, buf.data()));
    EXPECT_EQ(log, (Lines{"0", "0", "7", "MC", "0", "0", "1", "D5"}));
}

TEST_F(Bulk, LinkClosedBeforeTheCallFailsWithoutTraffic) {
    const BoardHandle stale = CurrentBoard();
    BoardLink::Instance().Close();
    EXPECT_FALSE(BulkWrite(stale, false, 0, 8, buf.data()));
    EXPECT_EQ(log, (Lines{"MC", "0", "0", "1", "2"}));
    EXPECT_TRUE(board->sent.empty());
}

}  // namespace
}  // namespace quillon::link
