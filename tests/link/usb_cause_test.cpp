// The cause a failed request leaves for the report above it: the USB error in
// the user's words with libusb's name and what to do, as the backends number
// their errors.

#include "link/usb_cause.h"

#include <gtest/gtest.h>

#include "link/bulk.h"
#include "link/fake_board.h"
#include "link/vendor_requests.h"
#include "platform/cause.h"

namespace quillon::link {
namespace {

struct Row {
    UsbError error;
    int code;          // as the backend gives it; 0: none
    const char* text;  // the words and libusb's name
    const char* hint;  // a piece of the hint; nullptr: no hint
};

void PrintTo(const Row& r, std::ostream* os) {
    *os << UsbErrorName(r.error) << "/" << r.code;
}

class UsbCauseWords : public ::testing::TestWithParam<Row>, public test::LinkFixture {
  protected:
    void SetUp() override {
        ClearCause();
        board = OpenFake();
    }
    void TearDown() override { ClearCause(); }
    std::shared_ptr<test::FakeBoardState> board;
};

TEST_P(UsbCauseWords, AFailedRequestLeavesItsCause) {
    const Row row = GetParam();
    board->answer = [row](const SetupPacket&, std::span<std::uint8_t>) {
        return TransferResult{row.error, 0, row.code};
    };
    EXPECT_FALSE(VR_REG_WRITE(CurrentBoard(), 2, RegWidth::Bits8, 1, 0));
    const std::optional<std::string> cause = PeekCause();
    ASSERT_TRUE(cause);
    EXPECT_EQ(cause->substr(0, cause->find(" → ")), row.text);
    if (row.hint)
        EXPECT_NE(cause->find(row.hint, cause->find(" → ")), std::string::npos) << *cause;
    else
        EXPECT_EQ(cause->find(" → "), std::string::npos) << *cause;
}

INSTANTIATE_TEST_SUITE_P(
    Errors, UsbCauseWords,
    ::testing::Values(
        Row{UsbError::Timeout, -7, "USBのﾀｲﾑｱｳﾄ [LIBUSB_ERROR_TIMEOUT]", "FPGAのﾃﾞｻﾞｲﾝ"},
        Row{UsbError::Stall, -9, "ｽﾄｰﾙ [LIBUSB_ERROR_PIPE]", "ｺﾝﾌｨｸﾞﾚｰｼｮﾝ"},
        Row{UsbError::NoDevice, -4, "ﾎﾞｰﾄﾞが取り外されました [LIBUSB_ERROR_NO_DEVICE]",
            "ﾎﾞｰﾄﾞを接続し直して"},
        Row{UsbError::Io, -3, "ｱｸｾｽ権がありません [LIBUSB_ERROR_ACCESS]",
            "udevﾙｰﾙ 70-quillon.rules"},
        Row{UsbError::Io, -6, "他のﾌﾟﾛｸﾞﾗﾑが使用中 [LIBUSB_ERROR_BUSY]", "quillon-run"},
        Row{UsbError::Overflow, -8, "ﾎﾞｰﾄﾞが要求より多くのﾃﾞｰﾀを返しました [LIBUSB_ERROR_OVERFLOW]",
            nullptr},
        Row{UsbError::Io, -1, "USBの入出力ｴﾗｰ [LIBUSB_ERROR_IO]", nullptr},
        // A backend that gives no code, or a code that does not fit the error.
        Row{UsbError::Stall, 0, "ｽﾄｰﾙ [LIBUSB_ERROR_PIPE]", "ｺﾝﾌｨｸﾞﾚｰｼｮﾝ"},
        Row{UsbError::Timeout, -9, "USBのﾀｲﾑｱｳﾄ [LIBUSB_ERROR_TIMEOUT]", "FPGAのﾃﾞｻﾞｲﾝ"}));

// What follows a failure does not hide it: the requests after a removal find
// no board, and a transfer that its own sink stopped keeps the sink's reason.
TEST(UsbCause, ConsequencesKeepTheFirstCause) {
    test::LinkFixture fixture;
    ClearCause();
    auto board = fixture.OpenFake();
    const BoardHandle h = CurrentBoard();
    EXPECT_TRUE(VR_REG_WRITE(h, 2, RegWidth::Bits8, 1, 0));
    EXPECT_FALSE(HasCause());  // a request that went through leaves none

    board->answer = [](const SetupPacket&, std::span<std::uint8_t>) {
        return TransferResult{UsbError::NoDevice, 0, -4};
    };
    EXPECT_FALSE(VR_FW_RESET(h));
    BoardLink::Instance().Close();  // the removal notice
    EXPECT_FALSE(VR_FW_RESET(h));
    EXPECT_EQ(PeekCause()->rfind("ﾎﾞｰﾄﾞが取り外されました", 0), 0u) << *PeekCause();
    ClearCause();
    EXPECT_FALSE(VR_FW_RESET(h));
    EXPECT_EQ(PeekCause(), kNoBoardCause);

    ClearCause();
    auto again = fixture.OpenFake();
    const BulkSink full = [](std::span<const std::uint8_t>) {
        SetCause("the sink's own reason");
        return false;
    };
    EXPECT_FALSE(BulkReadStream(CurrentBoard(), false, 0, 512, full));
    EXPECT_EQ(PeekCause(), "the sink's own reason");
    ClearCause();
}

}  // namespace
}  // namespace quillon::link
