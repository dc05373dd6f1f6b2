// The panel in English and in Japanese: the language switch (option, stored
// key, menu) and an English panel that shows no Japanese text. Its own
// program: the English catalogue, once installed, holds for the process.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTableWidget>
#include <algorithm>
#include <fstream>

#include "app/board_chooser.h"
#include "app/log_window.h"
#include "app/main_window.h"
#include "app/memory_windows.h"
#include "app/mode_sel_form.h"
#include "app/no_board_notice.h"
#include "app/page_chooser.h"
#include "app/page_table.h"
#include "app/qt_language.h"
#include "app/secondary_windows.h"
#include "app/viewer/data_viewer.h"
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

// Every text of `root` and the widgets in it that a person reads: captions,
// titles, list items, tooltips, accessible names and descriptions,
// placeholders and read-only notes. A field's own text is a value, not
// a caption. Each comes as "where: text" when it holds Japanese.
std::vector<std::string> JapaneseTexts(QWidget* root, const QString& where) {
    std::vector<std::string> found;
    auto check = [&](QWidget* w, const char* what, const QString& text) {
        if (!HoldsJapanese(text)) return;
        const QString name =
            w->objectName().isEmpty() ? w->metaObject()->className() : w->objectName();
        found.push_back((where + " / " + name + " " + what + ": " + text).toStdString());
    };
    // A log line's stamp is written the same in both languages.
    static const QRegularExpression stamp(QString::fromUtf8("【[^】]*】"));
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        // A window of its own (the log window) is looked at as such.
        if (w->window() != root->window()) continue;
        check(w, "tooltip", w->toolTip());
        check(w, "accessible name", w->accessibleName());
        check(w, "accessible description", w->accessibleDescription());
        if (w->isWindow()) check(w, "window title", w->windowTitle());
        if (auto* b = qobject_cast<QAbstractButton*>(w)) check(w, "text", b->text());
        if (auto* l = qobject_cast<QLabel*>(w)) check(w, "text", l->text());
        if (auto* g = qobject_cast<QGroupBox*>(w)) check(w, "title", g->title());
        if (auto* e = qobject_cast<QLineEdit*>(w)) check(w, "placeholder", e->placeholderText());
        if (auto* c = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < c->count(); ++i) check(w, "item", c->itemText(i));
        }
        if (auto* t = qobject_cast<QPlainTextEdit*>(w)) {
            check(w, "placeholder", t->placeholderText());
            if (t->isReadOnly()) check(w, "text", t->toPlainText().remove(stamp));
        }
        if (auto* t = qobject_cast<QTableWidget*>(w)) {
            for (int c = 0; c < t->columnCount(); ++c)
                if (auto* h = t->horizontalHeaderItem(c)) check(w, "header", h->text());
            for (int r = 0; r < t->rowCount(); ++r)
                if (auto* h = t->verticalHeaderItem(r)) check(w, "header", h->text());
        }
    }
    return found;
}

void InstallEnglish(PanelTest& t) {
    t.Store(kUiLanguageKey, "en");
    std::string note, problem;
    ASSERT_TRUE(app::InstallUiLanguage(*qApp, StoredUiLanguage(note), problem)) << problem;
}

// Every page shown and made current in turn, with no board: the page, the
// frame around it, the status bar and the band that says why no board is open.
TEST(EnglishPanel, EveryPageTheStatusBarAndTheNoBoardBandHoldNoJapanese) {
    PanelTest t;
    InstallEnglish(t);
    for (int n = 1; n <= app::kPageCount; ++n)
        if (const char* key = app::PageInfoOf(n).visibilityKey) t.Store(key, "1");
    t.bus->reason = {link::NoBoard::NothingFound, "no board on the bus"};
    MainWindow w(MainWindow::Options{0});
    w.FormCreate();

    ASSERT_TRUE(w.noBoardNotice()->isVisibleTo(&w));
    EXPECT_EQ(w.statusText(), "No board found.");
    std::vector<std::string> found;
    for (int n = 1; n <= app::kPageCount; ++n) {
        const QString page = QString("page %1 (%2)").arg(n).arg(w.tabBar()->tabText(n - 1));
        ASSERT_TRUE(w.pageShown(n)) << page.toStdString();
        ASSERT_TRUE(w.RequestPage(n)) << page.toStdString();
        ASSERT_EQ(w.currentPage(), n);
        // What the page put in the status bar on entry counts too.
        for (const std::string& f : JapaneseTexts(&w, page)) found.push_back(f);
    }
    // Each reason the band can give, with its status-bar headline.
    for (link::NoBoard kind :
         {link::NoBoard::Unknown, link::NoBoard::NothingFound, link::NoBoard::NoMatch,
          link::NoBoard::NoAccess, link::NoBoard::NoFirmware, link::NoBoard::Busy,
          link::NoBoard::Held, link::NoBoard::OpenFailed, link::NoBoard::NoUsb}) {
        for (int holder : {0, 4242}) {
            link::NoBoardReason reason{kind, "hint"};
            reason.holder = holder;
            w.noBoardNotice()->Set(reason);
            const QString where = QString("no-board band, reason %1").arg(static_cast<int>(kind));
            for (const std::string& f : JapaneseTexts(w.noBoardNotice(), where)) found.push_back(f);
        }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    for (const std::string& f : found) ADD_FAILURE() << f;
}

// The windows the panel opens beside the pages.
TEST(EnglishPanel, DialogsAndSecondaryWindowsHoldNoJapanese) {
    PanelTest t;
    InstallEnglish(t);
    MainWindow w(MainWindow::Options{0});
    w.FormCreate();

    app::BoardChooser chooser(boards::BoardOptions{}, &w);
    app::PageChooser pages(&w, [](int) { return true; });
    app::TSplitForm split(&w);
    app::TNoteForm note(&w);
    app::TModeSelForm mode(&w);
    app::VersionWindow* version = app::VersionWindow::Create(&w);
    // The viewer with a file to compare: both file lines.
    const std::string a = t.home.root() + "/a.bin", b = t.home.root() + "/b.bin";
    for (const auto& [path, bytes] :
         {std::pair{a, "\x01\x02\x03\x04"}, std::pair{b, "\x01\x09\x03\x04"}})
        std::ofstream(path, std::ios::binary) << bytes;
    app::TDataViewForm* viewer = app::TDataViewForm::Open({a, b, {}}, &w);
    ASSERT_NE(viewer, nullptr);
    const std::pair<QWidget*, const char*> windows[] = {
        {&chooser, "board chooser"},   {&pages, "page chooser"},
        {&split, "split transfer"},    {&note, "memory mode notice"},
        {&mode, "configuration mode"}, {version, "version"},
        {viewer, "data viewer"},       {app::LogWindow::Instance(), "log window"}};
    for (const auto& [window, name] : windows) {
        ASSERT_NE(window, nullptr) << name;
        for (const std::string& f : JapaneseTexts(window, name)) ADD_FAILURE() << f;
    }
    delete viewer;
}

}  // namespace
}  // namespace quillon
