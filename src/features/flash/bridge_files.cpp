#include "features/flash/bridge_files.h"

#include <filesystem>
#include <system_error>

#include "platform/platform.h"

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
    const auto exists = [](const std::string& folder) {
        std::error_code ec;
        return std::filesystem::is_directory(folder, ec);
    };
    // [beside the program, installed with it]
    const std::vector<std::string> shipped =
        platform::ProgramFilesFolders(platform::ProgramFolder(), "Flash");
    const bool installed = exists(shipped[1]);
    std::vector<std::string> folders;
    // The folder beside the program (a build tree, a copy unpacked in one
    // folder) comes first; it is named also when there is none at all.
    if (!installed || exists(shipped[0])) folders.push_back(shipped[0]);
    const std::string data = platform::AppDataFolder();
    if (!data.empty()) folders.push_back(data + "/Quillon7/Flash");
    // An installed program's own files (the simulated board's) come after
    // the user's (the board maker's).
    if (installed) folders.push_back(shipped[1]);
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
