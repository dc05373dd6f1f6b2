#pragma once
// Files feeding a streamed bulk transfer and files filled by one, so that a
// transfer of any length moves through a few megabytes of memory while the
// wire still carries it as one transfer.

#include <chrono>
#include <memory>
#include <cstdint>
#include <span>

#include "features/reporter.h"
#include "link/device.h"
#include "platform/file_io.h"

namespace quillon::features {

// XORs every byte with 0xAA (every 32-bit word with 0xAAAAAAAA); its own inverse.
void MemScramble(std::span<std::uint8_t> data);

// A stopwatch for the time a transfer spends on files, so that the transfer's
// own time can be told apart.
class IoClock {
  public:
    class Lap {
      public:
        explicit Lap(IoClock& clock)
            : clock_(clock), start_(std::chrono::steady_clock::now()) {}
        ~Lap() { clock_.spent_ += std::chrono::steady_clock::now() - start_; }

      private:
        IoClock& clock_;
        std::chrono::steady_clock::time_point start_;
    };
    std::chrono::steady_clock::duration spent() const { return spent_; }

  private:
    std::chrono::steady_clock::duration spent_{};
};

// The source of a write: the file's bytes from its start, zeros once the file
// has ended (a file longer than the transfer is cut), scrambled when asked. A
// read error stops the transfer.
class FileFeed {
  public:
    FileFeed(platform::InputFile& file, bool scramble, ProgressMeter* meter = nullptr)
        : file_(file), scramble_(scramble), meter_(meter) {}
    bool operator()(std::span<std::uint8_t> piece);
    link::BulkSource Source() {
        return [this](std::span<std::uint8_t> piece) { return (*this)(piece); };
    }
    const IoClock& clock() const { return clock_; }

  private:
    platform::InputFile& file_;
    bool scramble_;
    ProgressMeter* meter_;
    bool ended_ = false;
    IoClock clock_;
};

// The sink of a read into a file written beside its target. The transfer runs
// to its end whatever happens to the file (the wire is the same either way);
// a file that could not be created or written is told afterwards.
class FileDrain {
  public:
    FileDrain(platform::ReplacingFile& file, bool scramble, ProgressMeter* meter = nullptr)
        : file_(file), scramble_(scramble), meter_(meter) {}
    bool operator()(std::span<const std::uint8_t> piece);
    link::BulkSink Sink() {
        return [this](std::span<const std::uint8_t> piece) { return (*this)(piece); };
    }
    bool writeFailed() const { return writeFailed_; }
    std::uint64_t written() const { return written_; }
    const IoClock& clock() const { return clock_; }

  private:
    platform::ReplacingFile& file_;
    bool scramble_;
    ProgressMeter* meter_;
    bool writeFailed_ = false;
    std::uint64_t written_ = 0;
    std::unique_ptr<std::uint8_t[]> scrambled_;
    std::size_t scrambledSize_ = 0;
    IoClock clock_;
};

}  // namespace quillon::features
