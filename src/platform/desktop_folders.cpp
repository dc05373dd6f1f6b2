// The folders the desktop names for the user. Apart from platform.cpp, which
// the fuzz targets build without Qt.

#include <QStandardPaths>
#include <filesystem>

#include "platform/platform.h"

namespace quillon::platform {

std::string DocumentsFolder() {
    const std::string documents =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
    std::error_code ec;
    // A fresh account may have no Documents folder yet (nothing creates it
    // before a desktop session does).
    if (!documents.empty() && std::filesystem::is_directory(documents, ec)) return documents;
    return HomeFolder();
}

}  // namespace quillon::platform
