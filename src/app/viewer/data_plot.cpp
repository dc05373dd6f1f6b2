#include "app/viewer/data_plot.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "platform/ui_text.h"

namespace quillon::app {

DataPlot::DataPlot(QWidget* parent) : QChartView(parent) {
    setObjectName("DataPlot");
    setAccessibleName(Lang::tr("ﾌﾟﾛｯﾄ"));
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 4, 4, 4));
    series_ = new QLineSeries(chart);
    QPen pen(QColor(0x1f, 0x5f, 0xbf));
    pen.setWidthF(1.0);
    pen.setCosmetic(true);
    series_->setPen(pen);
    series_->setUseOpenGL(false);
    chart->addSeries(series_);
    x_ = new QValueAxis(chart);
    y_ = new QValueAxis(chart);
    x_->setLabelFormat("%.0f");
    y_->setLabelFormat("%.6g");
    x_->setTitleText(Lang::tr("ﾜｰﾄﾞ番号"));
    chart->addAxis(x_, Qt::AlignBottom);
    chart->addAxis(y_, Qt::AlignLeft);
    series_->attachAxis(x_);
    series_->attachAxis(y_);
    // The view lets go of the chart it made for itself without deleting it.
    QChart* const made = QChartView::chart();
    setChart(chart);
    delete made;
    setRenderHint(QPainter::Antialiasing, false);
    setRubberBand(QChartView::HorizontalRubberBand);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 200);
    redraw_ = new QTimer(this);
    redraw_->setSingleShot(true);
    redraw_->setInterval(0);
    connect(redraw_, &QTimer::timeout, this, [this] { Redraw(); });
    // The rubber band zooms the axis itself: take its new range as ours.
    connect(x_, &QValueAxis::rangeChanged, this, [this](qreal lo, qreal hi) {
        if (lo != lo_ || hi != hi_) SetRange(lo, hi);
    });
}

void DataPlot::SetSource(const features::DataFile* file, const features::PlotSummary* summary) {
    file_ = file;
    summary_ = summary;
    if (!file_ || !summary_ || !summary_->built()) {
        series_->clear();
        return;
    }
    // A file shown again keeps the range in view where it still fits.
    if (!realRange_ || hi_ > static_cast<double>(summary_->words()))
        ShowAll();
    else
        redraw_->start();
}

double DataPlot::first() const {
    return lo_;
}
double DataPlot::last() const {
    return hi_;
}
int DataPlot::points() const {
    return static_cast<int>(series_->count());
}

void DataPlot::ShowAll() {
    const double words = summary_ ? static_cast<double>(summary_->words()) : 0.0;
    SetRange(0, std::max(1.0, words));
}

void DataPlot::SetRange(double lo, double hi) {
    const double words = summary_ ? std::max(1.0, static_cast<double>(summary_->words())) : 1.0;
    double span = std::clamp(hi - lo, std::min(16.0, words), words);
    lo = std::clamp(lo, 0.0, words - span);
    lo_ = lo;
    hi_ = lo + span;
    realRange_ = summary_ && summary_->built();
    x_->setRange(lo_, hi_);
    redraw_->start();
}

void DataPlot::Zoom(double factor) {
    const double mid = (lo_ + hi_) / 2, half = (hi_ - lo_) / 2 * factor;
    SetRange(mid - half, mid + half);
}

void DataPlot::Pan(double fraction) {
    const double d = (hi_ - lo_) * fraction;
    SetRange(lo_ + d, hi_ + d);
}

void DataPlot::Redraw() {
    QList<QPointF> points;
    if (file_ && summary_ && summary_->built() && summary_->words() > 0) {
        const auto first = static_cast<std::uint64_t>(std::floor(lo_));
        const auto count = static_cast<std::uint64_t>(std::ceil(hi_)) - first;
        const int columns = std::max(16, static_cast<int>(chart()->plotArea().width()));
        const auto ext = summary_->Columns(*file_, first, count, columns);
        points.reserve(static_cast<qsizetype>(ext.size() * 2));
        double lo = 0, hi = 0;
        const double step =
            static_cast<double>(count) / static_cast<double>(std::max<std::size_t>(1, ext.size()));
        for (std::size_t c = 0; c < ext.size(); ++c) {
            const double x = static_cast<double>(first) + static_cast<double>(c) * step;
            // Down and up within a column: one vertical stroke from minimum to maximum.
            points.append({x, ext[c].lo});
            points.append({x, ext[c].hi});
            lo = c == 0 ? ext[c].lo : std::min(lo, ext[c].lo);
            hi = c == 0 ? ext[c].hi : std::max(hi, ext[c].hi);
        }
        if (!ext.empty()) {
            const double pad = hi > lo ? (hi - lo) * 0.04 : 1.0;
            y_->setRange(lo - pad, hi + pad);
        }
    }
    series_->replace(points);
}

void DataPlot::wheelEvent(QWheelEvent* e) {
    const double steps = e->angleDelta().y() / 120.0;
    if (steps == 0) return;
    // Around the word under the pointer.
    const QRectF area = chart()->plotArea();
    const double at =
        std::clamp((e->position().x() - area.left()) / std::max(1.0, area.width()), 0.0, 1.0);
    const double factor = std::pow(0.8, steps);
    const double pivot = lo_ + (hi_ - lo_) * at;
    SetRange(pivot - (pivot - lo_) * factor, pivot + (hi_ - pivot) * factor);
    e->accept();
}

void DataPlot::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::MiddleButton ||
        (e->button() == Qt::LeftButton && (e->modifiers() & Qt::ShiftModifier))) {
        panning_ = true;
        panFrom_ = e->pos();
        panLo_ = lo_;
        e->accept();
        return;
    }
    if (e->button() == Qt::LeftButton && (e->modifiers() & Qt::ControlModifier)) {
        const QPointF v = chart()->mapToValue(e->position());
        if (v.x() >= 0) emit WordClicked(static_cast<std::uint64_t>(v.x()));
        e->accept();
        return;
    }
    QChartView::mousePressEvent(e);
}

void DataPlot::mouseMoveEvent(QMouseEvent* e) {
    if (panning_) {
        const double perPixel = (hi_ - lo_) / std::max(1.0, chart()->plotArea().width());
        const double span = hi_ - lo_;
        const double lo = panLo_ - (e->pos().x() - panFrom_.x()) * perPixel;
        SetRange(lo, lo + span);
        e->accept();
        return;
    }
    QChartView::mouseMoveEvent(e);
}

void DataPlot::mouseReleaseEvent(QMouseEvent* e) {
    if (panning_) {
        panning_ = false;
        e->accept();
        return;
    }
    // The chart's own right click zooms out by its own rule: ours is the wheel.
    if (e->button() == Qt::RightButton) {
        Zoom(2.0);
        e->accept();
        return;
    }
    QChartView::mouseReleaseEvent(e);
}

void DataPlot::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Left:
            return Pan(-0.25);
        case Qt::Key_Right:
            return Pan(0.25);
        case Qt::Key_Plus:
        case Qt::Key_Up:
            return Zoom(0.5);
        case Qt::Key_Minus:
        case Qt::Key_Down:
            return Zoom(2.0);
        case Qt::Key_Home:
            return ShowAll();
        default:
            QChartView::keyPressEvent(e);
    }
}

void DataPlot::resizeEvent(QResizeEvent* e) {
    QChartView::resizeEvent(e);
    redraw_->start();
}

}  // namespace quillon::app
