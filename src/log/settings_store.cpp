#include "log/settings_store.h"

#include <QSettings>
#include <QString>
#include <QStringList>

#include "log/platform.h"

namespace quillon {

namespace {
QString KeyPath(std::string_view section, std::string_view key) {
    QString s = QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size()));
    s.replace('\\', '/');
    return s + '/' + QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}
}  // namespace

struct SettingsStore::Impl {
    QSettings settings{QString::fromStdString(SettingsStore::FilePath()), QSettings::IniFormat};
};

SettingsStore::SettingsStore() : impl_(new Impl) {}

SettingsStore::~SettingsStore() {
    impl_->settings.sync();
    delete impl_;
}

std::string SettingsStore::FilePath() {
    return platform::ConfigFolder() + "/Ardenfield/Quillon7.ini";
}

std::string SettingsStore::ReadString(std::string_view section, std::string_view key,
                                      std::string_view def) const {
    QVariant v = impl_->settings.value(KeyPath(section, key));
    if (!v.isValid()) return std::string(def);
    // A value typed into the file by hand with a comma and no quotes ("DDR3
    // (bank 0, 1)") comes back from the INI reader as a list; as a list it
    // would read as an empty string, so it is joined back into its text.
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(", ").toStdString();
    return v.toString().toStdString();
}

int SettingsStore::ReadInteger(std::string_view section, std::string_view key, int def) const {
    QVariant v = impl_->settings.value(KeyPath(section, key));
    if (!v.isValid()) return def;
    return ParseStoredInteger(v.toString().toStdString()).value_or(def);
}

bool SettingsStore::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void SettingsStore::WriteString(std::string_view section, std::string_view key,
                                std::string_view value) {
    impl_->settings.setValue(KeyPath(section, key),
                             QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
    // Written at once. QSettings replaces the file atomically (a temporary file
    // renamed over the old one), so a write that cannot be stored leaves the old
    // file as it was; nothing is reported.
    impl_->settings.sync();
}

void SettingsStore::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void SettingsStore::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

}  // namespace quillon
