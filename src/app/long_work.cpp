#include "app/long_work.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

#include "app/gui_thread.h"
#include "app/secondary_windows.h"
#include "features/memory/mem_transfer.h"
#include "link/board_link.h"
#include "platform/cause.h"
#include "platform/ui_text.h"

namespace quillon::app {

namespace {

// GUI thread only.
struct State {
    int depth = 0;
    bool worker = false;
    bool cancellable = false;
    // Counts the works run, so a late timer never stops a later one.
    std::uint64_t generation = 0;
    LongWorkListener* listener = nullptr;
    std::vector<ProgressView*> views;
};

State& S() {
    static State s;
    return s;
}

class Runner final : public features::WorkRunner {
  public:
    void Run(const std::function<void()>& work) override {
        // The worker itself, or a program without the panel's loop, runs in place.
        if (!OnGuiThread() || !QCoreApplication::instance()) {
            work();
            return;
        }
        if (LongWork::Active())
            LongWork::RunOnWorker(work);
        else
            LongWork::Run({}, work);
    }
};

}  // namespace

LongWork::Scope::Scope(const LongWorkOptions& options) {
    State& s = S();
    if (s.depth++ > 0) return;
    ++s.generation;
    s.cancellable = options.cancellable;
    features::ClearCancel();
    for (ProgressView* v : s.views) v->Reset();
    BusyWindow::SetCancellable(options.cancellable);
    if (s.listener) s.listener->LongWorkChanged(true);
}

LongWork::Scope::~Scope() {
    State& s = S();
    if (--s.depth > 0) return;
    s.cancellable = false;
    BusyWindow::SetCancellable(false);
    // A Cancel pressed as the work ended must not stop the next one.
    features::ClearCancel();
    if (s.listener) s.listener->LongWorkChanged(false);
}

bool LongWork::Run(const LongWorkOptions& options, const std::function<void()>& work) {
    if (Active()) return false;
    Scope scope(options);
    RunOnWorker(work);
    return true;
}

void LongWork::RunOnWorker(const std::function<void()>& work) {
    State& s = S();
    if (!OnGuiThread() || !QCoreApplication::instance()) {
        work();
        return;
    }
    // A second worker would share the board with the first: the controls
    // that could start one are off, so nothing should get here.
    if (s.worker) return;
    s.worker = true;
    link::BoardLink::Hold hold = link::BoardLink::Instance().HoldForWork();
    std::atomic<bool> done{false};
    std::exception_ptr error;
    // Why the work failed goes back with it: a page that reports after the
    // work, and a script's macro, tell it on this thread.
    std::optional<std::string> cause;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        cause = TakeCause();
        done.store(true);
        // Wakes the loop below.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
    });
    while (!done.load())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    worker.join();
    if (cause)
        SetCause(std::move(*cause));
    else
        ClearCause();
    // A board that left meanwhile is freed now that nothing uses it.
    hold.Release();
    s.worker = false;
    if (error) std::rethrow_exception(error);
}

bool LongWork::Active() {
    return S().depth > 0;
}

bool LongWork::WorkerRunning() {
    return S().worker;
}

bool LongWork::Cancellable() {
    return S().depth > 0 && S().cancellable;
}

void LongWork::SetListener(LongWorkListener* listener) {
    S().listener = listener;
}

void LongWork::Cancel() {
    features::RequestCancel();
}

void LongWork::CancelSplit() {
    features::RequestSplitCancel();
    const std::uint64_t generation = S().generation;
    QTimer::singleShot(kSplitAbortMs, [generation] {
        if (Active() && S().generation == generation) features::RequestCancel();
    });
}

void LongWork::Progress(std::uint64_t done, std::uint64_t total, features::Reporter::Unit unit) {
    for (ProgressView* v : S().views) v->Set(done, total, unit);
}

features::WorkRunner& PanelRunner() {
    static Runner runner;
    return runner;
}

// --- Progress view ------------------------------------------------------------

ProgressView::ProgressView(QWidget* parent) : QWidget(parent) {
    setObjectName("ProgressView");
    bar_ = new QProgressBar(this);
    bar_->setObjectName("ProgressBar");
    bar_->setAccessibleName(Lang::tr("進捗"));
    // The bar's own text would sit on its fill; the line beside it reads well.
    bar_->setTextVisible(false);
    bar_->setMinimumWidth(160);
    rate_ = new QLabel(this);
    rate_->setObjectName("ProgressRate");
    rate_->setMinimumWidth(QFontMetrics(rate_->font()).horizontalAdvance(
        Lang::tr("999.9 MiB / 999.9 MiB  999.9 MB/s  残り 99:59")));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(bar_, 1);
    row->addWidget(rate_);
    S().views.push_back(this);
    Reset();
}

ProgressView::~ProgressView() {
    std::erase(S().views, this);
}

void ProgressView::Reset() {
    total_ = 0;
    done_ = 0;
    clock_.invalidate();
    bar_->setRange(0, 0);
    bar_->setValue(0);
    bar_->setFormat(QString());
    rate_->clear();
}

void ProgressView::Set(std::uint64_t done, std::uint64_t total, features::Reporter::Unit unit) {
    if (total == 0) {
        Reset();
        return;
    }
    done = std::min(done, total);
    // A new transfer (a script's next macro) starts its own clock.
    if (total != total_ || done < done_ || !clock_.isValid()) clock_.start();
    total_ = total;
    done_ = done;
    if (unit != features::Reporter::Unit::Bytes) {
        bar_->setRange(0, static_cast<int>(std::min<std::uint64_t>(total, 1 << 30)));
        bar_->setValue(static_cast<int>(done));
        const QString text = unit == features::Reporter::Unit::Percent
                                 ? QString("%1%").arg(done * 100 / total)
                                 : QString("%1/%2").arg(done).arg(total);
        bar_->setFormat(text);
        rate_->setText(text);
        return;
    }
    bar_->setRange(0, 1000);
    bar_->setValue(static_cast<int>(done * 1000 / total));
    const QString bytes = SizeText(done) + " / " + SizeText(total);
    bar_->setFormat(bytes);
    const QString rate = RateText(done, total, clock_.elapsed());
    rate_->setText(rate.isEmpty() ? bytes : bytes + "  " + rate);
}

QString SizeText(std::uint64_t bytes) {
    constexpr const char* kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    double v = static_cast<double>(bytes);
    int u = 0;
    while (v >= 1024 && u < 4) {
        v /= 1024;
        ++u;
    }
    return u == 0 ? QString("%1 B").arg(bytes) : QString("%1 %2").arg(v, 0, 'f', 1).arg(kUnits[u]);
}

QString RateText(std::uint64_t done, std::uint64_t total, std::int64_t elapsedMs) {
    if (elapsedMs < 1000 || done == 0) return {};
    const double rate = static_cast<double>(done) * 1000.0 / static_cast<double>(elapsedMs);
    const auto left = static_cast<std::uint64_t>(static_cast<double>(total - done) / rate + 0.5);
    const QString time = left >= 3600 ? QString("%1:%2:%3")
                                            .arg(left / 3600)
                                            .arg(left / 60 % 60, 2, 10, QChar('0'))
                                            .arg(left % 60, 2, 10, QChar('0'))
                                      : QString("%1:%2").arg(left / 60).arg(left % 60, 2, 10, QChar('0'));
    return QString("%1 MB/s  %2 %3").arg(rate / 1e6, 0, 'f', 1).arg(Lang::tr("残り"), time);
}

}  // namespace quillon::app
