#pragma once
// The viewer's plot: the words of the file against their index, drawn as the
// minimum and maximum of each pixel column, so a spike of one word among a
// billion still shows. Zoom with the wheel or by dragging a range, pan with
// Shift+drag or the arrow keys; every change of range is drawn again from
// the block summary or, zoomed in far, from the file itself.

#include <QtCharts/QChartView>
#include <cstdint>

#include "features/memory/data_view.h"

class QLineSeries;
class QValueAxis;
class QTimer;

namespace quillon::app {

class DataPlot : public QChartView {
    Q_OBJECT
  public:
    explicit DataPlot(QWidget* parent = nullptr);

    // The file and its summary; nullptr shows nothing. The summary may still
    // be empty (being built): the plot then waits for the next SetSource.
    void SetSource(const features::DataFile* file, const features::PlotSummary* summary);
    void ShowAll();
    void Zoom(double factor);
    void Pan(double fraction);
    // The words in view.
    double first() const;
    double last() const;
    // Points drawn (two per column).
    int points() const;

  signals:
    void WordClicked(std::uint64_t word);

  protected:
    void wheelEvent(QWheelEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    void SetRange(double lo, double hi);
    void Redraw();

    const features::DataFile* file_ = nullptr;
    const features::PlotSummary* summary_ = nullptr;
    QLineSeries* series_ = nullptr;
    QValueAxis* x_ = nullptr;
    QValueAxis* y_ = nullptr;
    QTimer* redraw_ = nullptr;
    double lo_ = 0, hi_ = 1;
    bool realRange_ = false;  // lo_ and hi_ were set on a built summary
    bool panning_ = false;
    QPoint panFrom_;
    double panLo_ = 0;
};

}  // namespace quillon::app
