#include "platform/settings_store.h"

#include <sys/stat.h>

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>

#include "platform/platform.h"

namespace quillon {

namespace {
QString KeyPath(std::string_view section, std::string_view key) {
    QString s = QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size()));
    s.replace('\\', '/');
    return s + '/' + QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

// Far beyond any real settings file; a larger one is damage, not settings.
constexpr off_t kMaxSettingsBytes = 4 << 20;

// The settings file can be used when it is missing (it is made on the first
// write) or a regular file of a sane size. Anything else under its name (a
// FIFO would hold the program in the INI reader's open, a device or a huge
// file would fill its memory) is left alone: neither read nor written.
bool FileUsable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return true;
    return S_ISREG(st.st_mode) && st.st_size <= kMaxSettingsBytes;
}

// The values of a run whose settings file cannot be used: kept for the run,
// so the pages behave as usual, and forgotten at its end. Kept by the file's
// path: a process that looks at another settings folder (a test's fresh home)
// starts from the defaults again and is told again.
std::map<std::string, std::map<QString, QVariant>>& RunValues() {
    static std::map<std::string, std::map<QString, QVariant>> values;
    return values;
}
std::mutex& RunValuesMutex() {
    static std::mutex m;
    return m;
}
}  // namespace

struct SettingsStore::Impl {
    std::optional<QSettings> file;
    std::string path = SettingsStore::FilePath();

    Impl() {
        if (FileUsable(path)) {
            file.emplace(QString::fromStdString(path), QSettings::IniFormat);
            return;
        }
        std::lock_guard<std::mutex> lock(RunValuesMutex());
        if (RunValues().try_emplace(path).second) {
            std::fprintf(stderr,
                         "The settings file %s is not a regular file or is larger than 4 MiB: it is"
                         " left as it is, and this run starts from the default settings and keeps"
                         " its changes only until it ends.\n",
                         path.c_str());
        }
    }
    QVariant Value(const QString& key) const {
        if (file) return file->value(key);
        std::lock_guard<std::mutex> lock(RunValuesMutex());
        const auto& values = RunValues()[path];
        const auto it = values.find(key);
        return it == values.end() ? QVariant() : it->second;
    }
    void SetValue(const QString& key, const QString& value) {
        if (file) {
            file->setValue(key, value);
            // Written at once. QSettings replaces the file atomically (a
            // temporary file renamed over the old one), so a write that cannot
            // be stored leaves the old file as it was; nothing is reported.
            file->sync();
            return;
        }
        std::lock_guard<std::mutex> lock(RunValuesMutex());
        RunValues()[path][key] = value;
    }
};

SettingsStore::SettingsStore() : impl_(new Impl) {}

SettingsStore::~SettingsStore() {
    if (impl_->file) impl_->file->sync();
    delete impl_;
}

std::string SettingsStore::FilePath() {
    return platform::ConfigFolder() + "/Ardenfield/Quillon7.ini";
}

std::string SettingsStore::ReadString(std::string_view section, std::string_view key,
                                      std::string_view def) const {
    QVariant v = impl_->Value(KeyPath(section, key));
    if (!v.isValid()) return std::string(def);
    // A value typed into the file by hand with a comma and no quotes ("DDR3
    // (bank 0, 1)") comes back from the INI reader as a list; as a list it
    // would read as an empty string, so it is joined back into its text.
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(", ").toStdString();
    return v.toString().toStdString();
}

int SettingsStore::ReadInteger(std::string_view section, std::string_view key, int def) const {
    QVariant v = impl_->Value(KeyPath(section, key));
    if (!v.isValid()) return def;
    return ParseStoredInteger(v.toString().toStdString()).value_or(def);
}

bool SettingsStore::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void SettingsStore::WriteString(std::string_view section, std::string_view key,
                                std::string_view value) {
    impl_->SetValue(KeyPath(section, key),
                    QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
}

void SettingsStore::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void SettingsStore::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

}  // namespace quillon
