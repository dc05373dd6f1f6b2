#pragma once
// The one seam through which every message box, input box, file dialog and
// font dialog of the program is asked. The panel installs a Qt implementation,
// the headless runner one that writes to standard error, and tests one that
// answers from a queue prepared ahead of time.

#include <optional>
#include <string>

namespace quillon {

// Icon codes as the message boxes have always numbered them.
enum class MsgIcon { Error = 16, Question = 32, Warning = 48, Information = 64 };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

inline constexpr const char* kMessageCaption = "Quillon Panel 7.0";

struct FileDialogRequest {
    std::string title;
    std::string folder;      // starting folder; empty = current directory
    std::string fileName;    // proposed name
    std::string filter;      // Qt filter syntax: "RBF (*.rbf);;All (*.*)"
    bool save = false;
    // A file that may not exist yet and that the program may read or write
    // (the memory page's file): the dialog takes a new name as it takes an
    // existing one, and asks nothing about replacing a file.
    bool newName = false;
    int selectedFilter = 0;  // index of the filter chosen when the dialog opens
};

struct FontChoice {
    std::string family;
    int pointSize = 0;
    int pixelSize = 0;
};

class Prompter {
public:
    virtual ~Prompter() = default;
    // Modal box with caption kMessageCaption.
    virtual MsgAnswer Message(const std::string& text, MsgIcon icon,
                              MsgButtons buttons = MsgButtons::Ok) = 0;
    // Input box; nullopt when cancelled.
    virtual std::optional<std::string> Input(const std::string& caption,
                                             const std::string& prompt,
                                             const std::string& initial) = 0;
    // File dialog; nullopt when cancelled.
    virtual std::optional<std::string> FileName(const FileDialogRequest& request) = 0;
    // Font dialog starting at `initial`; nullopt when cancelled.
    virtual std::optional<FontChoice> Font(const FontChoice& initial) = 0;
    // Asks the desktop to open a folder, document or address with its associated program.
    // Returns false when nothing could be started.
    virtual bool OpenWithDesktop(const std::string& pathOrUrl) = 0;
};

// Process-wide prompter. Until one is installed a stderr prompter answers
// (OK / No / cancel) so nothing modal can ever block.
Prompter& Prompts();
void SetPrompter(Prompter* prompter);  // nullptr restores the stderr prompter

// Answers everything without a window: boxes become lines on standard error.
class StderrPrompter : public Prompter {
public:
    MsgAnswer Message(const std::string& text, MsgIcon icon, MsgButtons buttons) override;
    std::optional<std::string> Input(const std::string& caption, const std::string& prompt,
                                     const std::string& initial) override;
    std::optional<std::string> FileName(const FileDialogRequest& request) override;
    std::optional<FontChoice> Font(const FontChoice& initial) override;
    bool OpenWithDesktop(const std::string& pathOrUrl) override;
};

}  // namespace quillon
