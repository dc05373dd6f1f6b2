// quillon.Board's configuration and memory calls: the long ones, which a
// Ctrl+C cancels, and the files they read and write.

#include <algorithm>
#include <cstring>
#include <optional>

#include "features/config/fpga_load.h"
#include "features/memory/file_stream.h"
#include "features/memory/mem_transfer.h"
#include "features/reporter.h"
#include "link/bulk.h"
#include "platform/file_io.h"
#include "python/arguments.h"
#include "python/board.h"

namespace quillon::python {

// --- Configuration ---

void Board::Configure(const py::object& pathObject, bool xilinx, bool bitswap, bool encrypt,
                      const py::object& tessera) {
    // Only a regular file is read whole; anything else would clear the
    // FPGA and then fail.
    const std::string path = FileToRead(pathObject);
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
        Record(script::ConfigureOp{path, xilinx, bitswap, encrypt});
    } else if (record_) {
        record_->Note("configuration load of " + path +
                      " in a Tessera layout: not replayed, UC sends the standard layout only");
    }
}

void Board::Clear() {
    Run("clear", "the FPGA could not be cleared",
        [&](link::BoardHandle h) { return features::FpgaClear(h); });
    NotReplayed("FPGA clear", "the clear has no macro");
}

// --- Memory ---

void Board::MemWrite(const py::object& data, int width, bool scramble, bool tessera) {
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
    NotReplayed("memory write of " + std::to_string(length) + " bytes from Python",
                "MW writes from a file");
}

py::object Board::MemRead(const py::object& lengthOrBuffer, const py::object& out, int width,
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

void Board::MemWriteFile(const py::object& pathObject, const py::object& length, int width,
                         bool scramble, bool tessera, bool split) {
    // The length given is looked at before the file: one of the wrong type
    // is a TypeError whatever the file is.
    std::uint64_t n = length.is_none() ? 0 : FileLength(IntOf(length, "length"), split);
    features::MemTransferRequest req =
        FileRequest(FileToRead(pathObject), width, scramble, tessera, split);
    if (length.is_none()) {
        const std::optional<std::uint64_t> size = platform::RegularFileSize(req.path);
        if (!size) Refuse("the memory file is not a regular file: " + req.path);
        // Whole blocks of 512 bytes; the end of the last is filled with zeros.
        n = (*size + 511) / 512 * 512;
    }
    req.lengthText = HexLength(n);
    features::MemTransferView view;
    RunLong("mem_write_file", features::kMemWriteFailed, [&](link::BoardHandle h) {
        return features::MemWriteRun(h, req, features::DefaultReporter(), view);
    });
    RecordTransfer(true, req, n, width);
}

void Board::MemReadFile(const py::object& pathObject, long long length, int width, bool scramble,
                        bool tessera, bool split) {
    const std::uint64_t n = FileLength(length, split);
    features::MemTransferRequest req =
        FileRequest(FileToWrite(pathObject), width, scramble, tessera, split);
    req.lengthText = HexLength(n);
    features::MemTransferView view;
    RunLong("mem_read_file", features::kMemReadFailed, [&](link::BoardHandle h) {
        return features::MemReadRun(h, req, features::DefaultReporter(), view);
    });
    RecordTransfer(false, req, n, width);
}

std::uint64_t Board::FileLength(long long n, bool split) {
    if (n <= 0 || n % 512 != 0) {
        Refuse("the length must be a non-zero multiple of 512, not " + std::to_string(n));
    }
    if (!split && static_cast<std::uint64_t>(n) > features::kNormalLimit) {
        Refuse("one transfer moves at most 4 GiB - 512 bytes: give split=True for more");
    }
    return static_cast<std::uint64_t>(n);
}

std::uint32_t Board::TransferLength(std::size_t n, bool tessera) {
    if (n == 0) Refuse("a memory transfer needs at least one byte");
    if (n > 0xFFFFFFFFu) Refuse("one memory transfer moves at most 4 GiB - 1 bytes");
    // Length framing counts 4-byte units.
    if (tessera && n % 4 != 0) Refuse("with tessera the length must be a multiple of 4");
    return static_cast<std::uint32_t>(n);
}

void Board::ReadInto(std::uint8_t* into, std::uint32_t n, std::uint8_t code, bool scramble,
                     bool tessera) {
    RunLong("mem_read", features::kMemReadFailed, [&](link::BoardHandle h) {
        if (!link::BulkRead(h, tessera, code, n, into)) return false;
        if (scramble) features::MemScramble({into, n});
        return true;
    });
}

features::MemTransferRequest Board::FileRequest(const std::string& path, int width, bool scramble,
                                                bool tessera, bool split) {
    features::MemTransferRequest req;
    req.path = path;
    req.widthIndex = WidthIndex(width);
    req.scramble = scramble;
    req.tessera = tessera;
    req.split = split;
    return req;
}

void Board::RecordTransfer(bool write, const features::MemTransferRequest& req, std::uint64_t n,
                           int width) {
    if (!record_) return;
    const std::string& path = req.path;
    if (req.split || req.scramble || req.tessera) {
        record_->Note(std::string(write ? "mem_write_file" : "mem_read_file") + " of " + path +
                      ": not replayed, split, scrambled or Tessera transfers have no macro");
    } else if (write) {
        Record(script::MemWriteOp{path, n, width});
    } else {
        Record(script::MemReadOp{path, n, width});
    }
}

}  // namespace quillon::python
