#include "features/file_names.h"

#include <filesystem>

namespace quillon::features {

namespace {

using platform::NameProblem;

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

std::string Reason(NameProblem problem, const std::string& path, bool writing) {
    switch (problem) {
        case NameProblem::None:
            return {};
        case NameProblem::NoName:
            return "ﾌｧｲﾙ名が入力されていません。";
        case NameProblem::Pattern:
            return "ﾜｲﾙﾄﾞｶｰﾄﾞ(*や?)を含む名前はﾌｧｲﾙ名ではありません。";
        case NameProblem::NoFolder:
            return "ﾌｫﾙﾀﾞがありません：" + FolderOf(path);
        case NameProblem::FolderDenied:
            return (writing ? "ﾌｫﾙﾀﾞに書き込む権限がありません："
                            : "ﾌｫﾙﾀﾞを開く権限がありません：") +
                   FolderOf(path);
        case NameProblem::Missing:
            return "ﾌｧｲﾙがありません。";
        case NameProblem::Folder:
            return "ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。";
        case NameProblem::Fifo:
            return "ﾌｧｲﾙではなくFIFO(名前付きﾊﾟｲﾌﾟ)です。";
        case NameProblem::Device:
            return "ﾌｧｲﾙではなくﾃﾞﾊﾞｲｽです。";
        case NameProblem::Denied:
            return writing ? "ﾌｧｲﾙに書き込む権限がありません。" : "ﾌｧｲﾙを読む権限がありません。";
    }
    return {};
}

}  // namespace

bool NameCheck::absent() const {
    return problem == NameProblem::NoName || problem == NameProblem::Pattern ||
           problem == NameProblem::NoFolder || problem == NameProblem::Missing;
}

NameCheck CheckNameToRead(const std::string& path) {
    const NameProblem p = platform::CheckFileToRead(path);
    return {p, Reason(p, path, false)};
}

NameCheck CheckNameToWrite(const std::string& path) {
    const NameProblem p = platform::CheckFileToWrite(path);
    return {p, Reason(p, path, true)};
}

std::string RefusalText(std::string_view failure, const std::string& path,
                        const std::string& reason) {
    std::string text(failure);
    text += "\nﾌｧｲﾙ：" + path;
    if (!reason.empty()) text += "\n" + reason;
    return text;
}

std::string FreeSpaceLines(const std::string& folder, const std::uint64_t* free,
                           std::uint64_t needed) {
    std::string text = "空き容量を調べたﾌｫﾙﾀﾞ：" + folder;
    if (free)
        text += "\n空き容量：" + std::to_string(*free) + " ﾊﾞｲﾄ、転送ﾚﾝｸﾞｽ：" +
                std::to_string(needed) + " ﾊﾞｲﾄ";
    return text;
}

}  // namespace quillon::features
