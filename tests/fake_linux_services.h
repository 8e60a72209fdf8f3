// In-memory stand-ins for the Trash and the state store of the Linux
// editions, over the fake file system: a trashed file moves to a Trash
// folder there, and the Nth trashing can be made to fail.
#pragma once

#include <map>
#include <string>

#include "platform/state_store.h"
#include "platform/trash.h"
#include "tests/fake_file_system.h"

namespace quil::testing {

class FakeTrash final : public TrashService {
public:
    FakeTrash(FakeFileSystem& files, std::string folder) : files_(files), folder_(std::move(folder)) {}

    void FailTrashing(int n) { failAt_ = trashings_ + n; }

    OpResult MoveToTrash(const std::string& path, std::string& trashedAs) override {
        if (++trashings_ == failAt_) return OpResult::Failure(5, "the Trash cannot take this file");
        trashedAs = folder_ + "/files/" + std::to_string(trashings_) + "-" + path.substr(path.rfind('/') + 1);
        return files_.Move(path, trashedAs, nullptr);
    }
    OpResult Restore(const std::string& trashedAs, const std::string& original) override {
        return files_.Move(trashedAs, original, nullptr);
    }

private:
    FakeFileSystem& files_;
    std::string folder_;
    int trashings_ = 0;
    int failAt_ = 0;
};

class FakeStateStore final : public StateStore {
public:
    bool Append(const std::string& name, const std::string& text, bool) override {
        records[name] += text;
        return true;
    }
    bool Read(const std::string& name, std::string& text) override {
        auto it = records.find(name);
        if (it == records.end()) return false;
        text = it->second;
        return true;
    }
    bool Write(const std::string& name, const std::string& text) override {
        records[name] = text;
        return true;
    }
    bool Remove(const std::string& name) override {
        records.erase(name);
        return true;
    }
    std::string Where(const std::string& name) const override { return "state/" + name; }

    std::map<std::string, std::string> records;
};

}  // namespace quil::testing
