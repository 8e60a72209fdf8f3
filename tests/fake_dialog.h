// The dialog operations over a plain string, behaving as the names box does:
// one level of undo, a modified flag set by user edits, and a change
// notification for every edit and every undo.
#pragma once

#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/dialog_ops.h"

namespace quil::testing {

class FakeDialog final : public DialogOps {
public:
    explicit FakeDialog(std::string lineBreak = "\r\n") : lineBreak_(std::move(lineBreak)) {}

    // What the program sets: clears the modified flag and the undo.
    void SetText(std::string text) {
        text_ = std::move(text);
        undoText_ = text_;
        modified = false;
    }
    // A user edit: sets the flag and raises the change notification.
    void Type(std::string text) {
        undoText_ = text_;
        text_ = std::move(text);
        modified = true;
        Notify();
    }
    const std::string& text() const { return text_; }

    // Runs on every change notification, like the dialog's EN_CHANGE handler.
    std::function<void()> onChange;
    std::deque<int> answers;  // given to AskYesNo in turn; Yes when empty
    std::vector<std::string> questions;
    std::vector<std::string> told;
    bool modified = false;
    bool closed = false;
    int focused = 0;
    int undos = 0;

    int NamesLineCount() override {
        int lines = 1;
        for (std::size_t at = text_.find(lineBreak_); at != std::string::npos; at = text_.find(lineBreak_, at + 1))
            ++lines;
        return lines;
    }
    void UndoNames() override {
        ++undos;
        std::swap(text_, undoText_);
        Notify();  // Wine sends two notifications for one undo
        Notify();
    }
    void EmptyNamesUndo() override { undoText_ = text_; }
    bool NamesModified() override { return modified; }
    std::string NamesText() override { return text_; }
    void FocusNames() override { ++focused; }
    int AskYesNo(const std::string& text, const std::string&) override {
        questions.push_back(text);
        if (answers.empty()) return kAnswerYes;
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void Tell(const std::string& text, const std::string&) override { told.push_back(text); }
    void CloseWithOk() override { closed = true; }
    WindowHandle Owner() override { return nullptr; }

private:
    // Nesting is capped so that a missing re-entry guard fails a test
    // instead of overflowing the stack.
    void Notify() {
        if (!onChange) return;
        if (++depth_ > 50) throw std::runtime_error("change notifications recurse");
        onChange();
        --depth_;
    }

    std::string lineBreak_;
    std::string text_;
    std::string undoText_;
    int depth_ = 0;
};

}  // namespace quil::testing
