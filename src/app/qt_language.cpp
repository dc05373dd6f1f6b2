#include "app/qt_language.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <vector>

#include "platform/platform.h"

namespace quillon::app {

namespace {
UiLanguage& Current() {
    static UiLanguage language = UiLanguage::Japanese;
    return language;
}
}  // namespace

bool InstallJapaneseQtTexts(QCoreApplication& app) {
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(japanese);
    // Lives as long as the application; installed once.
    static QTranslator* qtTexts = nullptr;
    if (qtTexts) return true;
    auto* translator = new QTranslator(&app);
    // qtbase holds the dialogs' and standard buttons' texts.
    if (!translator->load(japanese, "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    app.installTranslator(translator);
    qtTexts = translator;
    return true;
}

std::string EnglishCataloguePath() {
    for (const std::string& folder :
         platform::ProgramFilesFolders(platform::ProgramFolder(), "translations")) {
        const std::string path = folder + "/quillon_en.qm";
        if (QFileInfo(QString::fromStdString(path)).isFile()) return path;
    }
    return platform::ProgramFilesFolder("translations") + "/quillon_en.qm";
}

bool InstallUiLanguage(QCoreApplication& app, UiLanguage language, std::string& problem) {
    problem.clear();
    Current() = language;
    if (language == UiLanguage::Japanese) {
        if (InstallJapaneseQtTexts(app)) return true;
        problem = "Qt's Japanese texts (package qt6-translations-l10n) are not installed: "
                  "the standard dialogs show English";
        return false;
    }
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QLocale::setDefault(english);
    static QTranslator* panelTexts = nullptr;
    if (panelTexts) return true;
    auto* own = new QTranslator(&app);
    const std::string path = EnglishCataloguePath();
    if (!own->load(QString::fromStdString(path))) {
        delete own;
        problem = "the English catalogue " + path + " could not be loaded: the panel shows Japanese";
        return false;
    }
    app.installTranslator(own);
    panelTexts = own;
    // Qt's English texts are its sources: qtbase_en holds the few plural forms.
    auto* qtTexts = new QTranslator(&app);
    if (qtTexts->load(english, "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(qtTexts);
    else
        delete qtTexts;
    return true;
}

UiLanguage CurrentUiLanguage() { return Current(); }

std::optional<UiLanguage> TakeLanguageOption(int& argc, char** argv, std::string& error) {
    std::optional<UiLanguage> chosen;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        std::string value;
        if (a == "--lang") {
            if (i + 1 >= argc) {
                error = "--lang needs ja or en";
                return std::nullopt;
            }
            value = argv[++i];
        } else if (a.rfind("--lang=", 0) == 0) {
            value = a.substr(7);
        } else {
            argv[kept++] = argv[i];
            continue;
        }
        chosen = ParseUiLanguage(value);
        if (!chosen) {
            error = "--lang takes ja or en, not \"" + value + "\"";
            return std::nullopt;
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    return chosen;
}

}  // namespace quillon::app
