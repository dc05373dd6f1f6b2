#pragma once
// Every text a person reads is written in Japanese in the source and passes
// through Lang on its way out: Lang::tr gives a QString, Lang::Tr UTF-8 for
// the layers that speak std::string. With the English catalogue installed
// they give its English; without it, the Japanese exactly as written.
// One context ("Lang") for the whole program: one Japanese text, one
// English text, wherever it shows. lupdate finds Lang::tr by itself and
// Lang::Tr through -tr-function-alias tr+=Tr (scripts/translations.py).
// A format text is translated first, its numbers put in afterwards.
// Texts that programs read (macro results, the wire trace, the settings
// file) never pass through here.

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <concepts>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

class Lang {
    Q_DECLARE_TR_FUNCTIONS(Lang)
  public:
    static std::string Tr(const char* japanese);
    // A text marked where it is written with QT_TRANSLATE_NOOP("Lang", ...)
    // (a table, a constant), translated where it is shown.
    static QString Marked(const char* japanese);
    static std::string MarkedStd(const char* japanese);

    // A format text marked with QT_TRANSLATE_NOOP("Lang", ...), translated,
    // then its %1 .. %9 filled in, in one pass: a %1 inside a filled-in text
    // (a path, say) stays as it is. English may put the numbers in another
    // order than Japanese does.
    //   Lang::Fill(QT_TRANSLATE_NOOP("Lang", "%1 を開けません"), path)
    static QString FillList(const char* japanese, const QStringList& args);
    template <typename... Args>
    static std::string Fill(const char* japanese, const Args&... args) {
        return FillList(japanese, {ArgText(args)...}).toStdString();
    }
    template <typename... Args>
    static QString FillQ(const char* japanese, const Args&... args) {
        return FillList(japanese, {ArgText(args)...});
    }

  private:
    static QString ArgText(const QString& s) { return s; }
    static QString ArgText(std::string_view s) {
        return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    }
    static QString ArgText(const std::string& s) { return QString::fromStdString(s); }
    static QString ArgText(const char* s) { return QString::fromUtf8(s); }
    template <std::integral T>
    static QString ArgText(T n) {
        return QString::number(n);
    }
};

// %1 .. %9 of `format` replaced by args[0] .. args[8] in one pass; a number
// with no text given stays as written.
QString FillIn(const QString& format, const QStringList& args);

enum class UiLanguage { Japanese, English };

// The settings key (section SETUP) of the panel's language: "ja" or "en".
inline constexpr const char* kUiLanguageKey = "UI_LANGUAGE";

// "ja" or "en"; nullopt for any other text.
std::optional<UiLanguage> ParseUiLanguage(std::string_view text);
const char* UiLanguageCode(UiLanguage language);
// The stored choice. Japanese when the key is missing or holds anything else;
// for anything else `note` says what was ignored (a line for the log).
UiLanguage StoredUiLanguage(std::string& note);
void StoreUiLanguage(UiLanguage language);

}  // namespace quillon
