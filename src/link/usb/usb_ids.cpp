// The USB_IDS setting: pure text handling, kept apart from libusb.

#include <cctype>
#include <unordered_set>

#include "link/usb/usb_backend.h"

namespace quillon::usb {

namespace {

std::optional<unsigned> ParseHex16(std::string_view s) {
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
    if (s.empty() || s.size() > 4) return std::nullopt;
    unsigned v = 0;
    for (char ch : s) {
        const int d = std::isdigit(static_cast<unsigned char>(ch))
                          ? ch - '0'
                          : (std::isxdigit(static_cast<unsigned char>(ch))
                                 ? std::tolower(static_cast<unsigned char>(ch)) - 'a' + 10
                                 : -1);
        if (d < 0) return std::nullopt;
        v = v * 16 + static_cast<unsigned>(d);
    }
    return v;
}

}  // namespace

std::vector<UsbId> ParseUsbIds(std::string_view text, std::vector<std::string>* rejected) {
    std::vector<UsbId> ids;
    // Seen pairs by value: a long text of distinct entries stays linear.
    std::unordered_set<std::uint32_t> seen;
    auto separator = [](char c) {
        return c == ',' || c == ';' || std::isspace(static_cast<unsigned char>(c));
    };
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && separator(text[i])) ++i;
        std::size_t j = i;
        while (j < text.size() && !separator(text[j])) ++j;
        if (j == i) break;
        const std::string_view entry = text.substr(i, j - i);
        i = j;
        const std::size_t colon = entry.find(':');
        std::optional<unsigned> vid, pid;
        if (colon != std::string_view::npos) {
            vid = ParseHex16(entry.substr(0, colon));
            pid = ParseHex16(entry.substr(colon + 1));
        }
        if (vid && pid) {
            const UsbId id{static_cast<std::uint16_t>(*vid), static_cast<std::uint16_t>(*pid)};
            if (seen.insert(static_cast<std::uint32_t>(id.vid) << 16 | id.pid).second)
                ids.push_back(id);
        } else if (rejected) {
            rejected->emplace_back(entry);
        }
    }
    return ids;
}

}  // namespace quillon::usb
