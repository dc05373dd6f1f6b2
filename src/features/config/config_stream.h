#pragma once
// Configuration streams: what the board feeds to the FPGA, built from the bytes
// of a configuration file. Pure functions, no I/O: the load operations read the
// file and hand its bytes here.
//
// Every length is computed in 64 bits. The board takes one bulk transfer of at
// most 4 GiB - 1 bytes, so a stream longer than that is refused (nullopt), as is
// a file that does not fit 32 bits.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace quillon::features {

// Longest stream the bulk pipe can take in one transfer.
inline constexpr std::uint64_t kMaxConfigStream = 0xFFFFFFFFull;
// Xilinx devices need clocks after the last data bit to reach DONE: the board
// clocks out this many zero bytes behind the file.
inline constexpr std::uint64_t kXilinxTrailer = 65536;
// The Tessera Xilinx loader always streams 4 MiB of 0xFF padding behind the data.
inline constexpr std::uint64_t kTesseraXilinxPad = 4194304;

enum class ConfigLayout {
    Standard,
    TesseraAltera,
    TesseraXilinx,
    TesseraTavel,
};

struct ConfigOptions {
    ConfigLayout layout = ConfigLayout::Standard;
    bool xilinx = false;   // standard layout only
    bool bitswap = false;  // standard layout only
    bool encrypt = false;  // standard, Tessera Altera and Tessera Xilinx
};

// The stream length for a file of `fileLength` bytes; nullopt when the file or the
// stream does not fit 32 bits.
std::optional<std::uint64_t> ConfigStreamLength(std::uint64_t fileLength,
                                                const ConfigOptions& options);

// Writes the stream into `out`, which must be exactly ConfigStreamLength() bytes
// long. Every byte of `out` is written, so it need not be zeroed beforehand.
// Returns false (and writes nothing) when `out` has the wrong length.
bool BuildConfigStream(std::span<const std::uint8_t> file, const ConfigOptions& options,
                       std::span<std::uint8_t> out);
// The same streams built without the vector instructions (the path on hosts that
// lack them); the tests hold both paths to the plain definition of each layout.
bool BuildConfigStreamWithoutVectors(std::span<const std::uint8_t> file,
                                     const ConfigOptions& options, std::span<std::uint8_t> out);

// A built stream, owning its buffer.
class ConfigStream {
  public:
    ConfigStream() = default;
    std::span<const std::uint8_t> bytes() const { return {data_.get(), size_}; }
    const std::uint8_t* data() const { return data_.get(); }
    std::size_t size() const { return size_; }

    // Allocates and builds; nullopt when the stream is too long for one transfer
    // or the memory cannot be had.
    static std::optional<ConfigStream> Build(std::span<const std::uint8_t> file,
                                             const ConfigOptions& options);

  private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t size_ = 0;
};

// Bit reversal of one byte (bit 0 <-> bit 7, 1 <-> 6, 2 <-> 5, 3 <-> 4).
std::uint8_t BitReverse(std::uint8_t b);
// Bit-reverses every byte of `bytes` in place.
void BitReverseInPlace(std::span<std::uint8_t> bytes);

}  // namespace quillon::features
