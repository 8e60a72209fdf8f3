// In-memory files for the metadata readers: bytes served at an offset, with
// every read counted, and times as a test sets them.
#pragma once

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "platform/file_reader.h"

namespace quil::testing {

class MemoryFile final : public ReadableFile {
public:
    explicit MemoryFile(std::string bytes, int failWith = 0) : bytes_(std::move(bytes)), failWith_(failWith) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    ReadResult ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        ++reads;
        if (failWith_ != 0) return {0, failWith_};
        if (offset >= bytes_.size()) return {};
        const std::size_t count = std::min<std::size_t>(size, bytes_.size() - offset);
        std::memcpy(buffer, bytes_.data() + offset, count);
        bytesRead += count;
        return {count, 0};
    }
    int reads = 0;
    std::size_t bytesRead = 0;

private:
    std::string bytes_;
    int failWith_;
};

class FakeFileReader final : public FileReader {
public:
    struct Entry {
        std::string bytes;
        FileTimes times;
        int openError = 0;
    };
    std::map<std::string, Entry> files;

    std::unique_ptr<ReadableFile> Open(const std::string& path, int& error) override {
        const auto found = files.find(path);
        error = found == files.end() ? ENOENT : found->second.openError;
        if (error != 0) return nullptr;
        return std::make_unique<MemoryFile>(found->second.bytes);
    }
    FileTimes Times(const std::string& path) override {
        const auto found = files.find(path);
        if (found == files.end()) return FileTimes{ENOENT, {}, {}};
        return found->second.times;
    }
};

}  // namespace quil::testing
