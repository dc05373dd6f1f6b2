#pragma once
// "SPI操作": reads, writes and erases the MAX II UFM and the M25P128 behind
// the SPI core of the user's design, one word or byte at a time. During an
// M25P128 chip erase the label "ChipErasing ...." blinks on Timer1.

#include "app/page.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillon::app {

class SpiPage : public Page {
    Q_OBJECT
  public:
    explicit SpiPage(PageContext& context, QWidget* parent = nullptr);

    // Handlers.
    void ComboBoxChange();  // target memory
    void Button27Click();   // Read
    void Button28Click();   // Write
    void Button29Click();   // ChipErase
    void Timer1Timer();     // blinks the erase notice

    QLabel* erasingLabel() const { return erasing_; }

  private:
    bool Flash() const;  // the M25P128 is the target
    void ShowTargetLabel();
    void Invalid();
    void EraseFailed(const char* text);
    void Cancelled();

    QLineEdit* base_ = nullptr;     // LabeledEdit: base register (DEC)
    QComboBox* target_ = nullptr;
    QLabel* addressLabel_ = nullptr;
    QLineEdit* address_ = nullptr;  // (HEX)
    QLineEdit* read_ = nullptr;
    QLineEdit* write_ = nullptr;
    QPushButton* readButton_ = nullptr;
    QPushButton* writeButton_ = nullptr;
    QPushButton* eraseButton_ = nullptr;
    QLabel* erasing_ = nullptr;
    int shownTarget_ = 0;
};

Page* MakeSpiPage(PageContext& context);

}  // namespace quillon::app
