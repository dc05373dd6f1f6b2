#pragma once
// The host side of the parallel-flash bridge circuit: a 16-bit CFI NOR flash
// (AMD command set) on the FPGA's pins, reached through a few FPGA registers
// and a data FIFO on the memory path (register 2 control, 3 status, 4 data
// word, 5 word address, 6 word count - 1; bulk transfers with one-byte framing
// and memory width code 0). Single bus writes, status reads, the CFI query,
// block and whole-flash erase, programming in 16 KiB chunks and the read-back
// verify. Every operation returns false at the first failed request; nothing
// is retried and nothing is undone.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "features/flash/cfi.h"
#include "features/reporter.h"
#include "link/board_link.h"
#include "platform/file_io.h"

namespace quillon::features {

inline constexpr std::size_t kCfiBufferBytes = 65536;
inline constexpr std::uint32_t kChunkBytes = 16384;

// The progress display the erase and write loops report to: a bar from 0 to
// a maximum, a text, and the time elapsed since the run's start.
class ParFlashDisplay {
  public:
    virtual ~ParFlashDisplay() = default;
    virtual void Range(std::uint32_t maximum) = 0;
    virtual void Position(std::uint32_t position) = 0;
    virtual void Text(const std::string& text) = 0;
    // Shows the time from `startMs` (a FlashTime reading) to now.
    virtual void Elapsed(std::int64_t startMs) = 0;
};

struct ParFlashStatus {
    bool ready = false;  // bit 7: no program or erase running
    bool error = false;  // bit 0: program error
    bool busy = false;   // bit 1: program busy
};

bool ParFlashBusWrite(link::BoardHandle h, std::uint32_t wordAddress, std::uint16_t data);
bool ParFlashReadStatus(link::BoardHandle h, ParFlashStatus& flags);
// The query image into `buffer` (kCfiBufferBytes bytes).
bool ParFlashReadCfi(link::BoardHandle h, std::span<std::uint8_t> buffer);
// Decodes and logs the query. False with nothing logged when the signature is
// missing; false after the lines when the query cannot be used (no erase
// regions, more than four, a truncated image).
bool ParFlashDecodeCfi(std::span<const std::uint8_t> buffer, FlashGeometry& geometry,
                       Reporter& r = DefaultReporter());

bool ParFlashEraseBlock(link::BoardHandle h, std::uint32_t blockWordAddress,
                        std::uint32_t maxSeconds, Reporter& r = DefaultReporter());
// Every block of every region, whatever the data's size.
bool ParFlashEraseAll(link::BoardHandle h, const FlashGeometry& geometry, std::int64_t startMs,
                      ParFlashDisplay& display, Reporter& r = DefaultReporter());

// Programs one chunk; the bulk transfer always carries kChunkBytes from `data`.
bool ParFlashWriteChunk(link::BoardHandle h, std::uint32_t byteAddress, std::uint32_t byteLength,
                        std::uint32_t wordWriteMaxUs, const std::uint8_t* data,
                        Reporter& r = DefaultReporter());
bool ParFlashWriteImage(link::BoardHandle h, const FlashGeometry& geometry, std::int64_t startMs,
                        const std::string& path, ParFlashDisplay& display,
                        Reporter& r = DefaultReporter());
// The same from a data file the caller opened (and so checked) before the
// flash was erased; read from where it stands.
bool ParFlashWriteImage(link::BoardHandle h, const FlashGeometry& geometry, std::int64_t startMs,
                        platform::InputFile& data, ParFlashDisplay& display,
                        Reporter& r = DefaultReporter());

// Where a failed verify found its first difference.
struct VerifyMismatch {
    std::uint32_t address = 0;
    std::uint8_t expected = 0;
    std::uint8_t read = 0;
};

// Reads back and compares; with `dump` the bytes read go to VerifyDumpPath().
bool ParFlashVerify(link::BoardHandle h, const FlashGeometry& geometry, const std::string& path,
                    bool dump, Reporter& r = DefaultReporter(),
                    std::optional<VerifyMismatch>* mismatch = nullptr);
// The same against a data file the caller holds open (the one it wrote from),
// read again from its start.
bool ParFlashVerify(link::BoardHandle h, const FlashGeometry& geometry, platform::InputFile& data,
                    bool dump, Reporter& r = DefaultReporter(),
                    std::optional<VerifyMismatch>* mismatch = nullptr);

// The verify dump: "Flash_Read.bin" in the program's data folder
// ($XDG_DATA_HOME/Quillon7).
std::string VerifyDumpPath();

}  // namespace quillon::features
