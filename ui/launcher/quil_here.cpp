// quil-here.exe: starts quil.exe, from this program's own folder, in the
// folder given as its one argument. Explorer's verbs call it with the
// folder ("%V"), so that the rules Explorer applies to a verb's working
// folder do not matter; a portable copy registers those verbs itself.
#include <windows.h>

#include "ui/launcher/command_line.h"
#include "ui/launcher/folder_verbs.h"
#include "ui/launcher/open_folder.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace quil::launcher;
    const Request request = ParseCommandLine(GetCommandLineW());
    std::wstring said;
    int status = 0;
    switch (request.action) {
        case Request::Action::Open: return OpenFolder(request.folder);
        case Request::Action::Register: status = RegisterVerbs(OwnFolder() + L"quil-here.exe", said); break;
        case Request::Action::Unregister: status = UnregisterVerbs(OwnFolder() + L"quil-here.exe", said); break;
        case Request::Action::Usage:
            said = L"Quillane renames, moves and deletes the files of a folder by editing their names as text.\n\n"
                   L"Drop a folder on quil-here.exe to start it there, or run \"quil-here.exe --register\" once to "
                   L"add \"Rename files here with Quillane\" to the menu of every folder (\"--unregister\" takes it "
                   L"away again).";
            status = 1;
            break;
    }
    if (!request.quiet) Say(said, status != 0);
    return status;
}
