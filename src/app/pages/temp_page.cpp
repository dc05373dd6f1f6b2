#include "app/pages/temp_page.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include "app/pages/board_widgets.h"
#include "app/session_recording.h"
#include "features/busy_gate.h"
#include "script/session_recorder.h"

namespace quillon::app {

namespace {

constexpr int kUpdateMs = 5000;

}  // namespace

TempPage::TempPage(PageContext& context, QWidget* parent) : Page(context, parent) {
    setObjectName("TempPage");
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(6, 2, 6, 4);
    page->setSpacing(2);

    auto* box = new QGroupBox(Lang::tr("FPGA温度ﾓﾆﾀ"), this);
    box->setObjectName("GroupBox14");
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(10, 0, 10, 2);
    row->setSpacing(8);
    value_ = ValueLabel(box, "Label17", "FPGA Temperature");
    value_->setMinimumWidth(80);
    auto* update = new QPushButton(Lang::tr("更新"), box);
    update->setObjectName("Button34");
    update->setFixedWidth(72);
    auto_ = new QCheckBox(Lang::tr("自動更新"), box);
    auto_->setObjectName("CheckBox2");
    row->addWidget(Caption(box, "FPGA Temperature", value_));
    row->addWidget(new QLabel(U("→"), box));
    row->addWidget(value_);
    row->addStretch(1);
    row->addWidget(update);
    row->addSpacing(8);
    row->addWidget(auto_);
    page->addWidget(box);

    // One line series, no marks, legend or title; flat; the view neither zooms
    // nor pans.
    series_ = new QLineSeries;
    series_->setPointsVisible(false);
    auto* chart = new QChart;
    chart->addSeries(series_);
    chart->legend()->hide();
    chart->setMargins(QMargins(2, 2, 6, 2));
    chart->setBackgroundRoundness(0);
    xAxis_ = new QValueAxis;
    yAxis_ = new QValueAxis;
    xAxis_->setLabelFormat("%d");
    yAxis_->setLabelFormat("%.1f");
    QFont axisFont = font();
    axisFont.setPixelSize(10);
    for (QValueAxis* a : {xAxis_, yAxis_}) a->setLabelsFont(axisFont);
    // Grid lines every ten points, moving with the scroll.
    xAxis_->setTickType(QValueAxis::TicksDynamic);
    xAxis_->setTickAnchor(0);
    xAxis_->setTickInterval(10);
    yAxis_->setTickCount(5);
    xAxis_->setRange(chart_.xMin(), chart_.xMax());
    const auto [lo, hi] = chart_.YRange();
    yAxis_->setRange(lo, hi);
    chart->addAxis(xAxis_, Qt::AlignBottom);
    chart->addAxis(yAxis_, Qt::AlignLeft);
    series_->attachAxis(xAxis_);
    series_->attachAxis(yAxis_);
    view_ = new QChartView(chart, this);
    view_->setObjectName("Chart1");
    view_->setAccessibleName(Lang::tr("FPGA温度ﾓﾆﾀ"));
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setRubberBand(QChartView::NoRubberBand);
    view_->setMinimumHeight(90);
    page->addWidget(view_, 1);

    timer_ = ctx().Timer(2);
    if (!timer_) timer_ = new QTimer(this);  // a frame without timers of its own
    timer_->setInterval(kUpdateMs);
    timer_->stop();

    connect(update, &QPushButton::clicked, this, &TempPage::Button34Click);
    connect(auto_, &QCheckBox::clicked, this, &TempPage::CheckBox2Click);
    connect(timer_, &QTimer::timeout, this, &TempPage::Timer2Timer);
    ctx().RegisterBoardControl(update);
    ctx().RegisterBoardControl(auto_);

    const struct {
        const char* name;
        void (TempPage::*handler)();
    } items[] = {{"N20", &TempPage::N20Click},
                 {"N21", &TempPage::N21Click},
                 {"N23", &TempPage::N23Click},
                 {"N24", &TempPage::N24Click},
                 {"FX31", &TempPage::FX31Click}};
    for (const auto& item : items) {
        if (QAction* a = ctx().MenuAction(item.name))
            connect(a, &QAction::triggered, this, item.handler);
    }
    link::BoardLink::Instance().AddListener(this);
}

TempPage::~TempPage() {
    link::BoardLink::Instance().RemoveListener(this);
}

void TempPage::Show(const features::TempReading& reading) {
    value_->setText(QString::fromStdString(reading.text));
    const int x = static_cast<int>(chart_.points().size());
    chart_.Append(reading.value);
    series_->append(x, reading.value);
    xAxis_->setRange(chart_.xMin(), chart_.xMax());
    const auto [lo, hi] = chart_.YRange();
    yAxis_->setRange(lo, hi);
    ctx().reporter().Status(Lang::MarkedStd(features::kTemperatureShown));
}

void TempPage::Button34Click() {
    if (auto reading = features::TemperatureReadAndShow(link::CurrentBoard(), ctx().reporter())) {
        Show(*reading);
        RecordNotReplayed("temperature read", "no macro reads the temperature");
    } else {
        features::TemperatureFailed(ctx().reporter());
    }
}

void TempPage::CheckBox2Click() {
    // The timer's reads are not recorded one by one: one line says they ran.
    if (auto_->isChecked()) {
        timer_->start();
        RecordNotReplayed("temperature auto-update on", "no macro reads the temperature");
    } else {
        timer_->stop();
        script::RecordNote("temperature auto-update off");
    }
}

void TempPage::Timer2Timer() {
    // A long operation lets events run between its pieces; the tick waits for
    // the next round rather than put a request in between.
    if (features::BusyGate::Busy()) return;
    if (auto reading = features::TemperatureReadAndShow(link::CurrentBoard(), ctx().reporter())) {
        Show(*reading);
        return;
    }
    // Stop first: the warning's own event loop must not run another tick.
    auto_->setChecked(false);
    timer_->stop();
    features::TemperatureFailed(ctx().reporter());
}

void TempPage::BoardGoing() {
    auto_->setChecked(false);
    timer_->stop();
}

void TempPage::N20Click() {
    std::uint8_t degrees = 0;
    if (features::TempAlertChange(link::CurrentBoard(), ctx().reporter(), &degrees))
        script::Record(script::TempAlertSetOp{degrees});
}

void TempPage::N21Click() {
    std::uint8_t degrees = 0;
    if (features::TempAlertShow(link::CurrentBoard(), ctx().reporter(), &degrees))
        script::Record(script::TempAlertGetOp{}, script::ReadNote(std::to_string(degrees)));
}

void TempPage::N23Click() {
    if (features::WatchdogChange(link::CurrentBoard(), ctx().reporter()))
        RecordNotReplayed("watchdog setting changed", "no macro sets the watchdog");
}

void TempPage::N24Click() {
    if (features::WatchdogShow(link::CurrentBoard(), ctx().reporter()))
        RecordNotReplayed("watchdog setting read", "no macro reads the watchdog");
}

void TempPage::FX31Click() {
    if (features::FirmwareReset(link::CurrentBoard(), ctx().reporter()))
        RecordNotReplayed("firmware reset", "no macro resets the firmware");
}

Page* MakeTempPage(PageContext& context) {
    return new TempPage(context);
}

}  // namespace quillon::app
