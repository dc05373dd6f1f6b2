#pragma once
// Board supervision, each a single request: the FPGA temperature (with the
// points of the monitor's chart), the FPGA's suspend mode, the temperature
// alert threshold, the firmware's watchdog timer and the FX3 firmware reset.

#include <QtGlobal>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "features/reporter.h"
#include "link/board_link.h"

namespace quillon::features {

// --- Temperature --------------------------------------------------------------

// One reading: v >> 8 whole degrees, v & FF hundredths.
struct TempReading {
    std::uint16_t raw = 0;
    std::string text;    // "42.50℃": the label and the log line
    double value = 0.0;  // 42.5: the chart's next point
};
TempReading FormatTemperature(std::uint16_t raw);

// Reads the sensor; on success logs the reading's text and returns it. A
// failure returns nullopt without a word: the caller decides what stops
// before TemperatureFailed tells the user.
std::optional<TempReading> TemperatureReadAndShow(link::BoardHandle h,
                                                  Reporter& reporter = DefaultReporter());
// "FPGA温度取得失敗しました。", logged and shown.
void TemperatureFailed(Reporter& reporter = DefaultReporter());
inline constexpr const char* kTemperatureShown =
    QT_TRANSLATE_NOOP("Lang", "FPGA温度を取得&表示しました。");

// The monitor chart's points and view. Point i sits at x = i. The bottom axis
// shows 50 points, starting at 0; once the series holds more than 50 points
// every new point scrolls it by one, so the newest 50 stay in view. Older
// points stay in the series. The left axis spans the points in view with a
// small margin above and below.
class TempChart {
  public:
    static constexpr int kInView = 50;

    // Adds the next point; true when the bottom axis scrolled.
    bool Append(double value);
    const std::vector<double>& points() const { return points_; }
    double xMin() const { return xMin_; }
    double xMax() const { return xMax_; }
    std::pair<double, double> YRange() const;

  private:
    std::vector<double> points_;
    double xMin_ = 0;
    double xMax_ = kInView - 1;
};

// --- Suspend ------------------------------------------------------------------

// Sends the mode (1 = Suspend, 0 = Normal). Success: the status text; failure:
// log and warning.
bool SuspendSet(link::BoardHandle h, bool suspend, Reporter& reporter = DefaultReporter());

// --- Temperature alert and watchdog -------------------------------------------

// The threshold requests, shared with the STA and GTA macros.
bool TempAlertWrite(link::BoardHandle h, std::uint8_t degrees);
bool TempAlertRead(link::BoardHandle h, std::uint8_t& degrees);

// A decimal integer as the input boxes take it (optional blanks and sign,
// 32-bit range); nullopt for anything else.
std::optional<std::int32_t> ParseDecimalInput(std::string_view text);

// Asks for the new value through the dialog seam (an input box); cancel ends
// quietly, a text that is not an integer is refused, an integer is cut to its
// low 8 bits and sent. The result is logged and shown.
// `degrees`, when given, receives the value set or read.
bool TempAlertChange(link::BoardHandle h, Reporter& reporter = DefaultReporter(),
                     std::uint8_t* degrees = nullptr);
bool TempAlertShow(link::BoardHandle h, Reporter& reporter = DefaultReporter(),
                   std::uint8_t* degrees = nullptr);
bool WatchdogChange(link::BoardHandle h, Reporter& reporter = DefaultReporter());
bool WatchdogShow(link::BoardHandle h, Reporter& reporter = DefaultReporter());

// --- Firmware reset -----------------------------------------------------------

// Sends the reset. The board drops off the bus and comes back (the link sees a
// removal and an arrival). Only a request that reports failure is logged and
// shown, with "FX3ﾌｧｰﾑｳｪｱﾘｾｯﾄを実行しました。": the reset may well have
// happened although its answer was lost.
bool FirmwareReset(link::BoardHandle h, Reporter& reporter = DefaultReporter());

}  // namespace quillon::features
