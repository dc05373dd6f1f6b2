#include "features/flash/par_flash.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>

#include "features/flash/flash_time.h"
#include "features/long_work.h"
#include "link/bulk.h"
#include "link/vendor_requests.h"
#include "platform/file_io.h"
#include "platform/platform.h"
#include "platform/ui_text.h"

namespace quillon::features {

namespace {

constexpr std::uint16_t kControl = 2, kStatus = 3, kData = 4, kAddress = 5, kCount = 6;
constexpr std::uint8_t kStatusError = 0x01, kStatusBusy = 0x02, kStatusReady = 0x80;

bool Control(link::BoardHandle h, std::initializer_list<std::uint8_t> values) {
    for (std::uint8_t v : values)
        if (!link::VR_REG_WRITE(h, kControl, link::RegWidth::Bits8, v, 0)) return false;
    return true;
}

bool Write32(link::BoardHandle h, std::uint16_t reg, std::uint32_t value) {
    return link::VR_REG_WRITE(h, reg, link::RegWidth::Bits32, value, 0);
}

std::string Format(const char* format, auto... values) {
    char buf[160];
    std::snprintf(buf, sizeof buf, format, values...);
    return buf;
}

// Reads up to `n` bytes of the file into `out`; false on a read error.
bool ReadInto(platform::InputFile& f, std::uint8_t* out, std::uint64_t n) {
    return f.Read(out, static_cast<std::size_t>(n)).has_value();
}

std::unique_ptr<std::uint8_t[]> Allocate(std::uint64_t n, std::uint8_t fill) {
    if (n > SIZE_MAX) return nullptr;
    std::unique_ptr<std::uint8_t[]> p(new (std::nothrow) std::uint8_t[n ? n : 1]);
    if (p) std::fill_n(p.get(), n, fill);
    return p;
}

// Written beside the target and renamed into place: a failure never leaves
// half a dump where a whole one was.
bool WriteDump(const std::string& path, const std::uint8_t* data, std::uint64_t n) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    platform::ReplacingFile f;
    return f.Open(path) && f.Write(data, static_cast<std::size_t>(n)) && f.Commit();
}

// The data file opened for reading (only a regular file), or a log line
// saying it is not there.
bool OpenDataFile(const std::string& path, Reporter& r, platform::InputFile& file) {
    if (file.Open(path) == platform::InputFile::Status::Ok) return true;
    r.Log(Lang::Tr("ﾃﾞｰﾀﾌｧｲﾙが存在しません。"));
    return false;
}

}  // namespace

bool ParFlashBusWrite(link::BoardHandle h, std::uint32_t wordAddress, std::uint16_t data) {
    return Write32(h, kAddress, wordAddress) &&
           link::VR_REG_WRITE(h, kData, link::RegWidth::Bits16, data, 0) && Control(h, {0x01, 0x00});
}

bool ParFlashReadStatus(link::BoardHandle h, ParFlashStatus& flags) {
    std::uint32_t low = 0, high = 0;
    if (!link::VR_REG_READ(h, kStatus, link::RegWidth::Bits8, low, high)) return false;
    flags.ready = (low & kStatusReady) != 0;
    flags.error = (low & kStatusError) != 0;
    flags.busy = (low & kStatusBusy) != 0;
    return true;
}

bool ParFlashReadCfi(link::BoardHandle h, std::span<std::uint8_t> buffer) {
    if (buffer.size() < kCfiBufferBytes) return false;
    // The query command as one bus write, then a counted read from CFI address 0.
    return link::VR_REG_WRITE(h, kData, link::RegWidth::Bits16, 0x0098, 0) &&
           Write32(h, kAddress, 0x55) && Control(h, {0x00, 0x01, 0x00}) &&
           Write32(h, kAddress, 0) && Write32(h, kCount, 0xFF) && Control(h, {0x80, 0x82, 0x80}) &&
           link::BulkRead(h, false, 0, kCfiBufferBytes, buffer.data()) &&
           ParFlashBusWrite(h, 0, 0xF0F0) && Control(h, {0x00});
}

bool ParFlashDecodeCfi(std::span<const std::uint8_t> buffer, FlashGeometry& geometry,
                       Reporter& r) {
    const CfiDecode d = DecodeCfi(buffer);
    if (d.error == CfiError::NoSignature) return false;
    if (d.error == CfiError::Truncated) {
        r.Log(Lang::Tr("CFIｸｴﾘのﾃﾞｰﾀが不足しています。"));
        return false;
    }
    for (const std::string& line : CfiReportLines(d.query)) r.Log(line);
    if (d.error == CfiError::NoRegions) {
        r.Log(Lang::Tr("ｲﾚｰｽﾌﾞﾛｯｸのﾘｰｼﾞｮﾝがありません。"));
        return false;
    }
    if (d.error == CfiError::TooManyRegions) {
        // The geometry holds four regions; erasing only those would leave the
        // rest of the flash unerased under the new data.
        r.Log(Lang::Tr("ｲﾚｰｽﾌﾞﾛｯｸのﾘｰｼﾞｮﾝが4つを超えるFLASHには対応していません。"));
        return false;
    }
    geometry = d.query.geometry;
    return true;
}

bool ParFlashEraseBlock(link::BoardHandle h, std::uint32_t blockWordAddress,
                        std::uint32_t maxSeconds, Reporter& r) {
    static constexpr std::pair<std::uint32_t, std::uint16_t> kSetup[] = {
        {0x000, 0xF0F0}, {0x555, 0xAAAA}, {0x2AA, 0x5555}, {0x555, 0x8080},
        {0x555, 0xAAAA}, {0x2AA, 0x5555}};
    for (const auto& [address, data] : kSetup)
        if (!ParFlashBusWrite(h, address, data)) return false;
    if (!ParFlashBusWrite(h, blockWordAddress, 0x3030)) return false;
    const std::int64_t deadline = Time().NowMs() + std::int64_t{maxSeconds} * 1000;
    for (;;) {
        if (Time().NowMs() >= deadline) return false;
        ParFlashStatus s;
        if (!ParFlashReadStatus(h, s)) return false;
        if (s.ready) return true;
        r.Pump();
    }
}

bool ParFlashEraseAll(link::BoardHandle h, const FlashGeometry& geometry, std::int64_t startMs,
                      ParFlashDisplay& display, Reporter& r) {
    const std::uint32_t regions =
        std::min<std::uint32_t>(geometry.regionCount, static_cast<std::uint32_t>(kMaxEraseRegions));
    std::uint64_t total = 0;
    for (std::uint32_t i = 0; i < regions; ++i) total += geometry.regionBlocks[i];
    display.Range(static_cast<std::uint32_t>(total));
    display.Position(0);
    std::uint32_t address = 0, position = 0;
    for (std::uint32_t i = 0; i < regions; ++i) {
        for (std::uint32_t b = 0; b < geometry.regionBlocks[i]; ++b) {
            // A cancel stops between blocks: the block being erased is finished.
            if (CancelRequested()) return false;
            if (!ParFlashEraseBlock(h, address, geometry.blockEraseMaxS, r)) return false;
            address += geometry.regionBlockBytes[i] / 2;
            ++position;
            display.Position(position);
            display.Text(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ERASE ：%1%"),
                                    static_cast<unsigned long long>(position * 100ull / total)));
            display.Elapsed(startMs);
            r.Pump();
        }
    }
    return true;
}

bool ParFlashWriteChunk(link::BoardHandle h, std::uint32_t byteAddress, std::uint32_t byteLength,
                        std::uint32_t wordWriteMaxUs, const std::uint8_t* data, Reporter& r) {
    // The time-out counts a full chunk's words, also for a shorter last chunk.
    const std::uint64_t timeoutUs = std::uint64_t{wordWriteMaxUs} * (kChunkBytes / 2);
    const std::uint32_t count = byteLength / 2 - 1;
    if (!ParFlashBusWrite(h, 0, 0xF0F0) || !Write32(h, kAddress, byteAddress / 2) ||
        !Write32(h, kCount, count) || !Control(h, {0x80}))
        return false;
    // Always a whole chunk on the wire: register 6 tells the bridge how many
    // words of it to program.
    if (!link::BulkWrite(h, false, 0, kChunkBytes, data)) return false;
    if (!Control(h, {0x00, 0x04, 0x00})) return false;
    const std::int64_t deadline =
        Time().NowMs() + static_cast<std::int64_t>((timeoutUs + 999) / 1000);
    for (;;) {
        if (Time().NowMs() >= deadline) {
            r.Log(Lang::Tr("ﾗｲﾄﾀｲﾑｱｳﾄ"));
            r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "開始ｱﾄﾞﾚｽ ： %1h"),
                             Format("%08X", byteAddress)));
            r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾚﾝｸﾞｽ ： %1h"), Format("%08X", count)));
            r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾙｰﾌﾟﾀｲﾑ ： %1us"),
                             static_cast<unsigned long long>(timeoutUs)));
            return false;
        }
        ParFlashStatus s;
        if (!ParFlashReadStatus(h, s)) return false;
        if (!s.busy) return true;
        if (s.error) {
            r.Log(Lang::Tr("ﾗｲﾄｴﾗｰ"));
            return false;
        }
        r.Pump();
    }
}

bool ParFlashWriteImage(link::BoardHandle h, const FlashGeometry& geometry, std::int64_t startMs,
                        const std::string& path, ParFlashDisplay& display, Reporter& r) {
    platform::InputFile data;
    return OpenDataFile(path, r, data) && ParFlashWriteImage(h, geometry, startMs, data, display, r);
}

bool ParFlashWriteImage(link::BoardHandle h, const FlashGeometry& geometry, std::int64_t startMs,
                        platform::InputFile& data, ParFlashDisplay& display, Reporter& r) {
    const std::uint64_t fileSize = data.size();
    const std::uint64_t size = (fileSize + 1) & ~std::uint64_t{1};
    std::uint64_t chunks = size / kChunkBytes;
    std::uint64_t rest = size % kChunkBytes;
    std::uint64_t length = rest != 0 ? size + kChunkBytes : size;
    if (geometry.totalBytes < length) {
        // Only the start of the file fits; a file close to the flash size is
        // written to the end of the flash with FFh after it.
        length = geometry.totalBytes;
        chunks = geometry.totalBytes / kChunkBytes;
        rest = 0;
    }
    // Everything after the file reads FFh, also the high byte of an odd
    // file's last word; a short last chunk's transfer reads on into that
    // padding, which is why the buffer is a chunk longer than the data.
    auto buffer = Allocate(length, 0xFF);
    if (!buffer) return false;
    if (!ReadInto(data, buffer.get(), std::min<std::uint64_t>(fileSize, length))) {
        r.Log(Lang::Tr("ﾃﾞｰﾀﾌｧｲﾙが存在しません。"));
        return false;
    }

    display.Range(static_cast<std::uint32_t>(rest != 0 ? chunks + 1 : chunks));
    display.Position(0);
    for (std::uint64_t i = 0; i < chunks; ++i) {
        // A cancel stops between chunks: a chunk is programmed whole.
        if (CancelRequested()) return false;
        if (!ParFlashWriteChunk(h, static_cast<std::uint32_t>(i * kChunkBytes), kChunkBytes,
                                geometry.wordWriteMaxUs, buffer.get() + i * kChunkBytes, r)) {
            r.Log(Lang::Tr("FLASHﾗｲﾄｴﾗｰ1"));
            return false;
        }
        display.Position(static_cast<std::uint32_t>(i));
        display.Text(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "WRITE ： %1%"),
                                Format("%.1f", static_cast<double>(i) * 100.0 / chunks)));
        display.Elapsed(startMs);
        r.Pump();
    }
    if (rest != 0 &&
        !ParFlashWriteChunk(h, static_cast<std::uint32_t>(chunks * kChunkBytes),
                            static_cast<std::uint32_t>(rest), geometry.wordWriteMaxUs,
                            buffer.get() + chunks * kChunkBytes, r)) {
        r.Log(Lang::Tr("FLASHﾗｲﾄｴﾗｰ2"));
        return false;
    }
    display.Position(static_cast<std::uint32_t>(chunks));
    display.Text(Lang::Tr("WRITE ： 100%"));
    r.Pump();
    return true;
}

namespace {

bool StartVerifyRead(link::BoardHandle h) {
    return ParFlashBusWrite(h, 0, 0xF0F0) && Write32(h, kAddress, 0) && Write32(h, kCount, 0) &&
           Control(h, {0x00, 0x02, 0x00});
}

bool CompareWithFlash(link::BoardHandle h, const FlashGeometry& geometry,
                      platform::InputFile& data, bool dump, Reporter& r,
                      std::optional<VerifyMismatch>* mismatch) {
    const std::uint64_t fileSize = data.size();
    const std::uint64_t length = (fileSize + 1) & ~std::uint64_t{1};
    const std::uint64_t compare = std::min<std::uint64_t>(geometry.totalBytes, length);
    // Only what is compared is read: the rest of a file larger than the flash
    // plays no part.
    auto expected = Allocate(compare, 0x00);
    auto read = Allocate(compare, 0x00);
    if (!expected || !read) return false;
    if (!ReadInto(data, expected.get(), std::min<std::uint64_t>(fileSize, compare))) {
        r.Log(Lang::Tr("ﾃﾞｰﾀﾌｧｲﾙが存在しません。"));
        return false;
    }
    if (fileSize % 2 != 0 && fileSize < compare) expected[fileSize] = 0xFF;

    if (!link::BulkRead(h, false, 0, static_cast<std::uint32_t>(compare), read.get())) {
        r.Log(Lang::Tr("FLASHﾒﾓﾘよりﾃﾞｰﾀをﾘｰﾄﾞ出来ませんでした。"));
        return false;
    }
    if (!Control(h, {0x00, 0x20, 0x00})) return false;

    const auto diff =
        std::mismatch(expected.get(), expected.get() + compare, read.get(), read.get() + compare);
    const bool equal = diff.first == expected.get() + compare;
    if (!equal && mismatch) {
        *mismatch = VerifyMismatch{static_cast<std::uint32_t>(diff.first - expected.get()),
                                   *diff.first, *diff.second};
    }
    if (dump) {
        const std::string dumpPath = VerifyDumpPath();
        if (!WriteDump(dumpPath, read.get(), std::min<std::uint64_t>(fileSize, compare))) {
            r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾀﾞﾝﾌﾟﾌｧｲﾙを作成出来ませんでした。 → %1"),
                             dumpPath));
            return false;
        }
    }
    return equal;
}

}  // namespace

bool ParFlashVerify(link::BoardHandle h, const FlashGeometry& geometry, const std::string& path,
                    bool dump, Reporter& r, std::optional<VerifyMismatch>* mismatch) {
    if (!StartVerifyRead(h)) return false;
    platform::InputFile data;
    return OpenDataFile(path, r, data) && CompareWithFlash(h, geometry, data, dump, r, mismatch);
}

bool ParFlashVerify(link::BoardHandle h, const FlashGeometry& geometry, platform::InputFile& data,
                    bool dump, Reporter& r, std::optional<VerifyMismatch>* mismatch) {
    if (!StartVerifyRead(h)) return false;
    if (!data.Rewind()) {
        r.Log(Lang::Tr("ﾃﾞｰﾀﾌｧｲﾙが存在しません。"));
        return false;
    }
    return CompareWithFlash(h, geometry, data, dump, r, mismatch);
}

std::string VerifyDumpPath() {
    return platform::AppDataFolder() + "/Quillon7/Flash_Read.bin";
}

}  // namespace quillon::features
