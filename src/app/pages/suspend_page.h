#pragma once
// "SUSPEND操作": switches the FPGA between Normal and Suspend mode.

#include "app/page.h"

class QRadioButton;

namespace quillon::app {

class SuspendPage : public Page {
    Q_OBJECT
  public:
    explicit SuspendPage(PageContext& context, QWidget* parent = nullptr);

    void Button33Click();  // 設定

  private:
    QRadioButton* normal_ = nullptr;
    QRadioButton* suspend_ = nullptr;
};

Page* MakeSuspendPage(PageContext& context);

}  // namespace quillon::app
