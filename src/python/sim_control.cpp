#include "python/sim_control.h"

#include <pybind11/stl.h>

#include <vector>

#include "python/arguments.h"

namespace quillon::python {

SimControl::~SimControl() {
    if (!board_) return;
    py::gil_scoped_release unlocked;
    board_.reset();
}

void SimControl::SetFaults(std::uint64_t failRequest, std::uint64_t stallRequest,
                           std::uint64_t unplugAtRequest, std::uint64_t stallBulk,
                           std::uint64_t hangBulk, std::uint64_t unplugAtBulk,
                           std::uint32_t shortBulkBy, std::uint64_t unplugAfterBulkBytes,
                           bool i2cStatusZero, std::optional<std::uint8_t> configStatus) {
    // Counted from now: 1 is the next request (or bulk transfer).
    const std::uint64_t requests = board_->RequestCount(), bulks = board_->BulkCount();
    auto from = [](std::uint64_t base, std::uint64_t n) { return n ? base + n : 0; };
    sim::Faults f;
    f.failRequest = from(requests, failRequest);
    f.stallRequest = from(requests, stallRequest);
    f.unplugAtRequest = from(requests, unplugAtRequest);
    f.stallBulk = from(bulks, stallBulk);
    f.hangBulk = from(bulks, hangBulk);
    f.unplugAtBulk = from(bulks, unplugAtBulk);
    f.shortBulkBy = shortBulkBy;
    f.unplugAfterBulkBytes = unplugAfterBulkBytes;
    f.i2cStatusZero = i2cStatusZero;
    f.configStatus = configStatus;
    board_->SetFaults(f);
}

void SimControl::Unplug() {
    py::gil_scoped_release unlocked;
    board_->Unplug();
}

void SimControl::Plug() {
    py::gil_scoped_release unlocked;
    board_->Plug();
}

std::uint64_t SimControl::Register(long long address) const {
    return board_->Register(
        static_cast<std::uint16_t>(InRange(address, 0x4000, "register address")));
}

void SimControl::SetRegister(long long address, std::uint64_t value) {
    board_->SetRegister(static_cast<std::uint16_t>(InRange(address, 0x4000, "register address")),
                        value);
}

py::bytes SimControl::Memory(std::uint64_t address, std::size_t length, int target) const {
    const std::vector<std::uint8_t> b = board_->ReadMemory(
        static_cast<std::uint8_t>(InRange(target, 256, "memory")), address, length);
    return py::bytes(reinterpret_cast<const char*>(b.data()), b.size());
}

void SimControl::SetMemory(std::uint64_t address, const py::object& data, int target) {
    Buffer b(data, false);
    board_->WriteMemory(static_cast<std::uint8_t>(InRange(target, 256, "memory")), address,
                        std::span<const std::uint8_t>(b.data(), b.size()));
}

py::dict SimControl::Configuration() const {
    const sim::ConfigInfo c = board_->Configuration();
    py::dict d;
    d["configured"] = c.configured;
    d["design"] = c.design;
    d["stream_count"] = c.streamCount;
    d["load_count"] = c.loadCount;
    d["last_stream_length"] = c.lastStreamLength;
    d["last_stream_crc32"] = c.lastStreamCrc32;
    return d;
}

void SimControl::SetTemperature(const std::optional<double>& celsius) {
    if (!celsius) return board_->SetTemperature(std::nullopt);
    if (*celsius < 0 || *celsius >= 256) Refuse("the temperature must be within 0..255.99");
    const auto hundredths = static_cast<long>(*celsius * 100 + 0.5);
    board_->SetTemperature(static_cast<std::uint16_t>((hundredths / 100) << 8 | (hundredths % 100)));
}

void SimControl::SetGpioInput(const py::object& port, long long level) {
    board_->SetGpioInput(PortOf(port, sim::SimBoard::kGpioPorts, "ACE"),
                         static_cast<std::uint8_t>(InRange(level, 256, "level")));
}

py::dict SimControl::Gpio(const py::object& port) const {
    const sim::GpioPort g = board_->Gpio(PortOf(port, sim::SimBoard::kGpioPorts, "ACE"));
    py::dict d;
    d["direction"] = g.direction;
    d["latch"] = g.latch;
    d["input"] = g.input;
    return d;
}

py::bytes SimControl::Eeprom(int port) const {
    const auto e =
        board_->Eeprom(static_cast<int>(InRange(port, sim::SimBoard::kI2cPorts, "port")));
    return py::bytes(reinterpret_cast<const char*>(e.data()), e.size());
}
}  // namespace quillon::python
