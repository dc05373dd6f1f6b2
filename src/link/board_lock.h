#pragma once
// One board, one process: a lock file per board in the user's private runtime
// folder, held for as long as the board is open. The panel, quillon-run and
// the Python module take it before they open a board, so a second opener is
// turned away at once with the holder's process number, instead of sharing the
// board or failing later on a claimed interface with no name to give. The
// system drops the lock when the holder ends however it ends: a crash never
// leaves a board locked.
//
// A real board is known by its bus and port path ("usb:1-4.2"): whatever name
// each opener used for it ("usb", its serial number), the same board has the
// same path while it stays in its socket. The simulated board has no lock:
// every process (every Python board object) has a simulated board of its own.
//
// The lock is per user, as the runtime folder is; a board another user's
// program holds is still refused by the system's claim of its interface.

#include <memory>
#include <string>

#include "platform/file_io.h"

namespace quillon::link {

// The process that holds a board: its number (0 when it could not be read) and
// its program's name ("quillon-run"; empty when unknown).
struct BoardHolder {
    long pid = 0;
    std::string program;
};

class BoardLock {
  public:
    enum class Outcome {
        Taken,   // `lock` holds the board now
        Held,    // another process (or another open in this one) holds it: `holder`
        NoLock,  // the lock file cannot be made: open without it
    };
    // Takes the lock of `board` ("usb:1-4.2") without waiting.
    static Outcome Take(const std::string& board, std::unique_ptr<BoardLock>& lock,
                        BoardHolder& holder);
    // The lock file of `board`.
    static std::string PathOf(const std::string& board);
    // "the board usb:1-4.2 is in use by process 1234 (quillon-run)".
    static std::string HeldText(const std::string& board, const BoardHolder& holder);

    BoardLock(const BoardLock&) = delete;
    BoardLock& operator=(const BoardLock&) = delete;
    ~BoardLock() = default;

  private:
    BoardLock() = default;
    platform::FileLock file_;
};

}  // namespace quillon::link
