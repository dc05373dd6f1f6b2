#include "platform/ui_text.h"

#include "platform/settings_store.h"

namespace quillon {

std::string Lang::Tr(const char* japanese) {
    return tr(japanese).toStdString();
}

QString Lang::Marked(const char* japanese) {
    return tr(japanese);
}

std::string Lang::MarkedStd(const char* japanese) {
    return tr(japanese).toStdString();
}

QString Lang::FillList(const char* japanese, const QStringList& args) {
    return FillIn(tr(japanese), args);
}

QString FillIn(const QString& format, const QStringList& args) {
    QString out;
    out.reserve(format.size());
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'%' && i + 1 < format.size()) {
            const int n = format[i + 1].digitValue();
            if (n >= 1 && n <= args.size()) {
                out += args[n - 1];
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::optional<UiLanguage> ParseUiLanguage(std::string_view text) {
    if (text == "ja") return UiLanguage::Japanese;
    if (text == "en") return UiLanguage::English;
    return std::nullopt;
}

const char* UiLanguageCode(UiLanguage language) {
    return language == UiLanguage::English ? "en" : "ja";
}

UiLanguage StoredUiLanguage(std::string& note) {
    note.clear();
    const std::string stored = SettingsStore().ReadString(kSetup, kUiLanguageKey, "ja");
    if (const auto language = ParseUiLanguage(stored)) return *language;
    // The log line is written in Japanese on purpose: the language it falls
    // back to is Japanese.
    note = std::string(kUiLanguageKey) + "=" + stored + " は使えない値です: 日本語で表示します";
    return UiLanguage::Japanese;
}

void StoreUiLanguage(UiLanguage language) {
    SettingsStore().WriteString(kSetup, kUiLanguageKey, UiLanguageCode(language));
}

}  // namespace quillon
