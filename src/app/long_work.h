#pragma once
// Long work in the panel: an operation runs on a worker thread that holds the
// board link, while the GUI thread goes on serving the window (repaint, log
// lines, the busy window's progress and Cancel, device notices). The page
// handler that starts it waits in that loop and returns when it has ended, so
// a handler still reads as one call: the operation's log lines, requests and
// boxes come in the order they always did.
//
//   ctx().RunLong({.cancellable = true}, [&] { features::MemReadRun(...); });
//
// One long work at a time: while one runs the board controls of every page
// are off, and another start is refused with the busy text in the status bar.
// A script runs on the GUI thread inside a Scope; its memory and
// configuration macros go to the worker through the features runner.

#include <QString>
#include <QWidget>
#include <QElapsedTimer>
#include <cstdint>
#include <functional>

#include "features/long_work.h"
#include "features/reporter.h"

class QLabel;
class QProgressBar;

namespace quillon::app {

struct LongWorkOptions {
    // The busy window offers "ｷｬﾝｾﾙ" (a configuration load does not: the FPGA
    // must not be left half loaded).
    bool cancellable = true;
};

// Told when long work starts and ends (the main window switches its board
// controls).
class LongWorkListener {
  public:
    virtual ~LongWorkListener() = default;
    virtual void LongWorkChanged(bool running) = 0;
};

class LongWork {
  public:
    // GUI thread. Runs `work` on a worker inside a new Scope; false (and
    // nothing run) when long work is already running.
    static bool Run(const LongWorkOptions& options, const std::function<void()>& work);
    // Runs `work` on the worker thread and serves events until it ended;
    // inside a Scope (a script's macro). Rethrows what the work threw.
    static void RunOnWorker(const std::function<void()>& work);
    static bool Active();
    static bool WorkerRunning();
    static bool Cancellable();

    // Long work on the GUI thread itself (a script): controls off, Cancel
    // offered, the cancel request cleared. Scopes nest.
    class Scope {
      public:
        explicit Scope(const LongWorkOptions& options);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

    static void SetListener(LongWorkListener* listener);
    // The Cancel of the busy window (and of the main window's close): asks
    // the running work to stop.
    static void Cancel();
    // The split window's Cancel: stop after the piece in flight, and abort
    // that piece too if it has not ended 2 s later.
    static void CancelSplit();
    static constexpr int kSplitAbortMs = 2000;

    // Progress of the running work, shown by every ProgressView.
    static void Progress(std::uint64_t done, std::uint64_t total, features::Reporter::Unit unit);
};

// The features runner of the panel: a script's long macros run on the
// worker, inside the script's scope.
features::WorkRunner& PanelRunner();

// A progress bar and a line beside it with the rate and the time left (after
// the first second); a busy bar while the length is not known. The busy
// window and the split window hold one each.
class ProgressView : public QWidget {
    Q_OBJECT
  public:
    explicit ProgressView(QWidget* parent = nullptr);
    ~ProgressView() override;
    // Back to a busy bar with an empty line.
    void Reset();
    void Set(std::uint64_t done, std::uint64_t total, features::Reporter::Unit unit);
    QProgressBar* bar() const { return bar_; }
    QLabel* rate() const { return rate_; }

  private:
    QProgressBar* bar_ = nullptr;
    QLabel* rate_ = nullptr;
    QElapsedTimer clock_;
    std::uint64_t total_ = 0;
    std::uint64_t done_ = 0;
};

// "12.5 MiB" and the like.
QString SizeText(std::uint64_t bytes);
// The line beside the bar: "38.2 MB/s  残り 0:05", empty before a second passed.
QString RateText(std::uint64_t done, std::uint64_t total, std::int64_t elapsedMs);

}  // namespace quillon::app
