#include "ui/qt/start_paths.h"

#include <QFile>

namespace quil::qt {

std::optional<std::vector<std::string>> StartPaths(std::vector<std::string> given, bool fromTerminal,
                                                   const std::function<QString()>& chooseFolder) {
    if (!given.empty() || fromTerminal) return given;
    const QString folder = chooseFolder();
    if (folder.isEmpty()) return std::nullopt;
    return std::vector<std::string>{QFile::encodeName(folder).toStdString()};
}

}  // namespace quil::qt
