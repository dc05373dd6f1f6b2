#pragma once
// The two SPI memories of the board: the MAX II's user flash memory (UFM,
// 512 words of 16 bits) and the M25P128 serial flash (16 MiB). Both are
// driven byte by byte: Select, one Transfer per byte shifted (returning the
// byte shifted back), Deselect. Like the real parts they act on a command when
// the chip select rises, ignore everything but a status read while busy, and
// refuse to program or erase without the write-enable latch.

#include <chrono>
#include <cstdint>
#include <vector>

#include "sim/flash_array.h"

namespace quillon::sim {

using FlashClock = std::chrono::steady_clock;

class SpiDevice {
  public:
    virtual ~SpiDevice() = default;
    virtual void Select(FlashClock::time_point now) = 0;
    virtual std::uint8_t Transfer(std::uint8_t mosi, FlashClock::time_point now) = 0;
    virtual void Deselect(FlashClock::time_point now) = 0;
};

// Shared by both parts: the command byte, the bytes after it, the status
// register with its write-in-progress bit and write-enable latch.
class SpiFlashBase : public SpiDevice {
  public:
    static constexpr std::uint8_t kWrsr = 0x01, kProgram = 0x02, kRead = 0x03, kWrdi = 0x04,
                                  kRdsr = 0x05, kWren = 0x06;
    static constexpr std::uint8_t kWip = 0x01, kWel = 0x02;

    explicit SpiFlashBase(double timeScale) : timeScale_(timeScale) {}
    void Select(FlashClock::time_point now) override;
    void Deselect(FlashClock::time_point now) override;
    void PowerUp();  // latch and busy state as after power-on
    bool Busy(FlashClock::time_point now) const { return now < busyUntil_; }
    std::uint8_t Status(FlashClock::time_point now) const;

    std::uint8_t Transfer(std::uint8_t mosi, FlashClock::time_point now) override;

  protected:
    // The byte shifted back for the count_-th byte of the command (bytes_
    // holds the command so far, command byte first).
    virtual std::uint8_t Shift(FlashClock::time_point now) = 0;
    // The chip select rose after a command other than the status commands.
    virtual void Execute(FlashClock::time_point now) = 0;
    // Whether a status write resets the write-enable latch.
    virtual bool WrsrClearsWel() const = 0;
    void BusyFor(FlashClock::time_point now, double datasheetSeconds);

    // The first bytes of the command (a long read or program keeps counting
    // in count_ without storing more).
    static constexpr std::size_t kKeep = 4 + 4096;
    std::vector<std::uint8_t> bytes_;
    std::uint32_t count_ = 0;
    bool selected_ = false;
    bool ignoring_ = false;  // a command sent while busy
    bool wel_ = false;
    std::uint8_t statusBits_ = 0;  // the writable bits (block protect, SRWD)
    FlashClock::time_point busyUntil_{};
    double timeScale_;
};

// M25P128: 24-bit byte addresses, 256-byte pages, 64 sectors of 256 KiB.
// Commands 03 read, 02 page program, D8 sector erase, C7 bulk erase, 9F
// identification, and the status commands. The block-protect bits are kept
// but protect nothing.
class M25p128 : public SpiFlashBase {
  public:
    static constexpr std::uint64_t kBytes = 16u << 20;
    static constexpr std::uint32_t kPage = 256;
    static constexpr std::uint32_t kSector = 256u << 10;
    static constexpr std::uint8_t kSectorErase = 0xD8, kBulkErase = 0xC7, kReadId = 0x9F;
    // Datasheet typical times, seconds.
    static constexpr double kPageProgramS = 1.4e-3;
    static constexpr double kSectorEraseS = 2.0;
    static constexpr double kBulkEraseS = 105.0;

    explicit M25p128(double timeScale) : SpiFlashBase(timeScale), cells_(kBytes) {}
    FlashArray& cells() { return cells_; }
    const FlashArray& cells() const { return cells_; }

  protected:
    std::uint8_t Shift(FlashClock::time_point now) override;
    void Execute(FlashClock::time_point now) override;
    bool WrsrClearsWel() const override { return true; }

  private:
    std::uint32_t Address() const { return bytes_[1] << 16 | bytes_[2] << 8 | bytes_[3]; }
    FlashArray cells_;
};

// MAX II UFM through its SPI interface (16-bit addresses and data, high byte
// first): 03 read, 02 word write, 20 sector erase (sectors 0-FFh and
// 100h-1FFh), 60 erase of both sectors, and the status commands. Addresses
// wrap at 512 words. A word write is finished by the time the chip select
// rises; only erasing keeps the chip busy.
class Ufm : public SpiFlashBase {
  public:
    static constexpr std::uint32_t kWords = 512;
    static constexpr std::uint32_t kSectorWords = 256;
    static constexpr std::uint8_t kSectorErase = 0x20, kChipErase = 0x60;
    static constexpr double kSectorEraseS = 0.5;

    explicit Ufm(double timeScale) : SpiFlashBase(timeScale), cells_(kWords * 2) {}
    std::uint16_t Word(std::uint32_t address) const;
    // Stored image: word i at bytes 2i (high) and 2i + 1 (low).
    FlashArray& cells() { return cells_; }
    const FlashArray& cells() const { return cells_; }

  protected:
    std::uint8_t Shift(FlashClock::time_point now) override;
    void Execute(FlashClock::time_point now) override;
    // The UFM keeps its latch across a status write: the erase sequence
    // write-enable, write-status, sector-erase depends on it.
    bool WrsrClearsWel() const override { return false; }

  private:
    std::uint32_t Address() const { return (bytes_[1] << 8 | bytes_[2]) % kWords; }
    FlashArray cells_;
};

}  // namespace quillon::sim
