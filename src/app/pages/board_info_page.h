#pragma once
// "ﾎﾞｰﾄﾞ情報": what the board's firmware reports about itself.

#include <string>

#include "app/page.h"
#include "features/board/board_info.h"

class QLabel;

namespace quillon::app {

class ElidedLabel;

class BoardInfoPage : public Page {
    Q_OBJECT
  public:
    explicit BoardInfoPage(PageContext& context, QWidget* parent = nullptr);

    void Button18Click();  // 更新

  private:
    // On the GUI thread: one label takes the text its answer gave.
    void ShowItem(features::BoardInfoItem item, const std::string& text);

    QLabel* firmware_ = nullptr;
    QLabel* productId_ = nullptr;
    QLabel* revision_ = nullptr;
    ElidedLabel* productName_ = nullptr;  // a long name is cut in the middle
    QLabel* speed_ = nullptr;
};

Page* MakeBoardInfoPage(PageContext& context);

}  // namespace quillon::app
