#include "features/config/fpga_load.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

#include "features/long_work.h"
#include "link/bulk.h"
#include "link/usb_cause.h"
#include "link/vendor_requests.h"
#include "platform/cause.h"
#include "platform/file_io.h"
#include "platform/ui_text.h"

namespace quillon::features {

namespace {

struct FileBytes {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t size = 0;
    std::span<const std::uint8_t> bytes() const { return {data.get(), size}; }
};

// The whole file, exactly as stored. Only regular files are read: a FIFO or a
// device node would block or never end. Files of 4 GiB or more are refused, the
// stream could not go to the board in one transfer anyway.
// The stream length is checked before anything is read, so a file whose stream
// could never go to the board costs no memory.
std::optional<FileBytes> ReadConfigFile(const std::string& path, const ConfigOptions& options) {
    platform::InputFile in;
    if (in.Open(path) != platform::InputFile::Status::Ok) return std::nullopt;
    if (!ConfigStreamLength(in.size(), options)) {
        SetCause(FileCause(path, Lang::Tr("ｺﾝﾌｨｸﾞﾚｰｼｮﾝﾃﾞｰﾀとして大きすぎます")));
        return std::nullopt;
    }
    FileBytes file;
    file.size = static_cast<std::size_t>(in.size());
    file.data.reset(new (std::nothrow) std::uint8_t[file.size ? file.size : 1]);
    if (!file.data) return std::nullopt;
    const auto got = in.Read(file.data.get(), file.size);
    if (got && *got < file.size) SetCause(FileCause(path, Lang::Tr("読み込み中に短くなりました")));
    if (!got || *got < file.size) return std::nullopt;  // read error or short read
    return file;
}

bool ReadConfigStatus(link::BoardHandle h, std::uint32_t& status) {
    std::uint32_t low = 0, high = 0;
    if (!link::VR_REG_READ(h, kConfigStatusRegister, link::RegWidth::Bits8, low, high)) {
        return false;
    }
    status = low & 0xFF;
    return true;
}

std::atomic<std::uint16_t> g_targetRegister{0x3FFF};

// The board's verdict on a load that went through: the FPGA did not come up.
std::string ConfigRefusedCause(std::uint32_t status) {
    char text[16];
    std::snprintf(text, sizeof text, "%02Xh", status);
    return Lang::Fill(QT_TRANSLATE_NOOP("Lang",
                                        "FPGAがｺﾝﾌｨｸﾞﾚｰｼｮﾝﾃﾞｰﾀを受け付けませんでした(ｽﾃｰﾀｽ %1)。"
                                        "ﾌｧｲﾙの種類(Altera/Xilinx)と設定を確認して下さい"),
                      text);
}

}  // namespace

bool FpgaLoad(link::BoardHandle h, const std::string& path, const ConfigOptions& options,
              Reporter& r) {
    ClearCause();  // a new action
    if (h == link::kNoBoard) {
        link::NoteNoBoard();
        return false;
    }
    // Once begun, a load runs to its end: a cancel would leave the FPGA
    // unconfigured and the board in configuration mode.
    const CancelShield shield;
    // The begin request alone clears the FPGA; from here a failure leaves it
    // unconfigured and the board in configuration mode until the next begin.
    if (!link::VR_CFG_MODE(h, link::kCfgBegin)) return false;
    if (options.layout == ConfigLayout::Standard) {
        r.Log("!!");
        r.Log(options.xilinx ? "1" : "0");
        r.Log(options.bitswap ? "1" : "0");
        r.Log(options.encrypt ? "1" : "0");
    }
    std::optional<ConfigStream> stream;
    {
        const auto file = ReadConfigFile(path, options);
        if (!file) return false;
        stream = ConfigStream::Build(file->bytes(), options);
        // The file buffer goes here; only the stream is held during the transfer.
    }
    if (!stream) return false;
    if (options.layout == ConfigLayout::TesseraXilinx) {
        // The Tessera Xilinx loader needs a moment after the begin request before
        // the first data word.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // One transfer, streamed from the stream's buffer so that its progress shows.
    ProgressMeter meter(r, stream->size());
    std::size_t sent = 0;
    const link::BulkSource source = [&](std::span<std::uint8_t> piece) {
        const std::size_t n = std::min(piece.size(), stream->size() - sent);
        std::memcpy(piece.data(), stream->data() + sent, n);
        std::memset(piece.data() + n, 0, piece.size() - n);
        sent += n;
        meter.Set(sent);
        return true;
    };
    if (!link::BulkWriteStream(h, false, 0, static_cast<std::uint32_t>(stream->size()), source)) {
        return false;
    }
    stream.reset();
    std::uint32_t status = 0;
    if (!ReadConfigStatus(h, status)) return false;
    const bool ended = link::VR_CFG_MODE(h, link::kCfgEnd);
    if (ended && status != 0) SetCause(ConfigRefusedCause(status));
    return ended && status == 0;
}

bool FpgaConfigure(link::BoardHandle h, const std::string& path, bool xilinx, bool bitswap,
                   bool encrypt, Reporter& r) {
    return FpgaLoad(h, path, {ConfigLayout::Standard, xilinx, bitswap, encrypt}, r);
}

bool FpgaConfigureTesseraAltera(link::BoardHandle h, const std::string& path, bool encrypt,
                                Reporter& r) {
    return FpgaLoad(h, path, {ConfigLayout::TesseraAltera, false, false, encrypt}, r);
}

bool FpgaConfigureTesseraXilinx(link::BoardHandle h, const std::string& path, bool encrypt,
                                Reporter& r) {
    return FpgaLoad(h, path, {ConfigLayout::TesseraXilinx, false, false, encrypt}, r);
}

bool FpgaConfigureTesseraTavel(link::BoardHandle h, const std::string& path, Reporter& r) {
    return FpgaLoad(h, path, {ConfigLayout::TesseraTavel, false, false, false}, r);
}

bool FpgaClear(link::BoardHandle h, Reporter& r) {
    (void)r;
    ClearCause();  // a new action
    if (h == link::kNoBoard) {
        link::NoteNoBoard();
        return false;
    }
    if (!link::VR_CFG_MODE(h, link::kCfgBegin)) return false;
    // The FPGA needs this long to drop its configuration and report it.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::uint32_t status = 0;
    if (!ReadConfigStatus(h, status)) return false;
    if (!link::VR_CFG_MODE(h, link::kCfgEnd)) return false;
    return status != 0;
}

std::uint16_t ConfigTargetRegister() {
    return g_targetRegister.load();
}

void SetConfigTargetRegister(long long value) {
    g_targetRegister.store(static_cast<std::uint16_t>(value & 0x3FFF));
}

}  // namespace quillon::features
