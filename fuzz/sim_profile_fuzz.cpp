// The simulated board's profile parser on arbitrary text: a profile is read
// or refused with a reason, never anything else.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/sim_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillon::sim;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto profile = ParseProfile(text, error);
    if (!profile && error.empty()) __builtin_trap();
    if (profile) {
        // A profile read once reads the same when its text is read again.
        std::string again;
        const auto second = ParseProfile(text, again);
        if (!second || second->memoryLimitMiB != profile->memoryLimitMiB ||
            second->faults.failRequest != profile->faults.failRequest)
            __builtin_trap();
    }
    return 0;
}
