#include "ui/terminal/console.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace quil::terminal {
namespace {

// The verbs padded to one width, so that the paths line up.
std::string Verb(LineAction action) {
    std::string verb = WordsOf(action).verb;
    verb.resize(std::max<std::size_t>(verb.size(), 7), ' ');
    return verb;
}

const char* Style(LineAction action) {
    switch (action) {
        case LineAction::Rename:
        case LineAction::Move:
        case LineAction::Restore: return "32";  // green
        case LineAction::Trash:
        case LineAction::RemoveFolder: return "33";  // yellow
        case LineAction::Delete:
        case LineAction::Refuse: return "1;31";  // bold red
        case LineAction::KeepFolder:
        case LineAction::Unchanged: break;
    }
    return "0";
}

}  // namespace

Console::Console() : tty_(std::fopen("/dev/tty", "r+")) { SetColour(Options::Colour::Auto); }

void Console::SetColour(Options::Colour when) {
    const char* noColour = std::getenv("NO_COLOR");
    const char* term = std::getenv("TERM");
    colour_ =
        when == Options::Colour::Always || (when == Options::Colour::Auto && isatty(STDOUT_FILENO) &&
                                            (!noColour || !*noColour) && !(term && std::strcmp(term, "dumb") == 0));
}

Console::~Console() {
    if (tty_) std::fclose(tty_);
}

std::string Console::Styled(const std::string& text, const char* style) const {
    return colour_ ? "\033[" + std::string(style) + "m" + text + "\033[0m" : text;
}

void Console::PrintPlan(const std::vector<PlanRow>& rows) {
    // Written a piece at a time: the plan of a million lines, whole, took
    // more memory than the batch's paths.
    constexpr std::size_t kPiece = 64 * 1024;
    std::string out;
    for (const PlanRow& row : rows) {
        if (out.size() >= kPiece) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
        out += Styled(Verb(row.action), Style(row.action));
        out += ' ';
        out += Printable(row.from);
        if (!row.to.empty()) out += " -> " + Printable(row.to);
        if (row.action == LineAction::Refuse) out += "  (" + std::string(Describe(row.reason)) + ")";
        if (!row.note.empty()) out += "  (" + Printable(row.note) + ")";
        if (row.action == LineAction::RemoveFolder) out += " (emptied)";
        if (row.action == LineAction::KeepFolder)
            out += " (" + std::to_string(row.entries) + (row.entries == 1 ? " entry" : " entries") + " not listed)";
        out += '\n';
    }
    out += Summary(rows) + '\n';
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

char Console::Ask(const std::string& question, char fallback) {
    if (!tty_) return 0;
    std::fputs(question.c_str(), tty_);
    std::fflush(tty_);
    char line[64];
    if (!std::fgets(line, sizeof line, tty_)) return 0;
    for (const char* at = line; *at; ++at)
        if (!std::isspace(static_cast<unsigned char>(*at)))
            return static_cast<char>(std::tolower(static_cast<unsigned char>(*at)));
    return fallback;
}

ProgressLine::ProgressLine(const char* verb) : verb_(verb), enabled_(isatty(STDERR_FILENO)) {}

ProgressLine::~ProgressLine() {
    if (shown_) std::fputs("\r\033[K", stderr);
}

bool ProgressLine::Due() {
    if (!enabled_) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < std::chrono::milliseconds(500) || now - last_ < std::chrono::milliseconds(100)) return false;
    last_ = now;
    shown_ = true;
    return true;
}

void ProgressLine::ShowFraction(double fraction) {
    if (!Due()) return;
    std::fprintf(stderr, "\r%s %d%%", verb_, static_cast<int>(fraction * 100));
    std::fflush(stderr);
}

void ProgressLine::Show(long done, long total) {
    if (!Due()) return;
    if (total > 0)
        std::fprintf(stderr, "\r%s %ld of %ld", verb_, done, total);
    else
        std::fprintf(stderr, "\r%s %ld", verb_, done);
    std::fflush(stderr);
}

std::string When(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

}  // namespace quil::terminal
