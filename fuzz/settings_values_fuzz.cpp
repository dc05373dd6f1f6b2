// Stored settings values on arbitrary text: the integer conversion every
// numeric key goes through, and the USB_IDS list. A value read back from what
// it converts to must be the same value.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "link/usb/usb_backend.h"
#include "platform/settings_store.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto v = quillon::ParseStoredInteger(text)) {
        Check(quillon::ParseStoredInteger(std::to_string(*v)) == v);
    }

    std::vector<std::string> rejected;
    const auto ids = quillon::usb::ParseUsbIds(text, &rejected);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        char entry[16];
        std::snprintf(entry, sizeof entry, "%04x:%04X", ids[i].vid, ids[i].pid);
        const auto back = quillon::usb::ParseUsbIds(entry);
        Check(back.size() == 1 && back[0] == ids[i]);
        for (std::size_t j = 0; j < i; ++j) Check(!(ids[j] == ids[i]));  // no entry twice
    }
    for (const std::string& r : rejected) Check(!r.empty() && text.find(r) != std::string_view::npos);
    return 0;
}
