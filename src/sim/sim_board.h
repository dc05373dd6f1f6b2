#pragma once
// The simulated board: a device-side model of the USB controller's firmware
// and of the FPGA behind it. It decodes setup packets and bulk bytes as the
// firmware does, so everything the host packs is checked for real.
//
// Thread-safe: one internal lock guards the state; transfers may come from any
// thread (the umockdev handler calls from its own). Emulated link speed sleeps
// outside the lock, in slices, so an unplug from another thread cuts a long
// transfer short.
//
// Choices where the hardware leaves freedom, so tests know what to expect:
// - An unknown request, a request in the wrong direction, or a setup field
//   that disagrees with the request's layout (wLength, wIndex) stalls.
// - An unconfigured FPGA: registers, extended and block registers read 0 and
//   drop writes; the firmware serves the bulk transfers between a memory
//   begin and end itself: writes are dropped, reads give the bytes 00 01 02 ..
//   FF 00 .. (from 00 again with every transfer).
// - A bulk transfer outside a memory begin/end pair, or against the direction
//   of the open begin, stalls.
// - Request 0xC6 serves both the extended registers and the I2CX read. An OUT
//   with a non-zero wIndex (the data length) is an I2CX first phase; an IN right
//   after it with wValue 0, wIndex 0 and the length data + 1 is its second
//   phase; everything else is an extended-register access. (An I2CX read of
//   zero data bytes is therefore taken as an extended-register write.)

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "link/device.h"
#include "sim/fpga_design.h"
#include "sim/i2c_bus.h"
#include "sim/sim_profile.h"

namespace quillon::sim {

// Checksums of configuration streams (CRC-32 as zlib computes it, FNV-1a 64).
std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);
std::uint64_t Fnv64(std::span<const std::uint8_t> bytes,
                    std::uint64_t hash = 0xcbf29ce484222325ull);

struct ConfigInfo {
    bool configured = false;             // a design is loaded
    std::string design;                  // its name ("user"), empty when unconfigured
    bool configMode = false;             // between VR_CFG_MODE 0xC1 and 0x41
    std::uint64_t streamCount = 0;       // streams that ended (0x41 after bulk data)
    std::uint64_t loadCount = 0;         // designs loaded by a stream
    std::uint64_t lastStreamLength = 0;  // bytes of the last stream
    std::uint32_t lastStreamCrc32 = 0;
    std::uint64_t lastStreamFnv64 = 0;
    std::uint64_t streamBytesNow = 0;  // bytes of the stream in progress
};

struct GpioPort {
    std::uint16_t direction = 0;  // as sent; non-zero = the whole port drives
    std::uint8_t latch = 0;       // output latch
    std::uint8_t input = 0;       // level of the pins from outside
};

// The last memory command the firmware took (VR_MEM_CMD or VR_MEM_CMDLEN).
struct MemCommand {
    bool seen = false;
    std::uint8_t command = 0;  // 0xC0, 0x40, 0x80, 0x00
    bool lengthFraming = false;
    std::uint8_t widthCode = 0;
    std::uint32_t units = 0;
};

enum class BoardEvent { LeftBus, Arrived };

class SimBoard : private DesignContext {
  public:
    // How much of a configuration stream is kept for design matching.
    static constexpr std::size_t kStreamKeep = 64u << 20;
    static constexpr int kGpioPorts = 3;  // A = 0, C = 1, E = 2
    static constexpr int kI2cPorts = 2;
    static constexpr std::uint8_t kEepromAddress = I2cBus::kEepromAddress;
    static constexpr std::uint8_t kDacAddress = I2cBus::kDacAddress;

    explicit SimBoard(Profile profile = {});
    ~SimBoard() override;
    SimBoard(const SimBoard&) = delete;
    SimBoard& operator=(const SimBoard&) = delete;

    // The three transfers, as the USB controller sees them.
    link::TransferResult Control(const link::SetupPacket& setup, std::span<std::uint8_t> data);
    link::TransferResult BulkOut(std::uint8_t ep, std::span<const std::uint8_t> data);
    link::TransferResult BulkIn(std::uint8_t ep, std::span<std::uint8_t> data);
    // The same, refused with NoDevice unless the board is still in bus
    // session `session` (a Device opened before an unplug never reaches the
    // board again, even after it came back).
    link::TransferResult ControlInSession(std::uint64_t session, const link::SetupPacket& setup,
                                          std::span<std::uint8_t> data);
    link::TransferResult BulkOutInSession(std::uint64_t session, std::uint8_t ep,
                                          std::span<const std::uint8_t> data);
    link::TransferResult BulkInInSession(std::uint64_t session, std::uint8_t ep,
                                         std::span<std::uint8_t> data);
    // Streamed transfers (link::Device::BulkOutStream): one transfer as the
    // board sees it, faults included, with the data passed in slices.
    link::TransferResult BulkOutStreamInSession(std::uint64_t session, std::uint8_t ep,
                                                std::uint32_t length,
                                                const link::BulkSource& source);
    link::TransferResult BulkInStreamInSession(std::uint64_t session, std::uint8_t ep,
                                               std::uint32_t length, const link::BulkSink& sink);

    // Bus presence.
    bool OnBus() const;
    std::uint64_t Session() const;  // changes whenever the board joins the bus
    void Unplug();                  // cable pulled: leaves the bus
    void Plug();                    // cable back: powers up afresh, joins the bus
    // Called (without the board's lock held, from the thread that caused it or
    // the reset timer) when the board leaves or joins the bus. Set it before
    // transfers start; it is cleared by passing nullptr, which waits for a
    // call in progress.
    using EventHandler = std::function<void(BoardEvent)>;
    void SetEventHandler(EventHandler handler);

    // Designs that a configuration stream may load; the first that matches
    // wins, the user design serves every other stream.
    void RegisterDesign(std::string name, DesignMatcher matcher, DesignFactory factory);

    // Faults.
    void SetFaults(const Faults& faults);
    Faults GetFaults() const;
    std::uint64_t RequestCount() const;  // control transfers seen so far
    std::uint64_t BulkBytes() const;     // bulk bytes moved so far
    std::uint64_t BulkCount() const;     // bulk transfers seen so far
    // For a bus that answers a transfer inside the host's call and so cannot
    // wait in it (the umockdev test bed): when the board is on the bus and
    // its next bulk transfer is the one hang_bulk names, counts it as seen
    // and returns true; the caller then leaves it unanswered instead of
    // passing it on. Otherwise changes nothing.
    bool TakeHungBulk();

    // USB descriptors as the sysfs "descriptors" attribute holds them: the
    // device descriptor then the configuration descriptor (one vendor-specific
    // interface, bulk OUT 0x06 and bulk IN 0x82).
    std::vector<std::uint8_t> UsbDescriptors() const;

    // --- Inspection and set-up for tests ---
    const Profile& profile() const { return profile_; }
    ConfigInfo Configuration() const;
    std::uint64_t Register(std::uint16_t address) const;
    void SetRegister(std::uint16_t address, std::uint64_t value);
    std::uint8_t ExtendedRegister(std::uint16_t address) const;
    std::vector<std::uint8_t> BlockRegisters(std::uint32_t address, std::size_t n) const;
    std::vector<std::uint8_t> ReadMemory(std::uint8_t target, std::uint64_t address,
                                         std::size_t n) const;
    void WriteMemory(std::uint8_t target, std::uint64_t address,
                     std::span<const std::uint8_t> bytes);
    std::size_t MemoryStoredPages() const;
    MemCommand LastMemCommand() const;
    bool MemTransferOpen() const;

    // The flash memories' cells (the whole chip), and raw set-up of them.
    std::vector<std::uint8_t> FlashContents(FlashChip chip) const;
    void LoadFlash(FlashChip chip, std::uint64_t address, std::span<const std::uint8_t> bytes);

    GpioPort Gpio(int port) const;
    void SetGpioInput(int port, std::uint8_t level);
    std::array<std::uint8_t, 256> Eeprom(int port) const;
    void SetEeprom(int port, std::span<const std::uint8_t> bytes, std::uint8_t offset = 0);
    // The 64 KiB EEPROM with two-byte word addresses.
    std::vector<std::uint8_t> WideEeprom(int port, std::uint16_t address, std::size_t n) const;
    void SetWideEeprom(int port, std::span<const std::uint8_t> bytes, std::uint16_t address);
    DacState Dac(int port) const;

    std::uint8_t ReadWait() const;
    std::uint8_t WriteWait() const;
    std::uint16_t GpifWave(int direction) const;  // 0 read, 1 write: 0 burst, 1 word
    std::uint8_t Watchdog() const;
    std::uint16_t Suspend() const;
    std::uint8_t TempAlertThreshold() const;
    std::uint16_t Temperature() const;  // hundredths | whole << 8, as VR_TEMP_READ answers
    void SetTemperature(std::optional<std::uint16_t> fixed);  // nullopt = drift
    bool TemperatureAlert() const;  // whole degrees at or above the threshold
    std::uint64_t FirmwareResets() const;

  private:
    struct Registered {
        std::string name;
        DesignMatcher matcher;
        DesignFactory factory;
    };
    // A two-phase I2CX request waiting for its second phase.
    struct I2cxPending {
        bool active = false;
        bool read = false;
        int port = 0;
        int header = 0;
        int data = 0;
        std::vector<std::uint8_t> bytes;
    };
    enum class Events { None, LeftBus };

    // DesignContext
    SparseMemory& Memory(std::uint8_t target) override;
    std::chrono::steady_clock::duration Uptime() const override;
    BoardFlash& Flash() override { return *flash_; }

    link::TransferResult DoControl(std::optional<std::uint64_t> session,
                                   const link::SetupPacket& setup, std::span<std::uint8_t> data);
    // `isOut` says the direction: an empty buffer may come without a pointer.
    // A streamed transfer gives `source` or `sink` instead of `out` or `in`.
    link::TransferResult DoBulk(std::optional<std::uint64_t> session, std::uint8_t ep, bool isOut,
                                const std::uint8_t* out, std::uint8_t* in, std::size_t length,
                                const link::BulkSource* source, const link::BulkSink* sink);
    // Decoding, with mu_ held. Returns the result; may set `leave`.
    link::TransferResult Vendor(const link::SetupPacket& s, std::span<std::uint8_t> data,
                                bool& leave);
    link::TransferResult Standard(const link::SetupPacket& s, std::span<std::uint8_t> data);
    link::TransferResult RegisterRequest(const link::SetupPacket& s, std::span<std::uint8_t> d);
    link::TransferResult MemCommandRequest(std::uint8_t command, bool lengthFraming,
                                           std::uint8_t width, std::uint32_t units);
    link::TransferResult CfgMode(std::uint8_t mode);
    link::TransferResult I2cByte(const link::SetupPacket& s, std::span<std::uint8_t> d, int port,
                                 bool write);
    link::TransferResult I2cxPhase1(const link::SetupPacket& s, std::span<std::uint8_t> d,
                                    bool read);
    link::TransferResult I2cxPhase2(const link::SetupPacket& s, std::span<std::uint8_t> d);
    link::TransferResult DacRequest(const link::SetupPacket& s, std::span<std::uint8_t> d,
                                    int port);
    I2cBus* Bus(int port);  // nullptr for a port the board lacks, or under the status-0 fault
    std::uint16_t TemperatureLocked() const;

    void PowerUpLocked();        // power-on state of firmware, FPGA and memory
    void FirmwareResetLocked();  // the USB controller restarts; FPGA and memory stay
    void LeaveBusLocked();
    // The board loses its power (unplugged): the FPGA stops, the flash keeps
    // what has been written and goes to the flash folder.
    void PowerLossLocked();
    void Notify(BoardEvent event);
    void ResetTimerLoop();
    void PaceControl() const;

    const Profile profile_;
    mutable std::mutex mu_;
    Faults faults_;
    std::uint64_t faultBulkBase_ = 0;  // BulkBytes when the faults were set

    bool onBus_ = true;
    std::uint64_t session_ = 1;
    std::uint64_t requests_ = 0;
    std::uint64_t bulkBytes_ = 0;
    std::uint64_t bulkTransfers_ = 0;
    std::uint64_t blockReads_ = 0;
    std::uint64_t fwResets_ = 0;
    std::chrono::steady_clock::time_point powerUp_;

    // Firmware state.
    std::uint8_t readWait_ = 0, writeWait_ = 0;
    std::uint16_t gpifWave_[2] = {0, 0};
    GpioPort gpio_[kGpioPorts];
    std::vector<I2cBus> i2c_;
    I2cxPending i2cx_;
    std::uint8_t watchdog_ = 0;
    std::uint16_t suspend_ = 0;
    std::uint8_t tempAlert_ = 85;
    std::optional<std::uint16_t> fixedTemp_;
    MemCommand lastMem_;
    bool memOpen_ = false;
    MemDirection memDirection_ = MemDirection::Write;

    // FPGA.
    std::unique_ptr<FpgaDesign> design_;
    std::vector<Registered> designs_;
    bool cfgMode_ = false;
    std::vector<std::uint8_t> stream_;  // first kStreamKeep bytes
    std::uint64_t streamLength_ = 0;
    std::uint32_t streamCrc_ = 0;
    std::uint64_t streamFnv_ = 0;
    ConfigInfo cfgInfo_;

    // Flash memories (non-volatile).
    std::unique_ptr<BoardFlash> flash_;

    // Memory chips, by target number.
    std::unordered_map<std::uint8_t, std::unique_ptr<SparseMemory>> memory_;

    // Bus events.
    std::recursive_mutex handlerMu_;
    EventHandler handler_;

    // Re-arrival after a firmware reset.
    std::mutex timerMu_;
    std::condition_variable timerCv_;
    std::optional<std::chrono::steady_clock::time_point> rearriveAt_;
    std::uint64_t rearriveSession_ = 0;
    bool stopTimer_ = false;
    std::thread timer_;
};

}  // namespace quillon::sim
