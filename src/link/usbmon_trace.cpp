// The wire trace as a capture: every transfer becomes a submission and a
// completion record (link/usbmon.h). Both are written once the transfer has
// returned; the submission keeps the time it was made.

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "link/trace.h"
#include "link/usbmon.h"

namespace quillon::link {

namespace {

using Clock = std::chrono::system_clock;

// The first bytes of a streamed transfer, kept as they pass.
class Capture {
  public:
    void Keep(std::span<const std::uint8_t> piece) {
        const std::size_t n = std::min(piece.size(), usbmon::kBulkCapture - bytes_.size());
        bytes_.insert(bytes_.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n));
    }
    std::span<const std::uint8_t> bytes() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
};

std::span<const std::uint8_t> Cut(std::span<const std::uint8_t> data, std::size_t n) {
    return data.first(std::min({data.size(), n, usbmon::kBulkCapture}));
}

class PcapTraceDevice final : public Device {
  public:
    PcapTraceDevice(std::unique_ptr<Device> inner, std::shared_ptr<TraceLog> log)
        : inner_(std::move(inner)), log_(std::move(log)) {}

    TransferResult Control(const SetupPacket& setup, std::span<std::uint8_t> data) override {
        const Clock::time_point start = Clock::now();
        const TransferResult r = inner_->Control(setup, data);
        const std::span<const std::uint8_t> stage = data.first(std::min<std::size_t>(
            data.size(), setup.wLength));
        Record(usbmon::kControl, setup.In() ? 0x80 : 0x00, &setup, start, setup.wLength,
               setup.In() ? std::span<const std::uint8_t>{} : stage, r,
               setup.In() ? Cut(stage, r.moved) : std::span<const std::uint8_t>{});
        return r;
    }
    TransferResult BulkOut(std::uint8_t endpoint, std::span<const std::uint8_t> data) override {
        const Clock::time_point start = Clock::now();
        const TransferResult r = inner_->BulkOut(endpoint, data);
        RecordBulk(endpoint, start, data.size(), Cut(data, data.size()), r, {});
        return r;
    }
    TransferResult BulkIn(std::uint8_t endpoint, std::span<std::uint8_t> data) override {
        const Clock::time_point start = Clock::now();
        const TransferResult r = inner_->BulkIn(endpoint, data);
        RecordBulk(endpoint, start, data.size(), {}, r, Cut(data, r.moved));
        return r;
    }
    TransferResult BulkOutStream(std::uint8_t endpoint, std::uint32_t length,
                                 const BulkSource& source) override {
        const Clock::time_point start = Clock::now();
        Capture head;
        const TransferResult r =
            inner_->BulkOutStream(endpoint, length, [&](std::span<std::uint8_t> piece) {
                if (!source(piece)) return false;
                head.Keep(piece);
                return true;
            });
        RecordBulk(endpoint, start, length, head.bytes(), r, {});
        return r;
    }
    TransferResult BulkInStream(std::uint8_t endpoint, std::uint32_t length,
                                const BulkSink& sink) override {
        const Clock::time_point start = Clock::now();
        Capture head;
        const TransferResult r =
            inner_->BulkInStream(endpoint, length, [&](std::span<const std::uint8_t> piece) {
                head.Keep(piece);
                return sink(piece);
            });
        RecordBulk(endpoint, start, length, {}, r, Cut(head.bytes(), r.moved));
        return r;
    }
    BusAddress Address() const override { return inner_->Address(); }

  private:
    void RecordBulk(std::uint8_t endpoint, Clock::time_point start, std::size_t length,
                    std::span<const std::uint8_t> sent, const TransferResult& r,
                    std::span<const std::uint8_t> received) {
        Record(usbmon::kBulk, endpoint, nullptr, start, length, sent, r, received);
    }

    void Record(std::uint8_t type, std::uint8_t endpoint, const SetupPacket* setup,
                Clock::time_point start, std::size_t length, std::span<const std::uint8_t> sent,
                const TransferResult& r, std::span<const std::uint8_t> received) {
        usbmon::Event e;
        e.id = log_->NextUrbId();
        e.transferType = type;
        e.endpoint = endpoint;
        e.where = inner_->Address();
        e.time = start;
        e.length = static_cast<std::uint32_t>(length);
        e.setup = setup;
        e.data = sent;
        records_.clear();
        usbmon::AppendRecord(records_, e);
        e.type = 'C';
        e.time = Clock::now();
        e.status = usbmon::Status(r.error);
        e.length = r.moved;
        e.setup = nullptr;
        e.data = received;
        usbmon::AppendRecord(records_, e);
        log_->Append(records_);
        // As in the text trace: a failure and all before it reach the file at once.
        if (!r.ok()) log_->Flush();
    }

    std::unique_ptr<Device> inner_;
    std::shared_ptr<TraceLog> log_;
    std::string records_;  // kept, so that its room is reused
};

}  // namespace

std::unique_ptr<Device> MakePcapTraceDevice(std::unique_ptr<Device> inner,
                                            std::shared_ptr<TraceLog> log) {
    if (!inner || !log) return inner;
    return std::make_unique<PcapTraceDevice>(std::move(inner), std::move(log));
}

}  // namespace quillon::link
