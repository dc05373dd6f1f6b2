#include "app/pages/path_field.h"

#include <QLineEdit>

#include "platform/platform.h"
#include "platform/settings_store.h"
#include "platform/ui_text.h"

namespace quillon::app {

namespace {

constexpr const char* kBaseCaption = QT_TRANSLATE_NOOP("Lang", "相対ﾊﾟｽの基準：%1");

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
    : ElidedLabel(QString(), parent), dirKey_(dirKey) {
    setObjectName("RelativeBase");
    // Grey, like a hint: it explains the field above, it is not a value.
    setForegroundRole(QPalette::PlaceholderText);
    // The layout gives it the width of the field; the text is cut to fit.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Refresh();
}

void RelativeBaseLabel::Refresh() {
    folder_ = RelativeBaseFolder(dirKey_);
    const QString full = Lang::FillQ(kBaseCaption, folder_);
    setText(full);
    setAccessibleName(full);
}

QSize RelativeBaseLabel::minimumSizeHint() const {
    return {0, ElidedLabel::minimumSizeHint().height()};
}

void RelativeBaseLabel::showEvent(QShowEvent* event) {
    ElidedLabel::showEvent(event);
    Refresh();
}

}  // namespace quillon::app
