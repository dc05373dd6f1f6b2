#pragma once
// The GPIF transfer waveform of the board's firmware (Burst or Word, for
// memory reads and for memory writes). The board keeps it until it is reset;
// the program stores nothing.

#include <QtGlobal>
#include <cstdint>
#include <string>

#include "features/reporter.h"
#include "link/board_link.h"

namespace quillon::features {

enum class GpifDirection : std::uint16_t { MemRead = 0, MemWrite = 1 };
enum class GpifWave : std::uint16_t { Burst = 0, Word = 1 };

inline constexpr const char* kGpifWaveFailed =
    QT_TRANSLATE_NOOP("Lang", "GPIF-ﾒﾓﾘ転送波形切り換えに失敗しました。");

// "ﾒﾓﾘ転送のﾓｰﾄﾞ(MemRead-Burst)を切り換えました。" and the three others.
std::string GpifWaveText(GpifDirection direction, GpifWave wave);

// Sends VR_GPIF_WAVE. Success: the mode text in the status bar and the log.
// Failure: the failure line and a warning box.
bool SwitchGpifWave(link::BoardHandle h, GpifDirection direction, GpifWave wave,
                    Reporter& reporter);

}  // namespace quillon::features
