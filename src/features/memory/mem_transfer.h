#pragma once
// Memory write from a file and memory read into a file, whole or split into
// 2 MiB pieces, as the memory page's MemWrite and MemRead buttons run them.
//
// Normal transfers are one framed bulk transfer of the whole length; the data
// streams between the file and the pipe through a few megabytes, so any
// length costs the same memory. A normal read writes beside its file and puts
// it in place only when everything arrived. Split transfers frame all their
// pieces with one begin and one end command, let events run after each piece
// (progress, the Cancel button, device notices) and stop at a cancel.

#include <QtGlobal>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "features/reporter.h"
#include "link/board_link.h"

namespace quillon::features {

inline constexpr std::uint32_t kSplitPiece = 2u << 20;
// Longest transfer without splitting (4 GiB - 512).
inline constexpr std::uint64_t kNormalLimit = 0xFFFFFE00ull;

inline constexpr const char* kMemWriteFailed = QT_TRANSLATE_NOOP("Lang", "ﾒﾓﾘﾗｲﾄに失敗しました。");
inline constexpr const char* kMemReadFailed = QT_TRANSLATE_NOOP("Lang", "ﾒﾓﾘﾘｰﾄﾞに失敗しました。");

// The process-wide cancel flag of split transfers: cleared when one starts,
// set by the progress window's Cancel button, polled after every piece.
bool SplitCancelRequested();
void RequestSplitCancel();
void ClearSplitCancel();

// What a transfer shows besides the log and the boxes: the split progress
// window and the state of the button that started it.
class MemTransferView {
  public:
    virtual ~MemTransferView() = default;
    virtual void ShowSplit() {}
    virtual void HideSplit() {}
    // The window's value labels: size ("8388608 Bytes"), count ("1/3") and
    // bytes sent ("2 MiBytes").
    virtual void SplitSize(const std::string& text) { (void)text; }
    virtual void SplitPiece(const std::string& count, const std::string& bytes) {
        (void)count, (void)bytes;
    }
    // The MemWrite or MemRead button during a normal transfer.
    virtual void SetButtonEnabled(bool enabled) { (void)enabled; }
};

// Outcome of a split transfer that stopped on a cancel: what had moved.
struct SplitCount {
    std::uint64_t bytes = 0;
    std::uint32_t pieces = 0;
};

// Split write of `length` bytes of `path`. False on a failure, and on a
// cancel (then SplitCancelRequested() stays set and `count` says what was sent).
bool MemSplitWrite(link::BoardHandle h, bool lengthFraming, std::uint8_t widthCode,
                   const std::string& path, std::uint64_t length, SplitCount& count,
                   bool scramble, Reporter& reporter, MemTransferView& view);
// Split read into `path`: written beside it and put in its place when the read
// ends or is cancelled; a failed read leaves an existing file as it was.
bool MemSplitRead(link::BoardHandle h, bool lengthFraming, std::uint8_t widthCode,
                  const std::string& path, std::uint64_t length, SplitCount& count,
                  bool scramble, Reporter& reporter, MemTransferView& view);

// Everything a button press takes from the page and the Options menu.
struct MemTransferRequest {
    std::string path;        // the file field
    std::string lengthText;  // the length field (hexadecimal)
    int widthIndex = 0;      // bit-width list
    bool split = true;
    bool scramble = false;  // write scramble for MemWrite, read scramble for MemRead
    bool tessera = false;   // length framing
};

// The disk queries of the read, replaceable in tests. The folder is where
// the file goes: the file's own folder.
struct DiskQueries {
    std::function<std::optional<std::uint64_t>(const std::string& folder)> freeSpace;
    std::function<std::string(const std::string& folder)> fileSystem;  // "" when unknown
    static DiskQueries Platform();
};

// The folder whose free space a read into `path` checks: the file's folder,
// a relative path taken in the current directory (the pages hand over full
// paths, resolved against the folder they state).
std::string TargetFolder(const std::string& path);

// The MemWrite and MemRead buttons. True when the transfer ran to its end or
// was cancelled (both are logged with their rate), false when it was refused
// or failed (the user was told). A file that cannot be read (MemWrite) or
// take the data (MemRead: a folder that does not exist or may not be written,
// a folder, a FIFO or a device, a wildcard pattern) is refused before the
// board is asked anything, with a box that names the path and the reason.
bool MemWriteRun(link::BoardHandle h, const MemTransferRequest& request, Reporter& reporter,
                 MemTransferView& view);
bool MemReadRun(link::BoardHandle h, const MemTransferRequest& request, Reporter& reporter,
                MemTransferView& view, const DiskQueries& disk = DiskQueries::Platform());

}  // namespace quillon::features
