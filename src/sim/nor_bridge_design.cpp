#include <algorithm>

#include "sim/bridge_designs.h"

namespace quillon::sim {

namespace {

constexpr std::uint16_t kControlReg = 2;
constexpr std::uint16_t kStatusReg = 3;
constexpr std::uint16_t kDataReg = 4;
constexpr std::uint16_t kAddressReg = 5;
constexpr std::uint16_t kCountReg = 6;

constexpr std::uint8_t kBusWrite = 0x01;
constexpr std::uint8_t kReadStart = 0x02;
constexpr std::uint8_t kProgramStart = 0x04;
constexpr std::uint8_t kReadEnd = 0x20;
constexpr std::uint8_t kFifoOpen = 0x80;

constexpr std::uint8_t kStatusError = 0x01;
constexpr std::uint8_t kStatusBusy = 0x02;
constexpr std::uint8_t kStatusReady = 0x80;

}  // namespace

NorBridgeDesign::NorBridgeDesign(DesignContext& context) : nor_(context.Flash().nor()) {
    fifo_.reserve(kFifoBytes);
}

std::uint64_t NorBridgeDesign::RegRead(std::uint16_t address, int bytes) {
    const std::uint64_t mask = bytes >= 8 ? ~0ull : (1ull << (8 * bytes)) - 1;
    if (address != kStatusReg) return Plain(address) & mask;
    const Clock::time_point now = Clock::now();
    Advance(now);
    std::uint8_t status = 0;
    if (programError_) status |= kStatusError;
    if (programming_ || programError_) status |= kStatusBusy;
    if (!nor_.Busy(now)) status |= kStatusReady;
    return status & mask;
}

void NorBridgeDesign::RegWrite(std::uint16_t address, int bytes, std::uint64_t value) {
    StorePlain(address, bytes, value);
    if (address != kControlReg) return;
    const Clock::time_point now = Clock::now();
    Advance(now);
    const auto next = static_cast<std::uint8_t>(value);
    const std::uint8_t rising = next & ~control_;
    control_ = next;
    const auto reg32 = [this](std::uint16_t a) { return static_cast<std::uint32_t>(Plain(a)); };
    if (rising & kBusWrite) nor_.BusWrite(reg32(kAddressReg), Plain(kDataReg) & 0xFFFF, now);
    if (rising & kReadStart) {
        reading_ = true;
        readAddress_ = reg32(kAddressReg);
    }
    if (rising & kReadEnd) reading_ = false;
    if (rising & kProgramStart) {
        // The words come from the FIFO as it stands; what it lacks reads FFFF.
        jobWords_ = std::min<std::uint32_t>(reg32(kCountReg), kFifoBytes / 2 - 1) + 1;
        jobData_.assign(std::size_t{jobWords_} * 2, 0xFF);
        std::copy_n(fifo_.begin(), std::min(fifo_.size(), jobData_.size()), jobData_.begin());
        jobAddress_ = reg32(kAddressReg);
        jobNext_ = 0;
        jobTime_ = now;
        programming_ = true;
        programError_ = false;
        Advance(now);
    }
}

void NorBridgeDesign::Advance(Clock::time_point now) {
    // The bridge programs one word after the other, each as soon as the
    // flash is ready for it, without waiting for anyone to look.
    while (programming_) {
        if (nor_.Failed()) {
            programming_ = false;
            programError_ = true;
            return;
        }
        jobTime_ = std::max(jobTime_, nor_.BusyUntil());
        if (jobTime_ > now) return;
        if (jobNext_ == jobWords_) {
            programming_ = false;
            return;
        }
        const std::uint16_t word =
            static_cast<std::uint16_t>(jobData_[2 * jobNext_] | jobData_[2 * jobNext_ + 1] << 8);
        nor_.BusWrite(0x555, 0xAAAA, jobTime_);
        nor_.BusWrite(0x2AA, 0x5555, jobTime_);
        nor_.BusWrite(0x555, 0xA0A0, jobTime_);
        nor_.BusWrite(jobAddress_ + jobNext_, word, jobTime_);
        ++jobNext_;
    }
}

void NorBridgeDesign::Halt() {
    Advance(Clock::now());
    programming_ = false;
}

void NorBridgeDesign::MemBegin(const sim::MemBegin& begin) {
    memOpen_ = true;
    memDirection_ = begin.direction;
    if (begin.direction == MemDirection::Write) fifo_.clear();
}

std::uint32_t NorBridgeDesign::MemWrite(std::span<const std::uint8_t> bytes) {
    // The FIFO takes data only while the control register opens it, and
    // holds one chunk.
    if (!memOpen_ || !(control_ & kFifoOpen)) return 0;
    const std::size_t n = std::min(bytes.size(), kFifoBytes - fifo_.size());
    fifo_.insert(fifo_.end(), bytes.begin(), bytes.begin() + n);
    return static_cast<std::uint32_t>(n);
}

std::uint32_t NorBridgeDesign::MemRead(std::span<std::uint8_t> out) {
    if (!memOpen_ || !reading_) return 0;
    readAddress_ = nor_.ReadSequential(readAddress_, out);
    return static_cast<std::uint32_t>(out.size());
}

}  // namespace quillon::sim
