// The configuration stream builders on arbitrary files and options: the first
// byte chooses the layout and options, the rest is the file. The vector path
// and the plain path must build the same stream, of the length announced.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "features/config/config_stream.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

// Buffers kept from run to run: fresh megabytes on every run cost more in
// page faults than the builders themselves.
struct Buffer {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t capacity = 0;
    std::uint8_t* Filled(std::size_t n, std::uint8_t fill) {
        if (n > capacity) {
            bytes.reset(new std::uint8_t[n]);
            capacity = n;
        }
        std::memset(bytes.get(), fill, n);
        return bytes.get();
    }
};
Buffer g_vectors, g_plain, g_wrong, g_untouched;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillon::features;
    if (size == 0) return 0;
    const std::uint8_t choice = data[0];
    ConfigOptions options;
    options.layout = static_cast<ConfigLayout>(choice & 3);
    options.xilinx = (choice & 4) != 0;
    options.bitswap = (choice & 8) != 0;
    options.encrypt = (choice & 16) != 0;
    const std::span<const std::uint8_t> file(data + 1, size - 1);

    const auto length = ConfigStreamLength(file.size(), options);
    Check(length.has_value());  // small files always fit
    // Filled apart, so that a byte either path leaves unwritten shows. Filled
    // and compared by memset and memcmp: a loop here would be instrumented
    // byte by byte and cost a second for the longest streams.
    const std::size_t n = static_cast<std::size_t>(*length);
    std::uint8_t* vectors = g_vectors.Filled(n, 0x5A);
    std::uint8_t* plain = g_plain.Filled(n, 0xA5);
    Check(BuildConfigStream(file, options, {vectors, n}));
    Check(BuildConfigStreamWithoutVectors(file, options, {plain, n}));
    Check(std::memcmp(vectors, plain, n) == 0);

    // The rest does not depend on the layout. It is left out for the one whose
    // streams are all over 4 MiB: a fresh buffer of that size each run costs
    // more in page faults than everything else here.
    if (options.layout == ConfigLayout::TesseraXilinx) return 0;
    const auto stream = ConfigStream::Build(file, options);
    Check(stream && stream->size() == *length);
    Check(std::memcmp(stream->data(), vectors, n) == 0);

    // A buffer of the wrong length is refused and left as it was.
    std::uint8_t* wrong = g_wrong.Filled(n + 1, 0x11);
    Check(!BuildConfigStream(file, options, {wrong, n + 1}));
    Check(std::memcmp(wrong, g_untouched.Filled(n + 1, 0x11), n + 1) == 0);
    return 0;
}
