#include "features/file_names.h"

#include <filesystem>

#include "platform/ui_text.h"

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
            return Lang::MarkedStd(QT_TRANSLATE_NOOP("Lang", "ﾌｧｲﾙ名が入力されていません。"));
        case NameProblem::Pattern:
            return Lang::MarkedStd(
                QT_TRANSLATE_NOOP("Lang", "ﾜｲﾙﾄﾞｶｰﾄﾞ(*や?)を含む名前はﾌｧｲﾙ名ではありません。"));
        case NameProblem::NoFolder:
            return Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾌｫﾙﾀﾞがありません：%1"), FolderOf(path));
        case NameProblem::FolderDenied:
            return Lang::Fill(writing
                                  ? QT_TRANSLATE_NOOP("Lang", "ﾌｫﾙﾀﾞに書き込む権限がありません：%1")
                                  : QT_TRANSLATE_NOOP("Lang", "ﾌｫﾙﾀﾞを開く権限がありません：%1"),
                              FolderOf(path));
        case NameProblem::Missing:
            return Lang::MarkedStd(QT_TRANSLATE_NOOP("Lang", "ﾌｧｲﾙがありません。"));
        case NameProblem::Folder:
            return Lang::MarkedStd(QT_TRANSLATE_NOOP("Lang", "ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。"));
        case NameProblem::Fifo:
            return Lang::MarkedStd(
                QT_TRANSLATE_NOOP("Lang", "ﾌｧｲﾙではなくFIFO(名前付きﾊﾟｲﾌﾟ)です。"));
        case NameProblem::Device:
            return Lang::MarkedStd(QT_TRANSLATE_NOOP("Lang", "ﾌｧｲﾙではなくﾃﾞﾊﾞｲｽです。"));
        case NameProblem::Denied:
            return writing
                       ? Lang::MarkedStd(
                             QT_TRANSLATE_NOOP("Lang", "ﾌｧｲﾙに書き込む権限がありません。"))
                       : Lang::MarkedStd(QT_TRANSLATE_NOOP("Lang", "ﾌｧｲﾙを読む権限がありません。"));
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
    text += "\n" + Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾌｧｲﾙ：%1"), path);
    if (!reason.empty()) text += "\n" + reason;
    return text;
}

std::string FreeSpaceLines(const std::string& folder, const std::uint64_t* free,
                           std::uint64_t needed) {
    std::string text = Lang::Fill(QT_TRANSLATE_NOOP("Lang", "空き容量を調べたﾌｫﾙﾀﾞ：%1"), folder);
    if (free)
        text +=
            "\n" + Lang::Fill(QT_TRANSLATE_NOOP("Lang", "空き容量：%1 ﾊﾞｲﾄ、転送ﾚﾝｸﾞｽ：%2 ﾊﾞｲﾄ"),
                              *free, needed);
    return text;
}

}  // namespace quillon::features
