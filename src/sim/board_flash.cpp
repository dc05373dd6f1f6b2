#include "sim/board_flash.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace quillon::sim {

namespace {

constexpr FlashChip kChips[] = {FlashChip::M25p128, FlashChip::Ufm, FlashChip::Nor};
constexpr std::size_t kPiece = 1u << 20;

}  // namespace

BoardFlash::BoardFlash(const FlashProfile& profile)
    : profile_(profile),
      m25p128_(profile.timeScale),
      ufm_(profile.timeScale),
      nor_(profile) {
    Load();
}

void BoardFlash::PowerUp() {
    m25p128_.PowerUp();
    ufm_.PowerUp();
    nor_.PowerUp();
}

const char* BoardFlash::FileName(FlashChip chip) {
    switch (chip) {
        case FlashChip::M25p128:
            return "m25p128.bin";
        case FlashChip::Ufm:
            return "ufm.bin";
        case FlashChip::Nor:
            break;
    }
    return "norflash.bin";
}

FlashArray& BoardFlash::Cells(FlashChip chip) {
    return const_cast<FlashArray&>(static_cast<const BoardFlash&>(*this).Cells(chip));
}

const FlashArray& BoardFlash::Cells(FlashChip chip) const {
    switch (chip) {
        case FlashChip::M25p128:
            return m25p128_.cells();
        case FlashChip::Ufm:
            return ufm_.cells();
        case FlashChip::Nor:
            break;
    }
    return nor_.cells();
}

std::vector<std::uint8_t> BoardFlash::Contents(FlashChip chip) const {
    const FlashArray& cells = Cells(chip);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(cells.size()));
    cells.Read(0, out);
    return out;
}

void BoardFlash::Load() {
    if (profile_.dir.empty()) return;
    for (FlashChip chip : kChips) {
        const std::filesystem::path path = std::filesystem::path(profile_.dir) / FileName(chip);
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) continue;
        std::ifstream in(path, std::ios::binary);
        FlashArray& cells = Cells(chip);
        std::vector<std::uint8_t> piece(kPiece);
        for (std::uint64_t at = 0; in && at < cells.size();) {
            const auto want = static_cast<std::streamsize>(
                std::min<std::uint64_t>(piece.size(), cells.size() - at));
            in.read(reinterpret_cast<char*>(piece.data()), want);
            const auto got = static_cast<std::size_t>(in.gcount());
            if (got == 0) break;
            cells.Load(at, std::span(piece).first(got));
            at += got;
        }
    }
}

bool BoardFlash::Save() const {
    if (profile_.dir.empty()) return true;
    std::error_code ec;
    std::filesystem::create_directories(profile_.dir, ec);
    bool ok = true;
    for (FlashChip chip : kChips) {
        const std::filesystem::path path = std::filesystem::path(profile_.dir) / FileName(chip);
        std::filesystem::path temp = path;
        temp += ".part";
        const FlashArray& cells = Cells(chip);
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            std::vector<std::uint8_t> piece(kPiece);
            for (std::uint64_t at = 0; out && at < cells.size(); at += piece.size()) {
                const auto n = static_cast<std::size_t>(
                    std::min<std::uint64_t>(piece.size(), cells.size() - at));
                cells.Read(at, std::span(piece).first(n));
                out.write(reinterpret_cast<const char*>(piece.data()),
                          static_cast<std::streamsize>(n));
            }
            out.flush();
            if (!out) {
                ok = false;
                out.close();
                std::filesystem::remove(temp, ec);
                continue;
            }
        }
        std::filesystem::rename(temp, path, ec);
        if (ec) {
            ok = false;
            std::filesystem::remove(temp, ec);
        }
    }
    return ok;
}

}  // namespace quillon::sim
