#pragma once
// The wire trace as Wireshark opens it: a pcap file of Linux usbmon records
// (link type 220, LINKTYPE_USB_LINUX_MMAPPED), the form in which a capture on
// the usbmon interface is saved. Each transfer is two records, its submission
// ('S') and its completion ('C'), tied together by one URB id, so the USB
// dissector shows every vendor request with its setup packet and every bulk
// transfer with its length, status and data.
//
// Fields are little-endian (the file header says so with its magic number).

#include <array>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "link/device.h"

namespace quillon::link::usbmon {

inline constexpr std::uint32_t kLinkType = 220;
inline constexpr std::size_t kFileHeaderBytes = 24;
inline constexpr std::size_t kRecordHeaderBytes = 16;
// struct usbmon_packet with the fields of the memory-mapped interface.
inline constexpr std::size_t kPacketHeaderBytes = 64;
// At most this much of a bulk transfer's data goes into its record (a control
// transfer's data stage always fits).
inline constexpr std::size_t kBulkCapture = 64 * 1024;
inline constexpr std::uint32_t kSnapLength = kPacketHeaderBytes + 0x10000;

inline constexpr std::uint8_t kControl = 2;
inline constexpr std::uint8_t kBulk = 3;

// -EINPROGRESS: the status of every submission.
inline constexpr std::int32_t kInProgress = -115;

std::array<std::uint8_t, kFileHeaderBytes> FileHeader();

// The completion status usbmon shows for a result (0 or a negative errno).
std::int32_t Status(UsbError e);

// One record. For a submission `length` is what the transfer asks for and
// `data` what goes out (OUT) or nothing (IN); for a completion `length` is
// what moved and `data` what came in (IN) or nothing (OUT).
struct Event {
    std::uint64_t id = 0;
    char type = 'S';
    std::uint8_t transferType = kControl;
    // The endpoint with its direction bit; a control transfer has 0x80 when
    // its data stage is IN.
    std::uint8_t endpoint = 0;
    BusAddress where;
    std::chrono::system_clock::time_point time;
    std::int32_t status = kInProgress;
    std::uint32_t length = 0;
    const SetupPacket* setup = nullptr;  // a control transfer's submission only
    std::span<const std::uint8_t> data;  // cut to kBulkCapture by the caller
};

// Appends the record (pcap record header, usbmon header, data) to `out`.
void AppendRecord(std::string& out, const Event& e);

}  // namespace quillon::link::usbmon
