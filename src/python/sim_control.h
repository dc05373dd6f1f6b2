#pragma once
// quillon.SimControl: the simulated board behind a Board (board.sim), its
// state and its faults, for tests.

#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "sim/sim_board.h"

namespace py = pybind11;

namespace quillon::python {

class SimControl {
  public:
    explicit SimControl(std::shared_ptr<sim::SimBoard> board) : board_(std::move(board)) {}
    SimControl(SimControl&&) = default;
    // The last owner of a simulated board waits for its reset timer: without
    // the interpreter lock, like a board's close.
    ~SimControl();

    void SetFaults(std::uint64_t failRequest, std::uint64_t stallRequest,
                   std::uint64_t unplugAtRequest, std::uint64_t stallBulk, std::uint64_t hangBulk, std::uint64_t unplugAtBulk,
                   std::uint32_t shortBulkBy, std::uint64_t unplugAfterBulkBytes,
                   bool i2cStatusZero, std::optional<std::uint8_t> configStatus);
    void ClearFaults() { board_->SetFaults({}); }
    void Unplug();
    void Plug();
    bool OnBus() const { return board_->OnBus(); }
    std::uint64_t Requests() const { return board_->RequestCount(); }
    std::uint64_t BulkTransfers() const { return board_->BulkCount(); }
    std::uint64_t BulkBytes() const { return board_->BulkBytes(); }

    std::uint64_t Register(long long address) const;
    void SetRegister(long long address, std::uint64_t value);
    py::bytes Memory(std::uint64_t address, std::size_t length, int target) const;
    void SetMemory(std::uint64_t address, const py::object& data, int target);
    py::dict Configuration() const;
    void SetTemperature(const std::optional<double>& celsius);
    void SetGpioInput(const py::object& port, long long level);
    py::dict Gpio(const py::object& port) const;
    py::bytes Eeprom(int port) const;

  private:
    std::shared_ptr<sim::SimBoard> board_;
};

}  // namespace quillon::python
