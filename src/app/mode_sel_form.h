#pragma once
// Automatic configuration's two windows: the mode dialog asked when the
// Options menu item switches it on, and the red notice on the configuration
// page that says it is on.

#include <QDialog>
#include <QString>
#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QFontMetrics;
class QLabel;
class QPushButton;
class QRadioButton;

namespace quillon::app {

// "ｺﾝﾌｨｸﾞﾓｰﾄﾞを選択して下さい。": device family (Altera or Xilinx, one must be
// chosen) and the BITSWAP, ENCRYPT and Tessera options. OK stores the choice in
// the settings store (AUTO_CONFIG_MODE, _BITSWAP, _ENCRYPT, _TESSERA).
class TModeSelForm : public QDialog {
    Q_OBJECT
  public:
    explicit TModeSelForm(QWidget* parent = nullptr);

    // Clears every choice and shows each option box as the feature keys say.
    // BITSWAP starts disabled: it applies to Xilinx devices only.
    void Prepare(bool bitswapVisible, bool encryptVisible, bool tesseraVisible);
    // Prepare, then the modal run; returns once a mode was chosen and stored.
    void Run(bool bitswapVisible, bool encryptVisible, bool tesseraVisible);

    // Handlers.
    void Button1Click();       // OK
    void RadioButton1Click();  // Altera
    void RadioButton2Click();  // Xilinx

    bool xilinx() const;
    bool bitswap() const;
    bool encrypt() const;
    bool tessera() const;

    QRadioButton* altera() const { return altera_; }
    QRadioButton* xilinxButton() const { return xilinx_; }
    QCheckBox* bitswapBox() const { return bitswap_; }
    QCheckBox* encryptBox() const { return encrypt_; }
    QCheckBox* tesseraBox() const { return tessera_; }
    QPushButton* okButton() const { return ok_; }

  public slots:
    // Escape does not close it: a mode has to be chosen.
    void reject() override {}

  private:
    QButtonGroup* family_ = nullptr;
    QRadioButton* altera_ = nullptr;
    QRadioButton* xilinx_ = nullptr;
    QCheckBox* bitswap_ = nullptr;
    QCheckBox* encrypt_ = nullptr;
    QCheckBox* tessera_ = nullptr;
    QPushButton* ok_ = nullptr;
};

// A path shortened to fit `width` pixels: leading folders give way to "..."
// one by one, and only a file name that is still too wide is cut itself.
QString FitPathToWidth(const QString& path, const QFontMetrics& metrics, int width);

// The red notice: "ｵｰﾄｺﾝﾌｨｸﾞが指定されています。", the mode text and the
// file's path shortened to fit 330 pixels. Hidden while automatic configuration
// is off, with the path label holding "-".
class AutoConfigNotice : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kPathWidth = 330;

    explicit AutoConfigNotice(QWidget* parent = nullptr);

    void SetMode(const QString& text);
    // Shows the notice for `path` (the full path; the label gets it shortened).
    void ShowFor(const QString& path);
    // Hides the notice; the path label goes back to "-".
    void HideNotice();
    // Sets the path label alone (shortened), as the menu item's switch-on does
    // before the notice is shown.
    void SetPath(const QString& path);
    bool shown() const;

    QLabel* title() const { return title_; }
    QLabel* mode() const { return mode_; }
    QLabel* path() const { return path_; }

  private:
    QLabel* title_ = nullptr;
    QLabel* mode_ = nullptr;
    QLabel* path_ = nullptr;
};

}  // namespace quillon::app
