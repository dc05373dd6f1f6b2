#pragma once
// Long operations: how they are run and how they are stopped.
//
// A long operation (a memory transfer, the rate measurement, a configuration
// load, a flash run, the 512-byte test, a script's memory macro) is a call
// that takes plain values and a Reporter. Whoever starts it chooses where it
// runs through the WorkRunner: the panel on a worker thread that holds the
// board link while its window stays alive, the headless runner, Python and the
// tests right where they are.
//
// Stopping is one request for everyone: the busy window's Cancel, SIGINT in
// quillon-run, KeyboardInterrupt in Python. It ends the bulk transfer in
// flight (link/abort.h); operations look at it at their own points (between
// transfers, between flash pages) and then take their cancel path: the end
// command of a memory transfer, "ﾕｰｻﾞｰｷｬﾝｾﾙ" in the log, nothing half written.

#include <QtGlobal>
#include <functional>

namespace quillon::features {

inline constexpr const char* kUserCancel = QT_TRANSLATE_NOOP("Lang", "ﾕｰｻﾞｰｷｬﾝｾﾙ");

bool CancelRequested();
// Any thread, and signal handlers (lock-free stores only).
void RequestCancel();
// By whoever starts an operation, before it starts.
void ClearCancel();

// Work that must not be left half done (a configuration load: the FPGA would
// stay unconfigured) holds a shield: a cancel asked for meanwhile waits until
// the shield goes, then takes effect.
class CancelShield {
  public:
    CancelShield();
    ~CancelShield();
    CancelShield(const CancelShield&) = delete;
    CancelShield& operator=(const CancelShield&) = delete;
};

class WorkRunner {
  public:
    virtual ~WorkRunner() = default;
    // Runs `work` to its end and returns then. The panel's runner keeps the
    // window alive meanwhile (repaint, log lines, Cancel, device notices).
    virtual void Run(const std::function<void()>& work) { work(); }
};

// The process-wide runner; by default work runs where it is called.
WorkRunner& Runner();
void SetRunner(WorkRunner* runner);  // nullptr restores the default

}  // namespace quillon::features
