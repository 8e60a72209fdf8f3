// quillane: Quillane on the Linux desktop.
#include <QApplication>

#include "platform/file_services.h"
#include "platform/state_store.h"
#include "platform/trash.h"
#include "ui/qt/quillane_window.h"

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
    // all), as the bytes of their names; none: the current folder.
    const std::vector<std::string> paths(argv + 1, argv + argc);
    quil::qt::QuillaneWindow window(*files, *trash, *store);
    if (!window.Load(paths)) return 0;
    window.show();
    return app.exec();
}
