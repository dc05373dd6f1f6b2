#pragma once
// "NorBridge2": programs the parallel NOR flash of a "Norrin" board through
// the bridge circuit: "Read CFI" loads the bridge and reports the flash's
// query, "Execute" erases every block, writes the data file and verifies it.
// While Execute runs the main window keeps this page in front.

#include "app/page.h"
#include "features/flash/nor_bridge.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace quillon::app {

class RelativeBaseLabel;

class NorBridgePage : public Page, private features::NorBridgeView {
    Q_OBJECT
  public:
    explicit NorBridgePage(PageContext& context, QWidget* parent = nullptr);

    void RestoreUiState(const SettingsStore& store) override;

    // Handlers.
    void Button44Click();  // choose the data file
    void Button45Click();  // Read CFI
    void Button46Click();  // Execute

  private:
    // NorBridgeView
    void Range(std::uint32_t maximum) override;
    void Position(std::uint32_t position) override;
    void Text(const std::string& text) override;
    void Elapsed(std::int64_t startMs) override;
    void SetResult(features::RunResult result) override;
    void SetTime(std::optional<std::int64_t> startMs) override;
    void SetControlsEnabled(bool enabled) override;
    void SetRunning(bool running) override;
    void ShowLog() override;
    void ProgressToMaximum() override;
    void ReplaceLastLine(const std::string& text) override;

    QLineEdit* file_ = nullptr;
    RelativeBaseLabel* fileBase_ = nullptr;
    QPushButton* choose_ = nullptr;
    QComboBox* target_ = nullptr;
    QPushButton* readCfi_ = nullptr;
    QPushButton* execute_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* progressText_ = nullptr;
    QLabel* result_ = nullptr;
    QLabel* time_ = nullptr;
    bool busy_ = false;  // a run has the page's controls
};

// Elapsed time as a time of day: "H:MM:SS".
QString ElapsedClockText(std::int64_t milliseconds);

Page* MakeNorBridgePage(PageContext& context);

}  // namespace quillon::app
