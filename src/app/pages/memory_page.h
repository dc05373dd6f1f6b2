#pragma once
// "ﾒﾓﾘ操作": the transfer start address (register 0), the target memory
// (register 1), the length, the file, the memory bit width and the split
// switch, and the MemWrite and MemRead buttons. The page also owns the Options
// menu's memory items (both scramble options, the Tessera memory command and
// the four waveform items) and the two memory windows.

#include <QPointer>
#include <optional>
#include <string>

#include "app/page.h"
#include "features/memory/mem_transfer.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace quillon::app {

class RelativeBaseLabel;
class TNoteForm;
class TSplitForm;

class MemoryPage : public Page, private features::MemTransferView {
    Q_OBJECT
  public:
    explicit MemoryPage(PageContext& context, QWidget* parent = nullptr);
    ~MemoryPage() override;

    void RestoreUiState(const SettingsStore& store) override;

    // Handlers.
    void Button10Click();  // Read register 0
    void Button11Click();  // Write register 0
    void ComboBox4Change();
    void Edit12Change();   // the length in the status bar
    void Button12Click();  // choose the file
    void Button13Click();  // open the file
    void Button14Click();  // MemRead
    void Button15Click();  // MemWrite
    void ViewClick();      // the file in the data viewer
    // Options menu.
    void N14Click();  // scramble on read
    void N15Click();  // scramble on write
    void Tessera1Click();
    void WaveClick(int direction, int wave);  // Burst1Click .. Word2Click

    // The two windows: created once (program entry creates them in its order;
    // otherwise on first use), owned by the main window.
    TSplitForm& splitForm();
    TNoteForm& noteForm();

  private:
    // MemTransferView: the split window and the buttons.
    void ShowSplit() override;
    void HideSplit() override;
    void SplitSize(const std::string& text) override;
    void SplitPiece(const std::string& count, const std::string& bytes) override;
    void SetButtonEnabled(bool enabled) override;

    features::MemTransferRequest Request(bool write) const;
    void CreateWindows(QWidget* owner);

    QLineEdit* readBack_ = nullptr;    // Edit10
    QLineEdit* address_ = nullptr;     // Edit11
    QPushButton* read_ = nullptr;      // Button10
    QPushButton* write_ = nullptr;     // Button11
    QComboBox* target_ = nullptr;      // ComboBox4
    QLineEdit* length_ = nullptr;      // Edit12
    QLineEdit* file_ = nullptr;        // Edit13
    QPushButton* choose_ = nullptr;    // Button12
    QPushButton* open_ = nullptr;      // Button13
    RelativeBaseLabel* fileBase_ = nullptr;  // where a relative file name goes
    QComboBox* width_ = nullptr;       // ComboBox5
    QCheckBox* split_ = nullptr;       // CheckBox4
    QPushButton* memRead_ = nullptr;   // Button14
    QPushButton* memWrite_ = nullptr;  // Button15
    QPushButton* view_ = nullptr;      // the data viewer
    // The last transfer that ran to its end each way, for the viewer's
    // one-click round-trip compare.
    struct Transferred {
        std::string path;
        bool scramble = false;
        std::string lengthText;
    };
    std::optional<Transferred> lastWritten_, lastRead_;
    // The button of the normal transfer in progress.
    QPushButton* running_ = nullptr;
    QPointer<TSplitForm> splitForm_;
    QPointer<TNoteForm> noteForm_;
};

// The page table's factory.
Page* MakeMemoryPage(PageContext& context);

}  // namespace quillon::app
