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
// A transfer's own thread only copies what its line shows (the setup packet,
// the lengths, the outcome and the head of the data) into a bounded queue; a
// thread of the trace's own turns the queue into lines and writes them, in
// blocks: when a transfer fails (its line and all before it, at once, before
// the transfer returns), at least once a second, when enough has gathered and
// when the trace is closed. A run that crashes loses at most its last second.
// When the queue is full the transfer waits for it to be written out: no line
// is ever dropped for speed. A write that fails is reported on standard error
// once, the trace stops there, and Close() says so, so that the program can
// end with a failure status.
//
// The trace may be used from several threads at once (the panel's worker and
// its GUI thread); lines keep the order in which their transfers returned.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "link/device.h"

namespace quillon::link {

// What the trace keeps of one transfer besides its data.
struct TransferRecord {
    enum class Kind : std::uint8_t { Control, Bulk, Bytes };
    Kind kind = Kind::Bulk;
    // Bulk: the endpoint. Control: 0x80 when the data stage is IN, else 0.
    std::uint8_t endpoint = 0;
    SetupPacket setup;         // Control
    std::uint64_t length = 0;  // what was asked for
    TransferResult result;
    // For a capture only: when the transfer was made and when it returned,
    // and where the board sits.
    std::chrono::system_clock::time_point start, end;
    BusAddress where;
};

// How the lines reach the file: gathered and written in blocks, or each line as
// its transfer returns (for a script that reads its own trace as it runs; it
// costs a system call per transfer, made on the transfer's own thread).
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

    // Hands one transfer to the trace: `data` is the head of what it moved (as
    // sent for OUT, as received for IN), at most KeptBytes(). A failed
    // transfer's line, and every line before it, is written before this returns.
    void Record(const TransferRecord& transfer, std::span<const std::uint8_t> data);
    // How much of a transfer's data the format shows: 64 bytes in a text
    // line, up to usbmon::kBulkCapture in a capture.
    std::size_t KeptBytes() const;
    // Adds one line (without its newline) after what is queued.
    void Line(std::string_view line);
    // Adds bytes as they are (a capture's file header).
    void Append(std::string_view bytes);
    // Writes out everything queued so far; returns when it is in the file.
    void Flush();
    // Writes out the rest, stops the trace's thread and closes the file. False,
    // with `error` saying why, when any line of the trace could not be written
    // (then or earlier). Lines added afterwards are dropped.
    bool Close(std::string& error);
    const std::string& path() const { return path_; }
    TraceFormat format() const { return format_; }

  private:
    // Records waiting to be written, one after the other in one block of
    // memory: a transfer's record is a copy of a few dozen bytes, no
    // allocation. `timed` keeps a capture's times and bus address too.
    class Queue {
      public:
        std::size_t size() const { return used_; }
        bool empty() const { return used_ == 0; }
        // Room for a record of `dataBytes` within `limit` (an empty queue
        // takes any one record).
        bool Fits(std::size_t dataBytes, std::size_t limit) const;
        void Push(const TransferRecord& r, bool timed, std::span<const std::uint8_t> data,
                  std::string_view tail);
        template <typename F>
        void ForEach(F&& f) const;
        void Clear() { used_ = 0; }
        void Swap(Queue& other) noexcept;

      private:
        static std::size_t Bytes(std::size_t dataBytes, bool timed);
        std::unique_ptr<std::uint8_t[]> bytes_;
        std::size_t used_ = 0;
        std::size_t capacity_ = 0;
    };

    TraceLog(std::FILE* file, std::string path, TraceWrites writes, TraceFormat format);
    void Push(const TransferRecord& r, std::span<const std::uint8_t> data,
              std::string_view tail = {});
    // Takes what is queued and writes it out, on whichever thread calls it.
    void Drain();
    void Format(const TransferRecord& r, std::span<const std::uint8_t> data);
    void TimedWrites();
    // What queued wakes the trace's thread.
    std::size_t WakeAtLocked() const;

    const std::string path_;
    const TraceWrites writes_;
    const TraceFormat format_;

    // The queue: guarded by queueMutex_.
    std::mutex queueMutex_;
    std::condition_variable wake_;  // the trace's thread: much to write
    Queue queue_;
    bool closing_ = false;
    bool closed_ = false;
    bool resting_ = false;           // the trace's thread sleeps its long interval
    std::atomic<bool> lost_{false};  // a write failed: nothing more is queued

    // The file and what is being written: guarded by writeMutex_, which is
    // held from taking the queue to the end of its write, so that blocks
    // reach the file in the order they were taken.
    std::mutex writeMutex_;
    std::FILE* file_;
    Queue batch_;
    std::string text_;
    std::string error_;  // the first failed write; the trace ends there
    std::uint64_t urbIds_ = 0;

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

// The trace device: the transfers of `inner`, recorded in `log`.
std::unique_ptr<Device> MakeTraceDevice(std::unique_ptr<Device> inner,
                                        std::shared_ptr<TraceLog> log);
// Appends a transfer's two capture records, submission and completion, tied by
// `urbId` (link/usbmon_trace.cpp).
void AppendCaptureRecords(std::string& out, std::uint64_t urbId, const TransferRecord& r,
                          std::span<const std::uint8_t> data);
// Opens `path` for this device alone (appending); a file that cannot be opened
// gives back `inner` untraced.
std::unique_ptr<Device> MakeTraceDevice(std::unique_ptr<Device> inner, const std::string& path);

}  // namespace quillon::link
