#pragma once
// The one process-wide link to the open board.
//
// BoardHandle is what every device request takes first. -1 means no board: the
// request fails at once without touching the bus. An open link hands out a
// handle that carries its generation, so a handle taken before the link closed
// never reaches a device again, even after a new board opened.

#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>
#include <memory>
#include <mutex>
#include <vector>

#include "link/device.h"

namespace quillon::link {

using BoardHandle = std::intptr_t;
inline constexpr BoardHandle kNoBoard = -1;

class BoardListener {
public:
    virtual ~BoardListener() = default;
    virtual void BoardGoing() {}
    virtual void BoardState(bool open) { (void)open; }
};

class BoardLink {
public:
    static BoardLink& Instance();

    // Chooses the backend (done once by the programs before start-up).
    void SetBackend(std::unique_ptr<Backend> backend);
    Backend* backend() const { return backend_.get(); }
    // Wraps every device that opens from now on (the wire trace).
    using DeviceWrapper = std::function<std::unique_ptr<Device>(std::unique_ptr<Device>)>;
    void SetDeviceWrapper(DeviceWrapper wrapper) { wrapper_ = std::move(wrapper); }

    bool Open();
    // Closes the link. While a worker holds it (below), the device object is
    // kept until the worker lets go: the link is closed for everyone at once,
    // but a transfer already on its way finishes on a device that still exists.
    void Close();
    // Closes an open link the way a removal does, for a program that lets the
    // board go itself (another board chosen): BoardGoing, Close, BoardState
    // (false) to the listeners, then "USB CLOSE!!" in the log. Nothing when closed.
    void CloseAndTell();
    // Why no board is open (the backend's last look); Unknown while one is.
    NoBoardReason WhyNoBoard() const;

    // A worker thread that runs a long operation holds the link for its
    // length. Requests made on other threads meanwhile are the caller's
    // business (the panel makes none); the hold only keeps the device alive.
    class Hold {
      public:
        Hold() = default;
        explicit Hold(BoardLink* link) : link_(link) {}
        Hold(Hold&& other) noexcept : link_(std::exchange(other.link_, nullptr)) {}
        Hold& operator=(Hold&& other) noexcept {
            if (this != &other) {
                Release();
                link_ = std::exchange(other.link_, nullptr);
            }
            return *this;
        }
        ~Hold() { Release(); }
        // Frees a device that was closed while held (on this thread).
        void Release();

      private:
        BoardLink* link_ = nullptr;
    };
    Hold HoldForWork();
    // A session that opens and keeps its own board (each board object of the
    // Python module) puts its device in as the open board for one call, so
    // that every request reaches it through a handle like any other: the
    // handle is new, as after an open. Return() takes the device out again
    // and leaves the link closed. Nothing is told to the listeners.
    BoardHandle Lend(std::unique_ptr<Device> device);
    std::unique_ptr<Device> Return();
    bool IsOpen() const;

    // The current handle: kNoBoard while closed.
    BoardHandle Handle() const;
    // The device behind `h`, or nullptr when `h` is -1 or from an earlier link.
    Device* DeviceFor(BoardHandle h) const;

    // Registers for arrival and removal notices; `post` must deliver each notice
    // to OnDeviceChange on the GUI thread, later, through its event loop. A
    // board may post from inside a transfer (an unplug, a firmware reset), so
    // calling OnDeviceChange from `post` itself would free the device in use.
    void RegisterNotices(NoticePoster post);
    void OnDeviceChange(DeviceNotice notice);

    // A request found the open board gone. The removal notice that closes the
    // link follows through the event loop, a moment later on a real bus;
    // RemovalPending() tells whoever ends the run that it is still to come.
    void NoteGone() { gone_.store(true, std::memory_order_relaxed); }
    bool RemovalPending() const { return IsOpen() && gone_.load(std::memory_order_relaxed); }

    void AddListener(BoardListener* listener);
    void RemoveListener(BoardListener* listener);

    // Back to the state at program load (tests).
    void ResetForTest();

private:
    template <typename F>
    void Notify(F&& call);

    // The device, its generation, the holds and the closed devices they keep
    // are read by workers while the GUI thread opens and closes.
    mutable std::mutex mu_;
    std::unique_ptr<Backend> backend_;
    DeviceWrapper wrapper_;
    NoticePoster post_;
    std::unique_ptr<Device> device_;
    std::uint32_t generation_ = 0;
    int holds_ = 0;
    std::vector<std::unique_ptr<Device>> retired_;
    std::atomic<bool> gone_{false};
    std::vector<BoardListener*> listeners_;
};

// Shorthand for BoardLink::Instance().Handle().
BoardHandle CurrentBoard();

}  // namespace quillon::link
