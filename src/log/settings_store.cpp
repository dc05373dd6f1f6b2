#include "log/settings_store.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <cctype>
#include <cstdint>

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

std::optional<int> ParseStoredInteger(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    int base = 10;
    if (i < t.size() && t[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= t.size()) return std::nullopt;
    std::uint64_t value = 0;
    for (; i < t.size(); ++i) {
        int c = static_cast<unsigned char>(t[i]);
        int d;
        if (std::isdigit(c))
            d = c - '0';
        else if (base == 16 && std::isxdigit(c))
            d = std::tolower(c) - 'a' + 10;
        else
            return std::nullopt;
        value = value * base + static_cast<unsigned>(d);
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    if (base == 16) {
        // Hexadecimal text covers the full 32 bits ("$FFFFFFFF" is -1).
        std::int64_t v = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
        return static_cast<int>(negative ? -v : v);
    }
    std::int64_t v =
        negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return static_cast<int>(v);
}

}  // namespace quillon
