#include "features/memory/mem_transfer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "features/busy_gate.h"
#include "features/file_names.h"
#include "features/long_work.h"
#include "features/memory/file_stream.h"
#include "features/memory/mem_page.h"
#include "link/abort.h"
#include "link/bulk.h"
#include "link/usb_cause.h"
#include "link/vendor_requests.h"
#include "platform/cause.h"
#include "platform/file_io.h"
#include "platform/platform.h"
#include "platform/ui_text.h"

namespace quillon::features {

namespace {

using Clock = std::chrono::steady_clock;

// Set by the split window's Cancel on the GUI thread, read by the worker.
std::atomic<bool> g_splitCancel{false};

constexpr const char* kNoFile = QT_TRANSLATE_NOOP("Lang", "指定されたﾌｧｲﾙは存在しません。");
constexpr const char* kLengthNotHex =
    QT_TRANSLATE_NOOP("Lang", "転送ｻｲｽﾞをHEX値で指定して下さい。");
constexpr const char* kLengthBad =
    QT_TRANSLATE_NOOP("Lang", "転送ｻｲｽﾞが0ﾊﾞｲﾄ、又は512ﾊﾞｲﾄの整数倍ではありません。");
constexpr const char* kUseSplit =
    QT_TRANSLATE_NOOP("Lang", "4GiB以上は分割ﾒﾓﾘ転送を使用して下さい。");
constexpr const char* kFileNotOpened =
    QT_TRANSLATE_NOOP("Lang", "ﾃﾞｰﾀﾌｧｲﾙがｵｰﾌﾟﾝ出来ませんでした。");
constexpr const char* kZeroFill = QT_TRANSLATE_NOOP(
    "Lang", "ﾃﾞｰﾀﾌｧｲﾙより設定されている転送ﾚﾝｸﾞｽが大きいのでﾗｲﾄﾃﾞｰﾀの後半は｢0｣で埋められます。");
constexpr const char* kNoFreeSpaceLog =
    QT_TRANSLATE_NOOP("Lang", "HDDの空き容量が取得できませんでした");
constexpr const char* kNoFreeSpace =
    QT_TRANSLATE_NOOP("Lang", "HDDの空き容量が取得できませんでした。");
constexpr const char* kDiskFull = QT_TRANSLATE_NOOP("Lang", "HDDの空き容量が足りません。");
constexpr const char* kNoFileSystem =
    QT_TRANSLATE_NOOP("Lang", "ﾃﾞｰﾀﾄﾞﾗｲﾌﾞのﾌｫｰﾏｯﾄ種別を取得出来ませんでした。");
constexpr const char* kFat32 = QT_TRANSLATE_NOOP("Lang", "FAT32の上限ﾌｧｲﾙｻｲｽﾞを超えています。");
// Causes: the length field by its caption, a file that ends before the length.
// All of these are marked here and translated where they are shown.
constexpr const char* kMemLengthCaption = QT_TRANSLATE_NOOP("Lang", "転送ﾚﾝｸﾞｽ");
constexpr const char* kFileShort = QT_TRANSLATE_NOOP("Lang", "転送ﾚﾝｸﾞｽより短いﾌｧｲﾙです");

// A file longer than this on a FAT32 volume cannot exist.
constexpr std::uint64_t kFat32Limit = 0xFFFFFFFFull;

std::uint64_t Ms(Clock::duration d) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
    return ms > 0 ? static_cast<std::uint64_t>(ms) : 0;
}

// Both memory commands of a split transfer, in the form the framing chooses.
bool SplitCommand(link::BoardHandle h, bool lengthFraming, std::uint8_t command,
                  std::uint8_t widthCode, std::uint64_t length) {
    // The unit count has 30 bits; a transfer of 4 GiB or more states it
    // truncated, as the request's fields carry it.
    return lengthFraming ? link::VR_MEM_CMDLEN(h, command, static_cast<std::uint32_t>(length >> 2))
                         : link::VR_MEM_CMD(h, command, widthCode);
}

struct Pieces {
    std::uint64_t whole;  // N
    std::uint64_t rest;   // R
};

// A length of at most one piece is sent as a rest, exactly 2 MiB included.
Pieces SplitPieces(std::uint64_t length) {
    if (length <= kSplitPiece) return {0, length};
    return {length / kSplitPiece, length % kSplitPiece};
}

std::string SizeLabel(std::uint64_t length) {
    return std::to_string(length) + " Bytes";
}

void ShowPiece(MemTransferView& view, std::uint64_t k, std::uint64_t n) {
    view.SplitPiece(std::to_string(k) + "/" + std::to_string(n),
                    std::to_string(2 * k) + " MiBytes");
}

std::unique_ptr<std::uint8_t[]> PieceBuffer() {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[kSplitPiece]());
}

link::Device* DeviceOf(link::BoardHandle h) {
    link::Device* dev = link::BoardLink::Instance().DeviceFor(h);
    if (!dev) link::NoteNoBoard();
    return dev;
}

// The cause a failed piece of a split transfer leaves.
void NotePiece(const link::TransferResult& r, std::uint32_t n) {
    if (!r.ok())
        link::NoteTransferFailure(r);
    else if (r.moved != n)
        link::NoteWrongCount(r.moved, n);
}

// The log lines that end every transfer that ran: mode, file, time and rate.
void LogResult(Reporter& r, const std::string& mode, bool scramble, const std::string& path,
               std::uint64_t ms, std::uint64_t bytes) {
    r.Log(mode + (scramble ? "[SCRAMBLE ON]" : "[SCRAMBLE OFF]"));
    r.Log(" → " + Lang::Fill(QT_TRANSLATE_NOOP("Lang", "FileName：[%1]"), path));
    if (ms == 0) {
        r.Log(" → " + Lang::Tr("転送時間が｢0ms｣なので計算できませんでした。"));
        return;
    }
    r.Log(" → " + Lang::Fill(QT_TRANSLATE_NOOP(
                                 "Lang", "転送時間:%1 ms, ﾚｰﾄ: %2 Kbyte/s 転送ﾊﾞｲﾄ数 %3 Byte "),
                             ms, bytes / ms, bytes));
}

// Steps shared by both buttons: the length and the 4 GiB rule. `failed` is
// kMemWriteFailed or kMemReadFailed (marked, translated here).
std::optional<std::uint64_t> CheckLength(const MemTransferRequest& req, const char* failed,
                                         Reporter& r) {
    const std::optional<std::uint64_t> length = ParseMemLength(req.lengthText);
    if (!length) {
        SetCause(NotHexCause(Lang::MarkedStd(kMemLengthCaption), req.lengthText));
        r.Fail(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "%1(転送ｻｲｽﾞ不明)"), Lang::MarkedStd(failed)));
        r.FailBox(Lang::MarkedStd(kLengthNotHex), MsgIcon::Error);
        return std::nullopt;
    }
    if (*length == 0 || *length % 512 != 0) {
        r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "%1(転送ｻｲｽﾞｴﾗｰ)"), Lang::MarkedStd(failed)));
        r.Message(Lang::MarkedStd(kLengthBad), MsgIcon::Error);
        return std::nullopt;
    }
    if (!req.split && *length > kNormalLimit) {
        r.Log(Lang::MarkedStd(kUseSplit));
        r.Message(Lang::MarkedStd(kUseSplit), MsgIcon::Warning);
        return std::nullopt;
    }
    return length;
}

// A split transfer with its progress window: false after a failure (told to
// the user); after a cancel `length` becomes the bytes that moved. `ms` is
// the time of the whole loop.
template <typename Split>
bool RunSplit(Reporter& r, MemTransferView& view, const char* failed, std::uint64_t& length,
              std::uint64_t& ms, Split&& split) {
    view.ShowSplit();
    ClearSplitCancel();
    const auto start = Clock::now();
    SplitCount count;
    if (!split(count)) {
        if (!SplitCancelRequested()) {
            r.Fail(Lang::MarkedStd(failed));
            r.FailBox(Lang::MarkedStd(failed), MsgIcon::Warning);
            view.HideSplit();
            return false;
        }
        r.Log(Lang::MarkedStd(kUserCancel));
        r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "転送回数:[%1]"), count.pieces));
        length = count.bytes;
    }
    ms = Ms(Clock::now() - start);
    view.HideSplit();
    return true;
}

void Refuse(Reporter& r, const char* marked) {
    const std::string text = Lang::MarkedStd(marked);
    r.Log(text);
    r.Message(text, MsgIcon::Warning);
}

// A normal transfer stopped by the user: what moved, and nothing else (the
// board got part of a write; a read's file was never touched).
void LogNormalCancel(Reporter& r, std::uint64_t moved) {
    r.Log(Lang::MarkedStd(kUserCancel));
    r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "転送ﾊﾞｲﾄ数:[%1]"), moved));
    r.Status(Lang::MarkedStd(kUserCancel));
}

}  // namespace

bool SplitCancelRequested() {
    return g_splitCancel.load();
}
void RequestSplitCancel() {
    g_splitCancel.store(true);
}
void ClearSplitCancel() {
    g_splitCancel.store(false);
}

DiskQueries DiskQueries::Platform() {
    DiskQueries q;
    q.freeSpace = [](const std::string& folder) { return platform::FreeSpace(folder); };
    q.fileSystem = [](const std::string& folder) { return platform::FileSystemName(folder); };
    return q;
}

std::string TargetFolder(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(path, ec);
    if (ec || path.empty()) return {};
    return p.parent_path().string();
}

// --- Split transfers ---------------------------------------------------------

namespace {

// Whole pieces of a split read go round between the thread that reads them
// from the board and the one that scrambles and writes them: the bus does not
// wait while a piece goes to the file. Four buffers: two pieces in flight (the
// backend keeps several transfers queued across them), one arrived, one being
// written.
constexpr std::size_t kReadBuffers = 4;

class PieceQueue {
  public:
    struct Arrival {
        std::uint8_t* bytes;  // null: the piece never got a buffer
        link::TransferResult result;
    };
    PieceQueue() {
        for (std::size_t i = 0; i < kReadBuffers; ++i) {
            auto b = PieceBuffer();
            if (!b) return;
            free_.push_back(b.get());
            buffers_.push_back(std::move(b));
        }
        ok_ = true;
    }
    bool ok() const { return ok_; }

    // The reading side. Lend waits for a free buffer; null once stopped.
    std::uint8_t* Lend() {
        std::unique_lock<std::mutex> lock(mu_);
        cv_.wait(lock, [&] { return stopped_ || !free_.empty(); });
        if (stopped_) return nullptr;
        std::uint8_t* b = free_.back();
        free_.pop_back();
        return b;
    }
    bool Arrived(std::uint8_t* bytes, const link::TransferResult& r) {
        std::lock_guard<std::mutex> lock(mu_);
        arrived_.push_back({bytes, r});
        cv_.notify_all();
        return !stopped_;
    }
    void ReaderEnded() {
        std::lock_guard<std::mutex> lock(mu_);
        readerEnded_ = true;
        cv_.notify_all();
    }

    // The writing side: the next piece in order, nothing once the reader
    // ended without it.
    std::optional<Arrival> Next() {
        std::unique_lock<std::mutex> lock(mu_);
        cv_.wait(lock, [&] { return readerEnded_ || !arrived_.empty(); });
        if (arrived_.empty()) return std::nullopt;
        Arrival a = arrived_.front();
        arrived_.pop_front();
        return a;
    }
    void GiveBack(std::uint8_t* bytes) {
        if (!bytes) return;
        std::lock_guard<std::mutex> lock(mu_);
        free_.push_back(bytes);
        cv_.notify_all();
    }
    // No more pieces wanted: the reader takes back what it has in flight.
    void Stop() {
        std::lock_guard<std::mutex> lock(mu_);
        stopped_ = true;
        cv_.notify_all();
    }

  private:
    std::mutex mu_;
    std::condition_variable cv_;
    std::vector<std::unique_ptr<std::uint8_t[]>> buffers_;
    std::vector<std::uint8_t*> free_;
    std::deque<Arrival> arrived_;
    bool stopped_ = false;
    bool readerEnded_ = false;
    bool ok_ = false;
};

// The thread that reads the pieces of a split read; stopped and joined at
// the latest when it goes.
class PieceReader {
  public:
    PieceReader(link::Device& dev, std::uint64_t length, PieceQueue& queue) : queue_(queue) {
        thread_ = std::thread([&dev, length, &queue] {
            dev.BulkInPieces(link::kBulkInEp, length, kSplitPiece,
                             {[&](std::uint64_t, std::uint32_t) { return queue.Lend(); },
                              [&](std::uint64_t, std::uint8_t* bytes, const link::TransferResult& r) {
                                  return queue.Arrived(bytes, r);
                              }});
            queue.ReaderEnded();
        });
    }
    ~PieceReader() { Join(); }
    // Stops the reader (at once if pieces are still to come) and waits for it.
    void Join() {
        if (!thread_.joinable()) return;
        queue_.Stop();
        thread_.join();
    }

  private:
    PieceQueue& queue_;
    std::thread thread_;
};

}  // namespace

bool MemSplitWrite(link::BoardHandle h, bool lengthFraming, std::uint8_t widthCode,
                   const std::string& path, std::uint64_t length, SplitCount& count,
                   bool scramble, Reporter& reporter, MemTransferView& view) {
    if (!DeviceOf(h)) return false;
    auto buffer = PieceBuffer();
    if (!buffer) return false;
    platform::InputFile file;
    if (file.Open(path) != platform::InputFile::Status::Ok) return false;
    const Pieces p = SplitPieces(length);
    view.SplitSize(SizeLabel(length));
    reporter.Progress(0, length);
    reporter.Pump();

    if (!SplitCommand(h, lengthFraming, link::kMemWriteBegin, widthCode, length)) return false;
    // The cancel path: what went out counts, the end command closes the
    // transfer; a write whose end command fails is a failed write.
    auto stop = [&](std::uint64_t pieces, std::uint64_t bytes) {
        count.bytes = bytes;
        count.pieces = static_cast<std::uint32_t>(pieces);
        file.Close();
        buffer.reset();
        RequestSplitCancel();
        if (!SplitCommand(h, lengthFraming, link::kMemWriteEnd, widthCode, length))
            ClearSplitCancel();
        return false;
    };
    // Reads a whole piece from the file and sends it in one transfer. An
    // abort inside the transfer (the Cancel pressed 2 s before without the
    // piece ending) leaves `aborted` with the bytes that went out.
    std::optional<std::uint64_t> aborted;
    auto send = [&](std::uint32_t n) {
        const std::optional<std::size_t> got = file.Read(buffer.get(), n);
        if (got && *got < n) SetCause(FileCause(path, Lang::MarkedStd(kFileShort)));
        if (!got || *got < n) return false;
        if (scramble) MemScramble({buffer.get(), n});
        link::Device* dev = DeviceOf(h);
        if (!dev) return false;
        const link::TransferResult r = dev->BulkOut(link::kBulkOutEp, {buffer.get(), n});
        NotePiece(r, n);
        if (r.error == link::UsbError::Cancelled && link::BulkAbortRequested()) aborted = r.moved;
        return r.ok() && r.moved == n;
    };
    // A Cancel is seen as it was delivered: in the events run after a piece,
    // so the piece after that still goes (the worker does not see a press
    // before the event pass that delivers it would have).
    bool stopAsked = SplitCancelRequested();
    for (std::uint64_t k = 0; k < p.whole; ++k) {
        if (!send(kSplitPiece))
            return aborted ? stop(k, k * kSplitPiece + *aborted) : false;
        ShowPiece(view, k, p.whole);
        reporter.Progress((k + 1) * kSplitPiece, length);
        if (stopAsked) return stop(k + 1, (k + 1) * kSplitPiece);
        reporter.Pump();
        stopAsked = SplitCancelRequested();
    }
    if (p.rest > 0 && !send(static_cast<std::uint32_t>(p.rest)))
        return aborted ? stop(p.whole, p.whole * kSplitPiece + *aborted) : false;
    file.Close();
    buffer.reset();
    reporter.Progress(length, length);
    return SplitCommand(h, lengthFraming, link::kMemWriteEnd, widthCode, length);
}

bool MemSplitRead(link::BoardHandle h, bool lengthFraming, std::uint8_t widthCode,
                  const std::string& path, std::uint64_t length, SplitCount& count,
                  bool scramble, Reporter& reporter, MemTransferView& view) {
    if (!DeviceOf(h)) return false;
    const Pieces p = SplitPieces(length);
    view.SplitSize(SizeLabel(length));
    reporter.Progress(0, length);
    reporter.Pump();
    PieceQueue queue;
    if (!queue.ok()) return false;
    // The pieces go to a file beside the target, which takes its place when
    // the read ends or is cancelled: a read that fails leaves the file that
    // was there as it was. A FIFO or a device never gets here: the read is
    // refused before the board is asked, as the normal read is.
    platform::ReplacingFile file;
    if (!file.Open(path)) return false;

    if (!SplitCommand(h, lengthFraming, link::kMemReadBegin, widthCode, length)) return false;
    link::Device* dev = DeviceOf(h);
    if (!dev) return false;
    // The reader's device stays alive while it runs, even if the board's
    // removal closes the link meanwhile (events are served between pieces).
    link::BoardLink::Hold hold = link::BoardLink::Instance().HoldForWork();
    PieceReader reader(*dev, length, queue);

    // The cancel path keeps the whole pieces that arrived. The reader ends
    // first (what it read ahead is dropped), then the end command goes: a
    // cancel whose end command fails is a failed read, and a failed read
    // leaves the file that was there as it was.
    auto stop = [&](std::uint64_t pieces) {
        reader.Join();
        count.bytes = pieces * kSplitPiece;
        count.pieces = static_cast<std::uint32_t>(pieces);
        RequestSplitCancel();
        if (!SplitCommand(h, lengthFraming, link::kMemReadEnd, widthCode, length)) {
            ClearSplitCancel();
            return false;
        }
        // The pieces that did arrive must be in the file, or the cancel
        // would pass for a good partial read.
        if (!file.Commit()) ClearSplitCancel();
        return false;
    };
    // Takes the next whole piece from the reader and appends it to the file.
    // A piece cut short by an abort is dropped. The board leaving shows in
    // the reader's transfer, even when its removal closed the link before.
    bool aborted = false;
    auto receive = [&](std::uint32_t n) {
        const std::optional<PieceQueue::Arrival> a = queue.Next();
        if (!a) return false;
        NotePiece(a->result, n);
        if (a->result.error == link::UsbError::Cancelled && link::BulkAbortRequested())
            aborted = true;
        bool kept = a->result.ok() && a->result.moved == n;
        if (kept && scramble) MemScramble({a->bytes, n});
        kept = kept && file.Write(a->bytes, n);
        queue.GiveBack(a->bytes);
        return kept;
    };
    bool stopAsked = SplitCancelRequested();  // as for the split write
    for (std::uint64_t k = 0; k < p.whole; ++k) {
        if (!receive(kSplitPiece)) return aborted ? stop(k) : false;
        ShowPiece(view, k, p.whole);
        reporter.Progress((k + 1) * kSplitPiece, length);
        if (stopAsked) return stop(k + 1);
        reporter.Pump();
        stopAsked = SplitCancelRequested();
    }
    if (p.rest > 0 && !receive(static_cast<std::uint32_t>(p.rest)))
        return aborted ? stop(p.whole) : false;
    reader.Join();
    reporter.Progress(length, length);
    const bool ended = SplitCommand(h, lengthFraming, link::kMemReadEnd, widthCode, length);
    return ended && file.Commit();
}

// --- The buttons ---------------------------------------------------------------

bool MemWriteRun(link::BoardHandle h, const MemTransferRequest& req, Reporter& r,
                 MemTransferView& view) {
    ClearCause();  // a new action
    BusyGate::Hold hold = TakeOrRefuse("MemWrite", r);
    if (!hold) return false;

    // 1-4. A file that cannot be read is refused with the path and the reason.
    if (const NameCheck name = CheckNameToRead(req.path); !name.ok()) {
        if (name.absent()) {
            r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "%1(ﾌｧｲﾙ無し)"),
                             Lang::MarkedStd(kMemWriteFailed)));
            r.Message(RefusalText(Lang::MarkedStd(kNoFile), req.path, name.reason), MsgIcon::Error);
        } else {
            r.Log(Lang::MarkedStd(kMemWriteFailed));
            r.Message(RefusalText(Lang::MarkedStd(kFileNotOpened), req.path, name.reason),
                      MsgIcon::Warning);
        }
        return false;
    }
    std::optional<std::uint64_t> length = CheckLength(req, kMemWriteFailed, r);
    if (!length) return false;
    // 5.
    const std::uint8_t width = MemWidthCode(req.widthIndex);
    std::string mode;
    std::uint64_t ms = 0;

    if (req.split) {
        // 6.
        const bool done = RunSplit(r, view, kMemWriteFailed, *length, ms, [&](SplitCount& count) {
            return MemSplitWrite(h, req.tessera, width, req.path, *length, count, req.scramble, r,
                                 view);
        });
        if (!done) return false;
        mode = "Split Memory Write";
    } else {
        // 7.
        r.Busy("Processing for MemWrite ...");
        view.SetButtonEnabled(false);
        r.Pump();
        auto fail = [&](const char* log, const char* box) {
            r.BusyHide();
            view.SetButtonEnabled(true);
            r.Fail(Lang::MarkedStd(log));
            r.FailBox(Lang::MarkedStd(box), MsgIcon::Warning);
            return false;
        };
        platform::InputFile file;
        if (file.Open(req.path) != platform::InputFile::Status::Ok)
            return fail(kMemWriteFailed, kFileNotOpened);
        if (file.size() < *length) r.Log(Lang::MarkedStd(kZeroFill));
        // The data streams from the file as the pipe takes it; the time counts
        // the transfer alone, as if the file had been read before.
        ProgressMeter meter(r, *length);
        FileFeed feed(file, req.scramble, &meter);
        const auto start = Clock::now();
        const link::BulkResult sent = link::BulkWriteFramed(
            h, req.tessera, width, static_cast<std::uint32_t>(*length), feed.Source());
        const auto spent = Clock::now() - start - feed.clock().spent();
        if (sent.cancelled()) {
            LogNormalCancel(r, sent.moved);
            view.SetButtonEnabled(true);
            r.BusyHide();
            return true;
        }
        if (!sent.done()) return fail(kMemWriteFailed, kMemWriteFailed);
        ms = Ms(spent);
        mode = "Normal Memory Write";
    }
    // 8-11.
    LogResult(r, mode, req.scramble, req.path, ms, *length);
    if (!req.split) {
        view.SetButtonEnabled(true);
        r.BusyHide();
    }
    return true;
}

bool MemReadRun(link::BoardHandle h, const MemTransferRequest& req, Reporter& r,
                MemTransferView& view, const DiskQueries& disk) {
    ClearCause();  // a new action
    BusyGate::Hold hold = TakeOrRefuse("MemRead", r);
    if (!hold) return false;

    // 1-3.
    std::optional<std::uint64_t> length = CheckLength(req, kMemReadFailed, r);
    if (!length) return false;
    // A name that cannot take the data (no such folder, no permission, a
    // folder, a FIFO or a device, a pattern) is refused before the disk and
    // the board are asked anything.
    if (const NameCheck name = CheckNameToWrite(req.path); !name.ok()) {
        r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "%1(ﾌｧｲﾙ作成ｴﾗｰ)"),
                         Lang::MarkedStd(kMemReadFailed)));
        r.Message(RefusalText(Lang::MarkedStd(kMemReadFailed), req.path, name.reason),
                  MsgIcon::Warning);
        return false;
    }
    // 4-6. The drive of the file is its folder here.
    const std::string folder = TargetFolder(req.path);
    const std::optional<std::uint64_t> free =
        folder.empty() ? std::nullopt : disk.freeSpace(folder);
    if (!free) {
        r.Log(Lang::MarkedStd(kNoFreeSpaceLog));
        r.Message(RefusalText(Lang::MarkedStd(kNoFreeSpace), req.path,
                              FreeSpaceLines(folder, nullptr, *length)),
                  MsgIcon::Warning);
        return false;
    }
    if (*free <= *length) {
        r.Log(Lang::MarkedStd(kDiskFull));
        r.Message(RefusalText(Lang::MarkedStd(kDiskFull), req.path,
                              FreeSpaceLines(folder, &*free, *length)),
                  MsgIcon::Warning);
        return false;
    }
    if (*length > kFat32Limit) {
        const std::string fs = disk.fileSystem(folder);
        if (fs.empty()) {
            Refuse(r, kNoFileSystem);
            return false;
        }
        if (fs == "FAT32") {
            Refuse(r, kFat32);
            return false;
        }
    }
    // 7.
    const std::uint8_t width = MemWidthCode(req.widthIndex);
    std::string mode;
    std::uint64_t ms = 0;

    if (!req.split) {
        // 8.
        r.Busy("Processing for MemRead ...");
        view.SetButtonEnabled(false);
        r.Pump();
        auto fail = [&](const std::string& log) {
            r.BusyHide();
            view.SetButtonEnabled(true);
            r.Fail(log);
            r.FailBox(Lang::MarkedStd(kMemReadFailed), MsgIcon::Warning);
            return false;
        };
        // The file is written beside its target while the data arrives and
        // takes its place only once all of it is there: a failed transfer
        // leaves an existing file as it was.
        platform::ReplacingFile file;
        const bool created = file.Open(req.path);
        ProgressMeter meter(r, *length);
        FileDrain drain(file, req.scramble, &meter);
        const auto start = Clock::now();
        const link::BulkResult got = link::BulkReadFramed(
            h, req.tessera, width, static_cast<std::uint32_t>(*length), drain.Sink());
        const auto spent = Clock::now() - start - drain.clock().spent();
        if (got.cancelled()) {
            // The file beside the target goes with `file`: the target is as it was.
            LogNormalCancel(r, got.moved);
            view.SetButtonEnabled(true);
            r.BusyHide();
            return true;
        }
        const std::string failed = Lang::MarkedStd(kMemReadFailed);
        if (!got.done()) return fail(failed);
        if (!created) return fail(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "%1(ﾌｧｲﾙ作成ｴﾗｰ)"), failed));
        if (drain.writeFailed() || drain.written() != *length || !file.Commit())
            return fail(failed);
        r.BusyHide();
        ms = Ms(spent);
        mode = "Normal Memory Read";
    } else {
        // 9.
        const bool done = RunSplit(r, view, kMemReadFailed, *length, ms, [&](SplitCount& count) {
            return MemSplitRead(h, req.tessera, width, req.path, *length, count, req.scramble, r,
                                view);
        });
        if (!done) {
            view.SetButtonEnabled(true);
            return false;
        }
        mode = "Split Memory Read";
    }
    // 10-11.
    LogResult(r, mode, req.scramble, req.path, ms, *length);
    view.SetButtonEnabled(true);
    return true;
}

}  // namespace quillon::features
