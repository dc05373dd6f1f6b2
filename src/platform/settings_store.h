#pragma once
// The per-user settings store: an INI file with the sections SETUP and
// SETUP\LOG, every value a string. Each use opens the file, reads or writes
// and closes it again; there is no cache.

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

inline constexpr const char* kSetup = "SETUP";
inline constexpr const char* kSetupLog = "SETUP\\LOG";

class SettingsStore {
public:
    SettingsStore();  // opens the store
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    int ReadInteger(std::string_view section, std::string_view key, int def) const;
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // $XDG_CONFIG_HOME/Ardenfield/Quillon7.ini
    static std::string FilePath();

private:
    struct Impl;
    Impl* impl_;
};

// The integer conversion the stored values have always been read with: optional
// blanks and sign, then decimal digits, or hexadecimal after "$" or "0x".
// nullopt when the text does not convert or leaves the 32-bit range.
std::optional<int> ParseStoredInteger(std::string_view text);

}  // namespace quillon
