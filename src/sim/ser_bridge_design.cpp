#include <algorithm>
#include <vector>

#include "sim/bridge_designs.h"

namespace quillon::sim {

namespace {

constexpr std::uint16_t kStartAddressReg = 0;
constexpr std::uint16_t kProgressReg = 8;
constexpr std::uint16_t kCommandReg = 16;
constexpr std::uint16_t kPhaseReg = 20;
constexpr std::size_t kPiece = 1u << 16;

// The soft CPU writes the flash page by page.
constexpr double kWriteS = (M25p128::kBytes / M25p128::kPage) * M25p128::kPageProgramS;

}  // namespace

SerBridgeDesign::SerBridgeDesign(DesignContext& context) : context_(context) {}

SerBridgeDesign::Clock::duration SerBridgeDesign::Scaled(double seconds) const {
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(seconds * context_.Flash().profile().timeScale));
}

std::uint64_t SerBridgeDesign::RegRead(std::uint16_t address, int bytes) {
    const std::uint64_t mask = bytes >= 8 ? ~0ull : (1ull << (8 * bytes)) - 1;
    if (address == kPhaseReg) {
        Advance(Clock::now());
        return phase_ & mask;
    }
    if (address == kProgressReg) {
        Advance(Clock::now());
        return progress_ & mask;
    }
    return Plain(address) & mask;
}

void SerBridgeDesign::RegWrite(std::uint16_t address, int bytes, std::uint64_t value) {
    StorePlain(address, bytes, value);
    if (address != kCommandReg || halted_) return;
    const Clock::time_point now = Clock::now();
    Advance(now);
    switch (value & 0xFF) {
        case 1:
            job_ = Job::Erase;
            break;
        case 2:
            job_ = Job::Write;
            copied_ = 0;
            break;
        default:
            return;  // the program knows no other command
    }
    jobStart_ = now;
    progress_ = 0;
    Advance(now);
}

void SerBridgeDesign::Halt() {
    if (halted_) return;
    Advance(Clock::now());
    halted_ = true;
}

void SerBridgeDesign::CopyUpTo(std::uint64_t bytes) {
    bytes = std::min<std::uint64_t>(bytes, kSsramBytes) / M25p128::kPage * M25p128::kPage;
    FlashArray& flash = context_.Flash().m25p128().cells();
    std::vector<std::uint8_t> piece(kPiece);
    while (copied_ < bytes) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, bytes - copied_));
        ssram_.Read(copied_, std::span(piece).first(n));
        flash.Program(copied_, std::span(piece).first(n));
        copied_ += n;
    }
}

bool SerBridgeDesign::FlashMatches(bool blank) const {
    const FlashArray& flash = context_.Flash().m25p128().cells();
    std::vector<std::uint8_t> a(kPiece), b(kPiece, 0xFF);
    for (std::uint64_t at = 0; at < kSsramBytes; at += kPiece) {
        flash.Read(at, a);
        if (!blank) ssram_.Read(at, b);
        if (a != b) return false;
    }
    return true;
}

void SerBridgeDesign::Advance(Clock::time_point now) {
    if (halted_) return;
    const SerBridgeFault fault = context_.Flash().profile().serBridgeFault;
    const auto fail = [&] {
        phase_ = kHardwareError;
        job_ = Job::Idle;
    };
    // Runs the phases that have finished by `now`, one after the other.
    while (job_ != Job::Idle) {
        const auto fraction = [&](double seconds) {
            const auto length = Scaled(seconds);
            if (length.count() <= 0) return 1.0;
            return std::min(1.0, std::chrono::duration<double>(now - jobStart_) /
                                     std::chrono::duration<double>(length));
        };
        const auto progress = [](double f) { return static_cast<std::uint16_t>(f * 0xFFFF); };
        switch (job_) {
            case Job::Erase: {
                const double f = fraction(M25p128::kBulkEraseS);
                if (fault == SerBridgeFault::Erase && f >= 0.5) return fail();
                if (f < 1.0) return;
                context_.Flash().m25p128().cells().Erase(0, M25p128::kBytes);
                phase_ = 2;
                jobStart_ += Scaled(M25p128::kBulkEraseS);
                job_ = Job::EraseCheck;
                break;
            }
            case Job::EraseCheck: {
                const double f = fraction(kEraseCheckS);
                if (fault == SerBridgeFault::EraseCheck && f >= 0.5) return fail();
                if (f < 1.0) return;
                if (!FlashMatches(true)) return fail();
                phase_ = 4;
                job_ = Job::Idle;
                break;
            }
            case Job::Write: {
                const double f = fraction(kWriteS);
                const double upTo = fault == SerBridgeFault::Write ? std::min(f, 0.5) : f;
                CopyUpTo(static_cast<std::uint64_t>(upTo * kSsramBytes));
                if (fault == SerBridgeFault::Write && f >= 0.5) return fail();
                progress_ = progress(f);
                if (f < 1.0) return;
                CopyUpTo(kSsramBytes);
                phase_ = 6;
                progress_ = 0;
                jobStart_ += Scaled(kWriteS);
                job_ = Job::Verify;
                break;
            }
            case Job::Verify: {
                const double f = fraction(kVerifyS);
                if (fault == SerBridgeFault::Verify && f >= 0.5) return fail();
                progress_ = progress(f);
                if (f < 1.0) return;
                if (!FlashMatches(false)) return fail();
                phase_ = 7;
                progress_ = 0xFFFF;
                job_ = Job::Idle;
                break;
            }
            case Job::Idle:
                break;
        }
    }
}

void SerBridgeDesign::MemBegin(const sim::MemBegin& begin) {
    (void)begin;
    memOpen_ = true;
    cursor_ = Plain(kStartAddressReg) & 0xFFFFFFFFull;
}

SerBridgeDesign::Window SerBridgeDesign::MemWindow(std::size_t n) {
    // Only the SSRAM window holds what the memory path moves; the bridge
    // takes the rest of a write and drops it, and reads 0 there.
    const std::uint64_t end = cursor_ + n;
    const std::uint64_t lo = std::max<std::uint64_t>(cursor_, kSsramBase);
    const std::uint64_t hi = std::min<std::uint64_t>(end, std::uint64_t{kSsramBase} + kSsramBytes);
    Window w;
    if (lo < hi) w = {lo - cursor_, lo - kSsramBase, static_cast<std::size_t>(hi - lo)};
    cursor_ = end;
    return w;
}

std::uint32_t SerBridgeDesign::MemWrite(std::span<const std::uint8_t> bytes) {
    if (!memOpen_) return 0;
    const Window w = MemWindow(bytes.size());
    if (w.length) ssram_.Write(w.ssram, bytes.subspan(w.offset, w.length));
    return static_cast<std::uint32_t>(bytes.size());
}

std::uint32_t SerBridgeDesign::MemRead(std::span<std::uint8_t> out) {
    if (!memOpen_) return 0;
    std::fill(out.begin(), out.end(), 0);
    const Window w = MemWindow(out.size());
    if (w.length) ssram_.Read(w.ssram, out.subspan(w.offset, w.length));
    return static_cast<std::uint32_t>(out.size());
}

}  // namespace quillon::sim
