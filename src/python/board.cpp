#include "python/board.h"

#include <pybind11/stl.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <optional>

#include "features/board/board_info.h"
#include "features/board/gpio.h"
#include "features/board/i2c.h"
#include "features/board/supervision.h"
#include "features/hex_field.h"
#include "features/registers/regex_burst.h"
#include "link/vendor_requests.h"
#include "python/arguments.h"
#include "python/sim_control.h"
#include "sim/sim_backend.h"

namespace quillon::python {

Board::~Board() {
    if (!session_) return;
    py::gil_scoped_release unlocked;
    session_.reset();
}

void Board::Run(const char* operation, const char* fallback, const Session::Body& body) {
    Call(operation, fallback, body, false);
}

void Board::RunLong(const char* operation, const char* fallback, const Session::Body& body) {
    Call(operation, fallback, body, true);
}

// --- Registers ---

std::uint64_t Board::RegRead(long long address, int width, bool extended, bool block) {
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

void Board::RegWrite(long long address, const py::int_& valueObject, int width, bool extended,
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
    if (block) {
        NotReplayed("block register write of " + std::to_string(bytes) + " bytes at " +
                        std::to_string(a),
                    "block registers have no macro");
    } else {
        Record(script::RegWriteOp{a, width, value, extended});
    }
}

py::bytes Board::ExtRead(long long address, long long length) {
    const int a = static_cast<int>(
        InRange(address, features::kRegExAddressCount, "extended register address"));
    const int n = static_cast<int>(InRange(length - 1, features::kRegExBurstMax, "length - 1")) + 1;
    features::RegExBurst burst{};
    Run("ext_read", "the extended registers could not be read", [&](link::BoardHandle h) {
        return features::RegExBurstRead(h, a, n, burst);
    });
    RecordExtended(false, a, n, burst);
    return py::bytes(reinterpret_cast<const char*>(burst.data()), static_cast<std::size_t>(n));
}

void Board::ExtWrite(long long address, const py::object& data) {
    const int a = static_cast<int>(
        InRange(address, features::kRegExAddressCount, "extended register address"));
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
    RecordExtended(true, a, n, burst);
}

py::bytes Board::BlockRead(long long address, long long length) {
    const auto a = static_cast<std::uint32_t>(InRange(address, 1u << 21, "block register address"));
    const auto n = static_cast<std::size_t>(InRange(length - 1, 512, "length - 1")) + 1;
    std::array<std::uint8_t, 512> b{};
    Run("block_read", "the block registers could not be read", [&](link::BoardHandle h) {
        return link::VR_REG512_READ(h, a, std::span(b.data(), n));
    });
    return py::bytes(reinterpret_cast<const char*>(b.data()), n);
}

void Board::BlockWrite(long long address, const py::object& data) {
    const auto a = static_cast<std::uint32_t>(InRange(address, 1u << 21, "block register address"));
    Buffer b(data, false);
    InRange(static_cast<long long>(b.size()) - 1, 512, "length - 1");
    Run("block_write", "the block registers could not be written", [&](link::BoardHandle h) {
        return link::VR_REG512_WRITE(h, a, std::span<const std::uint8_t>(b.data(), b.size()));
    });
    NotReplayed("block register write of " + std::to_string(b.size()) + " bytes at " +
                    std::to_string(a),
                "block registers have no macro");
}

// --- I2C, GPIO, temperature, board information ---

void Board::I2cWrite(long long address, long long reg, long long value, const py::object& port,
                     int registerBytes) {
    const int p = PortOf(port, features::kI2cPorts, nullptr);
    const auto a = static_cast<std::uint8_t>(InRange(address, 256, "I2C address byte"));
    const auto d = static_cast<std::uint8_t>(InRange(value, 256, "value"));
    const std::uint32_t r = RegisterOf(reg, registerBytes);
    Run("i2c_write", "the I2C write failed", [&](link::BoardHandle h) {
        if (registerBytes == 1) return features::I2cWriteRegister(h, p, a, static_cast<std::uint8_t>(r), d);
        return features::I2cSendCommand(h, p, 4, features::I2cCommandBytes(4, a, r, d));
    });
    Record(script::I2cWriteOp{I2cForm(p, registerBytes), p, registerBytes == 2 ? 4 : 3, a, r, d});
}

int Board::I2cRead(long long address, long long reg, const py::object& port, int registerBytes) {
    const int p = PortOf(port, features::kI2cPorts, nullptr);
    const auto a = static_cast<std::uint8_t>(InRange(address, 256, "I2C address byte"));
    const std::uint32_t r = RegisterOf(reg, registerBytes);
    std::uint8_t data = 0;
    Run("i2c_read", "the I2C read failed", [&](link::BoardHandle h) {
        if (registerBytes == 1) return features::I2cReadRegister(h, p, a, static_cast<std::uint8_t>(r), data);
        const auto readAddress = static_cast<std::uint8_t>(a | 1);
        return features::I2cReadCommand(h, p, 4, features::I2cCommandBytes(4, a, r, readAddress), data);
    });
    Record(script::I2cReadOp{I2cForm(p, registerBytes), p, registerBytes == 2 ? 4 : 3, a, r},
           script::ReadNote(features::HexField(data, 2)));
    return data;
}

void Board::DacWrite(const py::object& data, const py::object& port) {
    const int p = PortOf(port, features::kI2cPorts, nullptr);
    std::array<std::uint8_t, 4> bytes{};
    {
        Buffer b(data, false);
        if (b.size() != 4) Refuse("the DAC takes four parameter bytes");
        std::memcpy(bytes.data(), b.data(), 4);
    }
    Run("dac_write", "the DAC parameters could not be sent",
        [&](link::BoardHandle h) { return features::DacSend(h, p, bytes); });
    std::string sent;
    for (const std::uint8_t byte : bytes) sent += features::HexField(byte, 2);
    NotReplayed("DAC parameters " + sent + " on I2C port " + std::to_string(p),
                "the DAC has no macro");
}

void Board::GpioDirection(const py::object& port, bool output) {
    const int p = PortOf(port, features::kGpioPorts, "ACE");
    Run("gpio_direction", "the GPIO direction could not be set",
        [&](link::BoardHandle h) { return features::GpioSetDirection(h, p, output); });
    Record(script::GpioDirectionOp{p, output});
}

void Board::GpioWrite(const py::object& port, long long value) {
    const int p = PortOf(port, features::kGpioPorts, "ACE");
    const auto v = static_cast<std::uint8_t>(InRange(value, 256, "value"));
    Run("gpio_write", "the GPIO port could not be written",
        [&](link::BoardHandle h) { return features::GpioWriteByte(h, p, v); });
    Record(script::GpioWriteOp{p, v});
}

int Board::GpioRead(const py::object& port) {
    const int p = PortOf(port, features::kGpioPorts, "ACE");
    std::uint8_t v = 0;
    Run("gpio_read", "the GPIO port could not be read",
        [&](link::BoardHandle h) { return features::GpioReadByte(h, p, v); });
    Record(script::GpioReadOp{p}, script::ReadNote(features::HexField(v, 2)));
    return v;
}

double Board::Temperature() {
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

int Board::TempAlert() {
    std::uint8_t degrees = 0;
    Run("temp_alert", "the temperature alert threshold could not be read",
        [&](link::BoardHandle h) { return features::TempAlertRead(h, degrees); });
    Record(script::TempAlertGetOp{}, script::ReadNote(std::to_string(degrees)));
    return degrees;
}

void Board::SetTempAlert(long long degrees) {
    const auto d = static_cast<std::uint8_t>(InRange(degrees, 256, "degrees"));
    Run("set_temp_alert", "the temperature alert threshold could not be set",
        [&](link::BoardHandle h) { return features::TempAlertWrite(h, d); });
    Record(script::TempAlertSetOp{d});
}

py::dict Board::Info() {
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

void Board::Close() {
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

void Board::FlushTrace() {
    py::gil_scoped_release unlocked;
    session_->FlushTrace();
}

void Board::Call(const char* operation, const char* fallback, const Session::Body& body,
                 bool aside) {
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

std::uint32_t Board::RegisterAddress(long long address, bool extended, bool block) {
    if (extended && block) Refuse("a register is extended or a block register, not both");
    if (extended) {
        return static_cast<std::uint32_t>(
            InRange(address, features::kRegExAddressCount, "extended register address"));
    }
    if (block) return static_cast<std::uint32_t>(InRange(address, 1u << 21, "block register address"));
    return static_cast<std::uint32_t>(InRange(address, 0x4000, "register address"));
}

std::uint64_t Board::ValueOfWidth(const py::int_& valueObject, int width) {
    // Any Python integer: checked before it is cut to 64 bits.
    const py::int_ limit = py::int_(py::reinterpret_steal<py::object>(
        PyNumber_Lshift(py::int_(1).ptr(), py::int_(width).ptr())));
    if (valueObject < py::int_(0) || !(valueObject < limit)) {
        Refuse("the value does not fit in " + std::to_string(width) + " bits");
    }
    return PyLong_AsUnsignedLongLongMask(valueObject.ptr());
}

std::uint32_t Board::RegisterOf(long long reg, int registerBytes) {
    if (registerBytes != 1 && registerBytes != 2) Refuse("register_bytes must be 1 or 2");
    return static_cast<std::uint32_t>(
        InRange(reg, registerBytes == 1 ? 0x100 : 0x10000, "I2C register"));
}

void Board::Record(const script::MacroOp& op, const std::string& note) {
    if (record_) record_->Op(op, note);
}

void Board::NotReplayed(const std::string& what, const std::string& why) {
    if (record_) record_->Note(what + ": not replayed, " + why);
}

int Board::I2cForm(int port, int registerBytes) {
    // Two register bytes go in the four-byte command (IW3/IR3 -M4); one goes
    // as IW/IR on the first port, as IW2/IR2 on the second.
    if (registerBytes == 2) return 3;
    return port == 0 ? 1 : 2;
}

void Board::RecordExtended(bool write, int address, int n, const features::RegExBurst& burst) {
    if (!record_) return;
    if (n != 1 && n != 2 && n != 4 && n != 8) {
        NotReplayed(std::string("extended register burst ") + (write ? "write" : "read") +
                        " of " + std::to_string(n) + " bytes at " + std::to_string(address),
                    "RW and RR -REGEX move 1, 2, 4 or 8 bytes");
        return;
    }
    // The extended space carries values least significant byte first.
    std::uint64_t value = 0;
    for (int i = n; i-- > 0;) value = value << 8 | burst[static_cast<std::size_t>(i)];
    const auto a = static_cast<std::uint32_t>(address);
    if (write) {
        Record(script::RegWriteOp{a, 8 * n, value, true});
    } else {
        Record(script::RegReadOp{a, 8 * n, true},
               script::ReadNote(features::HexField(value, 2 * n)));
    }
}

py::object Board::Sim() {
    sim::SimBackend* sim = session_->sim();
    if (!sim) return py::none();
    return py::cast(SimControl(sim->boardPtr()));
}

}  // namespace quillon::python
