#include "link/board_link.h"

#include <algorithm>

#include "log/log_file.h"

namespace quillon::link {

BoardLink& BoardLink::Instance() {
    static BoardLink link;
    return link;
}

BoardHandle CurrentBoard() {
    return BoardLink::Instance().Handle();
}

void BoardLink::SetBackend(std::unique_ptr<Backend> backend) {
    Close();
    backend_ = std::move(backend);
    // Notices registered before the backend was chosen still reach the link.
    if (backend_ && post_) backend_->WatchDevices(post_);
}

bool BoardLink::Open() {
    if (IsOpen() || !backend_) return IsOpen();
    std::unique_ptr<Device> dev = backend_->OpenFirst();
    if (!dev) return false;
    if (wrapper_) dev = wrapper_(std::move(dev));
    Lend(std::move(dev));
    return true;
}

BoardHandle BoardLink::Lend(std::unique_ptr<Device> device) {
    std::unique_ptr<Device> before;
    {
        std::lock_guard<std::mutex> lock(mu_);
        before = std::exchange(device_, std::move(device));
        gone_ = false;
        // Generations start at 1 and never wrap into -1.
        if (++generation_ == 0x7FFFFFFF) generation_ = 1;
    }
    return Handle();
}

std::unique_ptr<Device> BoardLink::Return() {
    std::lock_guard<std::mutex> lock(mu_);
    return std::move(device_);
}

void BoardLink::Close() {
    std::unique_ptr<Device> closed;
    {
        std::lock_guard<std::mutex> lock(mu_);
        gone_ = false;
        if (holds_ > 0) {
            if (device_) retired_.push_back(std::move(device_));
            return;
        }
        closed = std::move(device_);
    }
    // Destroyed outside the lock: a device may flush a trace or wait for the bus.
}

bool BoardLink::IsOpen() const {
    std::lock_guard<std::mutex> lock(mu_);
    return device_ != nullptr;
}

BoardLink::Hold BoardLink::HoldForWork() {
    std::lock_guard<std::mutex> lock(mu_);
    ++holds_;
    return Hold(this);
}

void BoardLink::Hold::Release() {
    if (!link_) return;
    std::vector<std::unique_ptr<Device>> closed;
    {
        std::lock_guard<std::mutex> lock(link_->mu_);
        if (link_->holds_ > 0 && --link_->holds_ == 0) closed = std::move(link_->retired_);
    }
    link_ = nullptr;
}

BoardHandle BoardLink::Handle() const {
    std::lock_guard<std::mutex> lock(mu_);
    return device_ ? static_cast<BoardHandle>(generation_) : kNoBoard;
}

Device* BoardLink::DeviceFor(BoardHandle h) const {
    std::lock_guard<std::mutex> lock(mu_);
    if (h == kNoBoard || !device_ || h != static_cast<BoardHandle>(generation_)) return nullptr;
    return device_.get();
}

void BoardLink::RegisterNotices(NoticePoster post) {
    post_ = std::move(post);
    if (backend_) backend_->WatchDevices(post_);
}

template <typename F>
void BoardLink::Notify(F&& call) {
    // A listener may add or remove listeners (or remove itself and be destroyed)
    // while being told; walk a copy and skip any that is no longer registered.
    const auto ls = listeners_;
    for (BoardListener* l : ls) {
        if (std::find(listeners_.begin(), listeners_.end(), l) != listeners_.end()) call(l);
    }
}

void BoardLink::CloseAndTell() {
    if (!IsOpen()) return;
    Notify([](BoardListener* l) { l->BoardGoing(); });
    Close();
    Notify([](BoardListener* l) { l->BoardState(false); });
    LogFile::Write("USB CLOSE!!");
}

NoBoardReason BoardLink::WhyNoBoard() const {
    if (IsOpen() || !backend_) return {};
    return backend_->WhyNoBoard();
}

void BoardLink::OnDeviceChange(DeviceNotice notice) {
    if (notice == DeviceNotice::Removal && IsOpen()) {
        CloseAndTell();
    } else if (notice == DeviceNotice::Arrival && !IsOpen()) {
        if (Open()) {
            Notify([](BoardListener* l) { l->BoardState(true); });
            LogFile::Write("USB OPEN!!");
        } else {
            LogFile::Write("OPEN FAILED!!");
        }
    }
}

void BoardLink::AddListener(BoardListener* listener) {
    listeners_.push_back(listener);
}

void BoardLink::RemoveListener(BoardListener* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void BoardLink::ResetForTest() {
    {
        std::lock_guard<std::mutex> lock(mu_);
        device_.reset();
        retired_.clear();
        holds_ = 0;
    }
    gone_ = false;
    backend_.reset();
    wrapper_ = nullptr;
    post_ = nullptr;
    listeners_.clear();
}

}  // namespace quillon::link
