#include "sim/sim_backend.h"

#include <atomic>

namespace quillon::sim {

namespace {

std::atomic<SimBackend*> g_active{nullptr};

// One opened board. It stays bound to the bus session it was opened in: after
// the board left the bus every call fails with NoDevice, also once it is back.
class SimDevice : public link::Device {
  public:
    SimDevice(std::shared_ptr<SimBoard> board, std::uint64_t session)
        : board_(std::move(board)), session_(session) {}

    link::TransferResult Control(const link::SetupPacket& setup,
                                 std::span<std::uint8_t> data) override {
        return board_->ControlInSession(session_, setup, data);
    }
    link::TransferResult BulkOut(std::uint8_t endpoint,
                                 std::span<const std::uint8_t> data) override {
        return board_->BulkOutInSession(session_, endpoint, data);
    }
    link::TransferResult BulkIn(std::uint8_t endpoint, std::span<std::uint8_t> data) override {
        return board_->BulkInInSession(session_, endpoint, data);
    }
    link::TransferResult BulkOutStream(std::uint8_t endpoint, std::uint32_t length,
                                       const link::BulkSource& source) override {
        return board_->BulkOutStreamInSession(session_, endpoint, length, source);
    }
    link::TransferResult BulkInStream(std::uint8_t endpoint, std::uint32_t length,
                                      const link::BulkSink& sink) override {
        return board_->BulkInStreamInSession(session_, endpoint, length, sink);
    }
    // The simulated board is device 1 of bus 1 (in a capture of its traffic).
    link::BusAddress Address() const override { return {1, 1}; }

  private:
    std::shared_ptr<SimBoard> board_;
    std::uint64_t session_;
};

std::unique_ptr<link::Device> OpenBoard(const std::shared_ptr<SimBoard>& board) {
    if (!board) return nullptr;
    const std::uint64_t session = board->Session();
    // Leaving the bus changes the session, so a board that went away between
    // these two looks gives a device that fails at once, never a wrong one.
    if (!board->OnBus()) return nullptr;
    return std::make_unique<SimDevice>(board, session);
}

}  // namespace

SimBackend::SimBackend(Profile profile)
    : profile_(std::move(profile)), board_(std::make_shared<SimBoard>(profile_)) {
    Attach(*board_);
    g_active.store(this);
}

SimBackend::~SimBackend() {
    SimBackend* self = this;
    g_active.compare_exchange_strong(self, nullptr);
    // Devices may outlive the backend (they share the boards); the notices
    // must not.
    board_->SetEventHandler(nullptr);
    if (second_) second_->SetEventHandler(nullptr);
}

void SimBackend::Attach(SimBoard& board) {
    board.SetEventHandler([this](BoardEvent e) {
        Post(e == BoardEvent::LeftBus ? link::DeviceNotice::Removal : link::DeviceNotice::Arrival);
    });
}

void SimBackend::Post(link::DeviceNotice notice) {
    link::NoticePoster post;
    {
        std::lock_guard<std::mutex> lock(postMu_);
        post = post_;
    }
    if (post) post(notice);
}

std::unique_ptr<link::Device> SimBackend::OpenFirst() {
    if (auto d = OpenBoard(board_)) return d;
    return OpenBoard(second_);
}

link::NoBoardReason SimBackend::WhyNoBoard() const {
    if (board_->OnBus() || (second_ && second_->OnBus())) return {};
    return {link::NoBoard::NothingFound, "the simulated board is off the bus"};
}

void SimBackend::WatchDevices(link::NoticePoster post) {
    std::lock_guard<std::mutex> lock(postMu_);
    post_ = std::move(post);
}

SimBoard& SimBackend::AddSecondBoard() {
    if (!second_) {
        Profile p = profile_;
        p.faults = Faults{};  // the faults belong to the main board
        second_ = std::make_shared<SimBoard>(p);
        Attach(*second_);
        Post(link::DeviceNotice::Arrival);
    }
    return *second_;
}

void SimBackend::UnplugSecond() {
    if (second_) second_->Unplug();
}

void SimBackend::PlugSecond() {
    if (second_) second_->Plug();
}

std::unique_ptr<link::Backend> MakeSimBackend(const std::string& profilePath, std::string& error) {
    auto profile = LoadProfile(profilePath, error);
    if (!profile) return nullptr;
    return std::make_unique<SimBackend>(std::move(*profile));
}

SimBackend* ActiveSimBackend() {
    return g_active.load();
}

}  // namespace quillon::sim
