// What tests and tools read and set on the simulated board from outside.
#include "sim/sim_board.h"

namespace quillon::sim {

// --- Inspection -------------------------------------------------------------------

ConfigInfo SimBoard::Configuration() const {
    std::lock_guard<std::mutex> lock(mu_);
    ConfigInfo c = cfgInfo_;
    c.configured = design_ != nullptr;
    c.design = design_ ? design_->Name() : std::string();
    c.configMode = cfgMode_;
    c.streamBytesNow = cfgMode_ ? streamLength_ : 0;
    return c;
}

std::uint64_t SimBoard::Register(std::uint16_t address) const {
    std::lock_guard<std::mutex> lock(mu_);
    return design_ ? design_->PeekRegister(address) : 0;
}

void SimBoard::SetRegister(std::uint16_t address, std::uint64_t value) {
    std::lock_guard<std::mutex> lock(mu_);
    if (design_) design_->RegWrite(address, 8, value);
}

std::uint8_t SimBoard::ExtendedRegister(std::uint16_t address) const {
    std::lock_guard<std::mutex> lock(mu_);
    return design_ ? design_->PeekRegex(address) : 0;
}

std::vector<std::uint8_t> SimBoard::BlockRegisters(std::uint32_t address, std::size_t n) const {
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<std::uint8_t> out(n, 0);
    if (design_)
        for (std::size_t i = 0; i < n; ++i) out[i] = design_->PeekBlock(address + i);
    return out;
}

std::vector<std::uint8_t> SimBoard::ReadMemory(std::uint8_t target, std::uint64_t address,
                                               std::size_t n) const {
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<std::uint8_t> out(n, 0);
    auto it = memory_.find(target);
    if (it != memory_.end()) it->second->Read(address, out);
    return out;
}

void SimBoard::WriteMemory(std::uint8_t target, std::uint64_t address,
                           std::span<const std::uint8_t> bytes) {
    std::lock_guard<std::mutex> lock(mu_);
    Memory(target).Write(address, bytes);
}

std::size_t SimBoard::MemoryStoredPages() const {
    std::lock_guard<std::mutex> lock(mu_);
    std::size_t n = 0;
    for (const auto& [target, m] : memory_) n += m->StoredPages();
    return n;
}

MemCommand SimBoard::LastMemCommand() const {
    std::lock_guard<std::mutex> lock(mu_);
    return lastMem_;
}

bool SimBoard::MemTransferOpen() const {
    std::lock_guard<std::mutex> lock(mu_);
    return memOpen_;
}

std::vector<std::uint8_t> SimBoard::FlashContents(FlashChip chip) const {
    std::lock_guard<std::mutex> lock(mu_);
    return flash_->Contents(chip);
}

void SimBoard::LoadFlash(FlashChip chip, std::uint64_t address,
                         std::span<const std::uint8_t> bytes) {
    std::lock_guard<std::mutex> lock(mu_);
    flash_->Cells(chip).Load(address, bytes);
}

GpioPort SimBoard::Gpio(int port) const {
    std::lock_guard<std::mutex> lock(mu_);
    return port >= 0 && port < kGpioPorts ? gpio_[port] : GpioPort{};
}

void SimBoard::SetGpioInput(int port, std::uint8_t level) {
    std::lock_guard<std::mutex> lock(mu_);
    if (port >= 0 && port < kGpioPorts) gpio_[port].input = level;
}

std::array<std::uint8_t, 256> SimBoard::Eeprom(int port) const {
    std::lock_guard<std::mutex> lock(mu_);
    return port >= 0 && port < kI2cPorts ? i2c_[port].eeprom() : std::array<std::uint8_t, 256>{};
}

void SimBoard::SetEeprom(int port, std::span<const std::uint8_t> bytes, std::uint8_t offset) {
    std::lock_guard<std::mutex> lock(mu_);
    if (port < 0 || port >= kI2cPorts) return;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        i2c_[port].eeprom()[static_cast<std::uint8_t>(offset + i)] = bytes[i];
}

std::vector<std::uint8_t> SimBoard::WideEeprom(int port, std::uint16_t address,
                                               std::size_t n) const {
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<std::uint8_t> out(n, 0);
    if (port < 0 || port >= kI2cPorts) return out;
    for (std::size_t i = 0; i < n; ++i)
        out[i] = i2c_[port].wideEeprom()[static_cast<std::uint16_t>(address + i)];
    return out;
}

void SimBoard::SetWideEeprom(int port, std::span<const std::uint8_t> bytes,
                             std::uint16_t address) {
    std::lock_guard<std::mutex> lock(mu_);
    if (port < 0 || port >= kI2cPorts) return;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        i2c_[port].wideEeprom()[static_cast<std::uint16_t>(address + i)] = bytes[i];
}

DacState SimBoard::Dac(int port) const {
    std::lock_guard<std::mutex> lock(mu_);
    return port >= 0 && port < kI2cPorts ? i2c_[port].dac() : DacState{};
}

std::uint8_t SimBoard::ReadWait() const {
    std::lock_guard<std::mutex> lock(mu_);
    return readWait_;
}

std::uint8_t SimBoard::WriteWait() const {
    std::lock_guard<std::mutex> lock(mu_);
    return writeWait_;
}

std::uint16_t SimBoard::GpifWave(int direction) const {
    std::lock_guard<std::mutex> lock(mu_);
    return gpifWave_[direction & 1];
}

std::uint8_t SimBoard::Watchdog() const {
    std::lock_guard<std::mutex> lock(mu_);
    return watchdog_;
}

std::uint16_t SimBoard::Suspend() const {
    std::lock_guard<std::mutex> lock(mu_);
    return suspend_;
}

std::uint8_t SimBoard::TempAlertThreshold() const {
    std::lock_guard<std::mutex> lock(mu_);
    return tempAlert_;
}

std::uint16_t SimBoard::Temperature() const {
    std::lock_guard<std::mutex> lock(mu_);
    return TemperatureLocked();
}

void SimBoard::SetTemperature(std::optional<std::uint16_t> fixed) {
    std::lock_guard<std::mutex> lock(mu_);
    fixedTemp_ = fixed;
}

bool SimBoard::TemperatureAlert() const {
    std::lock_guard<std::mutex> lock(mu_);
    return (TemperatureLocked() >> 8) >= tempAlert_;
}

std::uint64_t SimBoard::FirmwareResets() const {
    std::lock_guard<std::mutex> lock(mu_);
    return fwResets_;
}

}  // namespace quillon::sim

