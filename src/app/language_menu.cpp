#include "app/language_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include "app/qt_language.h"
#include "platform/prompter.h"
#include "platform/ui_text.h"

namespace quillon::app {

void InstallLanguageMenu(QWidget* owner, QMenu* options) {
    // Written in both languages: whoever reads only one of them finds it.
    QMenu* menu = options->addMenu(QStringLiteral("Language / 言語"));
    menu->setObjectName("LanguageMenu");
    menu->menuAction()->setObjectName("Language1");
    auto* group = new QActionGroup(menu);
    std::string ignored;
    const UiLanguage stored = StoredUiLanguage(ignored);
    const struct {
        const char* name;
        const char* caption;  // each language in its own words
        UiLanguage language;
    } choices[] = {{"LanguageJa", "日本語", UiLanguage::Japanese},
                   {"LanguageEn", "English", UiLanguage::English}};
    for (const auto& c : choices) {
        QAction* a = menu->addAction(QString::fromUtf8(c.caption));
        a->setObjectName(c.name);
        a->setCheckable(true);
        a->setChecked(c.language == stored);
        group->addAction(a);
        const UiLanguage language = c.language;
        QObject::connect(a, &QAction::triggered, owner, [language] {
            StoreUiLanguage(language);
            if (language == CurrentUiLanguage()) return;
            // Every window is built in one language; the whole panel changes
            // at the next start, so the box says so in both.
            Prompts().Message("言語の切り換えは次回の起動から有効になります。\n"
                              "The language changes at the next start.",
                              MsgIcon::Information, MsgButtons::Ok);
        });
    }
}

}  // namespace quillon::app
