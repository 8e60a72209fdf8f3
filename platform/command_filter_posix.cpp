#include "platform/command_filter.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/child_process.h"

namespace quil {

bool FilterThrough(const std::string& command, std::string& text, std::string& error) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (pipe2(out, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        close(in[0]);
        close(in[1]);
        return false;
    }
    Child filter;
    const bool started = filter.Start({command, {}, in[0], out[1], false}, error);
    close(in[0]);
    close(out[1]);
    if (!started) {
        close(in[1]);
        close(out[0]);
        return false;
    }
    // Written on a thread of its own: a command may print before it has
    // read everything, and both pipes would fill.
    std::thread feeder([&] {
        // A command that stops reading early must not end quil with SIGPIPE.
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        for (std::size_t done = 0; done < text.size();) {
            const ssize_t written = write(in[1], text.data() + done, text.size() - done);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) break;  // the command stopped reading
            done += static_cast<std::size_t>(written);
        }
        close(in[1]);
    });
    std::string result;
    char buffer[65536];
    for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR);)
        if (got > 0) result.append(buffer, static_cast<std::size_t>(got));
    feeder.join();
    close(out[0]);
    const int status = filter.Wait();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "the filter (" + command + ") did not end successfully";
        return false;
    }
    text.swap(result);
    return true;
}

}  // namespace quil
