#pragma once
// One long operation at a time, process-wide.
//
// Long operations (memory transfers, the rate measurement, configuration
// loads, flash runs) let pending window events run while they work, so the
// user can press another button meanwhile, or a Tcl script started from the
// page can call a macro. Each long operation takes the gate for its whole
// run; an operation that finds it taken refuses to start instead of running
// its requests in between the running one's.
//
//   features::BusyGate::Hold hold = features::TakeOrRefuse("MemWrite", reporter);
//   if (!hold) return false;   // the status bar told the user; nothing was sent
//   ... the operation; the gate opens when `hold` goes out of scope ...
//
// Any thread: the panel takes it on the worker that runs the operation.

#include <QtGlobal>
#include <string>
#include <string_view>

#include "features/reporter.h"

namespace quillon::features {

// Status bar text of an operation refused because another one runs.
inline constexpr const char* kBusyRefusal =
    QT_TRANSLATE_NOOP("Lang", "他の処理を実行中のため開始できません。");

class BusyGate {
  public:
    // The gate while held; opens when destroyed or released.
    class Hold {
      public:
        Hold() = default;
        Hold(Hold&& other) noexcept : held_(other.held_) { other.held_ = false; }
        Hold& operator=(Hold&& other) noexcept;
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        ~Hold() { Release(); }

        explicit operator bool() const { return held_; }
        void Release();

      private:
        friend class BusyGate;
        bool held_ = false;
    };

    // Takes the gate for `what` (a short name of the operation, for
    // messages); an empty Hold when another operation has it.
    static Hold TryTake(std::string_view what);
    static bool Busy();
    // The name of the operation holding the gate; empty when open.
    static std::string Holder();
};

// TryTake, or kBusyRefusal in the status bar through `reporter` and an empty
// Hold. Not a box: a modal box would hold up the running operation (it waits
// in the event pass that delivered the press) until the user closed it.
BusyGate::Hold TakeOrRefuse(std::string_view what, Reporter& reporter);

}  // namespace quillon::features
