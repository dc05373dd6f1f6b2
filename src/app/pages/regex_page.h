#pragma once
// "拡張ﾚｼﾞｽﾀ": bursts of 1 to 64 bytes on the extended register space, shown as
// an 8 x 8 grid of bytes read and an editable 8 x 8 grid of bytes to write.
// The page also owns the Options menu switch "拡張ﾚｼﾞｽﾀｱｸｾｽをｴﾐｭﾚｰﾄする"
// (N17), which makes single-register accesses use the same transfers.

#include <QLabel>

#include "app/link_label.h"
#include "app/page.h"

class QSlider;
class QTableWidget;

namespace quillon::app {

class RegExPage : public Page {
    Q_OBJECT
  public:
    explicit RegExPage(PageContext& context, QWidget* parent = nullptr);
    // The emulate switch's check mark and visibility.
    void RestoreUiState(const SettingsStore& store) override;

    void Label21Click();   // length input box
    void Label22Click();   // address input box
    void Button49Click();  // Read
    void Button50Click();  // Write
    void N17Click();       // emulate switch

    int length() const;
    int address() const;

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void HookEmulateSwitch();
    void PaintCells();

    QSlider* length_ = nullptr;
    QSlider* address_ = nullptr;
    LinkLabel* lengthValue_ = nullptr;
    LinkLabel* addressValue_ = nullptr;
    QTableWidget* readGrid_ = nullptr;
    QTableWidget* writeGrid_ = nullptr;
    QAction* n17_ = nullptr;
};

// The page table's factory.
Page* MakeRegExPage(PageContext& context);

}  // namespace quillon::app
