#pragma once
// The parts on one I2C port of the simulated board:
// - a 256-byte EEPROM (24C02 type) at address byte A0: one word-address byte;
//   of a longer word address it uses the last byte;
// - a 64 KiB EEPROM (24C512 type) at a profile's address byte (A8 unless told
//   otherwise): a two-byte word address, high byte first. A transaction with a
//   one-byte word address is not acknowledged, so the part shows which
//   command length it needs;
// - an MCP4725-type DAC at C0: a 12-bit output code, written in fast mode or
//   through its "write DAC register" command, and read back as its status and
//   register bytes.
// Any other address does not acknowledge. The firmware splits each
// transaction into the address byte, the word address and the data.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace quillon::sim {

struct DacState {
    std::uint16_t word1 = 0, word2 = 0;  // the last DAC request, as sent
    std::uint16_t value = 0;             // 12-bit output code
    std::uint64_t writes = 0;
};

class I2cBus {
  public:
    static constexpr std::uint8_t kEepromAddress = 0xA0;
    static constexpr std::uint8_t kDacAddress = 0xC0;
    static constexpr std::size_t kWideEepromBytes = 64 * 1024;

    I2cBus(std::uint8_t eepromFill, std::uint8_t wideEepromAddress);

    // A write transaction; false when nothing acknowledged it.
    bool Write(std::uint8_t addressByte, std::span<const std::uint8_t> wordAddress,
               std::span<const std::uint8_t> data);
    // Writes the word address (if any), then reads out.size() bytes.
    bool Read(std::uint8_t addressByte, std::span<const std::uint8_t> wordAddress,
              std::span<std::uint8_t> out);

    // Power-on: the DAC's output and the parts' address counters start at 0;
    // the EEPROMs keep their contents.
    void PowerUp();

    std::array<std::uint8_t, 256>& eeprom() { return eeprom_; }
    const std::array<std::uint8_t, 256>& eeprom() const { return eeprom_; }
    std::vector<std::uint8_t>& wideEeprom() { return wide_; }
    const std::vector<std::uint8_t>& wideEeprom() const { return wide_; }
    DacState& dac() { return dac_; }
    const DacState& dac() const { return dac_; }

  private:
    std::uint8_t wideAddress_;
    std::array<std::uint8_t, 256> eeprom_{};
    std::uint8_t eepromPointer_ = 0;
    std::vector<std::uint8_t> wide_;
    std::uint16_t widePointer_ = 0;
    DacState dac_;
};

}  // namespace quillon::sim
