// Long work off the UI thread: listing, planning, applying. The window
// waits for it without taking input for half a second, then shows a
// progress dialog whose Cancel asks the work to stop.
#pragma once

#include <QString>
#include <atomic>
#include <functional>

class QWidget;

namespace quil::qt {

struct TaskProgress {
    std::atomic<long> done{0};
    std::atomic<long> total{0};  // 0: a count without an end
    std::atomic<bool> cancelled{false};
};

// Runs work(progress) on a worker thread and returns once it has ended.
// label turns the progress into the dialog's text. False when the user
// cancelled (the work saw it through progress.cancelled).
bool RunBusy(QWidget* parent, const std::function<QString(long done, long total)>& label,
             const std::function<void(TaskProgress&)>& work);

}  // namespace quil::qt
