#include "app/pages/path_field.h"

#include <QLineEdit>
#include <QResizeEvent>

#include "log/platform.h"
#include "log/settings_store.h"

namespace quillon::app {

namespace {

constexpr const char* kBaseCaption = "相対ﾊﾟｽの基準：";

}  // namespace

std::string RelativeBaseFolder(const char* dirKey) {
    const std::string stored = SettingsStore().ReadString(kSetup, dirKey, "");
    return stored.empty() ? platform::DocumentsFolder() : stored;
}

std::string FieldPath(const QLineEdit* field, const char* dirKey) {
    return platform::ResolveTypedPath(field->text().toStdString(), RelativeBaseFolder(dirKey),
                                      platform::HomeFolder());
}

RelativeBaseLabel::RelativeBaseLabel(const char* dirKey, QWidget* parent)
    : QLabel(parent), dirKey_(dirKey) {
    setObjectName("RelativeBase");
    setTextFormat(Qt::PlainText);
    // Grey, like a hint: it explains the field above, it is not a value.
    setForegroundRole(QPalette::PlaceholderText);
    // The layout gives it the width of the field; the text is cut to fit.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Refresh();
}

void RelativeBaseLabel::Refresh() {
    folder_ = RelativeBaseFolder(dirKey_);
    full_ = QString::fromUtf8(kBaseCaption) + QString::fromStdString(folder_);
    setToolTip(full_);
    setAccessibleName(full_);
    Elide();
}

QSize RelativeBaseLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

void RelativeBaseLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Elide();
}

void RelativeBaseLabel::showEvent(QShowEvent* event) {
    QLabel::showEvent(event);
    Refresh();
}

void RelativeBaseLabel::Elide() {
    const int width = contentsRect().width();
    setText(width > 0 ? fontMetrics().elidedText(full_, Qt::ElideMiddle, width) : full_);
}

}  // namespace quillon::app
