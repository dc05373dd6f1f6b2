#pragma once
// The board's non-volatile memories: the M25P128 and the MAX II UFM on the SPI
// core's bus (a "Orrick"-style board) and the 16-bit CFI NOR flash on the
// FPGA's pins (a "Norrin"-style board). They belong to the board, not to the
// FPGA design: they keep their contents when the FPGA is reconfigured and
// when the board loses power. With a flash folder in the profile they also
// outlive the program: read from it when the board is made, written back
// when the board loses power or goes away.

#include <cstdint>
#include <string>
#include <vector>

#include "sim/flash_profile.h"
#include "sim/nor_flash.h"
#include "sim/spi_memories.h"

namespace quillon::sim {

enum class FlashChip { M25p128, Ufm, Nor };

class BoardFlash {
  public:
    explicit BoardFlash(const FlashProfile& profile);

    M25p128& m25p128() { return m25p128_; }
    Ufm& ufm() { return ufm_; }
    NorFlash& nor() { return nor_; }
    const FlashProfile& profile() const { return profile_; }

    // Power-on state of every chip (contents kept).
    void PowerUp();

    FlashArray& Cells(FlashChip chip);
    const FlashArray& Cells(FlashChip chip) const;
    std::vector<std::uint8_t> Contents(FlashChip chip) const;

    // The stored images in the profile's flash folder. Load skips chips whose
    // file is missing; a file of the wrong size fills what it holds. Save
    // writes each file beside its place and renames it in; false when a file
    // could not be written (the folder is created when missing).
    void Load();
    bool Save() const;

    static const char* FileName(FlashChip chip);  // "m25p128.bin", "ufm.bin", "norflash.bin"

  private:
    FlashProfile profile_;
    M25p128 m25p128_;
    Ufm ufm_;
    NorFlash nor_;
};

}  // namespace quillon::sim
