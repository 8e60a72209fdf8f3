#include "engine/metadata/read_many.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace quil::metadata {

ReadManyOptions ReportingTo(StepMonitor& monitor) {
    ReadManyOptions options;
    options.progress = [&monitor](std::size_t done, std::size_t total) {
        monitor.Progress(static_cast<long>(done), static_cast<long>(total));
        return !monitor.StopRequested();
    };
    return options;
}

bool ReadMany(const MetadataReader& reader, const std::vector<std::string>& paths, const FieldSet& wanted,
              const ReadManyOptions& options, std::vector<FileMetadata>& results) {
    std::vector<FileMetadata> read(paths.size());
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stopping{false};
    std::size_t done = 0;
    std::mutex mutex;
    std::condition_variable finished;

    auto work = [&] {
        for (std::size_t index; !stopping && (index = next++) < paths.size();) {
            read[index] = reader.Read(paths[index], wanted);
            const std::lock_guard<std::mutex> lock(mutex);
            if (++done == paths.size()) finished.notify_one();
        }
    };
    const std::size_t threads = std::min<std::size_t>(std::max(options.threads, 1), paths.size());
    std::vector<std::thread> pool;
    for (std::size_t i = 0; i < threads; ++i) pool.emplace_back(work);

    {
        std::unique_lock<std::mutex> lock(mutex);
        while (done < paths.size()) {
            if (finished.wait_for(lock, options.progressInterval, [&] { return done == paths.size(); })) break;
            if (!options.progress) continue;
            const std::size_t sofar = done;
            lock.unlock();
            const bool goOn = options.progress(sofar, paths.size());
            lock.lock();
            if (!goOn) {
                stopping = true;
                break;
            }
        }
    }
    for (std::thread& thread : pool) thread.join();
    if (stopping) return false;
    results = std::move(read);
    return true;
}

}  // namespace quil::metadata
