#pragma once
// Where the flash features find their bridge designs: the folder "Flash"
// beside the program, the user's data folder ($XDG_DATA_HOME/Quillon7/Flash),
// where a user can put the board maker's files without administrator rights,
// and for an installed program <prefix>/share/quillon/Flash. The first folder
// holding the file wins.

#include <string>
#include <vector>

namespace quillon::features {

// The folders looked in, in order.
std::vector<std::string> FlashFolders();
// Replaces the folders looked in (tests); an empty list restores the default.
void SetFlashFoldersForTest(std::vector<std::string> folders);

struct BridgeFile {
    bool found = false;
    // The file found, or where it was looked for first when it was not.
    std::string path;
};

// `name` is the file name inside the folder ("NorBridge2_Norrin_EP2C35.rbf").
BridgeFile FindBridgeFile(const std::string& name);

}  // namespace quillon::features
