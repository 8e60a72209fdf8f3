// quil: Quillane in the terminal.
#include <iostream>

#include "platform/config_store.h"
#include "platform/file_services.h"
#include "platform/state_store.h"
#include "platform/trash.h"
#include "ui/terminal/app.h"

int main(int argc, char** argv) {
    quil::terminal::Options options;
    std::string error;
    if (!quil::terminal::ParseOptions(argc, argv, options, error)) {
        std::cerr << "quil: " << error << "\nTry 'quil --help'.\n";
        return quil::terminal::kNothingApplied;
    }
    // What only prints needs nothing made.
    if (options.help) {
        std::cout << quil::terminal::Usage();
        return quil::terminal::kDone;
    }
    if (options.version) {
        std::cout << "quil (Quillane) " QUIL_VERSION "\n";
        return quil::terminal::kDone;
    }
    if (!options.completion.empty()) {
        std::string script;
        if (!quil::terminal::CompletionScript(options.completion, script)) {
            std::cerr << "quil: --completion takes bash, zsh or fish, not '" << options.completion << "'\n";
            return quil::terminal::kNothingApplied;
        }
        std::cout << script;
        return quil::terminal::kDone;
    }
    const auto files = quil::MakeSystemFileServices();
    const auto trash = quil::MakeSystemTrash(*files);
    const auto store = quil::MakeSystemStateStore();
    const auto config = quil::MakeSystemConfigStore();
    quil::terminal::TerminalApp app(*files, *trash, *store, *config);
    return app.Run(options);
}
