#pragma once
// "転送ﾚｰﾄ測定": the raw USB transfer rate, sixteen bulk writes and sixteen
// bulk reads of a chosen size, logged one by one with their summaries.

#include "app/page.h"

class QComboBox;
class QPushButton;

namespace quillon::app {

class RatePage : public Page {
    Q_OBJECT
  public:
    explicit RatePage(PageContext& context, QWidget* parent = nullptr);

    void Button26Click();  // 測定開始

  private:
    QComboBox* size_ = nullptr;      // ComboBox6
    QPushButton* start_ = nullptr;   // Button26
};

// The page table's factory.
Page* MakeRatePage(PageContext& context);

}  // namespace quillon::app
