#include "features/board/board_info.h"

#include <cstdio>

#include "link/vendor_requests.h"
#include "platform/cause.h"
#include "platform/ui_text.h"

namespace quillon::features {

namespace {

struct Product {
    std::uint16_t id;
    const char* name;
};

constexpr Product kProducts[] = {
    {0x3100, "Bramwell Kit Reference Board.(AN2131SC)"},
    {0x3101, "Denholm Custom Board."},
    {0x3200, "Kestrel I/O Board."},
    {0x3500, "Bramwell Kit Reference Board."},
    {0x3501, "Pendry Custom Board."},
    {0x3600, "Bramwell Kit Reference Board."},
    {0x3700, "Moselle Board."},
    {0x3800, "Vantrope Cable."},
    {0x4000, "Ferrisk Mother Board.(AN2135SC Interrupt Support Device)"},
    {0x4500, "Jorvane Custom Firmware."},
    {0x5000, "Rusholt Custom Firmware."},
    {0x6000, "Wenlock Board."},
    {0x6001, "Ellory Custom Firmware."},
    {0x6002, "Brisa Custom Firmware."},
    {0x6200, "Thirlby Board."},
    {0x6300, "Ambrel."},
    {0x6301, "Fennick Custom Firmware."},
    {0x6310, "Norrin."},
    {0x6311, "Velder."},
    {0x6400, "Ilsen."},
    {0x6401, "Garrow Board."},
    {0x6500, "Lunet Board."},
    {0x6501, "Lunet Board(FullSpeed limited)."},
    {0x6502, "Lunet Board(Bulk transfer support version)."},
    {0x6503, "Corvane Edition."},
    {0x6510, "Sorrel Ver2."},
    {0x6600, "Ilsen-N."},
    {0x7000, "Wrenby."},
    {0x7200, "Kelmar."},
    {0x7201, "Orrick."},
    {0x7202, "Tressel."},
    {0x7203, "Yeldon."},
    {0x7204, "Mirelle."},
    {0x7205, "Pavine."},
    {0x7206, "NorrinX."},
    {0x7800, "Elmbrook."},
    {0x8000, "Quintal."},
    {0x8001, "Brevin."},
    {0x8002, "Tavel."},
    {0x8003, "Hembry."},
    {0x8004, "HembryM."},
    {0x8005, "Ostrel."},
    {0x8006, "Lumbra."},
    {0x8007, "Prestane."},
};

std::string Hex(const char* format, unsigned value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

// One item: its value, or the failure (marked where written) reported.
std::optional<std::uint16_t> ReadItem(link::BoardHandle h, std::uint8_t item, const char* failure,
                                      Reporter& reporter) {
    std::uint16_t v = 0;
    if (link::VR_BOARD_INFO(h, item, v)) return v;
    const std::string text = Lang::MarkedStd(failure);
    reporter.Fail(text);
    reporter.FailBox(text, MsgIcon::Warning);
    return std::nullopt;
}

}  // namespace

std::string ProductName(std::uint16_t productId) {
    for (const Product& p : kProducts) {
        if (p.id == productId) return p.name;
    }
    return Lang::MarkedStd(QT_TRANSLATE_NOOP("Lang", "該当なし"));
}

std::string SpeedText(std::uint16_t code) {
    switch (code) {
        case 0:
            return "Full Speed Mode.";
        case 1:
        case 0x80:  // an FX2 reports its high-speed connection so
            return "HIGH Speed Mode.";
        case 2:
            return "Super Speed Mode.";
        default:
            return "Unknown Speed Mode.";
    }
}

BoardInfoLabels BoardInfoUpdate(link::BoardHandle h, Reporter& reporter,
                                const BoardInfoShow& show) {
    ClearCause();  // a new action
    BoardInfoLabels out;
    // A label takes its text the moment its answer is in, so a slow board
    // fills the page row by row.
    const auto set = [&](std::optional<std::string>& label, BoardInfoItem item, std::string text) {
        label = std::move(text);
        if (show) show(item, *label);
    };
    const auto firmware =
        ReadItem(h, link::kInfoFirmwareVersion,
                 QT_TRANSLATE_NOOP("Lang", "ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝの取得に失敗しました。"), reporter);
    if (!firmware) return out;
    set(out.firmwareVersion, BoardInfoItem::FirmwareVersion, Hex("%04Xh", *firmware));
    reporter.Log(
        Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝ ：%1"), *out.firmwareVersion));

    const auto product =
        ReadItem(h, link::kInfoProductId,
                 QT_TRANSLATE_NOOP("Lang", "ﾌﾟﾛﾀﾞｸﾄIDの取得に失敗しました。"), reporter);
    if (!product) return out;
    set(out.productId, BoardInfoItem::ProductId, Hex("%04Xh", *product));
    reporter.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾌﾟﾛﾀﾞｸﾄID ：%1"), *out.productId));
    set(out.productName, BoardInfoItem::ProductName, ProductName(*product));
    reporter.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "製品名 : %1"), *out.productName));

    const auto revision =
        ReadItem(h, link::kInfoChipRevision,
                 QT_TRANSLATE_NOOP("Lang", "FX2ﾁｯﾌﾟﾘﾋﾞｼﾞｮﾝの取得に失敗しました。"), reporter);
    if (!revision) return out;
    // The label shows two digits, the log line four.
    set(out.chipRevision, BoardInfoItem::ChipRevision, Hex("%02Xh", *revision));
    reporter.Log(
        Lang::Fill(QT_TRANSLATE_NOOP("Lang", "FX2ﾁｯﾌﾟﾘﾋﾞｼﾞｮﾝ ：%1"), Hex("%04Xh", *revision)));

    const auto speed =
        ReadItem(h, link::kInfoSpeed, QT_TRANSLATE_NOOP("Lang", "接続ｽﾋﾟｰﾄﾞの取得に失敗しました。"),
                 reporter);
    if (!speed) return out;
    set(out.speed, BoardInfoItem::Speed, SpeedText(*speed));
    reporter.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "接続ｽﾋﾟｰﾄﾞ : %1"), *out.speed));
    if (*out.speed == "Unknown Speed Mode.") reporter.Log(std::to_string(*speed));
    reporter.Status(Lang::Tr("ﾎﾞｰﾄﾞ情報取得に成功しました。"));
    out.ok = true;
    return out;
}

}  // namespace quillon::features
