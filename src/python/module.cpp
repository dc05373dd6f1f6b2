// The Python module's native part, quillon._quillon: boards as Python
// objects over the same request functions and feature operations the panel
// and the script runner use. The package around it (quillon/__init__.py) adds
// quillon.open() and the pytest plugin.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "link/usb/usb_backend.h"
#include "platform/file_io.h"
#include "python/arguments.h"
#include "python/board.h"
#include "python/session.h"
#include "python/sim_control.h"
#include "script/session_recorder.h"
#include "sim/sim_profile.h"

namespace py = pybind11;

namespace quillon::python {

namespace {

Board OpenBoard(const std::string& board, const std::string& profile, const std::string& trace,
                const std::string& record) {
    std::unique_ptr<script::SessionRecorder> recorder;
    if (!record.empty()) {
        std::string why;
        recorder = script::SessionRecorder::Start(record, board, why);
        if (!recorder) {
            PyErr_SetString(PyExc_OSError, ("the recording cannot be written to " + record + ": " + why).c_str());
            throw py::error_already_set();
        }
    }
    OpenError error;
    std::unique_ptr<Session> s;
    {
        py::gil_scoped_release unlocked;
        s = Session::Open(board, profile, trace, error);
    }
    if (!s) {
        if (error.usage) Refuse(error.message);
        CallReport& r = error.report;
        PassLog("open", r);
        r.messages.insert(r.messages.begin(), error.message);
        r.removed = true;
        RaiseBoardError("open", error.message, r);
    }
    PassLog("open", {});
    return Board(std::move(s), std::move(recorder));
}

// A profile file, read as the script runner reads one: only a regular file
// (a FIFO would hold the call, /dev/zero never end) of at most 1 MiB.
py::bytes ReadProfile(const py::object& pathObject) {
    const std::string path = PathOf(pathObject);
    const platform::WholeFile file = platform::ReadWholeFile(path, sim::kMaxProfileBytes);
    if (file.status == platform::WholeFile::Status::Missing) {
        const py::object e = py::reinterpret_borrow<py::object>(PyExc_FileNotFoundError)(
            ENOENT, "the sim profile " + path + " " + file.Describe(sim::kMaxProfileBytes), path);
        PyErr_SetObject(PyExc_FileNotFoundError, e.ptr());
        throw py::error_already_set();
    }
    if (!file.ok()) {
        PyErr_SetString(PyExc_OSError,
                        ("the sim profile " + path + " " + file.Describe(sim::kMaxProfileBytes)).c_str());
        throw py::error_already_set();
    }
    return py::bytes(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
}

py::list Boards() {
    std::vector<usb::BoardEntry> boards;
    std::string error;
    {
        py::gil_scoped_release unlocked;
        boards = usb::ListBoards(&error);
    }
    PassLog("boards", {});
    // A USB that cannot be reached is no empty list: a broken set-up would
    // look like a lab with no boards.
    if (!error.empty()) {
        CallReport r;
        r.messages.push_back("USB cannot be reached (" + error +
                             "): is /dev/bus/usb there? A container must be given the host's USB "
                             "devices");
        RaiseBoardError("boards", r.messages.front(), r);
    }
    py::list out;
    for (const usb::BoardEntry& b : boards) out.append(py::cast(b));
    return out;
}

}  // namespace

}  // namespace quillon::python

namespace quillon::python {
void BindCompare(py::module_& m);  // compare.cpp
}

using namespace quillon;
using namespace quillon::python;

PYBIND11_MODULE(_quillon, m) {
    m.doc() = "Quillon Panel boards from Python (the native part of the quillon package)";
    InstallReporting();
    m.attr("__version__") = QUILLON_VERSION;

    g_boardError = PyErr_NewExceptionWithDoc(
        "quillon.BoardError",
        "An operation on the board failed. Attributes: operation, message, code (the failed "
        "transfer's code, 0 when none failed), error (its name or None), removed (the board "
        "left), log (the operation's log lines), hints, holder (the process number of the "
        "process that holds the board, or None).",
        PyExc_Exception, nullptr);
    m.attr("BoardError") = py::handle(g_boardError);

    BindCompare(m);

    m.def("_set_log_hook", [](py::object hook) {
        Py_XDECREF(g_logHook);
        g_logHook = hook.is_none() ? nullptr : hook.release().ptr();
    });

    py::class_<usb::BoardEntry>(m, "BoardInfo", "A board connected over USB, as quillon.boards() lists it.")
        .def_property_readonly("id", [](const usb::BoardEntry& b) { return "usb:" + usb::PortId(b); })
        .def_property_readonly("port_path", [](const usb::BoardEntry& b) { return usb::PortId(b); })
        .def_readonly("bus", &usb::BoardEntry::bus)
        .def_readonly("ports", &usb::BoardEntry::ports)
        .def_readonly("address", &usb::BoardEntry::address)
        .def_property_readonly("vid", [](const usb::BoardEntry& b) { return b.id.vid; })
        .def_property_readonly("pid", [](const usb::BoardEntry& b) { return b.id.pid; })
        .def_property_readonly("serial", [](const usb::BoardEntry& b) -> py::object {
            if (b.serial.empty()) return py::none();
            return py::str(b.serial);
        })
        .def_readonly("speed", &usb::BoardEntry::speed)
        .def("__repr__", [](const usb::BoardEntry& b) { return "<quillon.BoardInfo " + usb::DescribeBoard(b) + ">"; })
        .def("__str__", [](const usb::BoardEntry& b) { return usb::DescribeBoard(b); });

    py::class_<SimControl>(m, "SimControl", "The simulated board behind a Board (board.sim).")
        .def("set_faults", &SimControl::SetFaults, py::kw_only(), py::arg("fail_request") = 0,
             py::arg("stall_request") = 0, py::arg("unplug_at_request") = 0, py::arg("stall_bulk") = 0,
             py::arg("hang_bulk") = 0, py::arg("unplug_at_bulk") = 0, py::arg("short_bulk_by") = 0,
             py::arg("unplug_after_bulk_bytes") = 0, py::arg("i2c_status_zero") = false,
             py::arg("config_status") = py::none())
        .def("clear_faults", &SimControl::ClearFaults)
        .def("unplug", &SimControl::Unplug)
        .def("plug", &SimControl::Plug)
        .def_property_readonly("on_bus", &SimControl::OnBus)
        .def_property_readonly("request_count", &SimControl::Requests)
        .def_property_readonly("bulk_count", &SimControl::BulkTransfers)
        .def_property_readonly("bulk_bytes", &SimControl::BulkBytes)
        .def("register", &SimControl::Register, py::arg("address"))
        .def("set_register", &SimControl::SetRegister, py::arg("address"), py::arg("value"))
        .def("memory", &SimControl::Memory, py::arg("address"), py::arg("length"), py::arg("target") = 0)
        .def("set_memory", &SimControl::SetMemory, py::arg("address"), py::arg("data"), py::arg("target") = 0)
        .def_property_readonly("configuration", &SimControl::Configuration)
        .def("set_temperature", &SimControl::SetTemperature, py::arg("celsius"))
        .def("set_gpio_input", &SimControl::SetGpioInput, py::arg("port"), py::arg("level"))
        .def("gpio", &SimControl::Gpio, py::arg("port"))
        .def("eeprom", &SimControl::Eeprom, py::arg("port") = 0);

    py::class_<Board>(m, "Board",
                      "One board, opened by quillon.open().\n\n"
                      "Ctrl+C stops a long call (mem_write, mem_read, mem_write_file, "
                      "mem_read_file, configure) of the main thread: the transfer is cancelled, "
                      "its end command sent, and the call raises KeyboardInterrupt; the board "
                      "stays usable. A stopped read leaves an existing file as it was (split=True "
                      "keeps the whole pieces that arrived) and a buffer given as out= with "
                      "unspecified contents; a configuration load runs to its end first.")
        .def("reg_read", &Board::RegRead, py::arg("address"), py::arg("width") = 32, py::kw_only(),
             py::arg("extended") = false, py::arg("block") = false)
        .def("reg_write", &Board::RegWrite, py::arg("address"), py::arg("value"), py::arg("width") = 32,
             py::kw_only(), py::arg("extended") = false, py::arg("block") = false)
        .def("ext_read", &Board::ExtRead, py::arg("address"), py::arg("length") = 1)
        .def("ext_write", &Board::ExtWrite, py::arg("address"), py::arg("data"))
        .def("block_read", &Board::BlockRead, py::arg("address"), py::arg("length"))
        .def("block_write", &Board::BlockWrite, py::arg("address"), py::arg("data"))
        .def("configure", &Board::Configure, py::arg("path"), py::kw_only(), py::arg("xilinx") = false,
             py::arg("bitswap") = false, py::arg("encrypt") = false, py::arg("tessera") = false)
        .def("clear", &Board::Clear)
        .def("mem_write", &Board::MemWrite, py::arg("data"), py::kw_only(), py::arg("width") = 8,
             py::arg("scramble") = false, py::arg("tessera") = false)
        .def("mem_read", &Board::MemRead, py::arg("length") = py::none(), py::kw_only(),
             py::arg("out") = py::none(), py::arg("width") = 8, py::arg("scramble") = false,
             py::arg("tessera") = false)
        .def("mem_write_file", &Board::MemWriteFile, py::arg("path"), py::arg("length") = py::none(),
             py::kw_only(), py::arg("width") = 8, py::arg("scramble") = false,
             py::arg("tessera") = false, py::arg("split") = false)
        .def("mem_read_file", &Board::MemReadFile, py::arg("path"), py::arg("length"), py::kw_only(),
             py::arg("width") = 8, py::arg("scramble") = false, py::arg("tessera") = false,
             py::arg("split") = false)
        .def("i2c_write", &Board::I2cWrite, py::arg("address"), py::arg("register"), py::arg("value"),
             py::kw_only(), py::arg("port") = 0, py::arg("register_bytes") = 1)
        .def("i2c_read", &Board::I2cRead, py::arg("address"), py::arg("register"), py::kw_only(),
             py::arg("port") = 0, py::arg("register_bytes") = 1)
        .def("dac_write", &Board::DacWrite, py::arg("data"), py::kw_only(), py::arg("port") = 0)
        .def("gpio_direction", &Board::GpioDirection, py::arg("port"), py::arg("output"))
        .def("gpio_write", &Board::GpioWrite, py::arg("port"), py::arg("value"))
        .def("gpio_read", &Board::GpioRead, py::arg("port"))
        .def("temperature", &Board::Temperature)
        .def("temp_alert", &Board::TempAlert)
        .def("set_temp_alert", &Board::SetTempAlert, py::arg("degrees"))
        .def("info", &Board::Info)
        .def("close", &Board::Close)
        .def("flush_trace", &Board::FlushTrace)
        .def_property_readonly("closed", &Board::closed)
        .def_property_readonly("name", &Board::name)
        .def_property_readonly("sim", &Board::Sim)
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](Board& b, py::object, py::object, py::object) {
            b.Close();
            return false;
        })
        .def("__repr__", [](const Board& b) {
            return "<quillon.Board " + b.name() + (b.closed() ? " (closed)>" : ">");
        });

    m.def("_read_profile", &ReadProfile, py::arg("path"));
    m.def("_open", &OpenBoard, py::arg("board"), py::arg("profile"), py::arg("trace"),
          py::arg("record") = "");
    m.def("boards", &Boards,
          "The boards connected over USB (quillon-run --list). Raises BoardError when USB "
          "itself cannot be reached (libusb does not start).");
}

