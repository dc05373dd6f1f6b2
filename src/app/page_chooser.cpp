#include "app/page_chooser.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/page.h"
#include "app/page_table.h"

namespace quillon::app {

PageChooser::PageChooser(QWidget* parent, const std::function<bool(int)>& shown) : QDialog(parent) {
    setObjectName("PageChooser");
    setWindowTitle(Lang::Marked(kPageChooserTitle));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(Lang::Marked(kPageChooserNote), this));

    std::vector<int> keyed;
    for (int n = 1; n <= kPageCount; ++n)
        if (PageInfoOf(n).visibilityKey) keyed.push_back(n);
    // Two columns, read down the first, then the second: the tabs' order.
    const int perColumn = static_cast<int>(keyed.size() + 1) / 2;
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(24);
    for (int i = 0; i < static_cast<int>(keyed.size()); ++i) {
        const int n = keyed[static_cast<std::size_t>(i)];
        auto* b = new QCheckBox(Lang::Marked(PageInfoOf(n).caption), this);
        b->setObjectName(QString("ShowPage%1").arg(n));
        b->setChecked(shown(n));
        grid->addWidget(b, i % perColumn, i / perColumn);
        boxes_[n] = b;
        initial_[n] = b->isChecked();
    }
    layout->addLayout(grid);
    layout->addWidget(new QLabel(Lang::Marked(kPageChooserHint), this));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName("PageChooserButtons");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QCheckBox* PageChooser::box(int number) const {
    const auto it = boxes_.find(number);
    return it == boxes_.end() ? nullptr : it->second;
}

bool PageChooser::Save(SettingsStore& store) const {
    bool wrote = false;
    for (const auto& [n, b] : boxes_) {
        // An untouched box leaves its key alone: a page still shown by the
        // key's default keeps following the default.
        if (b->isChecked() == initial_.at(n)) continue;
        store.WriteBool(kSetup, PageInfoOf(n).visibilityKey, b->isChecked());
        wrote = true;
    }
    return wrote;
}

}  // namespace quillon::app
