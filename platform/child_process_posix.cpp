#include "platform/child_process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace quil {

Child::~Child() {
    if (pid_ > 0) Wait();
}

bool Child::Start(const ChildCommand& command, std::string& error) {
    std::vector<std::string> words = {"sh", "-c", command.script};
    words.insert(words.end(), command.args.begin(), command.args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (command.input >= 0) posix_spawn_file_actions_adddup2(&actions, command.input, STDIN_FILENO);
    if (command.output >= 0) posix_spawn_file_actions_adddup2(&actions, command.output, STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    foreground_ = command.foreground;
    if (foreground_) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGINT, &ignore, &oldInt_);
        sigaction(SIGQUIT, &ignore, &oldQuit_);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGQUIT);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    }
    const int spawned = posix_spawn(&pid_, "/bin/sh", &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned == 0) return true;
    pid_ = -1;
    error = std::strerror(spawned);
    Wait();  // puts the signals back
    return false;
}

int Child::Wait() {
    int status = -1;
    if (pid_ > 0) {
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }
    if (foreground_) {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGQUIT, &oldQuit_, nullptr);
        foreground_ = false;
    }
    return status;
}

}  // namespace quil
