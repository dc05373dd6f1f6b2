#pragma once
// The panel's captions were laid out for Windows fonts that a Linux desktop
// rarely has. InstallFontFallbacks maps each of them to an installed Japanese
// font, so QFont("ＭＳ ゴシック") anywhere in the program finds glyphs.

#include <QFont>
#include <QString>

namespace quillon::app {

inline constexpr const char* kFontMeiryo = "メイリオ";
inline constexpr const char* kFontMsGothic = "ＭＳ ゴシック";
inline constexpr const char* kFontMsPGothic = "ＭＳ Ｐゴシック";
inline constexpr const char* kFontTahoma = "Tahoma";

// Registers the substitutions and sets the application font (main font, 12 px).
// Needs a QGuiApplication.
void InstallFontFallbacks();
// The installed family that stands for `family` (itself when installed).
QString ResolvedFamily(const QString& family);
// A font of `family` (resolved) at `pixelSize` pixels.
QFont UiFont(const QString& family, int pixelSize);

}  // namespace quillon::app
