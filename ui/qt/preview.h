// The live preview: what OK would do with each line, planned off the UI
// thread after a pause in typing. It keeps its own copy of the listed state
// and reads again only the lines that changed since the last preview, so a
// key press among a million lines is planned in a few hundredths of a second.
#pragma once

#include <QFuture>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <memory>
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

    // Plans text against listed; previews are planned one at a time, in the
    // order they were started, and one that a newer one follows is not
    // planned (its generation comes back with nothing).
    QFuture<Preview> Start(std::shared_ptr<const BatchState> listed, std::string text, bool permanent,
                           quint64 generation);
    // Makes the copy of a new listing at once, rather than at the first key.
    void Prime(std::shared_ptr<const BatchState> listed);

private:
    void CopyListing(const std::shared_ptr<const BatchState>& listed);
    Preview Run(const std::shared_ptr<const BatchState>& listed, std::string text, bool permanent, quint64 generation);

    FileServices& files_;
    QThreadPool pool_;  // one thread: the copy below is its own
    std::atomic<quint64> latest_{0};
    std::shared_ptr<const BatchState> copied_;  // the listing state_ was copied from
    BatchState state_{kUnlimited};               // its targets as of the last text planned
};

}  // namespace quil::qt
