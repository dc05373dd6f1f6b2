#pragma once
// The profile keys of the board's flash memories and of the designs that reach
// them (the SPI core of the user design, the serial-flash and parallel-flash
// bridges). docs/manual/simulated-board.html lists them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::sim {

// One erase-block region of the parallel NOR flash, in address order.
struct NorRegion {
    std::uint32_t blocks = 0;
    std::uint32_t blockBytes = 0;  // a multiple of 256
    bool operator==(const NorRegion&) const = default;
};

// Where the serial-flash bridge's soft CPU reports a hardware error (0xEE).
enum class SerBridgeFault { None, Erase, EraseCheck, Write, Verify };

struct FlashProfile {
    // Every busy time of the chips and of the soft CPU is its datasheet time
    // multiplied by this; 0 finishes everything at once, 1 is a real board.
    double timeScale = 0.02;
    // Folder of the chips' contents (m25p128.bin, ufm.bin, norflash.bin): read
    // when the board is made, written when it loses power or goes away. Empty:
    // the chips start erased and nothing is written.
    std::string dir;
    // Base register of the user design's SPI core; nullopt = no core.
    std::optional<std::uint16_t> spiCoreBase = 24;
    // The NOR flash's erase regions (a 64 Mbit bottom-boot part by default).
    std::vector<NorRegion> norRegions = {{8, 8192}, {127, 65536}};
    // Byte addresses whose block fails to erase (never becomes ready) or to
    // program (error while busy).
    std::optional<std::uint32_t> norEraseFailAt;
    std::optional<std::uint32_t> norProgramFailAt;
    SerBridgeFault serBridgeFault = SerBridgeFault::None;
};

// Applies one "key = value" line of a profile when the key is one of the
// flash keys. Returns false for another key; sets `error` (and returns true)
// when the key is ours but the value does not fit.
bool ParseFlashKey(std::string_view key, std::string_view value, FlashProfile& flash,
                   std::string& error);

// "8x8K,127x64K" -> regions; nullopt for anything else.
std::optional<std::vector<NorRegion>> ParseNorRegions(std::string_view text);

}  // namespace quillon::sim
