// Small records that the Linux editions keep between runs (the undo
// journals of the batches): $XDG_STATE_HOME/quillane/, by default
// ~/.local/state/quillane/.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace quil {

// A record open for adding to its end.
class AppendFile {
public:
    virtual ~AppendFile() = default;
    // Adds text in one write, which reaches the file system before this
    // returns: a process killed after it loses nothing of it, but a power
    // cut may, until Sync.
    virtual bool Append(const std::string& text) = 0;
    // Waits until everything appended is on the disk.
    virtual bool Sync() = 0;
};

// Held for as long as it lives; another process cannot take it meanwhile.
class StoreLock {
public:
    virtual ~StoreLock() = default;
};

class StateStore {
public:
    virtual ~StateStore() = default;

    // A new record, which must not exist yet; null with the reason when it
    // cannot be made.
    virtual std::unique_ptr<AppendFile> Create(const std::string& name, std::string& error) = 0;
    // An existing record, to add to it.
    virtual std::unique_ptr<AppendFile> Reopen(const std::string& name, std::string& error) = 0;
    // At most limit bytes from the start of the record (0: all of it).
    // False when there is no such record.
    virtual bool Read(const std::string& name, std::string& text, std::size_t limit = 0) = 0;
    // The names of the records that end in suffix, in no particular order.
    virtual std::vector<std::string> List(const std::string& suffix) = 0;
    virtual bool Remove(const std::string& name) = 0;
    // The lock of that name, or null (busy set when another process holds
    // it, clear when no lock can be had here at all).
    virtual std::unique_ptr<StoreLock> TryLock(const std::string& name, bool& busy) = 0;
    // Where the record lives, for messages.
    virtual std::string Where(const std::string& name) const = 0;
};

std::unique_ptr<StateStore> MakeSystemStateStore();

}  // namespace quil
