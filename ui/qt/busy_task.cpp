#include "ui/qt/busy_task.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QTimer>
#include <QtConcurrent/QtConcurrent>

namespace quil::qt {

bool RunBusy(QWidget* parent, const std::function<QString(long done, long total)>& label,
             const std::function<void(TaskProgress&)>& work) {
    TaskProgress progress;
    QFutureWatcher<void> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run([&] { work(progress); }));
    // The first half second takes no input: a second click on OK must not
    // start a second batch. Input is kept, not lost.
    QTimer::singleShot(500, &loop, &QEventLoop::quit);
    if (!watcher.isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (watcher.isFinished()) return !progress.cancelled;

    QProgressDialog dialog(label(progress.done, progress.total), QStringLiteral("Cancel"), 0, 0, parent);
    dialog.setWindowTitle(QStringLiteral("Quillane"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(0);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
        const long total = progress.total;
        dialog.setLabelText(label(progress.done, total));
        dialog.setMaximum(static_cast<int>(std::min<long>(total, 1 << 30)));
        if (total > 0) dialog.setValue(static_cast<int>(std::min<long>(progress.done, total)));
    });
    QObject::connect(&dialog, &QProgressDialog::canceled, [&] {
        progress.cancelled = true;
        dialog.setLabelText(QStringLiteral("Stopping..."));
    });
    poll.start(100);
    dialog.show();
    if (!watcher.isFinished()) loop.exec();
    return !progress.cancelled;
}

}  // namespace quil::qt
