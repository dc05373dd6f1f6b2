#pragma once
// The simulated board as a link backend ("--board sim"). Opening gives a Device
// that forwards to the board; unplugging (by hand, by a fault, by a firmware
// reset) posts Removal, plugging posts Arrival. A second board can be added so
// that "another board went away" can be tried: notices carry no identity, any
// removal posts Removal.

#include <memory>
#include <mutex>
#include <string>

#include "link/device.h"
#include "sim/sim_board.h"

namespace quillon::sim {

class SimBackend : public link::Backend {
  public:
    explicit SimBackend(Profile profile = {});
    ~SimBackend() override;

    std::string Name() const override { return "sim"; }
    // The first board on the bus (the main one, else the second).
    std::unique_ptr<link::Device> OpenFirst() override;
    void WatchDevices(link::NoticePoster post) override;
    // Shown where a real driver's version would be ("winusb.sys = Ver..." in the log).
    std::string DriverVersion() const override { return "0.0.0.0 (simulated board)"; }
    // Off the bus (unplugged, or a firmware reset under way): nothing found.
    link::NoBoardReason WhyNoBoard() const override;

    // --- Test and demo controls ---
    SimBoard& board() { return *board_; }
    std::shared_ptr<SimBoard> boardPtr() { return board_; }
    void Unplug() { board_->Unplug(); }
    void Plug() { board_->Plug(); }
    // A second board of the same profile, on the bus at once (posts Arrival).
    SimBoard& AddSecondBoard();
    SimBoard* secondBoard() { return second_.get(); }
    void UnplugSecond();
    void PlugSecond();

  private:
    void Post(link::DeviceNotice notice);
    void Attach(SimBoard& board);

    Profile profile_;
    std::shared_ptr<SimBoard> board_;
    std::shared_ptr<SimBoard> second_;
    std::mutex postMu_;
    link::NoticePoster post_;
};

// The sim backend of `profilePath` (empty = the default profile); nullptr with
// `error` when the profile does not load.
std::unique_ptr<link::Backend> MakeSimBackend(const std::string& profilePath, std::string& error);

// The sim backend alive in this process (the one installed in BoardLink when
// the programs run with --board sim), or nullptr.
SimBackend* ActiveSimBackend();

}  // namespace quillon::sim
