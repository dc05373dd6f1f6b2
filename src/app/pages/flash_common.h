#pragma once
// What the three flash pages share: a caption that names its field for
// accessibility, the result label of a run, and the data-file choice of the
// two bridge pages.

#include <QColor>
#include <QLabel>
#include <QString>
#include <string>

#include "features/flash/ser_bridge.h"

class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace quillon::app {

// A caption for `field`: shown above or beside it, and the field's
// accessible name (and so its name for screen readers and outside checks).
QLabel* FieldCaption(const QString& text, QWidget* field, QWidget* parent);

class RelativeBaseLabel;

// The controls both bridge pages have, laid out alike: the data file with
// its caption, file button and the folder a relative name goes to (the one
// stored under `dirKey`), the target list with its caption and the two run
// buttons, the progress bar with its text, and the result and time labels
// after "Execute Result →" and "Execute Time →". More rows go to `rows`.
struct BridgePageLayout {
    QLineEdit* file;
    RelativeBaseLabel* fileBase;
    QPushButton* choose;
    QComboBox* target;
    QPushButton* first;
    QPushButton* second;
    QProgressBar* progress;
    QLabel* progressText;
    QLabel* result;
    QLabel* time;
    QVBoxLayout* rows;
};
BridgePageLayout LayOutBridgePage(QWidget* page, const QString& fileCaption, const char* dirKey,
                                  const QStringList& targets, const QString& first,
                                  const QString& second);

// "-", "実行中" or "Executing ...", "Successful!!", "Failed !!" in black,
// blue or red.
void ShowRunResult(QLabel* label, features::RunResult result, const char* executingText);

// The file dialog of a bridge page ("ﾊﾞｲﾅﾘﾌｧｲﾙを選択してください。", binary
// files first): starts in the folder relative names go to, and on OK puts the
// path into `edit` and stores its folder under `dirKey` and the edit's text.
void ChooseDataFile(QLineEdit* edit, RelativeBaseLabel* base, const char* dirKey,
                    const char* nameKey);

}  // namespace quillon::app
