// How the window asks and tells: message boxes in the program, answers
// given by the test in the tests.
#pragma once

#include <QString>

class QWidget;

namespace quil::qt {

// One question, as the desktop's guidelines put it: what stays as it is
// first, then the question, answered by a verb or Cancel.
struct Question {
    QString details;  // before the question; may be empty
    QString text;
    QString action;        // the button that goes ahead: "Rename", "Delete"
    bool warning = false;  // what cannot be taken back: the warning icon, Cancel the default
};

class Asker {
public:
    enum class Kind { Information, Error };
    virtual ~Asker() = default;
    virtual bool Ask(const Question& question) = 0;
    virtual void Tell(const QString& text, Kind kind) = 0;
    // A line of text (a recipe's name), suggestion filled in; empty when
    // cancelled.
    virtual QString AskText(const QString& question, const QString& suggestion) = 0;
    // A file to open; empty when cancelled.
    virtual QString AskFile(const QString& title) = 0;
};

// Modal message boxes over parent.
class MessageBoxAsker final : public Asker {
public:
    explicit MessageBoxAsker(QWidget* parent) : parent_(parent) {}
    bool Ask(const Question& question) override;
    void Tell(const QString& text, Kind kind) override;
    QString AskText(const QString& question, const QString& suggestion) override;
    QString AskFile(const QString& title) override;

private:
    QWidget* parent_;
};

}  // namespace quil::qt
