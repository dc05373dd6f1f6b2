// The panel in English and in Japanese: the language switch (option, stored
// key, menu) and an English panel that shows no Japanese text. Its own
// program: the English catalogue, once installed, holds for the process.

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/page_table.h"
#include "app/qt_language.h"
#include "app/wrap_tab_bar.h"
#include "app_test_support.h"
#include "platform/settings_store.h"
#include "platform/ui_text.h"

namespace quillon {
namespace {

using app::MainWindow;
using test::PanelTest;

struct OptionCase {
    std::vector<std::string> args;
    std::optional<UiLanguage> language;
    bool error;
    std::vector<std::string> rest;
};

class LanguageOption : public ::testing::TestWithParam<OptionCase> {};

TEST_P(LanguageOption, IsTakenOutOfTheArguments) {
    const OptionCase& c = GetParam();
    std::vector<std::string> words = {"quillon"};
    words.insert(words.end(), c.args.begin(), c.args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    int argc = static_cast<int>(words.size());
    std::string error;
    EXPECT_EQ(app::TakeLanguageOption(argc, argv.data(), error), c.language);
    EXPECT_EQ(!error.empty(), c.error) << error;
    if (c.error) return;
    std::vector<std::string> rest(argv.begin() + 1, argv.begin() + argc);
    EXPECT_EQ(rest, c.rest);
    EXPECT_EQ(argv[argc], nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LanguageOption,
    ::testing::Values(OptionCase{{}, std::nullopt, false, {}},
                      OptionCase{{"--board", "sim"}, std::nullopt, false, {"--board", "sim"}},
                      OptionCase{{"--lang", "en", "--board", "sim"}, UiLanguage::English, false,
                                 {"--board", "sim"}},
                      OptionCase{{"--board", "sim", "--lang=ja"}, UiLanguage::Japanese, false,
                                 {"--board", "sim"}},
                      OptionCase{{"--lang=ja", "--lang", "en"}, UiLanguage::English, false, {}},
                      OptionCase{{"--lang"}, std::nullopt, true, {}},
                      OptionCase{{"--lang", "EN"}, std::nullopt, true, {}},
                      OptionCase{{"--lang="}, std::nullopt, true, {}}),
    [](const ::testing::TestParamInfo<OptionCase>& info) { return std::to_string(info.index); });

TEST(StoredLanguage, JapaneseUnlessEnglishIsStoredAndOddValuesAreNoted) {
    PanelTest t;
    std::string note;
    // The desktop's locale never chooses the panel's language.
    qputenv("LANG", "en_US.UTF-8");
    EXPECT_EQ(StoredUiLanguage(note), UiLanguage::Japanese);
    EXPECT_EQ(note, "");
    for (const auto& [stored, language, noted] :
         {std::tuple{"en", UiLanguage::English, false}, std::tuple{"ja", UiLanguage::Japanese, false},
          std::tuple{"english", UiLanguage::Japanese, true},
          std::tuple{"", UiLanguage::Japanese, true}}) {
        t.Store(kUiLanguageKey, stored);
        EXPECT_EQ(StoredUiLanguage(note), language) << stored;
        EXPECT_EQ(!note.empty(), noted) << stored;
        if (noted) {
            EXPECT_NE(note.find(kUiLanguageKey), std::string::npos);
        }
    }
    qunsetenv("LANG");
}

TEST(LanguageMenu, StoresTheChoiceAndSaysWhenItTakesEffect) {
    PanelTest t;
    MainWindow w(MainWindow::Options{0});
    w.FormCreate();
    auto* ja = w.findChild<QAction*>("LanguageJa");
    auto* en = w.findChild<QAction*>("LanguageEn");
    ASSERT_TRUE(ja && en);
    EXPECT_TRUE(ja->isChecked());
    EXPECT_FALSE(en->isChecked());

    en->trigger();
    EXPECT_EQ(SettingsStore().ReadString(kSetup, kUiLanguageKey, ""), "en");
    ASSERT_EQ(t.prompter.messages().size(), 1u);
    EXPECT_NE(t.prompter.messages()[0].find("next start"), std::string::npos);
    EXPECT_TRUE(en->isChecked());
    EXPECT_FALSE(ja->isChecked());
    // Back to the language that runs: nothing to wait for.
    ja->trigger();
    EXPECT_EQ(SettingsStore().ReadString(kSetup, kUiLanguageKey, ""), "ja");
    EXPECT_EQ(t.prompter.messages().size(), 1u);
}

// Kana, kanji and the full-width and half-width forms.
bool HoldsJapanese(const QString& text) {
    static const QRegularExpression japanese(
        QString::fromUtf8("[\u3000-\u30ff\u3400-\u4dbf\u4e00-\u9fff\uff00-\uffef]"));
    return text.contains(japanese);
}

// Every text of the menus, the language item (written in both) aside.
void CollectMenuTexts(QMenu* menu, std::vector<QString>& texts) {
    texts.push_back(menu->title());
    for (QAction* a : menu->actions()) {
        if (a->objectName() == "Language1") continue;
        if (a->menu()) {
            CollectMenuTexts(a->menu(), texts);
        } else if (!a->isSeparator()) {
            texts.push_back(a->text());
            texts.push_back(a->toolTip());
        }
    }
}

TEST(EnglishPanel, TabsAndMenusHoldNoJapanese) {
    PanelTest t;
    t.Store(kUiLanguageKey, "en");
    std::string note, problem;
    ASSERT_TRUE(app::InstallUiLanguage(*qApp, StoredUiLanguage(note), problem)) << problem;
    MainWindow w(MainWindow::Options{0});
    w.FormCreate();

    std::vector<QString> texts;
    for (int n = 1; n <= app::kPageCount; ++n) texts.push_back(w.tabBar()->tabText(n - 1));
    EXPECT_EQ(texts[0], "Registers");
    EXPECT_EQ(texts[3], "Board information");
    EXPECT_EQ(texts[18], "GPIF2_Master");
    for (QAction* a : w.menuBar()->actions())
        if (a->menu()) CollectMenuTexts(a->menu(), texts);
    EXPECT_EQ(w.menuBar()->actions()[1]->text(), "&Options");
    for (const QString& text : texts) EXPECT_FALSE(HoldsJapanese(text)) << text.toStdString();
}

}  // namespace
}  // namespace quillon
