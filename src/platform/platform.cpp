#include "platform/platform.h"

#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace quillon::platform {

namespace {
std::string EnvOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    if (v && *v) return v;
    return fallback;
}

std::string Home() {
    const char* h = std::getenv("HOME");
    return (h && *h) ? h : "/";
}
}  // namespace

std::string HomeFolder() { return Home(); }

std::string AppDataFolder() { return EnvOr("XDG_DATA_HOME", Home() + "/.local/share"); }

std::string ConfigFolder() { return EnvOr("XDG_CONFIG_HOME", Home() + "/.config"); }

std::string PrivateRuntimeFolder() {
    const char* rt = std::getenv("XDG_RUNTIME_DIR");
    if (rt && *rt) {
        struct stat st{};
        // Only trust it when it is ours and closed to others.
        if (::stat(rt, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
            (st.st_mode & 077) == 0) {
            return rt;
        }
    }
    std::string dir = AppDataFolder() + "/Quillon7-run";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    ::chmod(dir.c_str(), 0700);
    return dir;
}

std::string ProgramFolder() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return CurrentDirectory();
    buf[n] = '\0';
    return std::filesystem::path(buf).parent_path().string();
}

std::vector<std::string> ProgramFilesFolders(const std::string& programFolder,
                                             const std::string& name) {
    const std::filesystem::path program(programFolder);
    return {(program / name).string(),
            (program.parent_path() / "share" / "quillon" / name).string()};
}

std::string ProgramFilesFolder(const std::string& name) {
    const std::vector<std::string> folders = ProgramFilesFolders(ProgramFolder(), name);
    for (const std::string& folder : folders) {
        std::error_code ec;
        if (std::filesystem::is_directory(folder, ec)) return folder;
    }
    return folders.front();
}

std::string CurrentDirectory() {
    std::error_code ec;
    auto p = std::filesystem::current_path(ec);
    return ec ? std::string() : p.string();
}

std::string ResolveTypedPath(std::string_view text, const std::string& base,
                             const std::string& home) {
    namespace fs = std::filesystem;
    if (text.empty()) return {};
    if (text.front() == '/') return std::string(text);
    fs::path full;
    if (text == "~" || text.starts_with("~/"))
        full = fs::path(home) / fs::path(text.substr(text.size() > 1 ? 2 : 1));
    else
        full = fs::path(base) / fs::path(text);
    std::string s = full.lexically_normal().string();
    // "dir/" names the folder itself; lexically_normal keeps a trailing slash,
    // which must stay (a folder is not taken for a file of that name).
    if (s.size() > 1 && s.back() == '/' && text.back() != '/') s.pop_back();
    return s;
}

bool IsNamePattern(std::string_view text) {
    return text.find_first_of("*?") != std::string_view::npos;
}

namespace {
std::atomic<std::uint64_t> g_directoryChanges{0};
}  // namespace

bool SetCurrentDirectory(const std::string& path) {
    NoteDirectoryChanged();
    return ::chdir(path.c_str()) == 0;
}

std::uint64_t DirectoryChanges() { return g_directoryChanges.load(std::memory_order_relaxed); }

void NoteDirectoryChanged() { g_directoryChanges.fetch_add(1, std::memory_order_relaxed); }

std::optional<std::uint64_t> FreeSpace(const std::string& path) {
    struct statvfs vfs{};
    if (::statvfs(path.c_str(), &vfs) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
}

std::string FileSystemName(const std::string& path) {
    struct statfs fs{};
    if (::statfs(path.c_str(), &fs) != 0) return {};
    switch (static_cast<unsigned long>(fs.f_type)) {
        case MSDOS_SUPER_MAGIC: return "FAT32";
        case 0x5346544e: return "NTFS";  // ntfs3 / ntfs-3g
        case 0x2011BAB0: return "exFAT";
        case EXT4_SUPER_MAGIC: return "ext4";  // ext2/3/4 share the magic
        case BTRFS_SUPER_MAGIC: return "btrfs";
        case 0x58465342: return "xfs";
        case TMPFS_MAGIC: return "tmpfs";
        case OVERLAYFS_SUPER_MAGIC: return "overlay";
        default: return "unknown";
    }
}

std::uint64_t TickMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::optional<std::string> UsbDeviceAttribute(unsigned bus, const std::string& ports,
                                              const char* name) {
    if (ports.empty()) return std::nullopt;
    const std::string path =
        "/sys/bus/usb/devices/" + std::to_string(bus) + "-" + ports + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return std::nullopt;
    char buf[256];
    const std::size_t n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    std::string value(buf, n);
    // sysfs ends the value with a newline.
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
    return value;
}

std::string LocalTimeText(const char* format) {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char buf[64];
    const std::size_t n = std::strftime(buf, sizeof buf, format, &local);
    return std::string(buf, n);
}

}  // namespace quillon::platform
