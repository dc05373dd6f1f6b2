#include "platform/settings_store.h"
#include "platform/ui_text.h"

namespace quillon {

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
