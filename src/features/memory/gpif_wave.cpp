#include "features/memory/gpif_wave.h"

#include "link/vendor_requests.h"
#include "platform/cause.h"

namespace quillon::features {

std::string GpifWaveText(GpifDirection direction, GpifWave wave) {
    const char* d = direction == GpifDirection::MemRead ? "MemRead" : "MemWrite";
    const char* w = wave == GpifWave::Burst ? "Burst" : "Word";
    return std::string("ﾒﾓﾘ転送のﾓｰﾄﾞ(") + d + "-" + w + ")を切り換えました。";
}

bool SwitchGpifWave(link::BoardHandle h, GpifDirection direction, GpifWave wave,
                    Reporter& reporter) {
    ClearCause();  // a new action
    if (!link::VR_GPIF_WAVE(h, static_cast<std::uint16_t>(direction),
                            static_cast<std::uint16_t>(wave))) {
        reporter.Fail(kGpifWaveFailed);
        reporter.FailBox(kGpifWaveFailed, MsgIcon::Warning);
        return false;
    }
    const std::string text = GpifWaveText(direction, wave);
    reporter.Status(text);
    reporter.Log(text);
    return true;
}

}  // namespace quillon::features
