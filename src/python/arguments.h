#pragma once
// What the classes of the Python module share: the BoardError a failed call
// raises, the way what a call said reaches Python's logging, and the checks of
// the arguments Python passes in.

#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "link/vendor_requests.h"
#include "python/session.h"

namespace py = pybind11;

namespace quillon::python {

extern PyObject* g_boardError;  // quillon.BoardError, alive for the process
extern PyObject* g_logHook;     // called with (operation, records) after a call

// --- Errors ---------------------------------------------------------------------

// Raises BoardError: "<operation>: <message>", with the report's details as
// attributes; `fallback` is the message when the call showed none.
[[noreturn]] void RaiseBoardError(const std::string& operation, const std::string& fallback,
                                  const CallReport& r);

// What a call said goes to Python's logging, never to the process's output:
// the log lines and the device layer's diagnostics at DEBUG, the hints (what
// to do about the board) at WARNING; lines said outside any call go first,
// under no operation.
void PassLog(const std::string& operation, const CallReport& r);

// --- Arguments ------------------------------------------------------------------

[[noreturn]] void Refuse(const std::string& what);

// An integer argument that came as a Python object: anything but an integer
// (a float, a string) is a TypeError, as Python's own functions have it.
long long IntOf(const py::object& value, const char* what);

link::RegWidth WidthCode(int bits);
int WidthIndex(int bits);

std::uint64_t InRange(long long value, std::uint64_t limit, const char* what);

int PortOf(const py::object& port, int ports, const char* letters);

// A file name as Python gives it (str or os.PathLike), as the full path it
// names: relative names resolve in Python's current directory.
std::string PathOf(const py::object& path);

// --- Files ----------------------------------------------------------------------
// The files a call names are checked as the panel's pages and the script
// runner check them, before anything is sent, and refused with the same
// reason: a name that leads nowhere raises FileNotFoundError, a folder, FIFO
// or device ValueError, a file or folder this user may not use
// PermissionError.

// An existing regular file this process may read; its full path.
std::string FileToRead(const py::object& path);
// A file this process may create, or replace by a file written beside it.
std::string FileToWrite(const py::object& path);

// A contiguous buffer of a bytes-like object, held (and its exporter kept
// from resizing) while the transfer runs without the interpreter lock.
class Buffer {
  public:
    Buffer(const py::object& object, bool writable);
    ~Buffer() {
        if (held_) PyBuffer_Release(&view_);
    }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    std::uint8_t* data() const { return static_cast<std::uint8_t*>(view_.buf); }
    std::size_t size() const { return static_cast<std::size_t>(view_.len); }

  private:
    Py_buffer view_{};
    bool held_ = false;
};

bool IsBuffer(const py::object& o);

// A length as the memory operations take it: hexadecimal digits.
std::string HexLength(std::uint64_t n);

}  // namespace quillon::python
