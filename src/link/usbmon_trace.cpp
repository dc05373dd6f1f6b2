// The wire trace as a capture: every transfer becomes a submission and a
// completion record (link/usbmon.h), both made on the trace's own thread once
// the transfer has returned; the submission keeps the time it was made.

#include <algorithm>
#include <string>

#include "link/trace.h"
#include "link/usbmon.h"

namespace quillon::link {

void AppendCaptureRecords(std::string& out, std::uint64_t urbId, const TransferRecord& r,
                          std::span<const std::uint8_t> data) {
    const bool control = r.kind == TransferRecord::Kind::Control;
    // A record carries OUT data on its submission and IN data on its
    // completion (usbmon::AppendRecord leaves out the other).
    data = data.first(std::min(data.size(), usbmon::kBulkCapture));
    usbmon::Event e;
    e.id = urbId;
    e.transferType = control ? usbmon::kControl : usbmon::kBulk;
    e.endpoint = r.endpoint;
    e.where = r.where;
    e.time = r.start;
    e.length = static_cast<std::uint32_t>(r.length);
    e.setup = control ? &r.setup : nullptr;
    e.data = data;
    usbmon::AppendRecord(out, e);
    e.type = 'C';
    e.time = r.end;
    e.status = usbmon::Status(r.result.error);
    e.length = r.result.moved;
    e.setup = nullptr;
    e.data = data.first(std::min<std::size_t>(data.size(), r.result.moved));
    usbmon::AppendRecord(out, e);
}

}  // namespace quillon::link
