#pragma once
// "I2C操作": single register bytes of an I2C device, two register groups
// sharing the device type and address bits.

#include "app/page.h"
#include "features/board/i2c.h"

class QComboBox;
class QLineEdit;

namespace quillon::app {

class I2cPage : public Page {
    Q_OBJECT
  public:
    explicit I2cPage(PageContext& context, QWidget* parent = nullptr);
    void RestoreUiState(const SettingsStore& store) override;

    void Button19Click() { ByteRead(0); }   // Group1 Read
    void Button20Click() { ByteWrite(0); }  // Group1 Write
    void Button21Click() { ByteRead(1); }   // Group2 Read
    void Button22Click() { ByteWrite(1); }  // Group2 Write

  private:
    struct Group {
        QLineEdit* reg = nullptr;
        QLineEdit* readData = nullptr;
        QLineEdit* writeData = nullptr;
    };
    features::I2cByteFields Fields(int g, bool write) const;
    void Show(int g, const features::I2cByteFields& f, bool write);
    void ByteRead(int g);
    void ByteWrite(int g);

    QLineEdit* type_ = nullptr;
    QLineEdit* bits_ = nullptr;
    QComboBox* port_ = nullptr;
    Group groups_[2];
};

Page* MakeI2cPage(PageContext& context);

}  // namespace quillon::app
