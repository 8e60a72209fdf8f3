// How the window asks and tells: message boxes in the program, answers
// given by the test in the tests.
#pragma once

#include <QString>

class QWidget;

namespace quil::qt {

class Asker {
public:
    virtual ~Asker() = default;
    virtual bool AskYesNo(const QString& text, const QString& caption) = 0;
    virtual void Tell(const QString& text, const QString& caption) = 0;
};

// Modal message boxes over parent.
class MessageBoxAsker final : public Asker {
public:
    explicit MessageBoxAsker(QWidget* parent) : parent_(parent) {}
    bool AskYesNo(const QString& text, const QString& caption) override;
    void Tell(const QString& text, const QString& caption) override;

private:
    QWidget* parent_;
};

}  // namespace quil::qt
