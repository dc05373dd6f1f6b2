#include "features/registers/reg512_test.h"

#include <array>
#include <cstdio>
#include <optional>

#include "features/long_work.h"
#include "link/vendor_requests.h"
#include "platform/cause.h"
#include "platform/settings_store.h"
#include "platform/ui_text.h"

namespace quillon::features {

namespace {

std::uint64_t g_randomState = 1;

// The page's captions, which name the field in the cause of a refusal.
constexpr const char* kAddressCaption = QT_TRANSLATE_NOOP("Lang", "ﾚｼﾞｽﾀｱﾄﾞﾚｽ");
constexpr const char* kRepeatCaption = QT_TRANSLATE_NOOP("Lang", "ﾘﾋﾟｰﾄ回数");

std::string Line(const char* format, int a, int b = 0, int c = 0) {
    char buf[160];
    std::snprintf(buf, sizeof buf, format, a, b, c);
    return buf;
}

}  // namespace

std::uint32_t RegTestRandom() {
    g_randomState = g_randomState * 22695477ull + 1ull;
    return static_cast<std::uint32_t>((g_randomState >> 32) & 0x7FFFFFFFull);
}

void ResetRegTestRandomForTest() {
    g_randomState = 1;
}

bool Reg512Test(link::BoardHandle h, std::string_view addressText, std::string_view repeatText,
                Reporter& reporter) {
    ClearCause();  // a new action
    std::optional<int> address = ParseStoredInteger(addressText);
    std::optional<int> repeat = ParseStoredInteger(repeatText);
    // An address beyond 21 bits would wrap on the wire and fill some other
    // register with random data; it is refused like any other bad setting.
    if (!address || !repeat || *address < 0 ||
        static_cast<std::uint32_t>(*address) >= kReg512AddressLimit) {
        if (!address)
            SetCause(NotIntegerCause(Lang::MarkedStd(kAddressCaption), addressText));
        else if (!repeat)
            SetCause(NotIntegerCause(Lang::MarkedStd(kRepeatCaption), repeatText));
        else
            SetCause(OutOfRangeCause(Lang::MarkedStd(kAddressCaption), addressText, 0,
                                     kReg512AddressLimit - 1));
        reporter.FailBox(Lang::Tr("設定値が正しくありません。"), MsgIcon::Warning);
        return false;
    }
    reporter.Log(
        Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾚｼﾞｽﾀｱﾄﾞﾚｽ：%1, ﾘﾋﾟｰﾄ回数：%2"), *address, *repeat));

    const auto at = static_cast<std::uint32_t>(*address);
    std::array<std::uint8_t, kReg512TestBytes> written{};
    std::array<std::uint8_t, kReg512TestBytes> read{};
    for (int pass = 0; pass < *repeat; ++pass) {
        reporter.Progress(static_cast<std::uint64_t>(pass), static_cast<std::uint64_t>(*repeat),
                          Reporter::Unit::Steps);
        // A cancel ends the run between passes, like a failure: the settings
        // keep their values.
        if (CancelRequested()) {
            reporter.Log(Lang::MarkedStd(kUserCancel));
            reporter.Status(Lang::MarkedStd(kUserCancel));
            return false;
        }
        for (std::uint8_t& b : written) b = static_cast<std::uint8_t>(RegTestRandom() % 256);
        if (!link::VR_REG512_WRITE(h, at, written)) {
            reporter.Fail(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾙｰﾌﾟ：%1 Write Failed!!"), pass));
            reporter.FailBox(Lang::Tr("ﾚｼﾞｽﾀﾗｲﾄに失敗しました。"), MsgIcon::Warning);
            return false;
        }
        read.fill(0);
        if (!link::VR_REG512_READ(h, at, read)) {
            reporter.Fail(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾙｰﾌﾟ：%1 Read Failed!!"), pass));
            reporter.FailBox(Lang::Tr("ﾚｼﾞｽﾀﾘｰﾄﾞに失敗しました。"), MsgIcon::Warning);
            return false;
        }
        for (std::size_t i = 0; i < kReg512TestBytes; ++i) {
            if (written[i] != read[i]) {
                // The line names the byte index, not the pass.
                reporter.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾙｰﾌﾟ：%1 %2"),
                                        static_cast<int>(i),
                                        Line("%02X:%02X", written[i], read[i])));
                reporter.Message(Lang::Tr("ﾗｲﾄﾃﾞｰﾀとﾘｰﾄﾞﾃﾞｰﾀが一致しませんでした。"),
                                 MsgIcon::Warning);
                return false;
            }
        }
        reporter.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾙｰﾌﾟ：%1 Successfully!!"), pass));
        // A long run keeps the window alive; a removal meanwhile makes the next
        // request fail, since `h` never reaches a later link.
        reporter.Pump();
    }
    reporter.Log(Lang::Tr("正常終了"));
    SettingsStore store;
    store.WriteInteger(kSetup, "REG512_ADRS", *address);
    store.WriteInteger(kSetup, "REG512_REPEAT", *repeat);
    return true;
}

}  // namespace quillon::features
