#include "sim/nor_flash.h"

namespace quillon::sim {

namespace {

std::uint64_t TotalBytes(const std::vector<NorRegion>& regions) {
    std::uint64_t total = 0;
    for (const NorRegion& r : regions) total += std::uint64_t{r.blocks} * r.blockBytes;
    return total;
}

// The device size as the query gives it: the power of two that holds every block.
int SizeLog2(const std::vector<NorRegion>& regions) {
    const std::uint64_t total = TotalBytes(regions);
    int n = 0;
    while ((1ull << n) < total) ++n;
    return n;
}

}  // namespace

std::vector<std::uint16_t> NorQueryTable(const std::vector<NorRegion>& regions) {
    std::vector<std::uint16_t> q(0x80, 0);
    q[0x10] = 'Q';
    q[0x11] = 'R';
    q[0x12] = 'Y';
    q[0x13] = 0x02;  // primary command set: AMD
    q[0x14] = 0x00;
    const auto pri = static_cast<std::uint16_t>(regions.size() <= 4 ? 0x40 : 0x2D + 4 * regions.size());
    q[0x15] = pri;
    q[0x1B] = 0x27;  // Vcc 2.7 V .. 3.6 V
    q[0x1C] = 0x36;
    q[0x1F] = NorFlash::kWordProgramTypLog2Us;
    q[0x20] = 0x00;  // no buffer programming
    q[0x21] = NorFlash::kBlockEraseTypLog2Ms;
    q[0x22] = NorFlash::kChipEraseTypLog2Ms;
    q[0x23] = NorFlash::kWordProgramMaxLog2;
    q[0x24] = 0x00;
    q[0x25] = NorFlash::kBlockEraseMaxLog2;
    q[0x26] = NorFlash::kChipEraseMaxLog2;
    q[0x27] = static_cast<std::uint16_t>(SizeLog2(regions));
    q[0x28] = 0x02;  // x8/x16 interface
    q[0x2C] = static_cast<std::uint16_t>(regions.size());
    for (std::size_t i = 0; i < regions.size(); ++i) {
        const std::uint32_t blocks = regions[i].blocks - 1;
        const std::uint32_t units = regions[i].blockBytes / 256;
        const std::size_t at = 0x2D + 4 * i;
        if (at + 3 >= q.size()) q.resize(at + 4, 0);
        q[at] = blocks & 0xFF;
        q[at + 1] = (blocks >> 8) & 0xFF;
        q[at + 2] = units & 0xFF;
        q[at + 3] = (units >> 8) & 0xFF;
    }
    if (std::size_t{pri} + 0x0D > q.size()) q.resize(std::size_t{pri} + 0x0D, 0);
    q[pri] = 'P';
    q[pri + 1] = 'R';
    q[pri + 2] = 'I';
    q[pri + 3] = '1';
    q[pri + 4] = '3';
    q[pri + 0x0C] = NorFlash::kPageModeByte;
    for (int w = 0; w < 4; ++w)
        q[0x61 + w] = static_cast<std::uint16_t>(NorFlash::kUniqueCode >> (16 * w));
    return q;
}

NorFlash::NorFlash(const FlashProfile& profile)
    : regions_(profile.norRegions),
      timeScale_(profile.timeScale),
      eraseFailAt_(profile.norEraseFailAt),
      programFailAt_(profile.norProgramFailAt),
      cells_(1ull << SizeLog2(profile.norRegions)),
      query_(NorQueryTable(profile.norRegions)) {}

void NorFlash::PowerUp() {
    mode_ = Mode::Array;
    step_ = Step::Idle;
    busyUntil_ = {};
    stuck_ = false;
}

std::pair<std::uint64_t, std::uint64_t> NorFlash::BlockOf(std::uint64_t a) const {
    std::uint64_t start = 0;
    for (const NorRegion& r : regions_) {
        const std::uint64_t end = start + std::uint64_t{r.blocks} * r.blockBytes;
        if (a < end) return {start + (a - start) / r.blockBytes * r.blockBytes, r.blockBytes};
        start = end;
    }
    // Past the last block (the power-of-two size holds more than the blocks):
    // nothing there erases.
    return {a, 0};
}

bool NorFlash::FailsAt(const std::optional<std::uint32_t>& failAt, std::uint64_t blockStart,
                       std::uint64_t blockLength) const {
    return failAt && *failAt >= blockStart && *failAt < blockStart + blockLength;
}

void NorFlash::BusyFor(Clock::time_point at, double seconds) {
    busyUntil_ = at + std::chrono::duration_cast<Clock::duration>(
                          std::chrono::duration<double>(seconds * timeScale_));
}

void NorFlash::BusWrite(std::uint32_t wordAddress, std::uint16_t data, Clock::time_point at) {
    const std::uint32_t word = wordAddress % words();
    const std::uint32_t low = wordAddress & 0x7FF;
    const std::uint8_t d = data & 0xFF;
    if (Busy(at)) {
        // Only a reset gets through, and only to a chip whose operation failed.
        if (stuck_ && d == 0xF0) PowerUp();
        return;
    }
    if (step_ == Step::Program) {
        step_ = Step::Idle;
        const std::uint64_t a = std::uint64_t{word} * 2;
        const auto [start, length] = BlockOf(a);
        if (FailsAt(programFailAt_, start, length)) {
            stuck_ = true;
            return;
        }
        const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(data & 0xFF),
                                       static_cast<std::uint8_t>(data >> 8)};
        cells_.Program(a, bytes);
        BusyFor(at, (1 << kWordProgramTypLog2Us) * 1e-6);
        return;
    }
    if (d == 0xF0) {
        mode_ = Mode::Array;
        step_ = Step::Idle;
        return;
    }
    if (mode_ != Mode::Array) return;  // query and identification leave by reset only
    switch (step_) {
        case Step::Idle:
            if (d == 0x98 && (wordAddress & 0xFF) == 0x55)
                mode_ = Mode::Query;
            else if (low == 0x555 && d == 0xAA)
                step_ = Step::Unlocked1;
            return;
        case Step::Unlocked1:
            step_ = low == 0x2AA && d == 0x55 ? Step::Unlocked2 : Step::Idle;
            return;
        case Step::Unlocked2:
            step_ = Step::Idle;
            if (low != 0x555) return;
            if (d == 0xA0) step_ = Step::Program;
            if (d == 0x80) step_ = Step::EraseSetup;
            if (d == 0x90) mode_ = Mode::Identify;
            return;
        case Step::EraseSetup:
            step_ = low == 0x555 && d == 0xAA ? Step::Erase1 : Step::Idle;
            return;
        case Step::Erase1:
            step_ = low == 0x2AA && d == 0x55 ? Step::Erase2 : Step::Idle;
            return;
        case Step::Erase2: {
            step_ = Step::Idle;
            if (d == 0x30) {
                const auto [start, length] = BlockOf(std::uint64_t{word} * 2);
                if (FailsAt(eraseFailAt_, start, length)) {
                    stuck_ = true;
                    return;
                }
                cells_.Erase(start, length);
                BusyFor(at, (1 << kBlockEraseTypLog2Ms) * 1e-3);
            } else if (d == 0x10 && low == 0x555) {
                std::uint64_t start = 0;
                for (const NorRegion& r : regions_) {
                    for (std::uint32_t b = 0; b < r.blocks; ++b, start += r.blockBytes) {
                        if (FailsAt(eraseFailAt_, start, r.blockBytes)) {
                            stuck_ = true;
                            return;
                        }
                    }
                }
                cells_.Erase(0, cells_.size());
                BusyFor(at, (1ull << kChipEraseTypLog2Ms) * 1e-3);
            }
            return;
        }
        case Step::Program:
            return;
    }
}

std::uint16_t NorFlash::BusRead(std::uint32_t wordAddress) const {
    switch (mode_) {
        case Mode::Query:
            return wordAddress < query_.size() ? query_[wordAddress] : 0;
        case Mode::Identify:
            return (wordAddress & 0xFF) == 0 ? kManufacturer
                   : (wordAddress & 0xFF) == 1 ? kDevice
                                               : 0;
        case Mode::Array:
            break;
    }
    const std::uint64_t a = std::uint64_t{wordAddress % words()} * 2;
    return static_cast<std::uint16_t>(cells_.ReadByte(a) | cells_.ReadByte(a + 1) << 8);
}

std::uint32_t NorFlash::ReadSequential(std::uint32_t wordAddress,
                                       std::span<std::uint8_t> out) const {
    const auto words = static_cast<std::uint32_t>((out.size() + 1) / 2);
    if (mode_ == Mode::Array) {
        // Array data is the cell array itself, words low byte first.
        cells_.Read(std::uint64_t{wordAddress % this->words()} * 2, out);
        return wordAddress + words;
    }
    for (std::size_t i = 0; i < out.size(); i += 2, ++wordAddress) {
        const std::uint16_t w = BusRead(wordAddress);
        out[i] = static_cast<std::uint8_t>(w & 0xFF);
        if (i + 1 < out.size()) out[i + 1] = static_cast<std::uint8_t>(w >> 8);
    }
    return wordAddress;
}

}  // namespace quillon::sim
