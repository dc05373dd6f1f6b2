#pragma once
// The "開く" buttons: a file opened with the program the desktop associates
// with it.

#include <string>

#include "features/reporter.h"

namespace quillon::app {

// Opens `path`; a missing file ("ﾌｧｲﾙがありません。") or one without an
// associated program ("関連付けされたｱﾌﾟﾘｹｰｼｮﾝはありません。") gets a warning box.
void OpenWithAssociatedProgram(const std::string& path, features::Reporter& reporter);

}  // namespace quillon::app
