// The launcher's command line, as Explorer and a command prompt write it.
#include <gtest/gtest.h>

#include "ui/launcher/command_line.h"

namespace quil::launcher {
namespace {

TEST(LauncherCommandLine, TakesTheFolderAsWritten) {
    using Action = Request::Action;
    struct Row {
        const wchar_t* line;
        Action action;
        const wchar_t* folder;
        bool quiet;
    };
    for (const Row& row : std::vector<Row>{
             {L"\"C:\\Program Files\\Quillane\\quil-here.exe\" \"C:\\\"", Action::Open, L"C:\\", false},
             {L"quil-here.exe \"D:\\Photos\\\"", Action::Open, L"D:\\Photos\\", false},
             {L"quil-here.exe \"C:\\My photos\"", Action::Open, L"C:\\My photos", false},
             {L"quil-here.exe C:\\My photos  ", Action::Open, L"C:\\My photos", false},
             {L"quil-here.exe plain", Action::Open, L"plain", false},
             {L"\"quil-here.exe\"", Action::Usage, L"", false},
             {L"quil-here.exe   ", Action::Usage, L"", false},
             {L"quil-here.exe \"\"", Action::Usage, L"", false},
             {L"quil-here.exe --register", Action::Register, L"", false},
             {L"quil-here.exe --register /quiet", Action::Register, L"", true},
             {L"quil-here.exe --unregister --quiet", Action::Unregister, L"", true},
             {L"quil-here.exe --register now", Action::Usage, L"", false},
             {L"quil-here.exe --registered", Action::Open, L"--registered", false},
         }) {
        const Request request = ParseCommandLine(row.line);
        EXPECT_EQ(request.action, row.action) << row.line;
        EXPECT_EQ(request.folder, row.folder) << row.line;
        EXPECT_EQ(request.quiet, row.quiet) << row.line;
    }
}

}  // namespace
}  // namespace quil::launcher
