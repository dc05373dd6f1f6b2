#pragma once
// The two SPI memories behind the user design's SPI master core: the MAX II
// UFM (512 words of 16 bits, word addresses, data high byte first) and the
// M25P128 (16 MiB, byte addresses). The core's registers sit at register
// numbers B..B+5 of the design (B+0 receive, B+1 transmit, B+2 status, B+3
// control, B+5 slave select); everything goes byte by byte through them with
// VR_REG_WRITE and VR_REG_READ, and every wait polls the core's status while
// letting events run.
//
// Every operation returns false at the first failed register access or
// expired wait and leaves the core and the memory as far as it got.

#include <cstdint>
#include <span>

#include "features/reporter.h"
#include "link/board_link.h"

namespace quillon::features {

// Slave-select values of the two memories.
inline constexpr std::uint8_t kSpiUfm = 1;
inline constexpr std::uint8_t kSpiM25p128 = 2;

// Time limits, milliseconds: each status wait inside a transaction, the UFM
// sector erase and M25P128 byte write completion, the M25P128 chip erase.
inline constexpr int kSpiByteWaitMs = 5000;
inline constexpr int kSpiWriteWaitMs = 5000;
inline constexpr int kSpiChipEraseWaitMs = 250000;

// Sends `send` to the memory `ss` as one transaction (slave select held from
// the first byte to the last). Bit i of `keep` asks for the byte received
// while byte i went out; it lands in received[i] (received is as long as send).
bool SpiTransaction(link::BoardHandle h, std::uint16_t base, std::uint8_t ss,
                    std::span<const std::uint8_t> send, std::uint32_t keep,
                    std::span<std::uint8_t> received, Reporter& r = DefaultReporter());

bool SpiWriteEnable(link::BoardHandle h, std::uint16_t base, std::uint8_t ss,
                    Reporter& r = DefaultReporter());
bool SpiWriteDisable(link::BoardHandle h, std::uint16_t base, std::uint8_t ss,
                     Reporter& r = DefaultReporter());
bool SpiReadStatus(link::BoardHandle h, std::uint16_t base, std::uint8_t ss,
                   std::uint8_t& status, Reporter& r = DefaultReporter());
bool SpiWriteStatus(link::BoardHandle h, std::uint16_t base, std::uint8_t ss,
                    Reporter& r = DefaultReporter());

// UFM: the low 16 bits of `address` go out.
bool SpiUfmReadWord(link::BoardHandle h, std::uint16_t base, std::uint32_t address,
                    std::uint16_t& data, Reporter& r = DefaultReporter());
bool SpiUfmWriteWord(link::BoardHandle h, std::uint16_t base, std::uint32_t address,
                     std::uint16_t data, Reporter& r = DefaultReporter());
bool SpiUfmEraseSector(link::BoardHandle h, std::uint16_t base, std::uint32_t address,
                       Reporter& r = DefaultReporter());

// M25P128: the low 24 bits of `address` go out.
bool SpiFlashReadByte(link::BoardHandle h, std::uint16_t base, std::uint32_t address,
                      std::uint8_t& data, Reporter& r = DefaultReporter());
bool SpiFlashWriteByte(link::BoardHandle h, std::uint16_t base, std::uint32_t address,
                       std::uint8_t data, Reporter& r = DefaultReporter());
bool SpiFlashChipErase(link::BoardHandle h, std::uint16_t base, Reporter& r = DefaultReporter());

}  // namespace quillon::features
