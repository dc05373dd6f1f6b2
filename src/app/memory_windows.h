#pragma once
// The two small windows of memory transfers: the split progress window with
// its Cancel button, and the notice shown before the transfer waveform changes.

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace quillon::app {

class ProgressView;

// "分割ﾒﾓﾘ転送中...": shown (not modal) while a split transfer runs. Its Cancel
// button asks the transfer to stop after the piece in progress, and aborts
// that piece when it has not ended 2 s later.
class TSplitForm : public QDialog {
    Q_OBJECT
  public:
    explicit TSplitForm(QWidget* parent = nullptr);

    // Resets the value labels to "-" and shows the window centred on the screen.
    void ShowCentred();
    void SetSize(const QString& text);
    void SetPiece(const QString& count, const QString& bytes);
    void Button1Click();  // "Cansel"

    QLabel* sizeLabel() const { return size_; }
    QLabel* countLabel() const { return count_; }
    QLabel* bytesLabel() const { return bytes_; }
    QPushButton* cancelButton() const { return cancel_; }
    ProgressView* progress() const { return progress_; }

  public slots:
    // Escape does not hide the window while the transfer runs; it cancels.
    void reject() override { Button1Click(); }

  private:
    QLabel* size_ = nullptr;
    QLabel* count_ = nullptr;
    QLabel* bytes_ = nullptr;
    QPushButton* cancel_ = nullptr;
    ProgressView* progress_ = nullptr;
};

// "■ﾒﾓﾘ転送ﾓｰﾄﾞに関するお知らせ■": why a waveform switch lasts only until the
// board is reset. OK stores the "do not show again" box in GPIF_WAVE_NOTE;
// the close box stores nothing.
class TNoteForm : public QDialog {
    Q_OBJECT
  public:
    explicit TNoteForm(QWidget* parent = nullptr);

    // Shows the notice modally, centred on the screen, until it is closed.
    void Run();
    void Button1Click();  // OK

    QCheckBox* suppressBox() const { return suppress_; }
    QPushButton* okButton() const { return ok_; }

  private:
    QCheckBox* suppress_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace quillon::app
