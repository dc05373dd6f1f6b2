#pragma once
// quillon.Board: one board opened by quillon.open(), its calls over the same
// request functions and feature operations the panel and the script runner
// use, and the recording of the calls that have a macro. The configuration
// and memory calls are in board_memory.cpp.

#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "features/memory/mem_transfer.h"
#include "features/registers/regex_burst.h"
#include "python/session.h"
#include "script/session_recorder.h"

namespace py = pybind11;

namespace quillon::python {

class Board {
  public:
    explicit Board(std::unique_ptr<Session> session,
                   std::unique_ptr<script::SessionRecorder> record = nullptr)
        : session_(std::move(session)), record_(std::move(record)) {}
    Board(Board&&) = default;
    // Python drops a board with the interpreter lock held. Closing waits for
    // a call another thread runs, and that thread takes the lock to look for
    // Ctrl+C: the lock goes first.
    ~Board();

    // Runs `body` on the board without the interpreter lock; raises BoardError
    // with `fallback` as its message when it fails and said nothing itself.
    // A Ctrl+C (any signal whose handler raises) on the main thread while the
    // call waits for its turn ends it before anything is sent.
    void Run(const char* operation, const char* fallback, const Session::Body& body);

    // The same for a call that may take long (a memory transfer, a
    // configuration load): the body runs aside while this thread waits, and a
    // Ctrl+C cancels it: the bulk transfer in flight ends and the end command
    // goes out (a configuration load runs to its end first); then the
    // exception the handler raised (KeyboardInterrupt) propagates.
    void RunLong(const char* operation, const char* fallback, const Session::Body& body);

    // --- Registers ---
    std::uint64_t RegRead(long long address, int width, bool extended, bool block);
    void RegWrite(long long address, const py::int_& valueObject, int width, bool extended,
                  bool block);
    py::bytes ExtRead(long long address, long long length);
    void ExtWrite(long long address, const py::object& data);
    py::bytes BlockRead(long long address, long long length);
    void BlockWrite(long long address, const py::object& data);

    // --- Configuration ---
    void Configure(const py::object& pathObject, bool xilinx, bool bitswap, bool encrypt,
                   const py::object& tessera);
    void Clear();

    // --- Memory ---
    void MemWrite(const py::object& data, int width, bool scramble, bool tessera);
    py::object MemRead(const py::object& lengthOrBuffer, const py::object& out, int width,
                       bool scramble, bool tessera);
    void MemWriteFile(const py::object& pathObject, const py::object& length, int width,
                      bool scramble, bool tessera, bool split);
    void MemReadFile(const py::object& pathObject, long long length, int width, bool scramble,
                     bool tessera, bool split);

    // --- I2C, GPIO, temperature, board information ---
    void I2cWrite(long long address, long long reg, long long value, const py::object& port,
                  int registerBytes);
    int I2cRead(long long address, long long reg, const py::object& port, int registerBytes);
    void DacWrite(const py::object& data, const py::object& port);
    void GpioDirection(const py::object& port, bool output);
    void GpioWrite(const py::object& port, long long value);
    int GpioRead(const py::object& port);
    double Temperature();
    int TempAlert();
    void SetTempAlert(long long degrees);
    py::dict Info();

    // --- The board object ---
    void Close();
    void FlushTrace();
    bool closed() const { return session_->closed(); }
    const std::string& name() const { return session_->name(); }
    py::object Sim();

  private:
    void Call(const char* operation, const char* fallback, const Session::Body& body, bool aside);

    static std::uint32_t RegisterAddress(long long address, bool extended, bool block);
    static std::uint64_t ValueOfWidth(const py::int_& valueObject, int width);

    // The length of a transfer to or from a file, refused here as the panel's
    // memory page refuses it in a box.
    static std::uint64_t FileLength(long long n, bool split);
    static std::uint32_t TransferLength(std::size_t n, bool tessera);
    void ReadInto(std::uint8_t* into, std::uint32_t n, std::uint8_t code, bool scramble,
                  bool tessera);
    // `path` as FileToRead or FileToWrite gave it.
    static features::MemTransferRequest FileRequest(const std::string& path, int width,
                                                    bool scramble, bool tessera, bool split);
    static std::uint32_t RegisterOf(long long reg, int registerBytes);

    // The recording of open(record=...): calls that have a macro, after they
    // succeeded (a failed call raised before).
    void Record(const script::MacroOp& op, const std::string& note = {});
    // A comment for a call that changed the board but has no macro.
    void NotReplayed(const std::string& what, const std::string& why);
    static int I2cForm(int port, int registerBytes);
    void RecordExtended(bool write, int address, int n, const features::RegExBurst& burst);
    void RecordTransfer(bool write, const features::MemTransferRequest& req, std::uint64_t n,
                        int width);

    std::unique_ptr<Session> session_;
    std::unique_ptr<script::SessionRecorder> record_;
};

}  // namespace quillon::python
