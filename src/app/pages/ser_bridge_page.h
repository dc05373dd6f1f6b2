#pragma once
// "SerBridge": writes a data file of up to 16 MiB into the M25P128 of an
// "Orrick" board through the serial-flash bridge design, with one button that
// runs the whole sequence and one that asks it to stop.

#include "app/page.h"
#include "features/flash/ser_bridge.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace quillon::app {

class RelativeBaseLabel;

class SerBridgePage : public Page, private features::SerBridgeView {
    Q_OBJECT
  public:
    explicit SerBridgePage(PageContext& context, QWidget* parent = nullptr);

    void RestoreUiState(const SettingsStore& store) override;

    // Handlers.
    void Button30Click();  // choose the data file
    void Button31Click();  // "Cansel"
    void Button32Click();  // Execute

  private:
    // SerBridgeView
    void SetProgress(int percent) override;
    void SetPhase(const std::string& text) override;
    void SetResult(features::RunResult result) override;
    void SetElapsed(std::optional<std::int64_t> seconds) override;
    void SetExecuteEnabled(bool enabled) override;
    void ShowLog() override;

    QLineEdit* file_ = nullptr;
    RelativeBaseLabel* fileBase_ = nullptr;
    QPushButton* choose_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* execute_ = nullptr;
    QComboBox* target_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* percent_ = nullptr;
    QLabel* result_ = nullptr;
    QLabel* time_ = nullptr;
    QLabel* phase_ = nullptr;
    bool running_ = false;
};

Page* MakeSerBridgePage(PageContext& context);

}  // namespace quillon::app
