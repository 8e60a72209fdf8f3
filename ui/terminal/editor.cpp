#include "ui/terminal/editor.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/child_process.h"

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

// Runs sh -c 'EDITOR "$@"' quil FILE and waits, the editor owning the
// terminal. When standard input (or output) is not the terminal, as with a
// list of paths piped in, the editor gets the terminal instead, as
// version-control tools do.
int RunEditor(const std::string& file) {
    ChildCommand command{EditorCommand() + " \"$@\"", {"quil", file}, -1, -1, true};
    const int terminal = isatty(STDIN_FILENO) && isatty(STDOUT_FILENO) ? -1 : open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (terminal >= 0) {
        if (!isatty(STDIN_FILENO)) command.input = terminal;
        if (!isatty(STDOUT_FILENO)) command.output = terminal;
    }
    Child editor;
    std::string error;
    const int status = editor.Start(command, error) ? editor.Wait() : -1;
    if (terminal >= 0) close(terminal);
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
