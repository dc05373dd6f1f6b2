#include "app/qt_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace quillon::app {

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

}  // namespace quillon::app
