#include "features/memory/gpif_wave.h"

#include "link/vendor_requests.h"
#include "platform/cause.h"
#include "platform/ui_text.h"

namespace quillon::features {

std::string GpifWaveText(GpifDirection direction, GpifWave wave) {
    const char* d = direction == GpifDirection::MemRead ? "MemRead" : "MemWrite";
    const char* w = wave == GpifWave::Burst ? "Burst" : "Word";
    return Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾒﾓﾘ転送のﾓｰﾄﾞ(%1-%2)を切り換えました。"), d, w);
}

bool SwitchGpifWave(link::BoardHandle h, GpifDirection direction, GpifWave wave,
                    Reporter& reporter) {
    ClearCause();  // a new action
    if (!link::VR_GPIF_WAVE(h, static_cast<std::uint16_t>(direction),
                            static_cast<std::uint16_t>(wave))) {
        reporter.Fail(Lang::MarkedStd(kGpifWaveFailed));
        reporter.FailBox(Lang::MarkedStd(kGpifWaveFailed), MsgIcon::Warning);
        return false;
    }
    const std::string text = GpifWaveText(direction, wave);
    reporter.Status(text);
    reporter.Log(text);
    return true;
}

}  // namespace quillon::features
