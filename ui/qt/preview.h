// The live preview: what OK would do with each line, planned off the UI
// thread after a pause in typing. It keeps its own copy of the listed state,
// made on its thread while the window shows the list, and reads again only
// the lines that changed since the last preview, so a key press among a
// million lines is planned in a few hundredths of a second.
#pragma once

#include <QFuture>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <utility>
#include <vector>

#include "engine/batch_state.h"
#include "platform/file_services.h"
#include "ui/qt/names_editor.h"

namespace quil::qt {

struct Preview {
    std::vector<std::pair<int, LineStatus>> changed;  // line (0-based), status; the others are unchanged
    QString summary;
    quint64 generation = 0;
};

class PreviewPlanner {
public:
    explicit PreviewPlanner(FileServices& files);
    ~PreviewPlanner();

    // Copies a new listing on the preview's thread; listed must not change
    // until WaitForCopy has returned.
    void Prime(const BatchState& listed);
    void WaitForCopy() { copied_.waitForFinished(); }
    // Plans text against the listing primed last; previews are planned one
    // at a time, in the order they were started, and one that a newer one
    // follows is not planned (its generation comes back with nothing).
    // Lines a transform emptied (slots) are refused, as OK refuses them.
    QFuture<Preview> Start(std::string text, std::vector<int> emptiedByTransform, bool permanent, quint64 generation);

private:
    Preview Run(std::string text, const std::vector<int>& emptiedByTransform, bool permanent, quint64 generation);

    FileServices& files_;
    QThreadPool pool_;  // one thread: the copy below is its own
    std::atomic<quint64> latest_{0};
    QFuture<void> copied_;
    BatchState state_{kUnlimited};  // the listing, its targets as of the last text planned
};

}  // namespace quil::qt
