#pragma once
// "ﾚｼﾞｽﾀ操作(512)": the soak test of the 512-byte block-register path.

#include "app/page.h"

class QLineEdit;
class QPushButton;

namespace quillon::app {

class Reg512Page : public Page {
    Q_OBJECT
  public:
    explicit Reg512Page(PageContext& context, QWidget* parent = nullptr);
    // REG512_ADRS and REG512_REPEAT into the two edits, as decimal text.
    void RestoreUiState(const SettingsStore& store) override;

    void Button53Click();  // "実行"
    bool running() const { return running_; }

  private:
    QLineEdit* address_ = nullptr;
    QLineEdit* repeat_ = nullptr;
    QPushButton* run_ = nullptr;
    bool running_ = false;
};

// The page table's factory.
Page* MakeReg512Page(PageContext& context);

}  // namespace quillon::app
