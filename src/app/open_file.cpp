#include "app/open_file.h"

#include <filesystem>
#include <system_error>

#include "platform/prompter.h"

namespace quillon::app {

void OpenWithAssociatedProgram(const std::string& path, features::Reporter& reporter) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        reporter.Message("ﾌｧｲﾙがありません。", MsgIcon::Warning);
        return;
    }
    if (!Prompts().OpenWithDesktop(path))
        reporter.Message("関連付けされたｱﾌﾟﾘｹｰｼｮﾝはありません。", MsgIcon::Warning);
}

}  // namespace quillon::app
