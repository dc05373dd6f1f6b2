#pragma once
// Raw setup packets against a simulated board, the way a host's USB stack
// would send them; the tests pack by hand so they check the firmware's
// decoding, not the program's request functions.

#include <cstdint>
#include <vector>

#include "sim/sim_board.h"

namespace quillon::test {

struct RawHost {
    sim::SimBoard& board;

    link::TransferResult Out(std::uint8_t req, std::uint16_t value, std::uint16_t index,
                             std::vector<std::uint8_t> data = {}) {
        link::SetupPacket s{link::kVendorOut, req, value, index,
                            static_cast<std::uint16_t>(data.size())};
        return board.Control(s, data);
    }
    // IN request of `length` bytes; the bytes received land in `got`.
    link::TransferResult In(std::uint8_t req, std::uint16_t value, std::uint16_t index,
                            std::uint16_t length, std::vector<std::uint8_t>* got = nullptr) {
        std::vector<std::uint8_t> data(length, 0xEE);
        link::SetupPacket s{link::kVendorIn, req, value, index, length};
        auto r = board.Control(s, data);
        if (got) *got = data;
        return r;
    }
    std::vector<std::uint8_t> InBytes(std::uint8_t req, std::uint16_t value, std::uint16_t index,
                                      std::uint16_t length) {
        std::vector<std::uint8_t> got;
        auto r = In(req, value, index, length, &got);
        return r.ok() ? got : std::vector<std::uint8_t>{};
    }

    static std::uint16_t RegValue(std::uint16_t a, std::uint8_t width) {
        return static_cast<std::uint16_t>(((a & 0x3FC0) << 2) | (a & 0x3F) | (width & 0xC0));
    }
    bool RegWrite(std::uint16_t a, std::uint8_t width, std::uint64_t v) {
        const int n = width == 0 ? 1 : width == 0x40 ? 2 : width == 0x80 ? 4 : 8;
        std::vector<std::uint8_t> d(n);
        for (int i = 0; i < n; ++i) d[i] = static_cast<std::uint8_t>(v >> (8 * i));
        return Out(0xB0, RegValue(a, width), 0, d).ok();
    }
    std::uint64_t RegRead(std::uint16_t a, std::uint8_t width) {
        const int n = width == 0 ? 1 : width == 0x40 ? 2 : width == 0x80 ? 4 : 8;
        auto d = InBytes(0xB0, RegValue(a, width), a & 0x3FC0, static_cast<std::uint16_t>(n));
        std::uint64_t v = 0;
        for (int i = 0; i < static_cast<int>(d.size()); ++i) v |= std::uint64_t{d[i]} << (8 * i);
        return v;
    }
    bool MemCmd(std::uint8_t command, std::uint8_t width = 0) {
        return Out(0xB1, width, 0, {command}).ok();
    }
    bool MemCmdLen(std::uint8_t command, std::uint32_t units) {
        return Out(0xA1, static_cast<std::uint16_t>(units & 0xFFFF),
                   static_cast<std::uint16_t>(command << 8 | ((units >> 16) & 0x3FFF)))
            .ok();
    }
    bool Cfg(std::uint8_t mode) { return Out(0xB2, 0, 0, {mode}).ok(); }
};

}  // namespace quillon::test
