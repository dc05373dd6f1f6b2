#pragma once
// "MCP4725": the four bytes of a parameter set for an MCP4725-type DAC.

#include <array>

#include "app/page.h"

class QComboBox;
class QLineEdit;

namespace quillon::app {

class DacPage : public Page {
    Q_OBJECT
  public:
    explicit DacPage(PageContext& context, QWidget* parent = nullptr);

    void Button58Click();  // SET

  private:
    QComboBox* port_ = nullptr;
    std::array<QLineEdit*, 4> bytes_{};
};

Page* MakeDacPage(PageContext& context);

}  // namespace quillon::app
