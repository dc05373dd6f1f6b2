#pragma once
// The panel speaks Japanese whatever language the desktop is set to, and so
// must the parts Qt draws itself: the standard buttons of message and input
// boxes, the file dialog and the font dialog. English is chosen in the panel
// (settings key UI_LANGUAGE, option --lang): then the panel's own texts come
// from the English catalogue and Qt's from its English texts.

#include <optional>
#include <string>

#include "platform/ui_text.h"

class QCoreApplication;

namespace quillon::app {

// Makes Japanese the default locale and installs Qt's own Japanese texts
// (Debian package qt6-translations-l10n) into `app`. False when they are not
// installed: Qt's texts then stay English.
bool InstallJapaneseQtTexts(QCoreApplication& app);

// The catalogue of the panel's English texts: translations/quillon_en.qm
// beside the program (a build tree), else in the program's share folder.
std::string EnglishCataloguePath();

// Installs `language` into `app`: Japanese as InstallJapaneseQtTexts; English
// as the English locale, the panel's English catalogue and Qt's English
// texts. False, with `problem` saying what is missing, when a part could not
// be loaded (the texts it would have given stay as they were).
bool InstallUiLanguage(QCoreApplication& app, UiLanguage language, std::string& problem);

// The language of this run: the one installed last (Japanese before any).
UiLanguage CurrentUiLanguage();

// "--lang ja|en" (or --lang=VALUE) taken out of argv, the arguments after it
// moved up. nullopt without the option, or with `error` set when its value is
// missing or neither; the last one given wins.
std::optional<UiLanguage> TakeLanguageOption(int& argc, char** argv, std::string& error);

}  // namespace quillon::app
