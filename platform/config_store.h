// Settings the user keeps and may edit by hand (the recipes):
// $XDG_CONFIG_HOME/quillane/, by default ~/.config/quillane/.
#pragma once

#include <memory>
#include <string>

namespace quil {

class ConfigStore {
public:
    virtual ~ConfigStore() = default;
    // The whole file; true with empty text when there is none yet, false
    // with the reason when it cannot be read.
    virtual bool Read(const std::string& name, std::string& text, std::string& error) = 0;
    // Replaces the file whole: a crash leaves the old text or the new, never
    // a mix (written beside it, flushed, renamed over it).
    virtual bool Write(const std::string& name, const std::string& text, std::string& error) = 0;
    // Where the file lives, for messages.
    virtual std::string Where(const std::string& name) const = 0;
};

std::unique_ptr<ConfigStore> MakeSystemConfigStore();

}  // namespace quil
