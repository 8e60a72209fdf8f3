// Starts quil.exe in a folder and drives its dialog from outside with real
// window messages, as a user's keyboard and mouse would.
#pragma once

#include <windows.h>

#include <string>

namespace quil::e2e {

// Every wait gives up after this long, so a box left open cannot hang a run.
constexpr DWORD kWaitMs = 10000;
// The first program started in a fresh Wine prefix can wait several seconds
// for the prefix's own services to settle.
constexpr DWORD kStartMs = 60000;

class Program {
public:
    Program(const std::string& exe, const std::string& folder);
    // A command line that starts quil.exe through another program (a
    // launcher that ends at once), run in folder when given.
    struct Launched {
        std::string commandLine;
        std::string folder;
    };
    // Runs it, and takes the dialog that appears.
    explicit Program(const Launched& launched);
    ~Program();  // ends the process if it still runs
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return dialog_ != nullptr; }
    HWND dialog() const { return dialog_; }
    HWND Control(int id) const { return GetDlgItem(dialog_, id); }
    DWORD millisecondsToReady() const { return readyMs_; }

    std::string Text(int id) const;
    void SetText(int id, const std::string& text) const;
    // Selects [start, end) of the names box and replaces it, as a paste does.
    bool ReplaceNames(int start, int end, const std::string& text) const;
    // Real keystrokes into the names box at position, through the input
    // queue; positions count UTF-16 units, as the box does.
    void Type(int position, const std::string& text) const;
    // The same over the selection [start, end), which the first key replaces.
    void TypeOver(int start, int end, const std::string& text) const;
    // Types text over the whole of line (from 0), and waits until the box
    // reads it back there.
    bool TypeLine(int line, const std::string& text) const;
    // A key pressed and released with the focus in control id, and for the
    // names box the caret at caret.
    void PressKey(WORD key, int id, int caret = 0) const;
    // The system menu opened from the keyboard (Alt+Space), its last item
    // chosen with End and Enter.
    void ChooseLastSystemMenuItem() const;
    void Click(int id) const;
    void SysCommand(WPARAM command) const;
    // The caption's close box.
    void Close() const { PostMessageA(dialog_, WM_CLOSE, 0, 0); }

    // A message box or dialog owned by the main dialog, by its caption.
    HWND WaitForBox(const std::string& caption) const;
    bool HasBox(const std::string& caption) const;
    static std::string BoxText(HWND box);
    // Presses a button of the box and waits until it has closed.
    static bool Answer(HWND box, int id);

    bool WaitForExit(DWORD ms = kWaitMs) const;

private:
    void WaitUntilReady(DWORD start);

    PROCESS_INFORMATION process_{};
    HWND dialog_ = nullptr;
    DWORD readyMs_ = 0;
};

std::string WindowText(HWND hwnd);

}  // namespace quil::e2e
