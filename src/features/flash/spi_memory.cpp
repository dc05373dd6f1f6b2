#include "features/flash/spi_memory.h"

#include <array>

#include "features/flash/flash_time.h"
#include "features/long_work.h"
#include "link/vendor_requests.h"

namespace quillon::features {

namespace {

constexpr std::uint16_t kRxData = 0, kTxData = 1, kStatus = 2, kControl = 3, kSlaveSelect = 5;
constexpr std::uint32_t kKeepSelect = 0x400;
constexpr std::uint32_t kTxReady = 0x40;     // ready to take a transmit byte
constexpr std::uint32_t kShiftEmpty = 0x20;  // the byte is fully out

constexpr std::uint8_t kWrsr = 0x01, kProgram = 0x02, kRead = 0x03, kWrdi = 0x04, kRdsr = 0x05,
                       kWren = 0x06, kUfmSectorErase = 0x20, kBulkErase = 0xC7;
constexpr std::uint8_t kWriteInProgress = 0x01;

bool Write32(link::BoardHandle h, std::uint16_t reg, std::uint32_t value) {
    return link::VR_REG_WRITE(h, reg, link::RegWidth::Bits32, value, 0);
}

// Reads the status register until `bit` is set, for at most the byte wait.
bool WaitStatus(link::BoardHandle h, std::uint16_t base, std::uint32_t bit, Reporter& r) {
    const std::int64_t start = Time().NowMs();
    for (;;) {
        std::uint32_t status = 0, high = 0;
        if (!link::VR_REG_READ(h, base + kStatus, link::RegWidth::Bits32, status, high))
            return false;
        if (status & bit) return true;
        if (Time().NowMs() - start >= kSpiByteWaitMs || CancelRequested()) return false;
        r.Pump();
    }
}

// Status reads until the memory's write-in-progress bit clears, for at most
// `limitMs` from the first read.
bool WaitDone(link::BoardHandle h, std::uint16_t base, std::uint8_t ss, int limitMs, Reporter& r) {
    const std::int64_t start = Time().NowMs();
    for (;;) {
        std::uint8_t status = 0;
        if (!SpiReadStatus(h, base, ss, status, r)) return false;
        if (!(status & kWriteInProgress)) return true;
        // A cancel stops the waiting only: the memory finishes what it began.
        if (Time().NowMs() - start >= limitMs || CancelRequested()) return false;
        r.Pump();
    }
}

bool Command(link::BoardHandle h, std::uint16_t base, std::uint8_t ss,
             std::initializer_list<std::uint8_t> bytes, Reporter& r) {
    std::array<std::uint8_t, 8> unused{};
    const std::span<const std::uint8_t> send(bytes.begin(), bytes.size());
    return SpiTransaction(h, base, ss, send, 0, std::span(unused).first(send.size()), r);
}

}  // namespace

bool SpiTransaction(link::BoardHandle h, std::uint16_t base, std::uint8_t ss,
                    std::span<const std::uint8_t> send, std::uint32_t keep,
                    std::span<std::uint8_t> received, Reporter& r) {
    if (!Write32(h, base + kControl, kKeepSelect) || !Write32(h, base + kSlaveSelect, ss))
        return false;
    for (std::size_t i = 0; i < send.size(); ++i) {
        if (!WaitStatus(h, base, kTxReady, r)) return false;
        if (!Write32(h, base + kTxData, send[i])) return false;
        if (!WaitStatus(h, base, kShiftEmpty, r)) return false;
        if (i < 32 && (keep >> i & 1) && i < received.size()) {
            std::uint32_t low = 0, high = 0;
            if (!link::VR_REG_READ(h, base + kRxData, link::RegWidth::Bits8, low, high))
                return false;
            received[i] = static_cast<std::uint8_t>(low);
        }
    }
    return Write32(h, base + kSlaveSelect, 0) && Write32(h, base + kControl, 0);
}

bool SpiWriteEnable(link::BoardHandle h, std::uint16_t base, std::uint8_t ss, Reporter& r) {
    return Command(h, base, ss, {kWren}, r);
}

bool SpiWriteDisable(link::BoardHandle h, std::uint16_t base, std::uint8_t ss, Reporter& r) {
    return Command(h, base, ss, {kWrdi}, r);
}

bool SpiReadStatus(link::BoardHandle h, std::uint16_t base, std::uint8_t ss,
                   std::uint8_t& status, Reporter& r) {
    const std::uint8_t send[] = {kRdsr, 0x00};
    std::uint8_t got[2] = {};
    if (!SpiTransaction(h, base, ss, send, 0b10, got, r)) return false;
    status = got[1];
    return true;
}

bool SpiWriteStatus(link::BoardHandle h, std::uint16_t base, std::uint8_t ss, Reporter& r) {
    return Command(h, base, ss, {kWrsr, 0x00}, r);
}

bool SpiUfmReadWord(link::BoardHandle h, std::uint16_t base, std::uint32_t address,
                    std::uint16_t& data, Reporter& r) {
    const std::uint8_t send[] = {kRead, static_cast<std::uint8_t>(address >> 8),
                                 static_cast<std::uint8_t>(address), 0x00, 0x00};
    std::uint8_t got[5] = {};
    if (!SpiTransaction(h, base, kSpiUfm, send, 0b11000, got, r)) return false;
    data = static_cast<std::uint16_t>(got[3] << 8 | got[4]);
    return true;
}

bool SpiUfmWriteWord(link::BoardHandle h, std::uint16_t base, std::uint32_t address,
                     std::uint16_t data, Reporter& r) {
    // The UFM takes the word as the last byte goes out: no wait.
    return SpiWriteEnable(h, base, kSpiUfm, r) &&
           Command(h, base, kSpiUfm,
                   {kProgram, static_cast<std::uint8_t>(address >> 8),
                    static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(data >> 8),
                    static_cast<std::uint8_t>(data)},
                   r);
}

bool SpiUfmEraseSector(link::BoardHandle h, std::uint16_t base, std::uint32_t address,
                       Reporter& r) {
    return SpiWriteEnable(h, base, kSpiUfm, r) && SpiWriteStatus(h, base, kSpiUfm, r) &&
           Command(h, base, kSpiUfm,
                   {kUfmSectorErase, static_cast<std::uint8_t>(address >> 8),
                    static_cast<std::uint8_t>(address)},
                   r) &&
           WaitDone(h, base, kSpiUfm, kSpiWriteWaitMs, r) && SpiWriteDisable(h, base, kSpiUfm, r);
}

bool SpiFlashReadByte(link::BoardHandle h, std::uint16_t base, std::uint32_t address,
                      std::uint8_t& data, Reporter& r) {
    const std::uint8_t send[] = {kRead, static_cast<std::uint8_t>(address >> 16),
                                 static_cast<std::uint8_t>(address >> 8),
                                 static_cast<std::uint8_t>(address), 0xAA};
    std::uint8_t got[5] = {};
    if (!SpiTransaction(h, base, kSpiM25p128, send, 0b10000, got, r)) return false;
    data = got[4];
    return true;
}

bool SpiFlashWriteByte(link::BoardHandle h, std::uint16_t base, std::uint32_t address,
                       std::uint8_t data, Reporter& r) {
    return SpiWriteEnable(h, base, kSpiM25p128, r) &&
           Command(h, base, kSpiM25p128,
                   {kProgram, static_cast<std::uint8_t>(address >> 16),
                    static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address),
                    data},
                   r) &&
           WaitDone(h, base, kSpiM25p128, kSpiWriteWaitMs, r) &&
           SpiWriteDisable(h, base, kSpiM25p128, r);
}

bool SpiFlashChipErase(link::BoardHandle h, std::uint16_t base, Reporter& r) {
    return SpiWriteEnable(h, base, kSpiM25p128, r) && Command(h, base, kSpiM25p128, {kBulkErase}, r) &&
           WaitDone(h, base, kSpiM25p128, kSpiChipEraseWaitMs, r) &&
           SpiWriteDisable(h, base, kSpiM25p128, r);
}

}  // namespace quillon::features
