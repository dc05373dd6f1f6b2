#include "link/trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "link/hints.h"
#include "link/usbmon.h"

namespace quillon::link {

namespace {

constexpr std::size_t kShownBytes = 64;
// Gathered lines are written out at this size, or sooner by time.
constexpr std::size_t kWriteBlock = 64 * 1024;
constexpr auto kWriteInterval = std::chrono::seconds(1);

// One trace line, built without allocating: a transfer's line is formatted
// while the program waits for nothing else.
class LineText {
  public:
    void Add(std::string_view text) {
        const std::size_t n = std::min(text.size(), sizeof(buf_) - size_);
        std::memcpy(buf_ + size_, text.data(), n);
        size_ += n;
    }
    void Hex(unsigned value, int digits) {
        static const char kDigits[] = "0123456789ABCDEF";
        for (int i = digits - 1; i >= 0 && size_ < sizeof(buf_); --i)
            buf_[size_++] = kDigits[(value >> (4 * i)) & 0xF];
    }
    void Decimal(std::uint64_t value) {
        char digits[20];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value);
        while (n > 0 && size_ < sizeof(buf_)) buf_[size_++] = digits[--n];
    }
    std::string_view view() const { return {buf_, size_}; }

  private:
    // The longest line: a bulk header with two 20-digit counts and 64 bytes of data.
    char buf_[256];
    std::size_t size_ = 0;
};

// `data` holds at least the first bytes that moved (all of them, or the head a
// streamed transfer kept).
void AddOutcome(LineText& out, std::span<const std::uint8_t> data, const TransferResult& r) {
    if (!r.ok()) {
        out.Add(" -> ERR ");
        out.Add(UsbErrorName(r.error));
        return;
    }
    out.Add(" -> OK ");
    out.Decimal(r.moved);
    // A backend never reports more than the buffer; guard anyway, the trace must
    // not read past it.
    const std::size_t moved = std::min<std::size_t>(r.moved, data.size());
    if (moved == 0) return;
    out.Add(" data=");
    const std::size_t shown = std::min(moved, kShownBytes);
    for (std::size_t i = 0; i < shown; ++i) out.Hex(data[i], 2);
    if (r.moved > kShownBytes) out.Add("...");
}

void FormatControl(LineText& out, const SetupPacket& s, std::span<const std::uint8_t> data,
                   const TransferResult& r) {
    out.Add("CTRL bm=");
    out.Hex(s.bmRequestType, 2);
    out.Add(" req=");
    out.Hex(s.bRequest, 2);
    out.Add(" val=");
    out.Hex(s.wValue, 4);
    out.Add(" idx=");
    out.Hex(s.wIndex, 4);
    out.Add(" len=");
    out.Decimal(s.wLength);
    AddOutcome(out, data, r);
}

void FormatBulk(LineText& out, std::uint8_t endpoint, std::uint64_t length,
                std::span<const std::uint8_t> head, const TransferResult& r) {
    out.Add("BULK ep=");
    out.Hex(endpoint, 2);
    out.Add(" len=");
    out.Decimal(length);
    AddOutcome(out, head, r);
}

class TraceDevice final : public Device {
  public:
    TraceDevice(std::unique_ptr<Device> inner, std::shared_ptr<TraceLog> log)
        : inner_(std::move(inner)), log_(std::move(log)) {}

    TransferResult Control(const SetupPacket& setup, std::span<std::uint8_t> data) override {
        TransferResult r = inner_->Control(setup, data);
        LineText line;
        FormatControl(line, setup, data, r);
        Record(line, r);
        return r;
    }
    TransferResult BulkOut(std::uint8_t endpoint, std::span<const std::uint8_t> data) override {
        TransferResult r = inner_->BulkOut(endpoint, data);
        RecordBulk(endpoint, data.size(), data, r);
        return r;
    }
    TransferResult BulkIn(std::uint8_t endpoint, std::span<std::uint8_t> data) override {
        TransferResult r = inner_->BulkIn(endpoint, data);
        RecordBulk(endpoint, data.size(), data, r);
        return r;
    }

    // A streamed transfer is one line, as one call of its length would be: the
    // head of the data is kept as it passes.
    TransferResult BulkOutStream(std::uint8_t endpoint, std::uint32_t length,
                                 const BulkSource& source) override {
        Head head;
        TransferResult r =
            inner_->BulkOutStream(endpoint, length, [&](std::span<std::uint8_t> piece) {
                if (!source(piece)) return false;
                head.Keep(piece);
                return true;
            });
        RecordBulk(endpoint, length, head.bytes(), r);
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
        RecordBulk(endpoint, length, head.bytes(), r);
        return r;
    }
    BusAddress Address() const override { return inner_->Address(); }

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
    void Record(const LineText& line, const TransferResult& r) {
        log_->Line(line.view());
        if (!r.ok()) log_->Flush();
    }
    void RecordBulk(std::uint8_t endpoint, std::uint64_t length, std::span<const std::uint8_t> head,
                    const TransferResult& r) {
        LineText line;
        FormatBulk(line, endpoint, length, head, r);
        Record(line, r);
    }

    std::unique_ptr<Device> inner_;
    std::shared_ptr<TraceLog> log_;
};

}  // namespace

TraceFormat TraceFormatFor(std::string_view path) {
    constexpr std::string_view kPcap = ".pcap";
    if (path.size() < kPcap.size()) return TraceFormat::Text;
    const std::string_view end = path.substr(path.size() - kPcap.size());
    for (std::size_t i = 0; i < kPcap.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(end[i])) != kPcap[i]) return TraceFormat::Text;
    }
    return TraceFormat::Pcap;
}

std::shared_ptr<TraceLog> TraceLog::Open(const std::string& path, std::string& error, bool append,
                                         TraceWrites writes) {
    // Opened without waiting: a FIFO nobody reads from is refused (ENXIO)
    // instead of holding the program before it starts; one with a reader
    // takes the trace as it comes.
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | (append ? O_APPEND : O_TRUNC),
                          0666);
    std::FILE* f = nullptr;
    if (fd >= 0) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        f = ::fdopen(fd, append ? "a" : "w");
        if (!f) {
            const int why = errno;
            ::close(fd);
            errno = why;
        }
    }
    if (!f) {
        const int why = errno;
        error = "cannot open the trace file \"" + path + "\": " +
                (why == ENXIO ? "a FIFO without a reader" : std::strerror(why));
        return nullptr;
    }
    // The gathered lines are the only buffer: each write reaches the system at
    // once and its failure is seen where it happens.
    std::setvbuf(f, nullptr, _IONBF, 0);
    // The stream of a descriptor opened for appending starts at offset 0.
    if (append) std::fseek(f, 0, SEEK_END);
    const TraceFormat format = TraceFormatFor(path);
    // A capture appended to goes on after its own file header.
    const bool fresh = !append || std::ftell(f) <= 0;
    std::shared_ptr<TraceLog> log(new TraceLog(f, path, writes, format));
    if (format == TraceFormat::Pcap && fresh) {
        const auto header = usbmon::FileHeader();
        log->Append({reinterpret_cast<const char*>(header.data()), header.size()});
    }
    return log;
}

TraceLog::TraceLog(std::FILE* file, std::string path, TraceWrites writes, TraceFormat format)
    : file_(file), path_(std::move(path)), writes_(writes), format_(format) {
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
            Diagnostic("wire trace: " + error_ + "; the trace stops here", true);
        }
    }
    pending_.clear();
}

void TraceLog::Line(std::string_view line) {
    std::lock_guard<std::mutex> lock(mutex_);
    AddLocked(line, "\n");
}

void TraceLog::Append(std::string_view bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    AddLocked(bytes, {});
}

void TraceLog::AddLocked(std::string_view bytes, std::string_view end) {
    if (!file_ || !error_.empty()) return;
    pending_ += bytes;
    pending_ += end;
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
            Diagnostic("wire trace: " + error_, true);
        }
        file_ = nullptr;
    }
    error = error_;
    return error_.empty();
}

std::string TraceControlLine(const SetupPacket& s, std::span<const std::uint8_t> data,
                             const TransferResult& r) {
    LineText line;
    FormatControl(line, s, data, r);
    return std::string(line.view());
}

std::string TraceBulkLine(std::uint8_t endpoint, std::span<const std::uint8_t> data,
                          const TransferResult& r) {
    return TraceBulkLine(endpoint, data.size(), data, r);
}

std::string TraceBulkLine(std::uint8_t endpoint, std::uint64_t length,
                          std::span<const std::uint8_t> head, const TransferResult& r) {
    LineText line;
    FormatBulk(line, endpoint, length, head, r);
    return std::string(line.view());
}

std::unique_ptr<Device> MakeTraceDevice(std::unique_ptr<Device> inner,
                                        std::shared_ptr<TraceLog> log) {
    if (!inner || !log) return inner;
    if (log->format() == TraceFormat::Pcap) return MakePcapTraceDevice(std::move(inner), std::move(log));
    return std::make_unique<TraceDevice>(std::move(inner), std::move(log));
}

std::unique_ptr<Device> MakeTraceDevice(std::unique_ptr<Device> inner, const std::string& path) {
    std::string error;
    return MakeTraceDevice(std::move(inner), TraceLog::Open(path, error, true));
}

}  // namespace quillon::link
