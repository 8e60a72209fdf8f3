// quillane: Quillane on the Linux desktop.
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>

#include "platform/config_store.h"
#include "platform/file_services.h"
#include "platform/state_store.h"
#include "platform/trash.h"
#include "ui/qt/quillane_window.h"
#include "ui/qt/start_paths.h"

int main(int argc, char** argv) {
    // The Trash first: it settles where the base folders are before
    // anything else in the process reads them.
    const auto files = quil::MakeSystemFileServices();
    const auto trash = quil::MakeSystemTrash(*files);
    const auto store = quil::MakeSystemStateStore();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillane"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("quillane"), QIcon(QStringLiteral(":/quillane.png"))));
    // The files and folders picked (a file manager's "Open With" passes them
    // all), as the bytes of their names. With none, from a terminal: the
    // current folder; from the applications menu: a folder the user picks.
    const auto paths =
        quil::qt::StartPaths(std::vector<std::string>(argv + 1, argv + argc), isatty(STDIN_FILENO) != 0, [] {
            return QFileDialog::getExistingDirectory(
                nullptr, QStringLiteral("Choose a folder to rename in \u2014 Quillane"), QDir::homePath());
        });
    if (!paths) return 2;
    const auto config = quil::MakeSystemConfigStore();
    quil::qt::QuillaneWindow window(*files, *trash, *store, *config);
    if (!window.Load(*paths)) return window.ExitStatus();
    window.show();
    app.exec();
    return window.ExitStatus();
}
