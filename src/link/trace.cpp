#include "link/trace.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace quillon::link {

namespace {

constexpr std::size_t kShownBytes = 64;
// Gathered lines are written out at this size, or sooner by time.
constexpr std::size_t kWriteBlock = 64 * 1024;
constexpr auto kWriteInterval = std::chrono::seconds(1);

void AppendHex(std::string& out, unsigned value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i) out += kDigits[(value >> (4 * i)) & 0xF];
}

// `data` holds at least the first bytes that moved (all of them, or the head a
// streamed transfer kept).
void AppendOutcome(std::string& out, std::span<const std::uint8_t> data, const TransferResult& r) {
    if (!r.ok()) {
        out += " -> ERR ";
        out += UsbErrorName(r.error);
        return;
    }
    out += " -> OK ";
    out += std::to_string(r.moved);
    // A backend never reports more than the buffer; guard anyway, the trace must
    // not read past it.
    const std::size_t moved = std::min<std::size_t>(r.moved, data.size());
    if (moved == 0) return;
    out += " data=";
    const std::size_t shown = std::min(moved, kShownBytes);
    for (std::size_t i = 0; i < shown; ++i) AppendHex(out, data[i], 2);
    if (r.moved > kShownBytes) out += "...";
}

class TraceDevice final : public Device {
  public:
    TraceDevice(std::unique_ptr<Device> inner, std::shared_ptr<TraceLog> log)
        : inner_(std::move(inner)), log_(std::move(log)) {}

    TransferResult Control(const SetupPacket& setup, std::span<std::uint8_t> data) override {
        TransferResult r = inner_->Control(setup, data);
        Record(TraceControlLine(setup, data, r), r);
        return r;
    }
    TransferResult BulkOut(std::uint8_t endpoint, std::span<const std::uint8_t> data) override {
        TransferResult r = inner_->BulkOut(endpoint, data);
        Record(TraceBulkLine(endpoint, data, r), r);
        return r;
    }
    TransferResult BulkIn(std::uint8_t endpoint, std::span<std::uint8_t> data) override {
        TransferResult r = inner_->BulkIn(endpoint, data);
        Record(TraceBulkLine(endpoint, data, r), r);
        return r;
    }

    // A streamed transfer is one line, as one call of its length would be: the
    // head of the data is kept as it passes.
    TransferResult BulkOutStream(std::uint8_t endpoint, std::uint32_t length,
                                 const BulkSource& source) override {
        Head head;
        TransferResult r = inner_->BulkOutStream(
            endpoint, length, [&](std::span<std::uint8_t> piece) {
                if (!source(piece)) return false;
                head.Keep(piece);
                return true;
            });
        Record(TraceBulkLine(endpoint, length, head.bytes(), r), r);
        return r;
    }
    TransferResult BulkInStream(std::uint8_t endpoint, std::uint32_t length,
                                const BulkSink& sink) override {
        Head head;
        TransferResult r =
            inner_->BulkInStream(endpoint, length, [&](std::span<const std::uint8_t> piece) {
                head.Keep(piece);
                return sink(piece);
            });
        Record(TraceBulkLine(endpoint, length, head.bytes(), r), r);
        return r;
    }

  private:
    class Head {
      public:
        void Keep(std::span<const std::uint8_t> piece) {
            const std::size_t n = std::min(piece.size(), kShownBytes - size_);
            std::copy_n(piece.begin(), n, bytes_ + size_);
            size_ += n;
        }
        std::span<const std::uint8_t> bytes() const { return {bytes_, size_}; }

      private:
        std::uint8_t bytes_[kShownBytes] = {};
        std::size_t size_ = 0;
    };

    // A failed transfer is often the last thing before a removal or an abort:
    // its line, and all before it, go to the file at once.
    void Record(const std::string& line, const TransferResult& r) {
        log_->Line(line);
        if (!r.ok()) log_->Flush();
    }

    std::unique_ptr<Device> inner_;
    std::shared_ptr<TraceLog> log_;
};

}  // namespace

std::shared_ptr<TraceLog> TraceLog::Open(const std::string& path, std::string& error, bool append,
                                         TraceWrites writes) {
    std::FILE* f = std::fopen(path.c_str(), append ? "a" : "w");
    if (!f) {
        error = "cannot open the trace file \"" + path + "\": " + std::strerror(errno);
        return nullptr;
    }
    // The gathered lines are the only buffer: each write reaches the system at
    // once and its failure is seen where it happens.
    std::setvbuf(f, nullptr, _IONBF, 0);
    return std::shared_ptr<TraceLog>(new TraceLog(f, path, writes));
}

TraceLog::TraceLog(std::FILE* file, std::string path, TraceWrites writes)
    : file_(file), path_(std::move(path)), writes_(writes) {
    if (writes_ == TraceWrites::Gathered) writer_ = std::thread([this] { TimedWrites(); });
}

TraceLog::~TraceLog() {
    std::string error;
    Close(error);
}

void TraceLog::TimedWrites() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!closing_) {
        wake_.wait_for(lock, kWriteInterval, [this] { return closing_; });
        WriteOutLocked();
    }
}

void TraceLog::WriteOutLocked() {
    if (pending_.empty() || !file_) return;
    if (error_.empty()) {
        errno = 0;
        const std::size_t done = std::fwrite(pending_.data(), 1, pending_.size(), file_);
        if (done != pending_.size()) {
            error_ = "cannot write \"" + path_ +
                     "\": " + (errno ? std::strerror(errno) : "write failed");
            std::fprintf(stderr, "wire trace: %s; the trace stops here\n", error_.c_str());
        }
    }
    pending_.clear();
}

void TraceLog::Line(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_ || !error_.empty()) return;
    pending_ += line;
    pending_ += '\n';
    if (writes_ == TraceWrites::EachLine || pending_.size() >= kWriteBlock) WriteOutLocked();
}

void TraceLog::Flush() {
    std::lock_guard<std::mutex> lock(mutex_);
    WriteOutLocked();
}

bool TraceLog::Close(std::string& error) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    wake_.notify_all();
    if (writer_.joinable()) writer_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    WriteOutLocked();
    if (file_) {
        errno = 0;
        if (std::fclose(file_) != 0 && error_.empty()) {
            error_ = "cannot write \"" + path_ +
                     "\": " + (errno ? std::strerror(errno) : "close failed");
            std::fprintf(stderr, "wire trace: %s\n", error_.c_str());
        }
        file_ = nullptr;
    }
    error = error_;
    return error_.empty();
}

std::string TraceControlLine(const SetupPacket& s, std::span<const std::uint8_t> data,
                             const TransferResult& r) {
    std::string out = "CTRL bm=";
    AppendHex(out, s.bmRequestType, 2);
    out += " req=";
    AppendHex(out, s.bRequest, 2);
    out += " val=";
    AppendHex(out, s.wValue, 4);
    out += " idx=";
    AppendHex(out, s.wIndex, 4);
    out += " len=";
    out += std::to_string(s.wLength);
    AppendOutcome(out, data, r);
    return out;
}

std::string TraceBulkLine(std::uint8_t endpoint, std::span<const std::uint8_t> data,
                          const TransferResult& r) {
    return TraceBulkLine(endpoint, data.size(), data, r);
}

std::string TraceBulkLine(std::uint8_t endpoint, std::uint64_t length,
                          std::span<const std::uint8_t> head, const TransferResult& r) {
    std::string out = "BULK ep=";
    AppendHex(out, endpoint, 2);
    out += " len=";
    out += std::to_string(length);
    AppendOutcome(out, head, r);
    return out;
}

std::unique_ptr<Device> MakeTraceDevice(std::unique_ptr<Device> inner,
                                        std::shared_ptr<TraceLog> log) {
    if (!inner || !log) return inner;
    return std::make_unique<TraceDevice>(std::move(inner), std::move(log));
}

std::unique_ptr<Device> MakeTraceDevice(std::unique_ptr<Device> inner, const std::string& path) {
    std::string error;
    return MakeTraceDevice(std::move(inner), TraceLog::Open(path, error, true));
}

}  // namespace quillon::link
