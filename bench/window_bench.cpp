// The desktop window at 1,000, 100,000 and 1,000,000 lines on the offscreen
// platform: how long a key press takes to return, how long until the
// preview shows the new status, a transform on every line to its preview,
// and the start-up to a filled window beside the terminal
// edition's --list of the same tree plus an empty window's start-up.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "bench/fixtures.h"
#include "bench/harness.h"
#include "platform/config_store.h"
#include "platform/file_services.h"
#include "platform/state_store.h"
#include "platform/trash.h"
#include "ui/qt/quillane_window.h"

namespace quil::bench {
namespace {

struct Typing {
    double keyMs;
    double previewMs;
};

// Waits until the preview shows line changed (or, with changed false,
// unchanged again); the time from timer's start, or 10 s when it never does.
double UntilStatus(qt::NamesEditor* names, int line, bool changed, const QElapsedTimer& timer) {
    auto shown = [&] {
        const auto& statuses = names->statuses();
        const bool isChanged = static_cast<int>(statuses.size()) > line &&
                               statuses[static_cast<std::size_t>(line)].action != LineAction::Unchanged;
        return isChanged == changed;
    };
    while (!shown() && timer.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return timer.nsecsElapsed() / 1e6;
}

// The window over the system's services, listing folder, shown.
struct ShownWindow {
    explicit ShownWindow(const std::string& folder) {
        window.Load({folder});
        window.show();
        exposed = QTest::qWaitForWindowExposed(&window);
        if (!exposed) std::fprintf(stderr, "the window did not show\n");
    }
    std::unique_ptr<FileServices> files = MakeSystemFileServices();
    std::unique_ptr<TrashService> trash = MakeSystemTrash(*files);
    std::unique_ptr<StateStore> store = MakeSystemStateStore();
    std::unique_ptr<ConfigStore> config = MakeSystemConfigStore();
    qt::QuillaneWindow window{*files, *trash, *store, *config};
    bool exposed = false;
};

Typing MeasureTyping(const std::string& folder) {
    ShownWindow shown(folder);
    qt::QuillaneWindow& window = shown.window;
    qt::NamesEditor* names = window.names();
    std::vector<double> keys, previews;
    for (int i = 0; i < 9; ++i) {
        names->setCursorPosition(i, 0);
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(names, Qt::Key_X);
        keys.push_back(timer.nsecsElapsed() / 1e6);
        previews.push_back(UntilStatus(names, i, true, timer));
    }
    std::sort(keys.begin(), keys.end());
    std::sort(previews.begin(), previews.end());
    return {keys[keys.size() / 2], previews[previews.size() / 2]};
}

// A regular-expression replace over every line, selected, until the
// preview shows its last line renamed; undone between runs.
double MeasureTransform(const std::string& folder) {
    ShownWindow shown(folder);
    qt::QuillaneWindow& window = shown.window;
    qt::NamesEditor* names = window.names();
    const int last = names->lines() - 1;
    window.transforms()->regexBox()->setChecked(true);
    window.findField()->setText(QStringLiteral("file-(\\d+)"));
    window.withField()->setText(QStringLiteral("f{n:6}-$1"));
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        names->selectAll();
        QElapsedTimer timer;
        timer.start();
        window.transforms()->Replace();
        times.push_back(UntilStatus(names, last, true, timer));
        names->undo();
        QElapsedTimer back;
        back.start();
        UntilStatus(names, last, false, back);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// From the start of command to its first line of output (a window says
// "ready" once it is shown and filled; quil --list has printed its list by
// then, as it prints it whole at the end), median of 5. What a process does
// after that (freeing its memory, the preview's copy of the listing on its
// worker) is no part of the wait.
double StartUpMs(const std::vector<std::string>& command) {
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        QProcess process;
        QStringList arguments;
        for (std::size_t i = 1; i < command.size(); ++i) arguments << QString::fromStdString(command[i]);
        QElapsedTimer timer;
        timer.start();
        process.start(QString::fromStdString(command[0]), arguments);
        process.waitForReadyRead(60000);
        times.push_back(timer.nsecsElapsed() / 1e6);
        process.waitForFinished(60000);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace
}  // namespace quil::bench

int main(int argc, char** argv) {
    using namespace quil::bench;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 2 && std::string(argv[1]) == "--start-up") {  // one timed start-up of the window
        QApplication app(argc, argv);
        const ShownWindow shown(argv[2]);
        if (!shown.exposed) return 1;
        std::puts("ready");
        std::fflush(stdout);
        std::_Exit(0);
    }
    QApplication app(argc, argv);
    // Optional arguments pick sections: typing transform start-up.
    auto wanted = [&](const char* section) {
        if (argc < 2) return true;
        for (int i = 1; i < argc; ++i)
            if (std::string(argv[i]) == section) return true;
        return false;
    };
    PrintHeader();
    const std::string small = MakeTempFolder("window-1k"), large = MakeTempFolder("window-100k"),
                      empty = MakeTempFolder("window-empty");
    MakeTree(small, 1000);
    MakeTree(large, 100000);
    if (wanted("typing")) {
        const std::string huge = MakeTempFolder("window-1m");
        MakeTree(huge, 1000000);
        const Typing few = MeasureTyping(small);
        const Typing many = MeasureTyping(large);
        const Typing most = MeasureTyping(huge);
        RemoveTree(huge);
        PrintRow("key press returns, 1,000,000 lines", most.keyMs, "1,000 lines", few.keyMs, "< 16 ms");
        PrintRow("key press returns, 100,000 lines", many.keyMs, "1,000 lines", few.keyMs, "< 16 ms");
        PrintRow("key press to preview, 100,000 lines", many.previewMs, "1,000 lines", few.previewMs, "< 100 ms");
        PrintRow("key press to preview, 1,000,000 lines", most.previewMs, "1,000 lines", few.previewMs, "< 200 ms");
    }
    if (wanted("transform"))
        PrintRow("regex replace on 100,000 selected lines to preview", MeasureTransform(large), "1,000 lines",
                 MeasureTransform(small), "< 200 ms");
    if (wanted("start-up")) {
        const std::string self = QCoreApplication::applicationFilePath().toStdString();
        const double window = StartUpMs({self, "--start-up", large});
        const double list = StartUpMs({QUIL_TERMINAL_PATH, "--list", large});
        const double bare = StartUpMs({self, "--start-up", empty});
        PrintRow("start-up to a filled window, 100,000 files", window, "quil --list + empty window", list + bare,
                 "<= 1.5x");
    }
    RemoveTree(small);
    RemoveTree(large);
    RemoveTree(empty);
    return 0;
}
