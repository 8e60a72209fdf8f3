// What quil says and asks: the plan rows in colour where that helps, the
// questions on the terminal itself (/dev/tty, so that standard input stays
// free for --apply -), and a progress line on a slow run.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/plan_rows.h"
#include "engine/printable.h"
#include "ui/terminal/options.h"

namespace quil::terminal {

class Console {
public:
    Console();
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    bool HasTerminal() const { return tty_ != nullptr; }
    // Auto colours standard output when it is a terminal that shows colour
    // and NO_COLOR is unset or empty (no-color.org; an option overrides it).
    void SetColour(Options::Colour when);

    void PrintPlan(const std::vector<PlanRow>& rows);
    // Asks on the terminal; the first letter of the answer, lower-cased, or
    // fallback for an empty answer (and 0 without a terminal).
    char Ask(const std::string& question, char fallback);

private:
    std::string Styled(const std::string& text, const char* style) const;

    std::FILE* tty_ = nullptr;
    bool colour_ = false;
};

// "applied 120000 of 1000000" (or "planning 45%") on standard error once a
// step has taken half a second, when standard error is a terminal; cleared
// at the end.
class ProgressLine {
public:
    explicit ProgressLine(const char* verb);
    ~ProgressLine();
    void Show(long done, long total);
    void ShowFraction(double fraction);  // "planning 45%"

private:
    const char* verb_;
    bool enabled_;
    bool Due();
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_{};
};

// "2026-12-08 15:40": a time (seconds since 1970) in local time.
std::string When(std::int64_t seconds);

}  // namespace quil::terminal
