#include "app/pages/flash_common.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/page.h"
#include "app/pages/path_field.h"
#include "platform/prompter.h"
#include "platform/settings_store.h"

namespace quillon::app {

QLabel* FieldCaption(const QString& text, QWidget* field, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(field);
    field->setAccessibleName(text);
    return label;
}

BridgePageLayout LayOutBridgePage(QWidget* page, const QString& fileCaption, const char* dirKey,
                                  const QStringList& targets, const QString& first,
                                  const QString& second) {
    BridgePageLayout l;
    l.file = new QLineEdit("*.bin", page);
    auto* fileLabel = FieldCaption(fileCaption, l.file, page);
    l.fileBase = new RelativeBaseLabel(dirKey, page);
    l.choose = new QPushButton(Lang::tr("ﾌｧｲﾙ選択"), page);
    l.target = new QComboBox(page);
    l.target->addItems(targets);
    l.target->setCurrentIndex(0);
    auto* targetLabel = FieldCaption("Target Board Select :", l.target, page);
    l.first = new QPushButton(first, page);
    l.second = new QPushButton(second, page);
    l.progress = new QProgressBar(page);
    l.progress->setRange(0, 100);
    l.progress->setValue(0);
    l.progress->setTextVisible(false);
    l.progress->setAccessibleName(Lang::tr("進捗"));
    l.progressText = new QLabel("0%", page);
    l.progressText->setMinimumWidth(110);
    l.result = new QLabel("-", page);
    l.time = new QLabel("-", page);
    for (QLabel* label : {l.result, l.time}) label->setMinimumWidth(90);

    l.rows = new QVBoxLayout(page);
    l.rows->setContentsMargins(8, 4, 8, 4);
    l.rows->setSpacing(3);
    l.rows->addWidget(fileLabel);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(l.file, 1);
    fileRow->addWidget(l.choose);
    l.rows->addLayout(fileRow);
    l.rows->addWidget(l.fileBase);
    auto* targetRow = new QHBoxLayout;
    targetRow->addWidget(targetLabel);
    targetRow->addWidget(l.target);
    targetRow->addStretch();
    targetRow->addWidget(l.first);
    targetRow->addWidget(l.second);
    l.rows->addLayout(targetRow);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(l.progress, 1);
    progressRow->addWidget(l.progressText);
    l.rows->addLayout(progressRow);
    auto* results = new QGridLayout;
    results->setHorizontalSpacing(8);
    results->setVerticalSpacing(0);
    results->addWidget(new QLabel("Execute Result", page), 0, 0);
    results->addWidget(new QLabel(U("→"), page), 0, 1);
    results->addWidget(l.result, 0, 2);
    results->addWidget(new QLabel("Execute Time", page), 0, 3);
    results->addWidget(new QLabel(U("→"), page), 0, 4);
    results->addWidget(l.time, 0, 5);
    results->setColumnStretch(6, 1);
    l.rows->addLayout(results);
    return l;
}

void ShowRunResult(QLabel* label, features::RunResult result, const char* executingText) {
    QColor color(0x00, 0x00, 0x00);
    QString text = "-";
    switch (result) {
        case features::RunResult::Dash:
            break;
        case features::RunResult::Executing:
            text = Lang::Marked(executingText);
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

void ChooseDataFile(QLineEdit* edit, RelativeBaseLabel* base, const char* dirKey,
                    const char* nameKey) {
    FileDialogRequest req;
    req.title = Lang::Tr("ﾊﾞｲﾅﾘﾌｧｲﾙを選択してください。");
    req.folder = RelativeBaseFolder(dirKey);
    req.filter = Lang::Tr("ﾊﾞｲﾅﾘﾌｧｲﾙ(*.bin);;全て(*.*)");
    req.selectedFilter = 0;
    const auto chosen = Prompts().FileName(req);
    if (!chosen) return;
    edit->setText(QString::fromStdString(*chosen));
    SettingsStore store;
    store.WriteString(kSetup, dirKey, S(QFileInfo(QString::fromStdString(*chosen)).absolutePath()));
    store.WriteString(kSetup, nameKey, S(edit->text()));
    base->Refresh();
}

}  // namespace quillon::app
