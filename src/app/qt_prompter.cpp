#include "app/qt_prompter.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QStringList>
#include <QFileInfo>
#include <QFontDialog>
#include <QGuiApplication>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLineEdit>
#include <QScreen>
#include <algorithm>
#include <QMessageBox>
#include <QUrl>

#include "app/gui_thread.h"

namespace quillon::app {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

template <typename T>
std::optional<T> Take(std::deque<T>& queue) {
    if (queue.empty()) return std::nullopt;
    T v = std::move(queue.front());
    queue.pop_front();
    return v;
}

QMessageBox::Icon BoxIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Error:
            return QMessageBox::Critical;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::Warning:
            return QMessageBox::Warning;
        case MsgIcon::Information:
            return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

std::unique_ptr<QInputDialog> MakeInputBox(QWidget* parent, const std::string& caption,
                                           const std::string& prompt, const std::string& initial) {
    auto box = std::make_unique<QInputDialog>(parent);
    box->setInputMode(QInputDialog::TextInput);
    box->setWindowTitle(Q(caption));
    box->setLabelText(Q(prompt));
    box->setTextValue(Q(initial));
    // Wide enough for the whole prompt and for the caption beside the title
    // bar's buttons.
    const QFontMetrics fm(box->font());
    int width = std::max(fm.horizontalAdvance(Q(prompt)) + 40,
                         fm.horizontalAdvance(Q(caption)) + 160);
    if (const QScreen* screen = box->screen())
        width = std::min(width, screen->availableGeometry().width() * 9 / 10);
    box->setMinimumWidth(std::max(width, 300));
    if (auto* edit = box->findChild<QLineEdit*>()) edit->setAccessibleName(Q(prompt));
    return box;
}

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const FileDialogRequest& request) {
    QString start = Q(request.folder);
    if (!request.fileName.empty()) {
        start = start.isEmpty() ? Q(request.fileName) : start + "/" + Q(request.fileName);
    }
    // A start with a file name opens its folder with the file selected.
    auto dialog = std::make_unique<QFileDialog>(parent, Q(request.title), start, Q(request.filter));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    if (request.save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
    } else if (request.newName) {
        // The open dialog's button and no question about an existing file:
        // the same name is read as often as it is written.
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog->setFileMode(QFileDialog::ExistingFile);
    }
    // The dialog opens on the filter the caller chose (by its index in the list).
    const QStringList filters = Q(request.filter).split(";;");
    const QString selected = filters.value(request.selectedFilter, filters.value(0));
    if (!selected.isEmpty()) dialog->selectNameFilter(selected);
    return dialog;
}

std::unique_ptr<QFontDialog> MakeFontDialog(QWidget* parent, const FontChoice& initial) {
    QFont start(Q(initial.family));
    if (initial.pixelSize > 0)
        start.setPixelSize(initial.pixelSize);
    else if (initial.pointSize > 0)
        start.setPointSize(initial.pointSize);
    auto dialog = std::make_unique<QFontDialog>(start, parent);
    // Scalable fonts only: the log view is read at any size.
    dialog->setOptions(QFontDialog::ScalableFonts | QFontDialog::DontUseNativeDialog);
    return dialog;
}

QtPrompter::QtPrompter() = default;

bool QtPrompter::headless() const {
    if (headless_) return *headless_;
    if (qEnvironmentVariable("QUILLON_DIALOGS") == "stderr") return true;
    const QString platform = QGuiApplication::platformName();
    return platform == "offscreen" || platform == "minimal";
}

std::vector<std::string> QtPrompter::messages() const {
    std::vector<std::string> out;
    for (const Asked& a : asked_) {
        if (a.kind == Kind::Message) out.push_back(a.text);
    }
    return out;
}

void QtPrompter::clear() {
    answers_.clear();
    fileNames_.clear();
    inputs_.clear();
    fonts_.clear();
    opens_.clear();
    asked_.clear();
    fileRequests_.clear();
}

MsgAnswer QtPrompter::Message(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    if (!OnGuiThread()) {
        MsgAnswer a = MsgAnswer::Ok;
        GuiCall([&] { a = Message(text, icon, buttons); });
        return a;
    }
    asked_.push_back({Kind::Message, text, icon, buttons, kMessageCaption});
    if (auto a = Take(answers_)) {
        // A queued Ok for a Yes/No question, or Yes for an OK box, means the
        // one affirmative button the box has.
        if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
        return *a == MsgAnswer::No ? MsgAnswer::No : MsgAnswer::Yes;
    }
    if (headless()) return stderr_.Message(text, icon, buttons);

    QMessageBox box(
        BoxIcon(icon), QString::fromUtf8(kMessageCaption), Q(text),
        buttons == MsgButtons::YesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
        parent());
    const int r = box.exec();
    if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
    return r == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}

std::optional<std::string> QtPrompter::Input(const std::string& caption, const std::string& prompt,
                                             const std::string& initial) {
    if (!OnGuiThread()) {
        std::optional<std::string> a;
        GuiCall([&] { a = Input(caption, prompt, initial); });
        return a;
    }
    asked_.push_back({Kind::Input, prompt, MsgIcon::Information, MsgButtons::Ok, caption});
    if (!inputs_.empty()) return *Take(inputs_);
    if (headless()) return stderr_.Input(caption, prompt, initial);
    const std::unique_ptr<QInputDialog> box = MakeInputBox(parent(), caption, prompt, initial);
    if (box->exec() != QDialog::Accepted) return std::nullopt;
    return box->textValue().toStdString();
}

std::optional<std::string> QtPrompter::FileName(const FileDialogRequest& request) {
    if (!OnGuiThread()) {
        std::optional<std::string> a;
        GuiCall([&] { a = FileName(request); });
        return a;
    }
    asked_.push_back({Kind::FileName, request.title, MsgIcon::Information, MsgButtons::Ok, {}});
    fileRequests_.push_back(request);
    if (!fileNames_.empty()) return *Take(fileNames_);
    if (headless()) return stderr_.FileName(request);
    const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(parent(), request);
    if (dialog->exec() != QDialog::Accepted) return std::nullopt;
    const QString name = dialog->selectedFiles().value(0);
    if (name.isEmpty()) return std::nullopt;
    return name.toStdString();
}

std::optional<FontChoice> QtPrompter::Font(const FontChoice& initial) {
    if (!OnGuiThread()) {
        std::optional<FontChoice> a;
        GuiCall([&] { a = Font(initial); });
        return a;
    }
    asked_.push_back({Kind::Font, initial.family, MsgIcon::Information, MsgButtons::Ok, {}});
    if (!fonts_.empty()) return *Take(fonts_);
    if (headless()) return stderr_.Font(initial);
    const std::unique_ptr<QFontDialog> dialog = MakeFontDialog(parent(), initial);
    if (dialog->exec() != QDialog::Accepted) return std::nullopt;
    const QFont f = dialog->selectedFont();
    FontChoice c;
    c.family = f.family().toStdString();
    c.pointSize = f.pointSize() > 0 ? f.pointSize() : 0;
    c.pixelSize = f.pixelSize() > 0 ? f.pixelSize() : 0;
    return c;
}

bool QtPrompter::OpenWithDesktop(const std::string& pathOrUrl) {
    if (!OnGuiThread()) {
        bool a = false;
        GuiCall([&] { a = OpenWithDesktop(pathOrUrl); });
        return a;
    }
    asked_.push_back({Kind::Open, pathOrUrl, MsgIcon::Information, MsgButtons::Ok, {}});
    if (!opens_.empty()) return *Take(opens_);
    if (headless()) return stderr_.OpenWithDesktop(pathOrUrl);
    const QString s = Q(pathOrUrl);
    const QUrl url = QFileInfo::exists(s) ? QUrl::fromLocalFile(QFileInfo(s).absoluteFilePath())
                                          : QUrl::fromUserInput(s);
    return QDesktopServices::openUrl(url);
}

}  // namespace quillon::app
