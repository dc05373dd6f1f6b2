#pragma once
// "GPIF設定": the extra clock cycles the USB controller's firmware inserts into
// every FPGA register read and write.

#include "app/page.h"

class QLineEdit;

namespace quillon::app {

class GpifPage : public Page {
    Q_OBJECT
  public:
    explicit GpifPage(PageContext& context, QWidget* parent = nullptr);

    void Button47Click();  // register read wait
    void Button48Click();  // register write wait

  private:
    QLineEdit* readWait_ = nullptr;
    QLineEdit* writeWait_ = nullptr;
};

// The page table's factory.
Page* MakeGpifPage(PageContext& context);

}  // namespace quillon::app
