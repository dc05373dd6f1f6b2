#pragma once
// Files the user names on a page: why a name cannot serve, in the user's
// words, and the box that refuses it. The box keeps the failure text the
// operation has always shown as its first line; the full path tried and the
// reason follow.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_io.h"

namespace quillon::features {

struct NameCheck {
    platform::NameProblem problem = platform::NameProblem::None;
    std::string reason;  // one line; empty when the name serves

    bool ok() const { return problem == platform::NameProblem::None; }
    // Nothing to read under this name: no name, a pattern, no such folder or file.
    bool absent() const;
};

NameCheck CheckNameToRead(const std::string& path);
NameCheck CheckNameToWrite(const std::string& path);

// "<failure>\nﾌｧｲﾙ：<path>\n<reason>" (the reason line left out when empty).
std::string RefusalText(std::string_view failure, const std::string& path,
                        const std::string& reason);

// The lines that say where a free-space check looked and what it found
// (nothing when `free` is unknown).
std::string FreeSpaceLines(const std::string& folder, const std::uint64_t* free,
                           std::uint64_t needed);

}  // namespace quillon::features
