// A shell command run by the Linux editions (the editor, a filter): sh -c SCRIPT ARGS...,
// started with its standard input and output where asked, and waited for.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <string>
#include <vector>

namespace quil {

struct ChildCommand {
    std::string script;             // for sh -c
    std::vector<std::string> args;  // $0, $1, ...
    int input = -1;                 // its standard input, or -1 for quil's own
    int output = -1;                // its standard output, or -1 for quil's own
    // It owns the terminal while it runs: Ctrl-C and Ctrl-\ go to it, and
    // quil ignores them meanwhile, as system(3) does.
    bool foreground = false;
};

class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();

    // False, with the reason, when it cannot be started.
    bool Start(const ChildCommand& command, std::string& error);
    // Waits for it to end; its wait status.
    int Wait();

private:
    pid_t pid_ = -1;
    bool foreground_ = false;
    struct sigaction oldInt_ {}, oldQuit_ {};
};

}  // namespace quil
