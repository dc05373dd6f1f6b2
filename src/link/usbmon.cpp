#include "link/usbmon.h"

#include <cerrno>
#include <cstring>

namespace quillon::link::usbmon {

namespace {

// URB flags as the kernel sets them: the direction of the data stage.
constexpr std::uint32_t kUrbDirIn = 0x0200;

class Writer {
  public:
    explicit Writer(std::uint8_t* at) : at_(at) {}
    void U8(std::uint8_t v) { *at_++ = v; }
    void U16(std::uint16_t v) { Little(v, 2); }
    void U32(std::uint32_t v) { Little(v, 4); }
    void U64(std::uint64_t v) { Little(v, 8); }
    void Bytes(const std::uint8_t* b, std::size_t n) {
        std::memcpy(at_, b, n);
        at_ += n;
    }
    void Zeros(std::size_t n) {
        std::memset(at_, 0, n);
        at_ += n;
    }

  private:
    void Little(std::uint64_t v, int n) {
        for (int i = 0; i < n; ++i) *at_++ = static_cast<std::uint8_t>(v >> (8 * i));
    }
    std::uint8_t* at_;
};

}  // namespace

std::array<std::uint8_t, kFileHeaderBytes> FileHeader() {
    std::array<std::uint8_t, kFileHeaderBytes> h{};
    Writer w(h.data());
    w.U32(0xA1B2C3D4);  // microsecond time stamps
    w.U16(2);
    w.U16(4);
    w.U32(0);  // time zone: UTC
    w.U32(0);  // accuracy
    w.U32(kSnapLength);
    w.U32(kLinkType);
    return h;
}

std::int32_t Status(UsbError e) {
    switch (e) {
        case UsbError::None:
            return 0;
        case UsbError::Stall:
            return -EPIPE;
        case UsbError::NoDevice:
            return -ENODEV;
        case UsbError::Timeout:
            return -ETIMEDOUT;
        case UsbError::Overflow:
            return -EOVERFLOW;
        case UsbError::Cancelled:
            return -ENOENT;
        case UsbError::Io:
            return -EPROTO;
    }
    return -EPROTO;
}

void AppendRecord(std::string& out, const Event& e) {
    const bool submit = e.type == 'S';
    const bool in = (e.endpoint & 0x80) != 0;
    // What a record can carry: OUT data on submission, IN data on completion.
    // usbmon marks the other case ('<' an IN submission, '>' an OUT completion).
    const bool carries = submit != in;
    const std::span<const std::uint8_t> data = carries ? e.data : std::span<const std::uint8_t>{};
    char dataFlag = 0;
    if (!carries) dataFlag = submit ? '<' : '>';
    const auto captured = static_cast<std::uint32_t>(data.size());
    // The length the record would have had uncut: the bytes of the transfer
    // that this record stands for.
    const std::uint32_t whole = carries ? e.length : captured;

    const auto since = e.time.time_since_epoch();
    const auto sec = std::chrono::duration_cast<std::chrono::seconds>(since);
    const auto usec = std::chrono::duration_cast<std::chrono::microseconds>(since - sec);

    std::uint8_t head[kRecordHeaderBytes + kPacketHeaderBytes];
    Writer w(head);
    // pcap record header.
    w.U32(static_cast<std::uint32_t>(sec.count()));
    w.U32(static_cast<std::uint32_t>(usec.count()));
    w.U32(static_cast<std::uint32_t>(kPacketHeaderBytes) + captured);
    w.U32(static_cast<std::uint32_t>(kPacketHeaderBytes) + whole);
    // struct usbmon_packet.
    w.U64(e.id);
    w.U8(static_cast<std::uint8_t>(e.type));
    w.U8(e.transferType);
    w.U8(e.endpoint);
    w.U8(e.where.device);
    w.U16(e.where.bus);
    const bool hasSetup = submit && e.setup;
    w.U8(hasSetup ? 0 : static_cast<std::uint8_t>('-'));
    w.U8(static_cast<std::uint8_t>(dataFlag));
    w.U64(static_cast<std::uint64_t>(sec.count()));
    w.U32(static_cast<std::uint32_t>(usec.count()));
    w.U32(static_cast<std::uint32_t>(e.status));
    w.U32(e.length);
    w.U32(captured);
    if (hasSetup) {
        const SetupPacket& s = *e.setup;
        w.U8(s.bmRequestType);
        w.U8(s.bRequest);
        w.U16(s.wValue);
        w.U16(s.wIndex);
        w.U16(s.wLength);
    } else {
        w.Zeros(8);
    }
    w.U32(0);  // interval
    w.U32(0);  // start frame
    w.U32(in ? kUrbDirIn : 0);
    w.U32(0);  // isochronous descriptors
    out.append(reinterpret_cast<const char*>(head), sizeof head);
    out.append(reinterpret_cast<const char*>(data.data()), data.size());
}

}  // namespace quillon::link::usbmon
