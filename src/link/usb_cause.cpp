#include "link/usb_cause.h"

#include "link/board_link.h"
#include "platform/cause.h"
#include "platform/ui_text.h"

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
    {-7, "LIBUSB_ERROR_TIMEOUT", QT_TRANSLATE_NOOP("Lang", "USBのﾀｲﾑｱｳﾄ"),
     QT_TRANSLATE_NOOP(
         "Lang",
         "ﾎﾞｰﾄﾞが時間内に応答しませんでした。FPGAのﾃﾞｻﾞｲﾝがﾃﾞｰﾀを受け渡しているか確認して下さい")},
    {-9, "LIBUSB_ERROR_PIPE", QT_TRANSLATE_NOOP("Lang", "ｽﾄｰﾙ"),
     QT_TRANSLATE_NOOP(
         "Lang", "ﾎﾞｰﾄﾞが要求を受け付けませんでした。FPGAがｺﾝﾌｨｸﾞﾚｰｼｮﾝされているか確認して下さい")},
    {-4, "LIBUSB_ERROR_NO_DEVICE", QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞが取り外されました"),
     QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞを接続し直して下さい")},
    {-3, "LIBUSB_ERROR_ACCESS", QT_TRANSLATE_NOOP("Lang", "ｱｸｾｽ権がありません"),
     QT_TRANSLATE_NOOP("Lang",
                       "udevﾙｰﾙ 70-quillon.rules を /etc/udev/rules.d に置いて 'sudo udevadm "
                       "control --reload' を実行し、ﾎﾞｰﾄﾞを接続し直して下さい")},
    {-6, "LIBUSB_ERROR_BUSY", QT_TRANSLATE_NOOP("Lang", "他のﾌﾟﾛｸﾞﾗﾑが使用中"),
     QT_TRANSLATE_NOOP("Lang",
                       "ﾎﾞｰﾄﾞを開いている他のﾌﾟﾛｸﾞﾗﾑ(quillon、quillon-run)を終了して下さい")},
    {-8, "LIBUSB_ERROR_OVERFLOW",
     QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞが要求より多くのﾃﾞｰﾀを返しました"), nullptr},
    {-10, "LIBUSB_ERROR_INTERRUPTED", QT_TRANSLATE_NOOP("Lang", "転送が中止されました"), nullptr},
    {-11, "LIBUSB_ERROR_NO_MEM", QT_TRANSLATE_NOOP("Lang", "USBのﾒﾓﾘ不足"),
     QT_TRANSLATE_NOOP("Lang",
                       "USBを使う他のﾌﾟﾛｸﾞﾗﾑを終了するか、usbfs_memory_mb を増やして下さい")},
    {-1, "LIBUSB_ERROR_IO", QT_TRANSLATE_NOOP("Lang", "USBの入出力ｴﾗｰ"), nullptr},
    {-2, "LIBUSB_ERROR_INVALID_PARAM", QT_TRANSLATE_NOOP("Lang", "USBのｴﾗｰ"), nullptr},
    {-5, "LIBUSB_ERROR_NOT_FOUND", QT_TRANSLATE_NOOP("Lang", "USBのｴﾗｰ"), nullptr},
    {-12, "LIBUSB_ERROR_NOT_SUPPORTED", QT_TRANSLATE_NOOP("Lang", "USBのｴﾗｰ"), nullptr},
    {-99, "LIBUSB_ERROR_OTHER", QT_TRANSLATE_NOOP("Lang", "USBのｴﾗｰ"), nullptr},
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
    std::string text = Lang::MarkedStd(w->words) + " [" + w->name + "]";
    if (w->hint) text += " → " + Lang::MarkedStd(w->hint);
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
    SetCause(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞとの転送ﾊﾞｲﾄ数が違います(%1/%2ﾊﾞｲﾄ)"),
                        moved, expected));
}

void NoteNoBoard() {
    SetCauseIfNone(Lang::MarkedStd(kNoBoardCause));
}

}  // namespace quillon::link
