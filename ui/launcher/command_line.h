// What quil-here.exe was asked to do, read from its raw command line. The
// folder is taken as it was written: Explorer passes a drive's root as
// "C:\", whose final backslash the usual argument rules would read as an
// escaped quote. A Windows path cannot hold a quote, so none is escaped.
#pragma once

#include <string>

namespace quil::launcher {

struct Request {
    enum class Action { Usage, Open, Register, Unregister };
    Action action = Action::Usage;
    std::wstring folder;  // for Open, as given
    bool quiet = false;   // /quiet: no message, the exit code tells
};

// commandLine is the whole line, the program's own name first.
Request ParseCommandLine(const std::wstring& commandLine);

}  // namespace quil::launcher
