// Small text records that the Linux editions keep between runs (the undo
// journals): $XDG_STATE_HOME/quillane/, by default ~/.local/state/quillane/.
#pragma once

#include <memory>
#include <string>

namespace quil {

class StateStore {
public:
    virtual ~StateStore() = default;
    // Adds text at the end of the record, creating it. It reaches the file
    // system at once (a killed process loses nothing of it); with durable,
    // also the disk before it returns.
    virtual bool Append(const std::string& name, const std::string& text, bool durable) = 0;
    // False when there is no such record.
    virtual bool Read(const std::string& name, std::string& text) = 0;
    // Replaces the whole record at once.
    virtual bool Write(const std::string& name, const std::string& text) = 0;
    virtual bool Remove(const std::string& name) = 0;
    // Where the record lives, for messages.
    virtual std::string Where(const std::string& name) const = 0;
};

std::unique_ptr<StateStore> MakeSystemStateStore();

}  // namespace quil
