// The Python module's native part, quillon._quillon: boards as Python
// objects over the same request functions and feature operations the panel
// and the script runner use. The package around it (quillon/__init__.py) adds
// quillon.open() and the pytest plugin.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "features/board/board_info.h"
#include "features/board/gpio.h"
#include "features/board/i2c.h"
#include "features/board/supervision.h"
#include "features/config/fpga_load.h"
#include "features/memory/file_stream.h"
#include "features/memory/mem_transfer.h"
#include "features/registers/regex_burst.h"
#include "link/bulk.h"
#include "link/usb/usb_backend.h"
#include "link/vendor_requests.h"
#include "platform/file_io.h"
#include "python/session.h"
#include "script/session_recorder.h"
#include "sim/sim_backend.h"

namespace py = pybind11;

namespace quillon::python {

namespace {

PyObject* g_boardError = nullptr;  // quillon.BoardError, alive for the process
PyObject* g_logHook = nullptr;     // called with (operation, records) after a call

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

// What a call said goes to Python's logging, never to the process's output:
// the log lines and the device layer's diagnostics at DEBUG, the hints (what
// to do about the board) at WARNING; lines said outside any call go first,
// under no operation.
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

// An integer argument that came as a Python object: anything but an integer
// (a float, a string) is a TypeError, as Python's own functions have it.
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

[[noreturn]] void RaiseFileNotFound(const std::string& path) {
    py::object e = py::reinterpret_borrow<py::object>(PyExc_FileNotFoundError)(
        ENOENT, "No such file or directory", path);
    PyErr_SetObject(PyExc_FileNotFoundError, e.ptr());
    throw py::error_already_set();
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
    // Relative names resolve where Python runs; the operations want the folder.
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(p, ec);
    return ec ? p : absolute.string();
}

// A contiguous buffer of a bytes-like object, held (and its exporter kept
// from resizing) while the transfer runs without the interpreter lock.
class Buffer {
  public:
    Buffer(const py::object& object, bool writable) {
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

bool IsBuffer(const py::object& o) { return PyObject_CheckBuffer(o.ptr()) != 0; }

// A length as the memory operations take it: hexadecimal digits.
std::string HexLength(std::uint64_t n) {
    char text[24];
    std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(n));
    return text;
}

// --- Boards ---------------------------------------------------------------------

class SimControl;

class Board {
  public:
    explicit Board(std::unique_ptr<Session> session,
                   std::unique_ptr<script::SessionRecorder> record = nullptr)
        : session_(std::move(session)), record_(std::move(record)) {}
    Board(Board&&) = default;
    // Python drops a board with the interpreter lock held. Closing waits for
    // a call another thread runs, and that thread takes the lock to look for
    // Ctrl+C: the lock goes first.
    ~Board() {
        if (!session_) return;
        py::gil_scoped_release unlocked;
        session_.reset();
    }

    // Runs `body` on the board without the interpreter lock; raises BoardError
    // with `fallback` as its message when it fails and said nothing itself.
    // A Ctrl+C (any signal whose handler raises) on the main thread while the
    // call waits for its turn ends it before anything is sent.
    void Run(const char* operation, const char* fallback, const Session::Body& body) {
        Call(operation, fallback, body, false);
    }

    // The same for a call that may take long (a memory transfer, a
    // configuration load): the body runs aside while this thread waits, and a
    // Ctrl+C cancels it: the bulk transfer in flight ends and the end command
    // goes out (a configuration load runs to its end first); then the
    // exception the handler raised (KeyboardInterrupt) propagates.
    void RunLong(const char* operation, const char* fallback, const Session::Body& body) {
        Call(operation, fallback, body, true);
    }

    // --- Registers ---
    std::uint64_t RegRead(long long address, int width, bool extended, bool block) {
        const auto w = WidthCode(width);
        const std::size_t bytes = static_cast<std::size_t>(link::RegWidthBytes(w));
        const std::uint32_t a = RegisterAddress(address, extended, block);
        std::uint64_t value = 0;
        Run("reg_read", "the register could not be read", [&](link::BoardHandle h) {
            std::array<std::uint8_t, 8> b{};
            if (extended || block) {
                // Both spaces carry values least significant byte first.
                const bool ok = extended
                                    ? link::VR_REGEX_READ(h, static_cast<std::uint16_t>(a), std::span(b.data(), bytes))
                                    : link::VR_REG512_READ(h, a, std::span(b.data(), bytes));
                if (!ok) return false;
                for (std::size_t i = bytes; i-- > 0;) value = value << 8 | b[i];
                return true;
            }
            std::uint32_t low = 0, high = 0;
            if (!link::VR_REG_READ(h, static_cast<std::uint16_t>(a), w, low, high)) return false;
            value = std::uint64_t{high} << 32 | low;
            return true;
        });
        const std::uint64_t shown = width == 64 ? value : value & ((std::uint64_t{1} << width) - 1);
        if (!block) {
            char hex[24];
            std::snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(shown));
            Record(script::RegReadOp{a, width, extended}, script::ReadNote(hex));
        }
        return shown;
    }

    void RegWrite(long long address, const py::int_& valueObject, int width, bool extended,
                  bool block) {
        const auto w = WidthCode(width);
        const std::size_t bytes = static_cast<std::size_t>(link::RegWidthBytes(w));
        const std::uint32_t a = RegisterAddress(address, extended, block);
        const std::uint64_t value = ValueOfWidth(valueObject, width);
        Run("reg_write", "the register could not be written", [&](link::BoardHandle h) {
            if (!extended && !block) {
                return link::VR_REG_WRITE(h, static_cast<std::uint16_t>(a), w,
                                          static_cast<std::uint32_t>(value),
                                          static_cast<std::uint32_t>(value >> 32));
            }
            std::array<std::uint8_t, 8> b{};
            for (std::size_t i = 0; i < 8; ++i) b[i] = static_cast<std::uint8_t>(value >> (8 * i));
            const std::span<const std::uint8_t> out(b.data(), bytes);
            return extended ? link::VR_REGEX_WRITE(h, static_cast<std::uint16_t>(a), out)
                            : link::VR_REG512_WRITE(h, a, out);
        });
        if (!block) Record(script::RegWriteOp{a, width, value, extended});
    }

    py::bytes ExtRead(long long address, long long length) {
        const int a = static_cast<int>(InRange(address, features::kRegExAddressCount, "extended register address"));
        const int n = static_cast<int>(InRange(length - 1, features::kRegExBurstMax, "length - 1")) + 1;
        features::RegExBurst burst{};
        Run("ext_read", "the extended registers could not be read", [&](link::BoardHandle h) {
            return features::RegExBurstRead(h, a, n, burst);
        });
        return py::bytes(reinterpret_cast<const char*>(burst.data()), static_cast<std::size_t>(n));
    }

    void ExtWrite(long long address, const py::object& data) {
        const int a = static_cast<int>(InRange(address, features::kRegExAddressCount, "extended register address"));
        features::RegExBurst burst{};
        int n = 0;
        {
            Buffer b(data, false);
            n = static_cast<int>(InRange(static_cast<long long>(b.size()) - 1, features::kRegExBurstMax,
                                         "length - 1")) + 1;
            std::memcpy(burst.data(), b.data(), static_cast<std::size_t>(n));
        }
        Run("ext_write", "the extended registers could not be written", [&](link::BoardHandle h) {
            return features::RegExBurstWrite(h, a, n, burst);
        });
    }

    py::bytes BlockRead(long long address, long long length) {
        const auto a = static_cast<std::uint32_t>(InRange(address, 1u << 21, "block register address"));
        const auto n = static_cast<std::size_t>(InRange(length - 1, 512, "length - 1")) + 1;
        std::array<std::uint8_t, 512> b{};
        Run("block_read", "the block registers could not be read", [&](link::BoardHandle h) {
            return link::VR_REG512_READ(h, a, std::span(b.data(), n));
        });
        return py::bytes(reinterpret_cast<const char*>(b.data()), n);
    }

    void BlockWrite(long long address, const py::object& data) {
        const auto a = static_cast<std::uint32_t>(InRange(address, 1u << 21, "block register address"));
        Buffer b(data, false);
        InRange(static_cast<long long>(b.size()) - 1, 512, "length - 1");
        Run("block_write", "the block registers could not be written", [&](link::BoardHandle h) {
            return link::VR_REG512_WRITE(h, a, std::span<const std::uint8_t>(b.data(), b.size()));
        });
    }

    // --- Configuration ---
    void Configure(const py::object& pathObject, bool xilinx, bool bitswap, bool encrypt,
                   const py::object& tessera) {
        const std::string path = PathOf(pathObject);
        if (!platform::PathExists(path)) RaiseFileNotFound(path);
        // Only a regular file is read whole; anything else would clear the
        // FPGA and then fail.
        if (platform::IsNotRegular(platform::CheckFileToRead(path)))
            Refuse("the configuration file is not a regular file: " + path);
        std::string layout;  // "" = the standard layout
        if (py::isinstance<py::str>(tessera)) {
            layout = tessera.cast<std::string>();
            std::transform(layout.begin(), layout.end(), layout.begin(), ::tolower);
            if (layout != "altera" && layout != "xilinx" && layout != "tavel") {
                Refuse("tessera must be False, True, \"altera\", \"xilinx\" or \"tavel\"");
            }
        } else if (py::bool_(tessera)) {
            layout = xilinx ? "xilinx" : "altera";
        }
        if (!layout.empty() && bitswap) Refuse("bitswap belongs to the standard layout, not Tessera");
        if (layout == "tavel" && encrypt) Refuse("Tessera Tavel has no encryption");
        RunLong("configure", "the FPGA did not take the configuration", [&](link::BoardHandle h) {
            if (layout.empty()) return features::FpgaConfigure(h, path, xilinx, bitswap, encrypt);
            if (layout == "altera") return features::FpgaConfigureTesseraAltera(h, path, encrypt);
            if (layout == "xilinx") return features::FpgaConfigureTesseraXilinx(h, path, encrypt);
            return features::FpgaConfigureTesseraTavel(h, path);
        });
        if (layout.empty()) {
            Record(script::ConfigureOp{FullPath(path), xilinx, bitswap, encrypt});
        } else if (record_) {
            record_->Note("configuration load of " + FullPath(path) +
                          " in a Tessera layout: not replayed, UC sends the standard layout only");
        }
    }

    void Clear() {
        Run("clear", "the FPGA could not be cleared",
            [&](link::BoardHandle h) { return features::FpgaClear(h); });
    }

    // --- Memory ---
    void MemWrite(const py::object& data, int width, bool scramble, bool tessera) {
        const std::uint8_t code = static_cast<std::uint8_t>(WidthCode(width));
        Buffer b(data, false);
        const std::uint32_t length = TransferLength(b.size(), tessera);
        RunLong("mem_write", features::kMemWriteFailed, [&](link::BoardHandle h) {
            if (!scramble) return link::BulkWrite(h, tessera, code, length, b.data());
            // The caller's bytes stay as they are: each piece is scrambled on its way.
            std::size_t at = 0;
            return link::BulkWriteStream(h, tessera, code, length, [&](std::span<std::uint8_t> piece) {
                std::memcpy(piece.data(), b.data() + at, piece.size());
                features::MemScramble(piece);
                at += piece.size();
                return true;
            });
        });
    }

    py::object MemRead(const py::object& lengthOrBuffer, const py::object& out, int width,
                       bool scramble, bool tessera) {
        const std::uint8_t code = static_cast<std::uint8_t>(WidthCode(width));
        py::object target = out;
        std::optional<long long> length;
        if (!lengthOrBuffer.is_none()) {
            if (IsBuffer(lengthOrBuffer)) {
                if (!out.is_none()) Refuse("give the buffer once: as the first argument or as out=");
                target = lengthOrBuffer;
            } else {
                length = IntOf(lengthOrBuffer, "length");
            }
        }
        if (target.is_none()) {
            if (!length) Refuse("mem_read needs a length or a buffer to read into");
            if (*length < 0) Refuse("the length must not be negative");
            const std::uint32_t n = TransferLength(static_cast<std::size_t>(*length), tessera);
            py::object bytes = py::reinterpret_steal<py::object>(
                PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(n)));
            if (!bytes) throw py::error_already_set();
            ReadInto(reinterpret_cast<std::uint8_t*>(PyBytes_AS_STRING(bytes.ptr())), n, code,
                     scramble, tessera);
            return bytes;
        }
        Buffer b(target, true);
        if (length && (*length < 0 || static_cast<std::size_t>(*length) > b.size())) {
            Refuse("the length " + std::to_string(*length) + " does not fit the buffer of " +
                   std::to_string(b.size()) + " bytes");
        }
        const std::uint32_t n = TransferLength(length ? static_cast<std::size_t>(*length) : b.size(), tessera);
        ReadInto(b.data(), n, code, scramble, tessera);
        return target;
    }

    void MemWriteFile(const py::object& pathObject, const py::object& length, int width,
                      bool scramble, bool tessera, bool split) {
        features::MemTransferRequest req = FileRequest(pathObject, width, scramble, tessera, split);
        if (!platform::PathExists(req.path)) RaiseFileNotFound(req.path);
        std::uint64_t n = 0;
        if (length.is_none()) {
            const std::optional<std::uint64_t> size = platform::RegularFileSize(req.path);
            if (!size) Refuse("the memory file is not a regular file: " + req.path);
            // Whole blocks of 512 bytes; the end of the last is filled with zeros.
            n = (*size + 511) / 512 * 512;
        } else {
            n = FileLength(IntOf(length, "length"), split);
        }
        req.lengthText = HexLength(n);
        features::MemTransferView view;
        RunLong("mem_write_file", features::kMemWriteFailed, [&](link::BoardHandle h) {
            return features::MemWriteRun(h, req, features::DefaultReporter(), view);
        });
        RecordTransfer(true, req, n, width);
    }

    void MemReadFile(const py::object& pathObject, long long length, int width, bool scramble,
                     bool tessera, bool split) {
        features::MemTransferRequest req = FileRequest(pathObject, width, scramble, tessera, split);
        const std::uint64_t n = FileLength(length, split);
        req.lengthText = HexLength(n);
        features::MemTransferView view;
        RunLong("mem_read_file", features::kMemReadFailed, [&](link::BoardHandle h) {
            return features::MemReadRun(h, req, features::DefaultReporter(), view);
        });
        RecordTransfer(false, req, n, width);
    }

    // --- I2C, GPIO, temperature, board information ---
    void I2cWrite(long long address, long long reg, long long value, const py::object& port,
                  int registerBytes) {
        const int p = PortOf(port, features::kI2cPorts, nullptr);
        const auto a = static_cast<std::uint8_t>(InRange(address, 256, "I2C address byte"));
        const auto d = static_cast<std::uint8_t>(InRange(value, 256, "value"));
        const std::uint32_t r = RegisterOf(reg, registerBytes);
        Run("i2c_write", "the I2C write failed", [&](link::BoardHandle h) {
            if (registerBytes == 1) return features::I2cWriteRegister(h, p, a, static_cast<std::uint8_t>(r), d);
            return features::I2cSendCommand(h, p, 4, features::I2cCommandBytes(4, a, r, d));
        });
    }

    int I2cRead(long long address, long long reg, const py::object& port, int registerBytes) {
        const int p = PortOf(port, features::kI2cPorts, nullptr);
        const auto a = static_cast<std::uint8_t>(InRange(address, 256, "I2C address byte"));
        const std::uint32_t r = RegisterOf(reg, registerBytes);
        std::uint8_t data = 0;
        Run("i2c_read", "the I2C read failed", [&](link::BoardHandle h) {
            if (registerBytes == 1) return features::I2cReadRegister(h, p, a, static_cast<std::uint8_t>(r), data);
            const auto readAddress = static_cast<std::uint8_t>(a | 1);
            return features::I2cReadCommand(h, p, 4, features::I2cCommandBytes(4, a, r, readAddress), data);
        });
        return data;
    }

    void DacWrite(const py::object& data, const py::object& port) {
        const int p = PortOf(port, features::kI2cPorts, nullptr);
        std::array<std::uint8_t, 4> bytes{};
        {
            Buffer b(data, false);
            if (b.size() != 4) Refuse("the DAC takes four parameter bytes");
            std::memcpy(bytes.data(), b.data(), 4);
        }
        Run("dac_write", "the DAC parameters could not be sent",
            [&](link::BoardHandle h) { return features::DacSend(h, p, bytes); });
    }

    void GpioDirection(const py::object& port, bool output) {
        const int p = PortOf(port, features::kGpioPorts, "ACE");
        Run("gpio_direction", "the GPIO direction could not be set",
            [&](link::BoardHandle h) { return features::GpioSetDirection(h, p, output); });
    }

    void GpioWrite(const py::object& port, long long value) {
        const int p = PortOf(port, features::kGpioPorts, "ACE");
        const auto v = static_cast<std::uint8_t>(InRange(value, 256, "value"));
        Run("gpio_write", "the GPIO port could not be written",
            [&](link::BoardHandle h) { return features::GpioWriteByte(h, p, v); });
    }

    int GpioRead(const py::object& port) {
        const int p = PortOf(port, features::kGpioPorts, "ACE");
        std::uint8_t v = 0;
        Run("gpio_read", "the GPIO port could not be read",
            [&](link::BoardHandle h) { return features::GpioReadByte(h, p, v); });
        return v;
    }

    double Temperature() {
        double celsius = 0;
        Run("temperature", "the temperature could not be read", [&](link::BoardHandle h) {
            const std::optional<features::TempReading> t = features::TemperatureReadAndShow(h);
            if (!t) {
                features::TemperatureFailed();
                return false;
            }
            celsius = t->value;
            return true;
        });
        return celsius;
    }

    int TempAlert() {
        std::uint8_t degrees = 0;
        Run("temp_alert", "the temperature alert threshold could not be read",
            [&](link::BoardHandle h) { return features::TempAlertRead(h, degrees); });
        return degrees;
    }

    void SetTempAlert(long long degrees) {
        const auto d = static_cast<std::uint8_t>(InRange(degrees, 256, "degrees"));
        Run("set_temp_alert", "the temperature alert threshold could not be set",
            [&](link::BoardHandle h) { return features::TempAlertWrite(h, d); });
    }

    py::dict Info() {
        features::BoardInfoLabels labels;
        Run("info", "the board information could not be read", [&](link::BoardHandle h) {
            labels = features::BoardInfoUpdate(h);
            return labels.ok;
        });
        auto hex = [](const std::optional<std::string>& label) {
            return label ? std::stoul(label->substr(0, label->size() - 1), nullptr, 16) : 0ul;
        };
        py::dict d;
        d["firmware_version"] = hex(labels.firmwareVersion);
        d["product_id"] = hex(labels.productId);
        d["chip_revision"] = hex(labels.chipRevision);
        d["product_name"] = labels.productName.value_or("");
        d["speed"] = labels.speed.value_or("");
        return d;
    }

    // --- The board object ---
    void Close() {
        std::string error;
        bool whole = true;
        {
            py::gil_scoped_release unlocked;
            whole = session_->Close(error);
        }
        if (!whole) {
            CallReport r;
            r.messages.push_back("the wire trace is incomplete: " + error);
            RaiseBoardError("close", error, r);
        }
    }
    void FlushTrace() {
        py::gil_scoped_release unlocked;
        session_->FlushTrace();
    }
    bool closed() const { return session_->closed(); }
    const std::string& name() const { return session_->name(); }
    py::object Sim();

  private:
    void Call(const char* operation, const char* fallback, const Session::Body& body, bool aside) {
        // Python's signal handlers run on the main thread when asked; elsewhere
        // this finds nothing. What a handler raises stays pending until the
        // call has ended.
        const Session::Interrupted interrupted = [] {
            py::gil_scoped_acquire locked;
            return PyErr_CheckSignals() != 0;
        };
        CallReport report;
        bool ok = false;
        {
            py::gil_scoped_release unlocked;
            ok = session_->Call(body, report, interrupted, aside);
        }
        if (report.interrupted) {
            py::error_already_set raised;  // takes it, so the log hook may run
            PassLog(operation, report);
            throw raised;
        }
        PassLog(operation, report);
        if (!ok) RaiseBoardError(operation, fallback, report);
    }

    static std::uint32_t RegisterAddress(long long address, bool extended, bool block) {
        if (extended && block) Refuse("a register is extended or a block register, not both");
        if (extended) {
            return static_cast<std::uint32_t>(
                InRange(address, features::kRegExAddressCount, "extended register address"));
        }
        if (block) return static_cast<std::uint32_t>(InRange(address, 1u << 21, "block register address"));
        return static_cast<std::uint32_t>(InRange(address, 0x4000, "register address"));
    }

    static std::uint64_t ValueOfWidth(const py::int_& valueObject, int width) {
        // Any Python integer: checked before it is cut to 64 bits.
        const py::int_ limit = py::int_(py::reinterpret_steal<py::object>(
            PyNumber_Lshift(py::int_(1).ptr(), py::int_(width).ptr())));
        if (valueObject < py::int_(0) || !(valueObject < limit)) {
            Refuse("the value does not fit in " + std::to_string(width) + " bits");
        }
        return PyLong_AsUnsignedLongLongMask(valueObject.ptr());
    }

    // The length of a transfer to or from a file, refused here as the panel's
    // memory page refuses it in a box.
    static std::uint64_t FileLength(long long n, bool split) {
        if (n <= 0 || n % 512 != 0) {
            Refuse("the length must be a non-zero multiple of 512, not " + std::to_string(n));
        }
        if (!split && static_cast<std::uint64_t>(n) > features::kNormalLimit) {
            Refuse("one transfer moves at most 4 GiB - 512 bytes: give split=True for more");
        }
        return static_cast<std::uint64_t>(n);
    }

    static std::uint32_t TransferLength(std::size_t n, bool tessera) {
        if (n == 0) Refuse("a memory transfer needs at least one byte");
        if (n > 0xFFFFFFFFu) Refuse("one memory transfer moves at most 4 GiB - 1 bytes");
        // Length framing counts 4-byte units.
        if (tessera && n % 4 != 0) Refuse("with tessera the length must be a multiple of 4");
        return static_cast<std::uint32_t>(n);
    }

    void ReadInto(std::uint8_t* into, std::uint32_t n, std::uint8_t code, bool scramble, bool tessera) {
        RunLong("mem_read", features::kMemReadFailed, [&](link::BoardHandle h) {
            if (!link::BulkRead(h, tessera, code, n, into)) return false;
            if (scramble) features::MemScramble({into, n});
            return true;
        });
    }

    static features::MemTransferRequest FileRequest(const py::object& path, int width, bool scramble,
                                                    bool tessera, bool split) {
        features::MemTransferRequest req;
        req.path = PathOf(path);
        req.widthIndex = WidthIndex(width);
        req.scramble = scramble;
        req.tessera = tessera;
        req.split = split;
        return req;
    }

    static std::uint32_t RegisterOf(long long reg, int registerBytes) {
        if (registerBytes != 1 && registerBytes != 2) Refuse("register_bytes must be 1 or 2");
        return static_cast<std::uint32_t>(InRange(reg, registerBytes == 1 ? 0x100 : 0x10000, "I2C register"));
    }

    // The recording of open(record=...): calls that have a macro, after they
    // succeeded (a failed call raised before).
    void Record(const script::MacroOp& op, const std::string& note = {}) {
        if (record_) record_->Op(op, note);
    }
    static std::string FullPath(const std::string& path) {
        std::error_code ec;
        return std::filesystem::absolute(path, ec).lexically_normal().string();
    }
    void RecordTransfer(bool write, const features::MemTransferRequest& req, std::uint64_t n,
                        int width) {
        if (!record_) return;
        const std::string path = FullPath(req.path);
        if (req.split || req.scramble || req.tessera) {
            record_->Note(std::string(write ? "mem_write_file" : "mem_read_file") + " of " + path +
                          ": not replayed, split, scrambled or Tessera transfers have no macro");
        } else if (write) {
            Record(script::MemWriteOp{path, n, width});
        } else {
            Record(script::MemReadOp{path, n, width});
        }
    }

    std::unique_ptr<Session> session_;
    std::unique_ptr<script::SessionRecorder> record_;
};

// The simulated board behind a Board: its state and its faults, for tests.
class SimControl {
  public:
    explicit SimControl(std::shared_ptr<sim::SimBoard> board) : board_(std::move(board)) {}
    SimControl(SimControl&&) = default;
    // The last owner of a simulated board waits for its reset timer: without
    // the interpreter lock, like a board's close.
    ~SimControl() {
        if (!board_) return;
        py::gil_scoped_release unlocked;
        board_.reset();
    }

    void SetFaults(std::uint64_t failRequest, std::uint64_t stallRequest, std::uint64_t unplugAtRequest,
                   std::uint64_t stallBulk, std::uint64_t hangBulk, std::uint64_t unplugAtBulk,
                   std::uint32_t shortBulkBy, std::uint64_t unplugAfterBulkBytes,
                   bool i2cStatusZero, std::optional<std::uint8_t> configStatus) {
        // Counted from now: 1 is the next request (or bulk transfer).
        const std::uint64_t requests = board_->RequestCount(), bulks = board_->BulkCount();
        auto from = [](std::uint64_t base, std::uint64_t n) { return n ? base + n : 0; };
        sim::Faults f;
        f.failRequest = from(requests, failRequest);
        f.stallRequest = from(requests, stallRequest);
        f.unplugAtRequest = from(requests, unplugAtRequest);
        f.stallBulk = from(bulks, stallBulk);
        f.hangBulk = from(bulks, hangBulk);
        f.unplugAtBulk = from(bulks, unplugAtBulk);
        f.shortBulkBy = shortBulkBy;
        f.unplugAfterBulkBytes = unplugAfterBulkBytes;
        f.i2cStatusZero = i2cStatusZero;
        f.configStatus = configStatus;
        board_->SetFaults(f);
    }
    void ClearFaults() { board_->SetFaults({}); }
    void Unplug() {
        py::gil_scoped_release unlocked;
        board_->Unplug();
    }
    void Plug() {
        py::gil_scoped_release unlocked;
        board_->Plug();
    }
    bool OnBus() const { return board_->OnBus(); }
    std::uint64_t Requests() const { return board_->RequestCount(); }
    std::uint64_t BulkTransfers() const { return board_->BulkCount(); }
    std::uint64_t BulkBytes() const { return board_->BulkBytes(); }

    std::uint64_t Register(long long address) const {
        return board_->Register(static_cast<std::uint16_t>(InRange(address, 0x4000, "register address")));
    }
    void SetRegister(long long address, std::uint64_t value) {
        board_->SetRegister(static_cast<std::uint16_t>(InRange(address, 0x4000, "register address")), value);
    }
    py::bytes Memory(std::uint64_t address, std::size_t length, int target) const {
        const std::vector<std::uint8_t> b =
            board_->ReadMemory(static_cast<std::uint8_t>(InRange(target, 256, "memory")), address, length);
        return py::bytes(reinterpret_cast<const char*>(b.data()), b.size());
    }
    void SetMemory(std::uint64_t address, const py::object& data, int target) {
        Buffer b(data, false);
        board_->WriteMemory(static_cast<std::uint8_t>(InRange(target, 256, "memory")), address,
                            std::span<const std::uint8_t>(b.data(), b.size()));
    }
    py::dict Configuration() const {
        const sim::ConfigInfo c = board_->Configuration();
        py::dict d;
        d["configured"] = c.configured;
        d["design"] = c.design;
        d["stream_count"] = c.streamCount;
        d["load_count"] = c.loadCount;
        d["last_stream_length"] = c.lastStreamLength;
        d["last_stream_crc32"] = c.lastStreamCrc32;
        return d;
    }
    void SetTemperature(const std::optional<double>& celsius) {
        if (!celsius) return board_->SetTemperature(std::nullopt);
        if (*celsius < 0 || *celsius >= 256) Refuse("the temperature must be within 0..255.99");
        const auto hundredths = static_cast<long>(*celsius * 100 + 0.5);
        board_->SetTemperature(static_cast<std::uint16_t>((hundredths / 100) << 8 | (hundredths % 100)));
    }
    void SetGpioInput(const py::object& port, long long level) {
        board_->SetGpioInput(PortOf(port, sim::SimBoard::kGpioPorts, "ACE"),
                             static_cast<std::uint8_t>(InRange(level, 256, "level")));
    }
    py::dict Gpio(const py::object& port) const {
        const sim::GpioPort g = board_->Gpio(PortOf(port, sim::SimBoard::kGpioPorts, "ACE"));
        py::dict d;
        d["direction"] = g.direction;
        d["latch"] = g.latch;
        d["input"] = g.input;
        return d;
    }
    py::bytes Eeprom(int port) const {
        const auto e = board_->Eeprom(static_cast<int>(InRange(port, sim::SimBoard::kI2cPorts, "port")));
        return py::bytes(reinterpret_cast<const char*>(e.data()), e.size());
    }

  private:
    std::shared_ptr<sim::SimBoard> board_;
};

py::object Board::Sim() {
    sim::SimBackend* sim = session_->sim();
    if (!sim) return py::none();
    return py::cast(SimControl(sim->boardPtr()));
}

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

    m.def("_open", &OpenBoard, py::arg("board"), py::arg("profile"), py::arg("trace"),
          py::arg("record") = "");
    m.def("boards", &Boards,
          "The boards connected over USB (quillon-run --list). Raises BoardError when USB "
          "itself cannot be reached (libusb does not start).");
}

