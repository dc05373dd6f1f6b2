#pragma once
// "GPIF2_Master": the base addresses of a design's GPIF II master bridge and
// its capture block, through the block-register space.

#include "app/page.h"
#include "features/board/gpif2_master.h"

class QLineEdit;

namespace quillon::app {

class Gpif2MasterPage : public Page {
    Q_OBJECT
  public:
    explicit Gpif2MasterPage(PageContext& context, QWidget* parent = nullptr);

    void Button63Click() { BaseRead(features::G2mBase::Reg); }
    void Button64Click() { BaseWrite(features::G2mBase::Reg); }
    void Button65Click() { BaseRead(features::G2mBase::Mem); }
    void Button66Click() { BaseWrite(features::G2mBase::Mem); }
    void Button67Click();  // CAP_START
    void Button68Click();  // READ
    void Button69Click();  // DMA SET

  private:
    struct Base {
        QLineEdit* display = nullptr;
        QLineEdit* input = nullptr;
    };
    void BaseRead(features::G2mBase which);
    void BaseWrite(features::G2mBase which);

    Base bases_[2];  // REG_BASE_ADRS, MEM_BASE_ADRS
};

Page* MakeGpif2MasterPage(PageContext& context);

}  // namespace quillon::app
