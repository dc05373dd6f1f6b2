#include "app/pages/flash_common.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPalette>

#include "app/page.h"
#include "log/platform.h"
#include "log/prompter.h"
#include "log/settings_store.h"

namespace quillon::app {

QLabel* FieldCaption(const QString& text, QWidget* field, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(field);
    field->setAccessibleName(text);
    return label;
}

void ShowRunResult(QLabel* label, features::RunResult result, const char* executingText) {
    QColor color(0x00, 0x00, 0x00);
    QString text = "-";
    switch (result) {
        case features::RunResult::Dash:
            break;
        case features::RunResult::Executing:
            text = U(executingText);
            break;
        case features::RunResult::Successful:
            text = "Successful!!";
            color = QColor(0x00, 0x00, 0xFF);
            break;
        case features::RunResult::Failed:
            text = "Failed !!";
            color = QColor(0xFF, 0x00, 0x00);
            break;
    }
    label->setText(text);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, color);
    label->setPalette(p);
}

void ChooseDataFile(QLineEdit* edit, const char* dirKey, const char* nameKey) {
    FileDialogRequest req;
    req.title = "ﾊﾞｲﾅﾘﾌｧｲﾙを選択してください。";
    req.folder = SettingsStore().ReadString(kSetup, dirKey, platform::CurrentDirectory());
    req.filter = "ﾊﾞｲﾅﾘﾌｧｲﾙ(*.bin);;全て(*.*)";
    req.selectedFilter = 0;
    const auto chosen = Prompts().FileName(req);
    if (!chosen) return;
    edit->setText(QString::fromStdString(*chosen));
    SettingsStore store;
    store.WriteString(kSetup, dirKey, S(QFileInfo(QString::fromStdString(*chosen)).absolutePath()));
    store.WriteString(kSetup, nameKey, S(edit->text()));
}

}  // namespace quillon::app
