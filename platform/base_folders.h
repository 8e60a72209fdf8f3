// What the Linux editions' stores share: their folders by the XDG base
// directory layout, made private to the user, and whole writes.
#pragma once

#include <string>

namespace quil {

// $variable/quillane when the variable is absolute, as the layout asks (a
// relative one is ignored); otherwise $HOME/fallback/quillane.
std::string BaseFolder(const char* variable, const char* fallback);

// mkdir -p, each folder made private to the user, as the layout asks; false
// with the reason (a part that is no folder is ENOTDIR).
bool MakePrivateFolders(const std::string& folder, std::string& error);

// text written whole to fd, through short writes and signals.
bool WriteAll(int fd, const std::string& text);

// "what: the system's words for code".
std::string Reason(const std::string& what, int code);

}  // namespace quil
