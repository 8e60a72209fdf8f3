// quil run for real by the tests: a process of its own in a session of its
// own (no controlling terminal), with a chosen environment, standard input,
// and something to do while it runs (send it a signal).
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quil::testing {

struct Outcome {
    int status = -1;  // the exit status, or 128 + the signal that ended it
    std::string out;
    std::string err;
};

struct QuilRun {
    std::vector<std::string> args;
    // Set (or, with an empty value, removed) over the test's own environment.
    std::map<std::string, std::string> env;
    std::string input;
    std::filesystem::path folder;  // the working folder; the test's own when empty
    // As root, run without the capabilities that override file permissions,
    // so that a read-only folder is read-only to it too.
    bool unprivileged = false;
    // Called on another thread once the process runs.
    std::function<void(pid_t)> meanwhile;
    // A command that runs quil (strace and its options), its program by path.
    std::vector<std::string> wrapper;
};

Outcome RunQuil(const QuilRun& run);

// quil on a pseudo-terminal, each question answered as it comes (the
// answer after the text that asks it); the exit status and what the
// terminal showed. With input, standard input is a pipe holding it instead.
Outcome OnTerminal(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                   const std::vector<std::pair<std::string, std::string>>& answers, const std::string& input = {});

// What a row expects of an output: part found in it; an empty part, that
// nothing was written at all.
::testing::AssertionResult Holds(const std::string& output, const std::string& part);

// The quil the tests run: $QUIL_TERMINAL, set by CTest.
std::string QuilProgram();

// Every file below folder (links as their target text, "-> target"),
// by path relative to it -> content.
std::map<std::string, std::string> FilesBelow(const std::filesystem::path& folder);

// Files by path relative to folder -> content; a content "-> target" makes
// a symbolic link.
void WriteFiles(const std::filesystem::path& folder, const std::map<std::string, std::string>& files);

}  // namespace quil::testing
