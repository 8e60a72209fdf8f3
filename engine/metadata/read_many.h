// Reading the metadata of many files on a small pool of threads, with
// progress and a way to stop.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "engine/batch_flow.h"
#include "engine/metadata/metadata_reader.h"

namespace quil::metadata {

struct ReadManyOptions {
    int threads = 4;  // reading is mostly waiting for the disk, even on two cores
    // Called on the calling thread about every progressInterval while the
    // files are read, with how many are done; returning false stops the
    // reading.
    std::function<bool(std::size_t done, std::size_t total)> progress;
    std::chrono::milliseconds progressInterval{100};
};

// Reading that reports to a dialog's long step and stops when it asks.
ReadManyOptions ReportingTo(StepMonitor& monitor);

// The metadata of each path, in the order of paths, into results. False
// when progress asked to stop: results is then left as it was, never
// half filled.
bool ReadMany(const MetadataReader& reader, const std::vector<std::string>& paths, const FieldSet& wanted,
              const ReadManyOptions& options, std::vector<FileMetadata>& results);

}  // namespace quil::metadata
