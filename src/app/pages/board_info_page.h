#pragma once
// "ﾎﾞｰﾄﾞ情報": what the board's firmware reports about itself.

#include "app/page.h"

class QLabel;

namespace quillon::app {

class BoardInfoPage : public Page {
    Q_OBJECT
  public:
    explicit BoardInfoPage(PageContext& context, QWidget* parent = nullptr);

    void Button18Click();  // 更新

  private:
    QLabel* firmware_ = nullptr;
    QLabel* productId_ = nullptr;
    QLabel* revision_ = nullptr;
    QLabel* productName_ = nullptr;
    QLabel* speed_ = nullptr;
};

Page* MakeBoardInfoPage(PageContext& context);

}  // namespace quillon::app
