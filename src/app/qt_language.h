#pragma once
// The panel speaks Japanese whatever language the desktop is set to, and so
// must the parts Qt draws itself: the standard buttons of message and input
// boxes, the file dialog and the font dialog.

class QCoreApplication;

namespace quillon::app {

// Makes Japanese the default locale and installs Qt's own Japanese texts
// (Debian package qt6-translations-l10n) into `app`. False when they are not
// installed: Qt's texts then stay English.
bool InstallJapaneseQtTexts(QCoreApplication& app);

}  // namespace quillon::app
