#pragma once
// "USBｺﾝﾌｨｸﾞ": choose an FPGA configuration file and its options, load it with
// one button, see the outcome and its time, clear the FPGA. The page also
// carries automatic configuration: the Options menu item "ｵｰﾄｺﾝﾌｨｸﾞ", its mode
// dialog, the red notice and the start-up run.

#include <QColor>
#include <memory>

#include "app/page.h"
#include "link/board_link.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillon::app {

class AutoConfigNotice;
class RelativeBaseLabel;
class TModeSelForm;

class ConfigPage : public Page {
    Q_OBJECT
  public:
    // Status label colours.
    static inline const QColor kReset{0x00, 0x00, 0x00};
    static inline const QColor kLoaded{0x00, 0x00, 0xFF};
    static inline const QColor kFailed{0xFF, 0x00, 0x00};
    static inline const QColor kCleared{0xFF, 0x45, 0x00};

    explicit ConfigPage(PageContext& context, QWidget* parent = nullptr);
    ~ConfigPage() override;

    void RestoreUiState(const SettingsStore& store) override;

    // Handlers.
    void Button16Click();      // choose the file
    void Button17Click();      // Configure ...
    void SpeedButton1Click();  // Clear
    void CheckBox7Click();     // Tessera mode?? switches Tavel?? on and off
    void N8Click();            // Options menu "ｵｰﾄｺﾝﾌｨｸﾞ"

    // The start-up run of automatic configuration (the frame's start-up hook).
    void RunStartupAutoConfig();

    // The mode dialog, created on first use (tests reach it through here).
    TModeSelForm& modeDialog();
    AutoConfigNotice* notice() const { return notice_; }

  private:
    void ResetLabels();
    void SetStatusLabel(const QString& text, const QColor& color);
    void WriteTargetRegister(link::BoardHandle h, std::uint32_t value, bool logAddress);
    bool TavelRule(bool boardOpen) const;
    void BringToFront();
    void SetMenuChecked(bool checked);
    bool MenuChecked() const;

    QLineEdit* fileEdit_ = nullptr;  // LabeledEdit1
    RelativeBaseLabel* fileBase_ = nullptr;  // where a relative file name goes
    QPushButton* choose_ = nullptr;  // Button16
    QCheckBox* xilinx_ = nullptr;    // CheckBox1
    QCheckBox* tessera_ = nullptr;   // CheckBox7
    QCheckBox* tavel_ = nullptr;     // CheckBox8
    QCheckBox* external_ = nullptr;  // CheckBox3
    QCheckBox* bitswap_ = nullptr;   // CheckBox5
    QCheckBox* encrypt_ = nullptr;   // CheckBox6
    QLabel* status_ = nullptr;       // Label1
    QLabel* time_ = nullptr;         // Label2
    AutoConfigNotice* notice_ = nullptr;
    QPushButton* clear_ = nullptr;      // SpeedButton1
    QPushButton* configure_ = nullptr;  // Button17
    std::unique_ptr<TModeSelForm> modeDialog_;
    // The menu item's check mark when the frame offers no menu item.
    bool autoConfigOn_ = false;
};

// The page table's factory.
Page* MakeConfigPage(PageContext& context);

}  // namespace quillon::app
