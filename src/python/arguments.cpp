#include "python/arguments.h"

#include <pybind11/stl.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "features/file_names.h"
#include "platform/platform.h"

namespace quillon::python {

PyObject* g_boardError = nullptr;
PyObject* g_logHook = nullptr;

// --- Errors ---------------------------------------------------------------------

[[noreturn]] void RaiseBoardError(const std::string& operation, const std::string& fallback,
                                  const CallReport& r) {
    const std::string message = r.messages.empty() ? fallback : r.messages.front();
    std::string text = operation + ": " + message;
    if (r.error != link::UsbError::None) {
        text += std::string(" (") + link::UsbErrorName(r.error) + ", code " +
                std::to_string(r.code) + ")";
    }
    py::object e = py::reinterpret_borrow<py::object>(g_boardError)(text);
    e.attr("operation") = operation;
    e.attr("message") = message;
    e.attr("code") = r.code;
    e.attr("error") = r.error == link::UsbError::None ? py::object(py::none())
                                                      : py::object(py::str(link::UsbErrorName(r.error)));
    e.attr("removed") = r.removed;
    e.attr("log") = r.log;
    e.attr("hints") = r.hints;
    e.attr("holder") = r.holder > 0 ? py::object(py::int_(r.holder)) : py::object(py::none());
    PyErr_SetObject(g_boardError, e.ptr());
    throw py::error_already_set();
}

// Levels of Python's logging.
constexpr int kDebug = 10;
constexpr int kWarning = 30;

void PassLog(const std::string& operation, const CallReport& r) {
    const std::vector<StrayLine> strays = TakeStrayLines();
    if (!g_logHook) return;
    py::list stray, records;
    for (const StrayLine& l : strays)
        stray.append(py::make_tuple(l.hint ? kWarning : kDebug, l.text));
    for (const std::string& line : r.log) records.append(py::make_tuple(kDebug, line));
    for (const std::string& line : r.diagnostics) records.append(py::make_tuple(kDebug, line));
    for (const std::string& line : r.hints) records.append(py::make_tuple(kWarning, line));
    const py::object hook = py::reinterpret_borrow<py::object>(g_logHook);
    if (!stray.empty()) hook(py::none(), stray);
    if (!records.empty()) hook(operation, records);
}

// --- Arguments ------------------------------------------------------------------

[[noreturn]] void Refuse(const std::string& what) { throw py::value_error(what); }

long long IntOf(const py::object& value, const char* what) {
    if (!PyIndex_Check(value.ptr()) || PyBool_Check(value.ptr())) {
        throw py::type_error(std::string(what) + " must be an integer, not " +
                             py::str(py::type::of(value).attr("__name__")).cast<std::string>());
    }
    const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    if (!index) throw py::error_already_set();
    const long long n = PyLong_AsLongLong(index.ptr());
    if (n == -1 && PyErr_Occurred()) {
        PyErr_Clear();
        Refuse(std::string(what) + " is out of range");
    }
    return n;
}

link::RegWidth WidthCode(int bits) {
    switch (bits) {
        case 8:
            return link::RegWidth::Bits8;
        case 16:
            return link::RegWidth::Bits16;
        case 32:
            return link::RegWidth::Bits32;
        case 64:
            return link::RegWidth::Bits64;
        default:
            Refuse("width must be 8, 16, 32 or 64 (bits), not " + std::to_string(bits));
    }
}

int WidthIndex(int bits) { return static_cast<int>(WidthCode(bits)) >> 6; }

std::uint64_t InRange(long long value, std::uint64_t limit, const char* what) {
    if (value < 0 || static_cast<unsigned long long>(value) >= limit) {
        Refuse(std::string(what) + " " + std::to_string(value) + " is out of range (0.." +
               std::to_string(limit - 1) + ")");
    }
    return static_cast<std::uint64_t>(value);
}

int PortOf(const py::object& port, int ports, const char* letters) {
    if (py::isinstance<py::str>(port)) {
        const std::string s = port.cast<std::string>();
        for (int i = 0; letters && i < ports; ++i) {
            if (s.size() == 1 && (s[0] == letters[i] || s[0] == letters[i] + 32)) return i;
        }
        Refuse("unknown port \"" + s + "\"");
    }
    return static_cast<int>(
        InRange(IntOf(port, "port"), static_cast<std::uint64_t>(ports), "port"));
}

std::string PathOf(const py::object& path) {
    const std::string p = py::str(py::module_::import("os").attr("fspath")(path));
    if (p.empty()) Refuse("the file name is empty");
    // Relative names resolve where Python runs; the operations want the
    // folder. Python takes "~" for a name like any other, not the home folder.
    return platform::ResolveTypedPath(p.front() == '~' ? "./" + p : p,
                                      platform::CurrentDirectory(), platform::HomeFolder());
}

// --- Files ----------------------------------------------------------------------

namespace {

[[noreturn]] void RefuseFile(const std::string& path, const features::NameCheck& check) {
    if (platform::IsNotRegular(check.problem)) Refuse(path + ": " + check.reason);
    // An OSError of Python's own kind, with its errno and filename.
    const bool absent = check.absent();
    PyObject* type = absent ? PyExc_FileNotFoundError : PyExc_PermissionError;
    py::object e = py::reinterpret_borrow<py::object>(type)(absent ? ENOENT : EACCES,
                                                            check.reason, path);
    PyErr_SetObject(type, e.ptr());
    throw py::error_already_set();
}

}  // namespace

std::string FileToRead(const py::object& path) {
    const std::string p = PathOf(path);
    if (const features::NameCheck check = features::CheckNameToRead(p); !check.ok())
        RefuseFile(p, check);
    return p;
}

std::string FileToWrite(const py::object& path) {
    const std::string p = PathOf(path);
    if (const features::NameCheck check = features::CheckNameToWrite(p); !check.ok())
        RefuseFile(p, check);
    return p;
}

Buffer::Buffer(const py::object& object, bool writable) {
    if (PyObject_GetBuffer(object.ptr(), &view_, writable ? PyBUF_WRITABLE : PyBUF_SIMPLE) != 0) {
        // NumPy refuses a strided array with ValueError: a buffer that
        // cannot be had as one piece is a BufferError whoever exports it.
        if (PyErr_ExceptionMatches(PyExc_ValueError)) {
            py::error_already_set refused;
            throw py::buffer_error(std::string("the buffer is not one contiguous piece: ") +
                                   py::str(refused.value()).cast<std::string>());
        }
        throw py::error_already_set();
    }
    held_ = true;
}

bool IsBuffer(const py::object& o) { return PyObject_CheckBuffer(o.ptr()) != 0; }

std::string HexLength(std::uint64_t n) {
    char text[24];
    std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(n));
    return text;
}

}  // namespace quillon::python
