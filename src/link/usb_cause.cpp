#include "link/usb_cause.h"

#include "link/board_link.h"
#include "platform/cause.h"

namespace quillon::link {

namespace {

struct Words {
    int code;           // libusb's number
    const char* name;   // libusb's name
    const char* words;  // what the user reads
    const char* hint;   // what to do; nullptr when there is nothing to suggest
};

// One table for every USB failure a report can name. The hints say what the
// device layer's own hints say at the console, in a line.
constexpr Words kWords[] = {
    {-7, "LIBUSB_ERROR_TIMEOUT", "USBのﾀｲﾑｱｳﾄ",
     "ﾎﾞｰﾄﾞが時間内に応答しませんでした。FPGAのﾃﾞｻﾞｲﾝがﾃﾞｰﾀを受け渡しているか確認して下さい"},
    {-9, "LIBUSB_ERROR_PIPE", "ｽﾄｰﾙ",
     "ﾎﾞｰﾄﾞが要求を受け付けませんでした。FPGAがｺﾝﾌｨｸﾞﾚｰｼｮﾝされているか確認して下さい"},
    {-4, "LIBUSB_ERROR_NO_DEVICE", "ﾎﾞｰﾄﾞが取り外されました", "ﾎﾞｰﾄﾞを接続し直して下さい"},
    {-3, "LIBUSB_ERROR_ACCESS", "ｱｸｾｽ権がありません",
     "udevﾙｰﾙ 70-quillon.rules を /etc/udev/rules.d に置いて 'sudo udevadm control --reload'"
     " を実行し、ﾎﾞｰﾄﾞを接続し直して下さい"},
    {-6, "LIBUSB_ERROR_BUSY", "他のﾌﾟﾛｸﾞﾗﾑが使用中",
     "ﾎﾞｰﾄﾞを開いている他のﾌﾟﾛｸﾞﾗﾑ(quillon、quillon-run)を終了して下さい"},
    {-8, "LIBUSB_ERROR_OVERFLOW", "ﾎﾞｰﾄﾞが要求より多くのﾃﾞｰﾀを返しました", nullptr},
    {-10, "LIBUSB_ERROR_INTERRUPTED", "転送が中止されました", nullptr},
    {-11, "LIBUSB_ERROR_NO_MEM", "USBのﾒﾓﾘ不足",
     "USBを使う他のﾌﾟﾛｸﾞﾗﾑを終了するか、usbfs_memory_mb を増やして下さい"},
    {-1, "LIBUSB_ERROR_IO", "USBの入出力ｴﾗｰ", nullptr},
    {-2, "LIBUSB_ERROR_INVALID_PARAM", "USBのｴﾗｰ", nullptr},
    {-5, "LIBUSB_ERROR_NOT_FOUND", "USBのｴﾗｰ", nullptr},
    {-12, "LIBUSB_ERROR_NOT_SUPPORTED", "USBのｴﾗｰ", nullptr},
    {-99, "LIBUSB_ERROR_OTHER", "USBのｴﾗｰ", nullptr},
};

// The code that stands for an error when the backend gave none.
int CodeOf(UsbError error) {
    switch (error) {
        case UsbError::Timeout:
            return -7;
        case UsbError::Stall:
            return -9;
        case UsbError::NoDevice:
            return -4;
        case UsbError::Overflow:
            return -8;
        case UsbError::Cancelled:
            return -10;
        case UsbError::None:
        case UsbError::Io:
            break;
    }
    return -1;
}

const Words* Find(int code) {
    for (const Words& w : kWords)
        if (w.code == code) return &w;
    return nullptr;
}

}  // namespace

std::string UsbCauseText(UsbError error, int systemCode) {
    const Words* w = Find(systemCode);
    // A code that contradicts the error (an I/O error numbered as a time-out
    // by a device of the tests) counts less than the error.
    if (!w || (error != UsbError::Io && CodeOf(error) != systemCode)) w = Find(CodeOf(error));
    std::string text = std::string(w->words) + " [" + w->name + "]";
    if (w->hint) text += std::string(" → ") + w->hint;
    return text;
}

void NoteTransferFailure(const TransferResult& result) {
    if (result.ok()) return;
    if (result.error == UsbError::NoDevice) BoardLink::Instance().NoteGone();
    std::string text = UsbCauseText(result.error, result.systemCode);
    if (result.error == UsbError::Cancelled)
        SetCauseIfNone(std::move(text));
    else
        SetCause(std::move(text));
}

void NoteWrongCount(std::uint64_t moved, std::uint64_t expected) {
    SetCause("ﾎﾞｰﾄﾞとの転送ﾊﾞｲﾄ数が違います(" + std::to_string(moved) + "/" +
             std::to_string(expected) + "ﾊﾞｲﾄ)");
}

void NoteNoBoard() {
    SetCauseIfNone(kNoBoardCause);
}

}  // namespace quillon::link
