#pragma once
// The Options menu's "Language / 言語" item: Japanese or English for the
// panel's texts, stored in the settings and used from the next start on.

class QMenu;
class QWidget;

namespace quillon::app {

// Appends the item with its two choices to `options`. The choice stored
// (Japanese without one) carries the mark.
void InstallLanguageMenu(QWidget* owner, QMenu* options);

}  // namespace quillon::app
