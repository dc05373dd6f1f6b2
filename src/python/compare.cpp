// quillon.compare(a, b, width=8): the data viewer's comparison for lab
// scripts. a and b are files (str or os.PathLike) or bytes-like objects.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <optional>
#include <string>

#include "features/memory/data_view.h"

namespace py = pybind11;

namespace quillon::python {

namespace {

struct Comparison {
    features::CompareResult r;
    int width = 8;
};

[[noreturn]] void RaiseFileError(const std::string& path, const features::NameCheck& check) {
    using platform::NameProblem;
    PyObject* type = PyExc_OSError;
    switch (check.problem) {
        case NameProblem::Missing:
        case NameProblem::NoFolder:
        case NameProblem::NoName:
        case NameProblem::Pattern:
            type = PyExc_FileNotFoundError;
            break;
        case NameProblem::Folder:
            type = PyExc_IsADirectoryError;
            break;
        case NameProblem::Denied:
        case NameProblem::FolderDenied:
            type = PyExc_PermissionError;
            break;
        default:
            break;
    }
    PyErr_SetString(type, (path + ": " + check.reason).c_str());
    throw py::error_already_set();
}

// One side: a file opened for reading in pieces, or the bytes of a buffer.
struct Side {
    std::unique_ptr<features::DataFile> file;
    std::optional<py::buffer_info> buffer;

    explicit Side(const py::object& o) {
        const py::object fspath = py::module_::import("os").attr("fspath");
        if (py::isinstance<py::str>(o) || py::hasattr(o, "__fspath__")) {
            const std::string path = py::str(fspath(o));
            file = std::make_unique<features::DataFile>();
            const features::NameCheck check = file->Open(path);
            if (!check.ok()) RaiseFileError(path, check);
            return;
        }
        if (!PyObject_CheckBuffer(o.ptr()))
            throw py::type_error("compare() takes file names or bytes-like objects");
        buffer = py::reinterpret_borrow<py::buffer>(o).request();
    }
    std::span<const std::uint8_t> bytes() const {
        return {static_cast<const std::uint8_t*>(buffer->ptr),
                static_cast<std::size_t>(buffer->size * buffer->itemsize)};
    }
};

Comparison Compare(const py::object& a, const py::object& b, int width,
                   const std::optional<std::uint64_t>& length) {
    if (width != 8 && width != 16 && width != 32 && width != 64)
        throw py::value_error("width must be 8, 16, 32 or 64 (bits)");
    Side sa(a), sb(b);
    features::CompareOptions o;
    o.wordBytes = width / 8;
    if (length) o.limit = *length;
    Comparison c;
    c.width = width;
    if (sa.file && sb.file) {
        py::gil_scoped_release unlocked;
        c.r = features::CompareFiles(*sa.file, *sb.file, o);
    } else if (!sa.file && !sb.file) {
        c.r = features::CompareBuffers(sa.bytes(), sb.bytes(), o);
    } else {
        // A file against bytes: the file's first part, as long as the bytes.
        const Side& f = sa.file ? sa : sb;
        const Side& m = sa.file ? sb : sa;
        const std::size_t n = static_cast<std::size_t>(
            std::min<std::uint64_t>({f.file->size(), m.bytes().size(), o.limit}));
        const std::vector<std::uint8_t> head = f.file->ReadVector(0, n);
        c.r = sa.file ? features::CompareBuffers(head, m.bytes(), o)
                      : features::CompareBuffers(m.bytes(), head, o);
        (sa.file ? c.r.lengthA : c.r.lengthB) = f.file->size();
    }
    if (!c.r.ok) throw py::value_error("a file could not be read to its end (changed meanwhile?)");
    return c;
}

}  // namespace

void BindCompare(py::module_& m) {
    py::class_<Comparison>(
        m, "Comparison",
        "What quillon.compare() found: first_difference (byte offset or None), "
        "differing_bytes, differing_words, compared (bytes), length_a, length_b, "
        "width (bits) and same (equal contents and lengths).")
        .def_property_readonly("first_difference",
                               [](const Comparison& c) -> py::object {
                                   if (!c.r.firstDifference) return py::none();
                                   return py::int_(*c.r.firstDifference);
                               })
        .def_property_readonly("differing_bytes",
                               [](const Comparison& c) { return c.r.differingBytes; })
        .def_property_readonly("differing_words",
                               [](const Comparison& c) { return c.r.differingWords; })
        .def_property_readonly("compared", [](const Comparison& c) { return c.r.compared; })
        .def_property_readonly("length_a", [](const Comparison& c) { return c.r.lengthA; })
        .def_property_readonly("length_b", [](const Comparison& c) { return c.r.lengthB; })
        .def_property_readonly("width", [](const Comparison& c) { return c.width; })
        .def_property_readonly("same", [](const Comparison& c) { return c.r.same(); })
        .def("__bool__", [](const Comparison& c) { return c.r.same(); })
        .def("__repr__", [](const Comparison& c) {
            std::string first = c.r.firstDifference
                                    ? "0x" + features::HexOffset(*c.r.firstDifference)
                                    : std::string("None");
            return "<quillon.Comparison first_difference=" + first +
                   " differing_bytes=" + std::to_string(c.r.differingBytes) +
                   " differing_words=" + std::to_string(c.r.differingWords) +
                   " compared=" + std::to_string(c.r.compared) + ">";
        });
    m.def("compare", &Compare, py::arg("a"), py::arg("b"), py::kw_only(), py::arg("width") = 8,
          py::arg("length") = py::none(),
          "Compares two memory images (file names or bytes-like objects) over the shorter one "
          "(and at most `length` bytes): the first differing byte's offset and the number of "
          "differing bytes and `width`-bit words. A comparison is true when both are equal.");
}

}  // namespace quillon::python
