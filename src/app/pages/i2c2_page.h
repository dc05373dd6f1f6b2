#pragma once
// "I2C操作2": I2C reads and writes whose command is three or four bytes long
// (devices with one- or two-byte register addresses), in two groups.

#include <array>

#include "app/page.h"
#include "features/board/i2c.h"

class QComboBox;
class QLineEdit;

namespace quillon::app {

class I2c2Page : public Page {
    Q_OBJECT
  public:
    explicit I2c2Page(PageContext& context, QWidget* parent = nullptr);

    void Button59Click() { CommandRead(0); }   // Group1 Read
    void Button60Click() { CommandWrite(0); }  // Group1 Write
    void Button61Click() { CommandRead(1); }   // Group2 Read
    void Button62Click() { CommandWrite(1); }  // Group2 Write

  private:
    struct Group {
        std::array<QLineEdit*, 4> bytes{};
        QLineEdit* result = nullptr;
    };
    features::I2cCommandFields Fields(int g) const;
    void Show(int g, const features::I2cCommandFields& f);
    void CommandRead(int g);
    void CommandWrite(int g);

    QComboBox* port_ = nullptr;
    QComboBox* length_ = nullptr;
    Group groups_[2];
};

Page* MakeI2c2Page(PageContext& context);

}  // namespace quillon::app
