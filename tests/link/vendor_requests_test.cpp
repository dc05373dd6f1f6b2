// Setup-packet layouts and success rules of the vendor requests, checked on
// what reached a recording board.

#include "link/vendor_requests.h"

#include <gtest/gtest.h>

#include <array>

#include "link/fake_board.h"

namespace quillon::link {
namespace {

using test::Sent;

class VendorRequests : public ::testing::Test, public test::LinkFixture {
  protected:
    void SetUp() override { board = OpenFake(); }
    BoardHandle h() const { return CurrentBoard(); }
    const Sent& Only() const {
        EXPECT_EQ(board->sent.size(), 1u);
        return board->sent.back();
    }
    std::shared_ptr<test::FakeBoardState> board;
};

void ExpectSetup(const Sent& s, int bm, int req, int val, int idx, int len) {
    EXPECT_EQ(s.setup.bmRequestType, bm);
    EXPECT_EQ(s.setup.bRequest, req);
    EXPECT_EQ(s.setup.wValue, val);
    EXPECT_EQ(s.setup.wIndex, idx);
    EXPECT_EQ(s.setup.wLength, len);
}

// Register 0x3FFF, 0x40 and the 8bit mask are checked through the simulated
// board; here the bits that board would not show.
TEST_F(VendorRequests, RegisterPackingDropsWhatDoesNotFit) {
    ASSERT_TRUE(VR_REG_WRITE(h(), 0xC002, RegWidth::Bits32, 0x11223344, 0x55667788));
    ExpectSetup(board->sent.back(), 0x40, 0xB0, 0x0082, 0, 4);
    EXPECT_EQ(board->sent.back().data, (std::vector<std::uint8_t>{0x44, 0x33, 0x22, 0x11}));
    board->answer = [](const SetupPacket&, std::span<std::uint8_t> d) {
        std::fill(d.begin(), d.end(), 0xEE);
        return TransferResult{UsbError::None, static_cast<std::uint32_t>(d.size()), 0};
    };
    std::uint32_t lo = 0, hi = 9;
    ASSERT_TRUE(VR_REG_READ(h(), 2, RegWidth::Bits32, lo, hi));
    ExpectSetup(board->sent.back(), 0xC0, 0xB0, 0x0082, 0, 4);
    EXPECT_EQ(hi, 0u);
}

TEST_F(VendorRequests, ShortOrFailedTransferFails) {
    std::uint32_t lo = 7, hi = 7;
    board->answer = [](const SetupPacket&, std::span<std::uint8_t> d) {
        return TransferResult{UsbError::None, static_cast<std::uint32_t>(d.size() - 1), 0};
    };
    EXPECT_FALSE(VR_REG_READ(h(), 1, RegWidth::Bits32, lo, hi));
    EXPECT_EQ(lo, 7u);  // untouched on failure
    board->answer = [](const SetupPacket&, std::span<std::uint8_t>) {
        return TransferResult{UsbError::Stall, 0, -9};
    };
    EXPECT_FALSE(VR_REG_WRITE(h(), 1, RegWidth::Bits8, 1, 0));
    EXPECT_FALSE(VR_FW_RESET(h()));
}

TEST_F(VendorRequests, MemoryCommandsAndTheirFailureLines) {
    ASSERT_TRUE(VR_MEM_CMDLEN(h(), kMemReadBegin, 0x00800000 >> 2));
    ExpectSetup(board->sent.back(), 0x40, 0xA1, 0x0000, 0x8020, 0);
    ASSERT_TRUE(VR_MEM_CMD(h(), kMemWriteEnd, 0xC0));
    ExpectSetup(board->sent.back(), 0x40, 0xB1, 0x00C0, 0, 1);
    EXPECT_EQ(board->sent.back().data, (std::vector<std::uint8_t>{0x40}));
    EXPECT_TRUE(log.empty());

    board->answer = [](const SetupPacket&, std::span<std::uint8_t>) {
        return TransferResult{UsbError::Stall, 0, -9};
    };
    EXPECT_FALSE(VR_MEM_CMD(h(), kMemWriteBegin, 0x80));
    EXPECT_FALSE(VR_MEM_CMDLEN(h(), kMemWriteBegin, 5));
    EXPECT_EQ(log, (std::vector<std::string>{"MC", "0", "0", "1", "0", "0"}));
}

TEST_F(VendorRequests, BlockRegisterLimitsAndAddressSplit) {
    std::vector<std::uint8_t> bytes(513, 0xAB);
    EXPECT_FALSE(VR_REG512_WRITE(h(), 0x12345, std::span(bytes).first(0)));
    EXPECT_FALSE(VR_REG512_WRITE(h(), 0x12345, bytes));
    EXPECT_FALSE(VR_REG512_READ(h(), 0x12345, std::span(bytes)));
    EXPECT_TRUE(board->sent.empty());

    ASSERT_TRUE(VR_REG512_WRITE(h(), 0x12345, std::span(bytes).first(512)));
    ExpectSetup(board->sent.back(), 0x40, 0xA0, 0x2345, 0x0001, 512);

    board->answer = [](const SetupPacket&, std::span<std::uint8_t> d) {
        d[0] = 0x78, d[1] = 0x56, d[2] = 0x34, d[3] = 0x12;
        return TransferResult{UsbError::None, 4, 0};
    };
    std::uint32_t v = 0;
    ASSERT_TRUE(VR_REG512_READ32(h(), 0x1FFFFF, v));
    ExpectSetup(board->sent.back(), 0xC0, 0xA0, 0xFFFF, 0x001F, 4);
    EXPECT_EQ(v, 0x12345678u);
}

TEST_F(VendorRequests, StatusBytes) {
    std::vector<std::uint8_t> answer;
    board->answer = [&](const SetupPacket&, std::span<std::uint8_t> d) {
        std::copy_n(answer.begin(), std::min(answer.size(), d.size()), d.begin());
        return TransferResult{UsbError::None, static_cast<std::uint32_t>(d.size()), 0};
    };
    std::uint8_t data = 0x55;
    answer = {0x00, 0x99};
    EXPECT_FALSE(VR_I2C1_READ(h(), 0xA0, 0x10, data));
    EXPECT_EQ(data, 0x55);
    ExpectSetup(board->sent.back(), 0xC0, 0xC1, 0x00A0, 0x0010, 2);
    answer = {0x01, 0x99};
    EXPECT_TRUE(VR_I2C2_READ(h(), 0xA0, 0x10, data));
    EXPECT_EQ(data, 0x99);
    answer = {0x00};
    EXPECT_FALSE(VR_I2C1_WRITE(h(), 0xA0, 0x10, 0x5A));
    ExpectSetup(board->sent.back(), 0xC0, 0xC0, 0x00A0, 0x5A10, 1);
    EXPECT_FALSE(VR_DAC2_SET(h(), 0x1234, 0x5678));
    ExpectSetup(board->sent.back(), 0xC0, 0xE1, 0x1234, 0x5678, 1);

    // Two-phase requests: the OUT phase, then the status phase, which must say 1.
    const std::array<std::uint8_t, 4> hdr{0xA0, 0x00, 0x10, 0x77};
    board->sent.clear();
    answer = {0x02, 0x44};
    EXPECT_FALSE(VR_I2CX_READ(h(), 1, 3, 1, hdr, data));
    ASSERT_EQ(board->sent.size(), 2u);
    ExpectSetup(board->sent[0], 0x40, 0xC6, 0x0403, 1, 4);
    EXPECT_EQ(board->sent[0].data, (std::vector<std::uint8_t>(hdr.begin(), hdr.end())));
    ExpectSetup(board->sent[1], 0xC0, 0xC6, 0, 0, 2);
    answer = {0x01, 0x44};
    EXPECT_TRUE(VR_I2CX_READ(h(), 1, 3, 1, hdr, data));
    EXPECT_EQ(data, 0x44);
    answer = {0x01};
    EXPECT_TRUE(VR_I2CX_WRITE(h(), 0, 2, 2, hdr));
    ExpectSetup(board->sent.back(), 0xC0, 0xC5, 0, 0, 1);

    // A failed first phase ends the request; a header longer than the buffer
    // is refused before anything moves.
    board->sent.clear();
    board->answer = [](const SetupPacket& s, std::span<std::uint8_t>) {
        return TransferResult{s.In() ? UsbError::None : UsbError::Stall, 0, 0};
    };
    EXPECT_FALSE(VR_I2CX_WRITE(h(), 0, 2, 2, hdr));
    EXPECT_EQ(board->sent.size(), 1u);
    EXPECT_FALSE(VR_I2CX_WRITE(h(), 0, 2, 3, hdr));
    EXPECT_EQ(board->sent.size(), 1u);
}

TEST_F(VendorRequests, ExtendedRegisterBursts) {
    std::vector<std::uint8_t> bytes(65, 1);
    EXPECT_FALSE(VR_REGEX_WRITE(h(), 0, std::span(bytes).first(0)));
    EXPECT_FALSE(VR_REGEX_READ(h(), 0, std::span(bytes)));  // 65 would alias a burst of 1
    EXPECT_TRUE(board->sent.empty());
    ASSERT_TRUE(VR_REGEX_WRITE(h(), 1023, std::span(bytes).first(64)));
    ExpectSetup(board->sent.back(), 0x40, 0xC6, 0xFFFF, 0, 64);
    ASSERT_TRUE(VR_REGEX_READ(h(), 5, std::span(bytes).first(1)));
    ExpectSetup(board->sent.back(), 0xC0, 0xC6, 0x0005, 0, 1);
}

TEST_F(VendorRequests, NoBoardOrStaleHandleSendsNothing) {
    const BoardHandle old = h();
    std::uint32_t lo, hi;
    std::uint8_t b;
    EXPECT_FALSE(VR_REG_READ(kNoBoard, 1, RegWidth::Bits8, lo, hi));
    EXPECT_FALSE(VR_GPIO_READ(kNoBoard, 0, b));
    EXPECT_FALSE(VR_REG512_WRITE(kNoBoard, 0, std::array<std::uint8_t, 1>{}));
    EXPECT_EQ(log, (std::vector<std::string>{"E3"}));

    BoardLink::Instance().Close();
    ASSERT_TRUE(BoardLink::Instance().Open());
    ASSERT_NE(h(), old);
    EXPECT_FALSE(VR_REG_WRITE(old, 1, RegWidth::Bits8, 1, 0));
    EXPECT_FALSE(VR_TEMPALERT_SET(old, 1));
    EXPECT_TRUE(board->sent.empty());
    EXPECT_TRUE(VR_TEMPALERT_SET(h(), 1));
    EXPECT_EQ(board->sent.size(), 1u);
}

}  // namespace
}  // namespace quillon::link
