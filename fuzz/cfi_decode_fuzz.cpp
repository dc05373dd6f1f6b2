// The CFI query decoder on arbitrary images: it must refuse or decode, and
// never read outside the image.

#include <cstddef>
#include <cstdint>

#include "features/flash/cfi.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillon::features;
    const CfiDecode d = DecodeCfi({data, size});
    if (d.error == CfiError::None || d.error == CfiError::TooManyRegions) {
        std::size_t n = 0;
        for (const auto& line : CfiReportLines(d.query)) n += line.size();
        if (n == 0) __builtin_trap();  // a decoded query always has lines
    }
    return 0;
}
