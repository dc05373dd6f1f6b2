#include "app/open_file.h"

#include <filesystem>
#include <system_error>

#include "platform/prompter.h"
#include "platform/ui_text.h"

namespace quillon::app {

void OpenWithAssociatedProgram(const std::string& path, features::Reporter& reporter) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        reporter.Message(Lang::Tr("ﾌｧｲﾙがありません。"), MsgIcon::Warning);
        return;
    }
    if (!Prompts().OpenWithDesktop(path))
        reporter.Message(Lang::Tr("関連付けされたｱﾌﾟﾘｹｰｼｮﾝはありません。"), MsgIcon::Warning);
}

}  // namespace quillon::app
