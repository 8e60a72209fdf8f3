#include "ui/terminal/editor.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace quil::terminal {
namespace {

std::string EditorCommand() {
    for (const char* variable : {"VISUAL", "EDITOR"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0') return value;
    }
    return "vi";
}

// A new file of the user's alone (mkstemp makes it 0600), removed however
// the edit ends.
class TemporaryFile {
public:
    TemporaryFile() {
        const char* folder = std::getenv("TMPDIR");
        path_ = std::string(folder && folder[0] ? folder : "/tmp") + "/quil-XXXXXX";
        const int fd = mkstemp(path_.data());
        created_ = fd >= 0 && close(fd) == 0;
    }
    ~TemporaryFile() {
        if (created_) unlink(path_.c_str());
    }
    const std::string& path() const { return path_; }
    bool Write(const std::string& text) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        return created_ && out.write(text.data(), static_cast<std::streamsize>(text.size())) && out.flush();
    }

private:
    std::string path_;
    bool created_ = false;
};

// Runs sh -c 'EDITOR "$@"' quil FILE and waits. quil itself ignores Ctrl-C
// meanwhile, as system(3) does: it belongs to the editor. When standard
// input (or output) is not the terminal, as with a list of paths piped in,
// the editor gets the terminal instead, as version-control tools do.
int RunEditor(const std::string& file) {
    const std::string script = EditorCommand() + " \"$@\"";
    char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(script.c_str()),
                    const_cast<char*>("quil"), const_cast<char*>(file.c_str()), nullptr};
    struct sigaction ignore {}, oldInt{}, oldQuit{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGINT, &ignore, &oldInt);
    sigaction(SIGQUIT, &ignore, &oldQuit);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGQUIT);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int terminal = isatty(STDIN_FILENO) && isatty(STDOUT_FILENO) ? -1 : open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (terminal >= 0) {
        if (!isatty(STDIN_FILENO)) posix_spawn_file_actions_adddup2(&actions, terminal, STDIN_FILENO);
        if (!isatty(STDOUT_FILENO)) posix_spawn_file_actions_adddup2(&actions, terminal, STDOUT_FILENO);
    }
    pid_t pid;
    int status = -1;
    if (posix_spawn(&pid, "/bin/sh", &actions, &attributes, argv, environ) == 0) {
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (terminal >= 0) close(terminal);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGQUIT, &oldQuit, nullptr);
    return status;
}

}  // namespace

bool EditInEditor(std::string& text, std::string& error) {
    TemporaryFile file;
    if (!file.Write(text)) {
        error = "cannot write a temporary file: " + std::string(std::strerror(errno));
        return false;
    }
    const int status = RunEditor(file.path());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "the editor (" + EditorCommand() + ") did not end successfully";
        return false;
    }
    // Editors often save by writing a new file under the name: read by name.
    std::ifstream in(file.path(), std::ios::binary);
    if (!in) {
        error = "cannot read the edited list back";
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return true;
}

}  // namespace quil::terminal
