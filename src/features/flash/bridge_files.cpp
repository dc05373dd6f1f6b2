#include "features/flash/bridge_files.h"

#include <filesystem>
#include <system_error>

#include "log/platform.h"

namespace quillon::features {

namespace {

std::vector<std::string>& TestFolders() {
    static std::vector<std::string> folders;
    return folders;
}

}  // namespace

void SetFlashFoldersForTest(std::vector<std::string> folders) {
    TestFolders() = std::move(folders);
}

std::vector<std::string> FlashFolders() {
    if (!TestFolders().empty()) return TestFolders();
    std::vector<std::string> folders;
    const std::string program = platform::ProgramFolder();
    if (!program.empty()) folders.push_back(program + "/Flash");
    const std::string data = platform::AppDataFolder();
    if (!data.empty()) folders.push_back(data + "/Quillon7/Flash");
    return folders;
}

BridgeFile FindBridgeFile(const std::string& name) {
    BridgeFile result;
    for (const std::string& folder : FlashFolders()) {
        const std::string path = folder + "/" + name;
        if (result.path.empty()) result.path = path;
        std::error_code ec;
        // A folder or a device of that name is no design file.
        if (std::filesystem::is_regular_file(path, ec)) {
            result.found = true;
            result.path = path;
            return result;
        }
    }
    if (result.path.empty()) result.path = "Flash/" + name;
    return result;
}

}  // namespace quillon::features
