#pragma once
// "表示するﾍﾟｰｼﾞ...": the pages whose tab a SETUP key shows, each with a box
// ticked while its tab shows. OK writes the keys of the boxes the user
// changed; the main window then shows and hides the tabs.

#include <QDialog>
#include <functional>
#include <map>

#include "platform/settings_store.h"

class QCheckBox;

namespace quillon::app {

inline constexpr const char* kPageChooserItem = QT_TRANSLATE_NOOP("Lang", "表示するﾍﾟｰｼﾞ...");
inline constexpr const char* kPageChooserTitle = QT_TRANSLATE_NOOP("Lang", "表示するﾍﾟｰｼﾞ");
inline constexpr const char* kPageChooserNote =
    QT_TRANSLATE_NOOP("Lang", "ﾁｪｯｸしたﾍﾟｰｼﾞのﾀﾌﾞを表示します。");
inline constexpr const char* kPageChooserHint =
    QT_TRANSLATE_NOOP("Lang", "各ﾍﾟｰｼﾞが必要とするﾎﾞｰﾄﾞの機能はﾏﾆｭｱﾙの目次にあります。");

class PageChooser : public QDialog {
    Q_OBJECT
  public:
    // `shown(n)`: whether page n's tab shows now.
    PageChooser(QWidget* parent, const std::function<bool(int)>& shown);
    // The box of page `number`; nullptr for a page that always shows.
    QCheckBox* box(int number) const;
    // Writes "1" or "0" to the key of each page whose box the user changed;
    // true when any was written.
    bool Save(SettingsStore& store) const;

  private:
    std::map<int, QCheckBox*> boxes_;
    std::map<int, bool> initial_;
};

}  // namespace quillon::app
