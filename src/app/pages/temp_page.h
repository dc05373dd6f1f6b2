#pragma once
// "温度ﾓﾆﾀ": the FPGA temperature, once or every 5 seconds (Timer2), with a
// running chart. The page also serves the Options menu's supervision items
// (temperature alert, watchdog, FX3 firmware reset), which exist whether or
// not the page is shown.

#include "app/page.h"
#include "features/board/supervision.h"
#include "link/board_link.h"

class QCheckBox;
class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QTimer;
class QValueAxis;

namespace quillon::app {

class TempPage : public Page, public link::BoardListener {
    Q_OBJECT
  public:
    explicit TempPage(PageContext& context, QWidget* parent = nullptr);
    ~TempPage() override;

    void Button34Click();   // 更新
    void CheckBox2Click();  // 自動更新
    void Timer2Timer();
    void N20Click();   // change the temperature alert setting
    void N21Click();   // get it
    void N23Click();   // change the watchdog timer setting
    void N24Click();   // get it
    void FX31Click();  // FX3 firmware reset

    // BoardListener: a board going away stops the automatic update.
    void BoardGoing() override;

    const features::TempChart& chart() const { return chart_; }
    QTimer* timer() const { return timer_; }

  private:
    void Show(const features::TempReading& reading);

    QLabel* value_ = nullptr;
    QCheckBox* auto_ = nullptr;
    QTimer* timer_ = nullptr;
    QChartView* view_ = nullptr;
    QLineSeries* series_ = nullptr;
    QValueAxis* xAxis_ = nullptr;
    QValueAxis* yAxis_ = nullptr;
    features::TempChart chart_;
};

Page* MakeTempPage(PageContext& context);

}  // namespace quillon::app
