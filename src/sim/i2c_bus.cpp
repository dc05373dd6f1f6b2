#include "sim/i2c_bus.h"

namespace quillon::sim {

I2cBus::I2cBus(std::uint8_t eepromFill, std::uint8_t wideEepromAddress)
    : wideAddress_(static_cast<std::uint8_t>(wideEepromAddress & 0xFE)),
      wide_(kWideEepromBytes, eepromFill) {
    eeprom_.fill(eepromFill);
}

void I2cBus::PowerUp() {
    eepromPointer_ = 0;
    widePointer_ = 0;
    dac_ = DacState{};
}

bool I2cBus::Write(std::uint8_t addressByte, std::span<const std::uint8_t> wordAddress,
                   std::span<const std::uint8_t> data) {
    if (addressByte & 1) return false;  // a read address on a write
    if (addressByte == kEepromAddress) {
        if (!wordAddress.empty()) eepromPointer_ = wordAddress.back();
        for (std::uint8_t b : data) eeprom_[eepromPointer_++] = b;
        return true;
    }
    if (addressByte == wideAddress_ && wideAddress_ != kEepromAddress) {
        if (wordAddress.size() != 2) return false;
        widePointer_ = static_cast<std::uint16_t>(wordAddress[0] << 8 | wordAddress[1]);
        for (std::uint8_t b : data) wide_[widePointer_++] = b;
        return true;
    }
    if (addressByte == kDacAddress) {
        // The DAC has no word address: every byte after the address is its own.
        std::vector<std::uint8_t> bytes(wordAddress.begin(), wordAddress.end());
        bytes.insert(bytes.end(), data.begin(), data.end());
        // Fast mode: command bits 00, then D11..D8 and D7..D0. Write DAC
        // register (010) or DAC and EEPROM (011): then D11..D4, D3..D0 << 4.
        if (bytes.size() >= 2 && (bytes[0] & 0xC0) == 0) {
            dac_.value = static_cast<std::uint16_t>((bytes[0] & 0x0F) << 8 | bytes[1]);
        } else if (bytes.size() >= 3 && ((bytes[0] & 0xE0) == 0x40 || (bytes[0] & 0xE0) == 0x60)) {
            dac_.value = static_cast<std::uint16_t>(bytes[1] << 4 | bytes[2] >> 4);
        }
        ++dac_.writes;
        return true;
    }
    return false;
}

bool I2cBus::Read(std::uint8_t addressByte, std::span<const std::uint8_t> wordAddress,
                  std::span<std::uint8_t> out) {
    addressByte &= 0xFE;
    if (addressByte == kEepromAddress) {
        if (!wordAddress.empty()) eepromPointer_ = wordAddress.back();
        for (auto& b : out) b = eeprom_[eepromPointer_++];
        return true;
    }
    if (addressByte == wideAddress_) {
        if (wordAddress.size() == 2) {
            widePointer_ = static_cast<std::uint16_t>(wordAddress[0] << 8 | wordAddress[1]);
        } else if (!wordAddress.empty()) {
            return false;
        }
        for (auto& b : out) b = wide_[widePointer_++];
        return true;
    }
    if (addressByte == kDacAddress) {
        // Status (ready, powered up), the DAC register, then its EEPROM copy.
        const std::uint8_t regs[5] = {0xC0, static_cast<std::uint8_t>(dac_.value >> 4),
                                      static_cast<std::uint8_t>((dac_.value & 0x0F) << 4), 0, 0};
        for (std::size_t i = 0; i < out.size(); ++i) out[i] = i < 5 ? regs[i] : 0xFF;
        return true;
    }
    return false;
}

}  // namespace quillon::sim
