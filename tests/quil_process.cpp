#include "tests/quil_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace quil::testing {
namespace {

namespace fs = std::filesystem;

std::string Slurp(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR);)
        if (got > 0) text.append(buffer, static_cast<std::size_t>(got));
    return text;
}

std::vector<std::string> Environment(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        if (changes.count(variable.substr(0, variable.find('='))) == 0) env.push_back(variable);
    }
    for (const auto& [name, value] : changes)
        if (!value.empty()) env.push_back(name + "=" + value);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& string : strings) pointers.push_back(string.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

::testing::AssertionResult Holds(const std::string& output, const std::string& part) {
    if (part.empty() ? output.empty() : output.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << (part.empty() ? "expected nothing, got:\n" : "expected '" + part + "' in:\n")
                                         << output;
}

std::string QuilProgram() {
    const char* program = std::getenv("QUIL_TERMINAL");
    return program ? fs::absolute(program).string() : "quil";
}

Outcome RunQuil(const QuilRun& run) {
    std::vector<std::string> args = run.args;
    args.insert(args.begin(), QuilProgram());
    args.insert(args.begin(), run.wrapper.begin(), run.wrapper.end());
    if (run.unprivileged && geteuid() == 0)
        args.insert(args.begin(), {"/usr/bin/setpriv", "--bounding-set",
                                   "-dac_override,-dac_read_search,-fowner,-linux_immutable", "--inh-caps", "-all"});
    std::vector<char*> argv = Pointers(args);
    std::vector<std::string> env = Environment(run.env);
    std::vector<char*> envp = Pointers(env);

    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    if (!run.folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, run.folder.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid;
    const int spawned = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    Outcome outcome;
    if (spawned != 0) {
        close(in[1]);
        close(out[0]);
        close(err[0]);
        return outcome;
    }
    std::thread feeder([&] {
        if (!run.input.empty()) (void)!write(in[1], run.input.data(), run.input.size());
        close(in[1]);
    });
    std::thread during;
    if (run.meanwhile) during = std::thread([&] { run.meanwhile(pid); });
    std::string errText;
    std::thread errReader([&] { errText = Slurp(err[0]); });
    outcome.out = Slurp(out[0]);
    errReader.join();
    feeder.join();
    int status = 0;
    waitpid(pid, &status, 0);
    if (during.joinable()) during.join();
    close(out[0]);
    close(err[0]);
    outcome.err = errText;
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
}

std::map<std::string, std::string> FilesBelow(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code error;
    if (!fs::exists(fs::symlink_status(folder, error))) return files;
    for (auto it = fs::recursive_directory_iterator(folder, error); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path relative = it->path().lexically_relative(folder);
        const fs::file_status status = it->symlink_status(error);
        if (fs::is_symlink(status)) {
            files[relative.string()] = "-> " + fs::read_symlink(it->path(), error).string();
        } else if (fs::is_regular_file(status)) {
            std::ifstream in(it->path(), std::ios::binary);
            std::stringstream content;
            content << in.rdbuf();
            files[relative.string()] = content.str();
        }
    }
    return files;
}

void WriteFiles(const fs::path& folder, const std::map<std::string, std::string>& files) {
    for (const auto& [path, content] : files) {
        fs::create_directories((folder / path).parent_path());
        if (content.rfind("-> ", 0) == 0)
            fs::create_symlink(content.substr(3), folder / path);
        else
            std::ofstream(folder / path, std::ios::binary) << content;
    }
}

// quil on a pseudo-terminal, each question answered as it comes; the exit
// status and what the terminal showed.
// With input, standard input is a pipe holding it instead.
Outcome OnTerminal(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                   const std::vector<std::pair<std::string, std::string>>& answers, const std::string& input) {
    int master;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) return {};
    if (pid == 0) {
        if (!input.empty()) {
            int piped[2];
            if (pipe(piped) != 0 || write(piped[1], input.data(), input.size()) != static_cast<ssize_t>(input.size()))
                _exit(126);
            close(piped[1]);
            dup2(piped[0], STDIN_FILENO);
        }
        for (const auto& [name, value] : env) {
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<std::string> strings = args;
        strings.insert(strings.begin(), QuilProgram());
        std::vector<char*> argv;
        for (std::string& arg : strings) argv.push_back(arg.data());
        argv.push_back(nullptr);
        execve(argv[0], argv.data(), environ);
        _exit(127);
    }
    Outcome outcome;
    std::size_t next = 0;
    for (auto start = std::chrono::steady_clock::now(); std::chrono::steady_clock::now() - start < std::chrono::seconds(20);) {
        pollfd poller{master, POLLIN, 0};
        if (poll(&poller, 1, 100) <= 0) continue;
        char buffer[256];
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) break;  // the program ended
        outcome.out.append(buffer, static_cast<std::size_t>(got));
        if (next < answers.size() && outcome.out.find(answers[next].first) != std::string::npos) {
            const std::string answer = answers[next++].second + "\n";
            if (write(master, answer.data(), answer.size()) != static_cast<ssize_t>(answer.size())) break;
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    close(master);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
}

}  // namespace quil::testing
