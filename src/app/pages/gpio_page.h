#pragma once
// "GPIO": direction, read and write of the USB controller's ports A, C and E.

#include "app/page.h"

class QComboBox;
class QLineEdit;

namespace quillon::app {

class GpioPage : public Page {
    Q_OBJECT
  public:
    explicit GpioPage(PageContext& context, QWidget* parent = nullptr);

    // Port A, C, E: Set (35-37), Read (38, 40, 42), Write (39, 41, 43).
    void Button35Click() { SetDirection(0); }
    void Button36Click() { SetDirection(1); }
    void Button37Click() { SetDirection(2); }
    void Button38Click() { Read(0); }
    void Button39Click() { Write(0); }
    void Button40Click() { Read(1); }
    void Button41Click() { Write(1); }
    void Button42Click() { Read(2); }
    void Button43Click() { Write(2); }

  private:
    struct Port {
        QComboBox* direction = nullptr;
        QLineEdit* read = nullptr;
        QLineEdit* write = nullptr;
    };
    void SetDirection(int port);
    void Read(int port);
    void Write(int port);

    Port ports_[3];
};

Page* MakeGpioPage(PageContext& context);

}  // namespace quillon::app
