// The folder verbs of a portable copy: "Rename files here with Quillane" on
// every folder, a folder window's background and every drive, for the
// current user, pointing at the copy that registers them (the keys, texts
// and icon the installer writes, and the drives).
#pragma once

#include <string>

namespace quil::launcher {

// launcher is this copy's quil-here.exe. 0 when done; 1 with the reason
// otherwise (verbs of another copy that still exists are left alone).
int RegisterVerbs(const std::wstring& launcher, std::wstring& said);
// Removes only the verbs that start this copy, however its path is
// written; 1 with the reason where verbs of another copy stay.
int UnregisterVerbs(const std::wstring& launcher, std::wstring& said);

}  // namespace quil::launcher
