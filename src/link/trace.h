#pragma once
// The wire trace: a Device that passes every transfer to the device it wraps and
// writes one line per transfer to a trace file, e.g.
//   CTRL bm=C0 req=B0 val=FFFF idx=3FC0 len=8 -> OK 8 data=0102030405060708
//   BULK ep=06 len=4 -> OK 4 data=00FF1234
//   CTRL bm=40 req=B1 val=0000 idx=0000 len=1 -> ERR STALL
// data= holds what moved (as sent for OUT, as received for IN), cut after 64
// bytes with "..."; it is left out when nothing moved.
//
// A trace file named *.pcap holds the same transfers as usbmon records for
// Wireshark instead (link/usbmon.h); the text lines stay the default.
//
// Lines are gathered in memory and written out in blocks: when a transfer
// fails, at least once a second (a thread of the trace's own), and when the
// trace is closed; a run that crashes loses at most its last second. A write
// that fails is reported on standard error at once, the trace stops there, and
// Close() says so, so that the program can end with a failure status.

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "link/device.h"

namespace quillon::link {

// How the lines reach the file: gathered and written in blocks, or each line as
// its transfer returns (for a script that reads its own trace as it runs; it
// costs a system call per transfer).
enum class TraceWrites { Gathered, EachLine };

enum class TraceFormat { Text, Pcap };
// By the file name: ".pcap" (any case) is a capture for Wireshark.
TraceFormat TraceFormatFor(std::string_view path);

// One trace file shared by every device the link opens during a run.
class TraceLog {
  public:
    // Creates the file (emptied, or kept and appended to with `append`); nullptr
    // with `error` set when it cannot be opened.
    static std::shared_ptr<TraceLog> Open(const std::string& path, std::string& error,
                                          bool append = false,
                                          TraceWrites writes = TraceWrites::Gathered);
    // Closes the trace if Close() was not called.
    ~TraceLog();
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;

    // Adds one line (without its newline) to what is gathered.
    void Line(std::string_view line);
    // Adds bytes as they are (the records of a capture).
    void Append(std::string_view bytes);
    // Writes out everything gathered so far.
    void Flush();
    // Writes out the rest, stops the timed writes and closes the file. False,
    // with `error` saying why, when any line of the trace could not be written
    // (then or earlier). Lines added afterwards are dropped.
    bool Close(std::string& error);
    const std::string& path() const { return path_; }
    TraceFormat format() const { return format_; }
    // A new id for the two records of one transfer in a capture.
    std::uint64_t NextUrbId() { return ++urbIds_; }

  private:
    TraceLog(std::FILE* file, std::string path, TraceWrites writes, TraceFormat format);
    void AddLocked(std::string_view bytes, std::string_view end);
    void WriteOutLocked();
    void TimedWrites();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::FILE* file_;
    std::string path_;
    std::string pending_;
    std::string error_;  // the first failed write; the trace ends there
    TraceWrites writes_;
    TraceFormat format_;
    std::atomic<std::uint64_t> urbIds_{0};
    bool closing_ = false;
    std::thread writer_;
};

// The text of one trace line, without the newline. `data` is the whole data
// stage or bulk buffer; only its first result.moved bytes are shown.
std::string TraceControlLine(const SetupPacket& setup, std::span<const std::uint8_t> data,
                             const TransferResult& result);
std::string TraceBulkLine(std::uint8_t endpoint, std::span<const std::uint8_t> data,
                          const TransferResult& result);
// The same for a transfer of `length` bytes of which `head` holds the first
// (at least the shown ones that moved).
std::string TraceBulkLine(std::uint8_t endpoint, std::uint64_t length,
                          std::span<const std::uint8_t> head, const TransferResult& result);

// The trace device of the log's format.
std::unique_ptr<Device> MakeTraceDevice(std::unique_ptr<Device> inner,
                                        std::shared_ptr<TraceLog> log);
// The capture's trace device (link/usbmon_trace.cpp).
std::unique_ptr<Device> MakePcapTraceDevice(std::unique_ptr<Device> inner,
                                            std::shared_ptr<TraceLog> log);
// Opens `path` for this device alone (appending); a file that cannot be opened
// gives back `inner` untraced.
std::unique_ptr<Device> MakeTraceDevice(std::unique_ptr<Device> inner, const std::string& path);

}  // namespace quillon::link
