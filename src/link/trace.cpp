#include "link/trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <type_traits>
#include <vector>

#include "link/hints.h"
#include "link/usbmon.h"
#include "log/log_file.h"

namespace quillon::link {

namespace {

constexpr std::size_t kShownBytes = 64;
// The trace's thread writes at least this often; while transfers come fast
// it looks every kBusyPoll instead. It is woken by a transfer only when it
// rests and kWakeBytes have gathered, or when the queue is half full: a wake
// from the transfer's thread costs that thread a system call and, on a busy
// machine, often its processor (the woken writer runs in its place), which
// is far more than the line.
constexpr auto kWriteInterval = std::chrono::seconds(1);
constexpr auto kBusyPoll = std::chrono::milliseconds(2);
constexpr std::size_t kWakeBytes = 64 * 1024;
// What a poll that keeps the thread polling has found.
constexpr std::size_t kBusyBytes = 16 * 1024;
// A transfer that finds this much queued waits for it to be written out. A
// text record is about 80 bytes (13000 to the 10 ms at the simulated board's
// fastest), a capture's up to 64 KiB and more.
constexpr std::size_t kQueueBytes = 4u << 20;
constexpr std::size_t kHighWater = kQueueBytes / 2;

// Two hex digits for every byte value.
constexpr std::array<char, 512> kHexPairs = [] {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::array<char, 512> t{};
    for (int i = 0; i < 256; ++i) {
        t[2 * i] = kDigits[i >> 4];
        t[2 * i + 1] = kDigits[i & 0xF];
    }
    return t;
}();

// One trace line, built without allocating or checking each character: the
// trace's thread formats every line of a run, as fast as transfers come.
class LineText {
  public:
    template <std::size_t N>
    void Add(const char (&text)[N]) {
        std::memcpy(buf_ + size_, text, N - 1);
        size_ += N - 1;
    }
    // A text of no known length (an error's name) is cut to what is left.
    void AddCut(std::string_view text) {
        const std::size_t n = std::min(text.size(), kErrorRoom);
        std::memcpy(buf_ + size_, text.data(), n);
        size_ += n;
    }
    void Hex8(std::uint8_t value) {
        std::memcpy(buf_ + size_, &kHexPairs[2 * value], 2);
        size_ += 2;
    }
    void Hex16(std::uint16_t value) {
        Hex8(static_cast<std::uint8_t>(value >> 8));
        Hex8(static_cast<std::uint8_t>(value));
    }
    void Decimal(std::uint64_t value) {
        char digits[20];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value);
        while (n > 0) buf_[size_++] = digits[--n];
    }
    std::string_view view() const { return {buf_, size_}; }

    static constexpr std::size_t kErrorRoom = 16;

  private:
    // The longest line: a control header (41) with a 20-digit length, then
    // " -> OK ", a 10-digit count, " data=", 64 bytes in hex and "...", or
    // " -> ERR " and an error's name.
    static constexpr std::size_t kLongest = 41 + 20 + 7 + 10 + 6 + 2 * kShownBytes + 3;
    char buf_[kLongest + kErrorRoom];
    std::size_t size_ = 0;
};

// `data` holds at least the first bytes that moved (all of them, or the head a
// streamed transfer kept).
void AddOutcome(LineText& out, std::span<const std::uint8_t> data, const TransferResult& r) {
    if (!r.ok()) {
        out.Add(" -> ERR ");
        out.AddCut(UsbErrorName(r.error));
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
    for (std::size_t i = 0; i < shown; ++i) out.Hex8(data[i]);
    if (r.moved > kShownBytes) out.Add("...");
}

void FormatControl(LineText& out, const SetupPacket& s, std::span<const std::uint8_t> data,
                   const TransferResult& r) {
    out.Add("CTRL bm=");
    out.Hex8(s.bmRequestType);
    out.Add(" req=");
    out.Hex8(s.bRequest);
    out.Add(" val=");
    out.Hex16(s.wValue);
    out.Add(" idx=");
    out.Hex16(s.wIndex);
    out.Add(" len=");
    out.Decimal(s.wLength);
    AddOutcome(out, data, r);
}

void FormatBulk(LineText& out, std::uint8_t endpoint, std::uint64_t length,
                std::span<const std::uint8_t> head, const TransferResult& r) {
    out.Add("BULK ep=");
    out.Hex8(endpoint);
    out.Add(" len=");
    out.Decimal(length);
    AddOutcome(out, head, r);
}

// The first bytes of a streamed transfer, kept as they pass.
class Head {
  public:
    explicit Head(std::size_t keep) : keep_(keep) {}
    void Keep(std::span<const std::uint8_t> piece) {
        const std::size_t n = std::min(piece.size(), keep_ - bytes_.size());
        bytes_.insert(bytes_.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n));
    }
    std::span<const std::uint8_t> bytes() const { return bytes_; }

  private:
    std::size_t keep_;
    std::vector<std::uint8_t> bytes_;
};

class TraceDevice final : public Device {
  public:
    TraceDevice(std::unique_ptr<Device> inner, std::shared_ptr<TraceLog> log)
        : inner_(std::move(inner)),
          log_(std::move(log)),
          keep_(log_->KeptBytes()),
          timed_(log_->format() == TraceFormat::Pcap) {}

    TransferResult Control(const SetupPacket& setup, std::span<std::uint8_t> data) override {
        TransferRecord r =
            Begin(TransferRecord::Kind::Control, setup.In() ? 0x80 : 0x00, setup.wLength);
        r.setup = setup;
        r.result = inner_->Control(setup, data);
        End(r, std::span<const std::uint8_t>(data).first(
                   std::min<std::size_t>(data.size(), setup.wLength)));
        return r.result;
    }
    TransferResult BulkOut(std::uint8_t endpoint, std::span<const std::uint8_t> data) override {
        TransferRecord r = Begin(TransferRecord::Kind::Bulk, endpoint, data.size());
        r.result = inner_->BulkOut(endpoint, data);
        End(r, data);
        return r.result;
    }
    TransferResult BulkIn(std::uint8_t endpoint, std::span<std::uint8_t> data) override {
        TransferRecord r = Begin(TransferRecord::Kind::Bulk, endpoint, data.size());
        r.result = inner_->BulkIn(endpoint, data);
        End(r, data);
        return r.result;
    }

    // A streamed transfer is one line, as one call of its length would be: the
    // head of the data is kept as it passes.
    TransferResult BulkOutStream(std::uint8_t endpoint, std::uint32_t length,
                                 const BulkSource& source) override {
        TransferRecord r = Begin(TransferRecord::Kind::Bulk, endpoint, length);
        Head head(keep_);
        r.result = inner_->BulkOutStream(endpoint, length, [&](std::span<std::uint8_t> piece) {
            if (!source(piece)) return false;
            head.Keep(piece);
            return true;
        });
        End(r, head.bytes());
        return r.result;
    }
    TransferResult BulkInStream(std::uint8_t endpoint, std::uint32_t length,
                                const BulkSink& sink) override {
        TransferRecord r = Begin(TransferRecord::Kind::Bulk, endpoint, length);
        Head head(keep_);
        r.result = inner_->BulkInStream(endpoint, length, [&](std::span<const std::uint8_t> piece) {
            head.Keep(piece);
            return sink(piece);
        });
        End(r, head.bytes());
        return r.result;
    }
    // A read in pieces is one line per piece, as the pieces read one by one
    // would be; the reader keeps its transfers in flight meanwhile.
    void BulkInPieces(std::uint8_t endpoint, std::uint64_t length, std::uint32_t piece,
                      const PieceTarget& target) override {
        auto started =
            timed_ ? std::chrono::system_clock::now() : std::chrono::system_clock::time_point{};
        PieceTarget traced;
        traced.buffer = target.buffer;
        traced.done = [&](std::uint64_t index, std::uint8_t* bytes, const TransferResult& result) {
            const std::uint64_t at = index * piece;
            const std::uint64_t n = std::min<std::uint64_t>(piece, length - std::min(at, length));
            TransferRecord r = Begin(TransferRecord::Kind::Bulk, endpoint, n);
            if (timed_) r.start = started;
            r.result = result;
            End(r, bytes ? std::span<const std::uint8_t>(bytes, static_cast<std::size_t>(n))
                         : std::span<const std::uint8_t>());
            if (timed_) started = r.end;
            return target.done(index, bytes, result);
        };
        inner_->BulkInPieces(endpoint, length, piece, traced);
    }
    BusAddress Address() const override { return inner_->Address(); }

  private:
    TransferRecord Begin(TransferRecord::Kind kind, std::uint8_t endpoint, std::uint64_t length) {
        TransferRecord r;
        r.kind = kind;
        r.endpoint = endpoint;
        r.length = length;
        if (timed_) r.start = std::chrono::system_clock::now();
        return r;
    }
    // Only the bytes the record shows are copied: the head of what went out,
    // or of what came in.
    void End(TransferRecord& r, std::span<const std::uint8_t> data) {
        if (timed_) {
            r.end = std::chrono::system_clock::now();
            r.where = inner_->Address();
        }
        std::size_t n = std::min(data.size(), keep_);
        if (r.endpoint & 0x80) n = std::min<std::size_t>(n, r.result.moved);
        log_->Record(r, data.first(n));
    }

    std::unique_ptr<Device> inner_;
    std::shared_ptr<TraceLog> log_;
    const std::size_t keep_;
    const bool timed_;  // a capture's records carry times
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
    const int fd =
        ::open(path.c_str(),
               O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0666);
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
        error = "cannot open the trace file \"" + path +
                "\": " + (why == ENXIO ? "a FIFO without a reader" : std::strerror(why));
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

// A lost trace is told once, where the user reads the run's messages: the log
// when the program keeps one (the panel's window, the runner's standard
// error), else standard error.
namespace {
void TellLoss(const std::string& line) {
    if (!LogFile::FileName().empty())
        LogFile::Write(line);
    else
        Diagnostic(line, true);
}
}  // namespace

// --- The queue ------------------------------------------------------------------

// A record in the queue: what a line shows of its transfer, packed, then for
// a capture when and where it was made, then the data, padded so that the
// next record starts aligned. Small, because the transfer's thread writes
// every byte of it into memory that the trace's thread has just read.
struct Packed {
    TransferRecord::Kind kind;
    std::uint8_t endpoint;
    UsbError error;
    bool timed;
    std::uint32_t moved;
    std::uint64_t length;
    SetupPacket setup;
    std::uint32_t dataBytes;
};
struct Timing {
    std::chrono::system_clock::time_point start, end;
    BusAddress where;
};
static_assert(std::is_trivially_copyable_v<Packed> && std::is_trivially_copyable_v<Timing>);

std::size_t TraceLog::Queue::Bytes(std::size_t dataBytes, bool timed) {
    const std::size_t n = sizeof(Packed) + (timed ? sizeof(Timing) : 0) + dataBytes;
    return (n + 7) & ~std::size_t{7};
}

bool TraceLog::Queue::Fits(std::size_t dataBytes, std::size_t limit) const {
    return used_ == 0 || used_ + Bytes(dataBytes, true) <= limit;
}

void TraceLog::Queue::Push(const TransferRecord& r, bool timed, std::span<const std::uint8_t> data,
                           std::string_view tail) {
    const std::size_t dataBytes = data.size() + tail.size();
    const std::size_t need = used_ + Bytes(dataBytes, timed);
    if (need > capacity_) {
        // Once to the queue's limit; beyond it only for a single large record.
        const std::size_t grown = std::max(need, kQueueBytes);
        std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[grown]);
        if (used_) std::memcpy(bytes.get(), bytes_.get(), used_);
        bytes_ = std::move(bytes);
        capacity_ = grown;
    }
    std::uint8_t* at = bytes_.get() + used_;
    const Packed p{
        r.kind,         r.endpoint, r.result.error, timed,
        r.result.moved, r.length,   r.setup,        static_cast<std::uint32_t>(dataBytes)};
    std::memcpy(at, &p, sizeof p);
    at += sizeof p;
    if (timed) {
        const Timing t{r.start, r.end, r.where};
        std::memcpy(at, &t, sizeof t);
        at += sizeof t;
    }
    if (!data.empty()) std::memcpy(at, data.data(), data.size());
    if (!tail.empty()) std::memcpy(at + data.size(), tail.data(), tail.size());
    used_ = need;
}

template <typename F>
void TraceLog::Queue::ForEach(F&& f) const {
    for (std::size_t at = 0; at < used_;) {
        const std::uint8_t* from = bytes_.get() + at;
        Packed p;
        std::memcpy(&p, from, sizeof p);
        from += sizeof p;
        TransferRecord r;
        r.kind = p.kind;
        r.endpoint = p.endpoint;
        r.result.error = p.error;
        r.result.moved = p.moved;
        r.length = p.length;
        r.setup = p.setup;
        if (p.timed) {
            Timing t;
            std::memcpy(&t, from, sizeof t);
            from += sizeof t;
            r.start = t.start;
            r.end = t.end;
            r.where = t.where;
        }
        f(r, std::span<const std::uint8_t>(from, p.dataBytes));
        at += Bytes(p.dataBytes, p.timed);
    }
}

void TraceLog::Queue::Swap(Queue& other) noexcept {
    std::swap(bytes_, other.bytes_);
    std::swap(used_, other.used_);
    std::swap(capacity_, other.capacity_);
}

// --- The trace ------------------------------------------------------------------

TraceLog::TraceLog(std::FILE* file, std::string path, TraceWrites writes, TraceFormat format)
    : path_(std::move(path)), writes_(writes), format_(format), file_(file) {
    if (writes_ == TraceWrites::Gathered) writer_ = std::thread([this] { TimedWrites(); });
}

TraceLog::~TraceLog() {
    std::string error;
    Close(error);
}

std::size_t TraceLog::KeptBytes() const {
    return format_ == TraceFormat::Pcap ? usbmon::kBulkCapture : kShownBytes;
}

std::size_t TraceLog::WakeAtLocked() const {
    return resting_ ? kWakeBytes : kHighWater;
}

void TraceLog::TimedWrites() {
    std::unique_lock<std::mutex> lock(queueMutex_);
    bool busy = false;
    while (!closing_) {
        resting_ = !busy;
        wake_.wait_for(lock, busy ? std::chrono::milliseconds(kBusyPoll) : kWriteInterval,
                       [this] { return closing_ || queue_.size() >= WakeAtLocked(); });
        resting_ = false;
        if (closing_) break;  // Close() writes the rest
        busy = queue_.size() >= kBusyBytes;
        lock.unlock();
        Drain();
        lock.lock();
    }
}

void TraceLog::Push(const TransferRecord& r, std::span<const std::uint8_t> data,
                    std::string_view tail) {
    std::unique_lock<std::mutex> lock(queueMutex_);
    for (;;) {
        if (closed_ || lost_.load(std::memory_order_relaxed)) return;
        if (queue_.Fits(data.size() + tail.size(), kQueueBytes)) break;
        // The writing has fallen behind: this transfer waits while the queue
        // is written out, rather than lose a line.
        lock.unlock();
        Drain();
        lock.lock();
    }
    const std::size_t wakeAt = WakeAtLocked();
    const bool wasShort = queue_.size() < wakeAt;
    queue_.Push(r, format_ == TraceFormat::Pcap && r.kind != TransferRecord::Kind::Bytes, data,
                tail);
    const bool wake = wasShort && queue_.size() >= wakeAt;
    lock.unlock();
    if (wake) wake_.notify_one();
}

void TraceLog::Record(const TransferRecord& transfer, std::span<const std::uint8_t> data) {
    Push(transfer, data);
    // A failed transfer is often the last thing before a removal or an abort:
    // its line, and all before it, go to the file at once.
    if (writes_ == TraceWrites::EachLine || !transfer.result.ok()) Drain();
}

void TraceLog::Line(std::string_view line) {
    TransferRecord r;
    r.kind = TransferRecord::Kind::Bytes;
    Push(r, {reinterpret_cast<const std::uint8_t*>(line.data()), line.size()}, "\n");
    if (writes_ == TraceWrites::EachLine) Drain();
}

void TraceLog::Append(std::string_view bytes) {
    TransferRecord r;
    r.kind = TransferRecord::Kind::Bytes;
    Push(r, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    if (writes_ == TraceWrites::EachLine) Drain();
}

void TraceLog::Flush() {
    Drain();
}

void TraceLog::Format(const TransferRecord& r, std::span<const std::uint8_t> data) {
    if (r.kind == TransferRecord::Kind::Bytes) {
        text_.append(reinterpret_cast<const char*>(data.data()), data.size());
        return;
    }
    if (format_ == TraceFormat::Pcap) {
        AppendCaptureRecords(text_, ++urbIds_, r, data);
        return;
    }
    LineText line;
    if (r.kind == TransferRecord::Kind::Control)
        FormatControl(line, r.setup, data, r.result);
    else
        FormatBulk(line, r.endpoint, r.length, data, r.result);
    text_.append(line.view());
    text_ += '\n';
}

void TraceLog::Drain() {
    std::string lost;  // told once the locks are let go
    {
        std::lock_guard<std::mutex> writing(writeMutex_);
        {
            std::lock_guard<std::mutex> lock(queueMutex_);
            queue_.Swap(batch_);
        }
        if (batch_.empty()) return;
        if (file_ && error_.empty()) {
            text_.clear();
            batch_.ForEach([this](const TransferRecord& r, std::span<const std::uint8_t> data) {
                Format(r, data);
            });
            errno = 0;
            if (std::fwrite(text_.data(), 1, text_.size(), file_) != text_.size()) {
                error_ = "cannot write \"" + path_ +
                         "\": " + (errno ? std::strerror(errno) : "write failed");
                lost_.store(true, std::memory_order_relaxed);
                lost = error_;
            }
            // A large block (a capture) is not kept for the rest of the run.
            if (text_.capacity() > 4 * kQueueBytes) std::string().swap(text_);
        }
        batch_.Clear();
    }
    if (!lost.empty()) TellLoss("wire trace: " + lost + "; the trace stops here");
}

bool TraceLog::Close(std::string& error) {
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        closing_ = true;
        closed_ = true;  // what is queued now is the rest
    }
    wake_.notify_all();
    if (writer_.joinable()) writer_.join();
    Drain();
    std::string told;
    {
        std::lock_guard<std::mutex> writing(writeMutex_);
        if (file_) {
            errno = 0;
            if (std::fclose(file_) != 0 && error_.empty()) {
                error_ = "cannot write \"" + path_ +
                         "\": " + (errno ? std::strerror(errno) : "close failed");
                told = error_;
            }
            file_ = nullptr;
        }
        error = error_;
    }
    if (!told.empty()) TellLoss("wire trace: " + told);
    return error.empty();
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
    return std::make_unique<TraceDevice>(std::move(inner), std::move(log));
}

std::unique_ptr<Device> MakeTraceDevice(std::unique_ptr<Device> inner, const std::string& path) {
    std::string error;
    return MakeTraceDevice(std::move(inner), TraceLog::Open(path, error, true));
}

}  // namespace quillon::link
