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

}  // namespace
}  // namespace quillon::link
