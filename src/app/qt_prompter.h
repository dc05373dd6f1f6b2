#pragma once
// The panel's dialog seam: real Qt dialogs, answered ahead of time by tests.
//
// Every question is recorded. An answer queued with setNext...() is taken
// before any window opens, so a test never meets a modal dialog. With the
// environment variable QUILLON_DIALOGS=stderr (or on a platform without a
// visible screen) nothing is ever shown: questions
// without a queued answer are answered like the headless runner does (OK, No,
// cancelled) and written to standard error.

#include <QPointer>
#include <QWidget>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/prompter.h"

class QFileDialog;
class QFontDialog;
class QInputDialog;

namespace quillon::app {

// The input box as Input shows it: caption, prompt, initial text, as wide as
// the prompt and the caption need (the prompt names the valid range).
std::unique_ptr<QInputDialog> MakeInputBox(QWidget* parent, const std::string& caption,
                                           const std::string& prompt, const std::string& initial);

// The file and font dialogs as FileName and Font show them: Qt's own dialogs,
// which speak the panel's language whatever the desktop's is.
std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const FileDialogRequest& request);
std::unique_ptr<QFontDialog> MakeFontDialog(QWidget* parent, const FontChoice& initial);

class QtPrompter : public Prompter {
  public:
    QtPrompter();

    // The window dialogs are centred over (the main window once it exists).
    void setParentWindow(QWidget* window) { parent_ = window; }
    // True when QUILLON_DIALOGS=stderr is set or the platform has no screen
    // anyone looks at (offscreen, minimal): a modal box there could never be
    // answered. setHeadless overrides the detection.
    bool headless() const;
    void setHeadless(bool headless) { headless_ = headless; }

    MsgAnswer Message(const std::string& text, MsgIcon icon, MsgButtons buttons) override;
    std::optional<std::string> Input(const std::string& caption, const std::string& prompt,
                                     const std::string& initial) override;
    std::optional<std::string> FileName(const FileDialogRequest& request) override;
    std::optional<FontChoice> Font(const FontChoice& initial) override;
    bool OpenWithDesktop(const std::string& pathOrUrl) override;

    // Test seam: answers taken in order by the next questions of that kind.
    void setNextAnswer(MsgAnswer answer) { answers_.push_back(answer); }
    void setNextFileName(std::optional<std::string> name) { fileNames_.push_back(std::move(name)); }
    void setNextInput(std::optional<std::string> text) { inputs_.push_back(std::move(text)); }
    void setNextFont(std::optional<FontChoice> font) { fonts_.push_back(std::move(font)); }
    void setNextOpenResult(bool started) { opens_.push_back(started); }

    enum class Kind { Message, Input, FileName, Font, Open };
    struct Asked {
        Kind kind;
        std::string text;  // message text, input prompt, dialog title or the opened path
        MsgIcon icon = MsgIcon::Information;
        MsgButtons buttons = MsgButtons::Ok;
        std::string caption;  // always kMessageCaption for messages
    };
    const std::vector<Asked>& asked() const { return asked_; }
    // The file dialogs asked for so far, as they were asked.
    const std::vector<FileDialogRequest>& fileRequests() const { return fileRequests_; }
    // The texts of the message boxes asked so far.
    std::vector<std::string> messages() const;
    void clear();

  private:
    QWidget* parent() const { return parent_.data(); }

    QPointer<QWidget> parent_;
    std::optional<bool> headless_;
    StderrPrompter stderr_;
    std::deque<MsgAnswer> answers_;
    std::deque<std::optional<std::string>> fileNames_;
    std::deque<std::optional<std::string>> inputs_;
    std::deque<std::optional<FontChoice>> fonts_;
    std::deque<bool> opens_;
    std::vector<Asked> asked_;
    std::vector<FileDialogRequest> fileRequests_;
};

}  // namespace quillon::app
