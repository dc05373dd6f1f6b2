#include "features/memory/mem_page.h"

#include <cstdio>
#include <cstdlib>

#include "features/hex_field.h"
#include "platform/ui_text.h"

namespace quillon::features {

namespace {

constexpr const char* kAddressWriteFailed =
    QT_TRANSLATE_NOOP("Lang", "ﾒﾓﾘｱﾄﾞﾚｽﾗｲﾄに失敗しました。");
constexpr const char* kAddressReadFailed =
    QT_TRANSLATE_NOOP("Lang", "ﾒﾓﾘｱﾄﾞﾚｽﾘｰﾄﾞに失敗しました。");
constexpr const char* kTargetWriteFailed =
    QT_TRANSLATE_NOOP("Lang", "ﾒﾓﾘﾀｰｹﾞｯﾄﾗｲﾄに失敗しました。");

// The field the address comes from, as the page captions it.
constexpr RegFieldNames kAddressField{QT_TRANSLATE_NOOP("Lang", "ﾚｼﾞｽﾀ番号"),
                                      QT_TRANSLATE_NOOP("Lang", "転送開始ｱﾄﾞﾚｽ(ﾚｼﾞｽﾀ0)")};

constexpr int kWidth8 = 0;
constexpr int kWidth32 = 2;

// The quotient rounded to three significant digits, printed with two decimals.
std::string ThreeDigits(double q) {
    char rounded[32];
    std::snprintf(rounded, sizeof rounded, "%.3g", q);
    char out[48];
    std::snprintf(out, sizeof out, "%.2f", std::strtod(rounded, nullptr));
    return out;
}

}  // namespace

std::optional<std::uint64_t> ParseMemLength(std::string_view text) {
    return ParseHexField(text);
}

std::string MemLengthDisplay(std::string_view lengthText) {
    const std::optional<std::uint64_t> v = ParseMemLength(lengthText);
    if (!v) return "???";
    const std::string bytes = std::to_string(*v);
    const auto head = [](const std::string& size) {
        return Lang::Fill(QT_TRANSLATE_NOOP("Lang", "転送ﾚﾝｸﾞｽ → %1"), size);
    };
    if (*v < (1ull << 10)) return head(bytes + "Bytes");
    const auto scaled = [&](int shift, const char* unit) {
        return head(ThreeDigits(static_cast<double>(*v) / static_cast<double>(1ull << shift)) +
                    unit + "[" + bytes + "Bytes]");
    };
    if (*v < (1ull << 20)) return scaled(10, "KiBytes");
    if (*v < (1ull << 30)) return scaled(20, "MiBytes");
    if (*v < (1ull << 40)) return scaled(30, "GiBytes");
    // Whole tebibytes only.
    return head(std::to_string(*v >> 40) + ".00TiBytes[" + bytes + "Bytes]");
}

std::uint8_t MemWidthCode(int widthIndex) {
    return widthIndex >= 0 && widthIndex <= 3 ? static_cast<std::uint8_t>(widthIndex << 6) : 0x00;
}

std::vector<std::string> TargetMemoryEntries(const SettingsStore& store) {
    std::vector<std::string> entries;
    const int count = store.ReadInteger(kSetup, "MEM_NUM", 0);
    auto entry = [](const std::string& name, int index) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "(REG1=%02Xh)", index);
        return name + suffix;
    };
    if (count <= 0) {
        entries.push_back(entry("unknown", 0));
        entries.push_back(entry("unknown", 1));
        return entries;
    }
    const int n = count > kMaxTargetEntries ? kMaxTargetEntries : count;
    for (int i = 0; i < n; ++i) {
        const std::string key = "MEM_LIST" + std::to_string(i);
        entries.push_back(entry(store.ReadString(kSetup, key, "unknown"), i));
    }
    return entries;
}

RegFieldResult MemAddressWrite(link::BoardHandle h, std::string_view field, bool emulate,
                               Reporter& reporter) {
    RegFieldResult r = RegPageWrite(h, "0", kWidth32, field, emulate, reporter, kAddressField);
    if (r.ok) {
        reporter.Status(Lang::Tr("ﾒﾓﾘｱﾄﾞﾚｽﾗｲﾄ成功"));
    } else {
        reporter.Fail("REG WRITE NG");
        reporter.FailBox(Lang::MarkedStd(kAddressWriteFailed), MsgIcon::Warning);
    }
    return r;
}

RegFieldResult MemAddressRead(link::BoardHandle h, std::string_view field, bool emulate,
                              Reporter& reporter) {
    RegFieldResult r = RegPageRead(h, "0", kWidth32, field, emulate, reporter, kAddressField);
    if (!r.ok) {
        reporter.Fail("REG READ NG");
        reporter.FailBox(Lang::MarkedStd(kAddressReadFailed), MsgIcon::Warning);
    }
    return r;
}

bool MemTargetWrite(link::BoardHandle h, int index, const std::string& entry, bool emulate,
                    Reporter& reporter) {
    char value[8];
    std::snprintf(value, sizeof value, "%X", index & 0xFF);
    const RegFieldResult r = RegPageWrite(h, "1", kWidth8, value, emulate, reporter);
    if (!r.ok) {
        reporter.Fail("REG WRITE NG");
        reporter.FailBox(Lang::MarkedStd(kTargetWriteFailed), MsgIcon::Warning);
        return false;
    }
    reporter.Status(Lang::Tr("ﾒﾓﾘﾀｰｹﾞｯﾄﾗｲﾄ成功"));
    reporter.Log(
        Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾀｰｹﾞｯﾄﾒﾓﾘを【%1】に切り替えました。"), entry));
    return true;
}

MemTransferOptions MemTransferOptions::Read(const SettingsStore& store) {
    MemTransferOptions o;
    o.readScramble = store.ReadBool(kSetup, "MR_SCRAMBLE", false);
    o.writeScramble = store.ReadBool(kSetup, "MW_SCRAMBLE", false);
    o.tessera = store.ReadBool(kSetup, "MEM_CMD_MODE", false);
    return o;
}

}  // namespace quillon::features
