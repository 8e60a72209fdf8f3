#include "ui/terminal/options.h"

#include <getopt.h>

#include <climits>
#include <cstdlib>

namespace quil::terminal {
namespace {

using Takes = OptionSpec::Takes;

bool Flag(bool Options::*member, Options& options) {
    options.*member = true;
    return true;
}

bool WholeNumber(const std::string& text, long long low, long long high, long long& number) {
    char* end = nullptr;
    number = std::strtoll(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && number >= low && number <= high;
}

bool Size(const char* option, const std::string& value, std::optional<std::uint64_t>& size, std::string& error) {
    std::uint64_t bytes = 0;
    if (ParseSize(value, bytes)) size = bytes;
    else error = std::string(option) + " takes a size such as 1500, 10k, 5M or 2G, not '" + value + "'";
    return error.empty();
}

bool Date(const char* option, const std::string& value, std::optional<std::int64_t>& date, std::string& error) {
    std::int64_t when = 0;
    if (ParseDate(value, when)) date = when;
    else error = std::string(option) + " takes a date such as 2024-07-14 or 2024-07-14 09:30, not '" + value + "'";
    return error.empty();
}

bool SetColour(Options& options, const std::string& value, const std::string&, std::string& error) {
    if (value == "auto") options.colour = Options::Colour::Auto;
    else if (value == "always") options.colour = Options::Colour::Always;
    else if (value == "never") options.colour = Options::Colour::Never;
    else error = "--color takes auto, always or never, not '" + value + "'";
    return error.empty();
}

// The options, in the order --help shows them.
const std::vector<OptionSpec> kOptions = {
    {'a', "all", Takes::Nothing, nullptr, nullptr, "list hidden files and folders too",
     "list hidden files and folders too (names beginning with .)",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::all, o); }},
    {'d', "max-depth", Takes::Number, "N", nullptr, "go at most N folder levels down",
     "go at most N folder levels down (0: the folder's own files)",
     [](Options& o, const std::string& value, const std::string&, std::string& error) {
         long long depth = 0;
         if (!WholeNumber(value, 0, 1000000, depth)) {
             error = "--max-depth takes a whole number of 0 or more, not '" + value + "'";
             return false;
         }
         o.maxDepth = static_cast<int>(depth);
         return true;
     }},
    {'D', "folders", Takes::Nothing, nullptr, nullptr, "list folders instead of files",
     "list folders instead of files: the folders directly inside the one folder given, or the folders given "
     "(one given with a final /, as */ gives it, is itself a line); a line moves its folder whole",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::folders, o); }},
    {0, "type", Takes::Word, "TYPE", "image audio video document", "list only files of TYPE",
     "list only files of TYPE: image, audio, video, document, or extensions (jpg,png), several joined by commas",
     [](Options& o, const std::string& value, const std::string&, std::string& error) {
         return ParseTypes(value, o.listFilter.extensions, error);
     }},
    {0, "larger", Takes::Text, "SIZE", nullptr, "list only files larger than SIZE",
     "list only files larger than SIZE (bytes, or 10k, 5M, 2G)",
     [](Options& o, const std::string& value, const std::string&, std::string& error) {
         return Size("--larger", value, o.listFilter.larger, error);
     }},
    {0, "smaller", Takes::Text, "SIZE", nullptr, "list only files smaller than SIZE",
     "list only files smaller than SIZE", [](Options& o, const std::string& value, const std::string&, std::string& error) {
         return Size("--smaller", value, o.listFilter.smaller, error);
     }},
    {0, "newer", Takes::Text, "DATE", nullptr, "list only files changed after DATE",
     "list only files changed after DATE (2024-07-14, or 2024-07-14 09:30)",
     [](Options& o, const std::string& value, const std::string&, std::string& error) {
         return Date("--newer", value, o.listFilter.newer, error);
     }},
    {0, "older", Takes::Text, "DATE", nullptr, "list only files changed before DATE",
     "list only files changed before DATE", [](Options& o, const std::string& value, const std::string&, std::string& error) {
         return Date("--older", value, o.listFilter.older, error);
     }},
    {0, "from", Takes::File, "FILE", nullptr, "take the PATHs from FILE",
     "take the PATHs from FILE, one per line (- for standard input; the editor and the questions use the terminal)",
     [](Options& o, const std::string& value, const std::string&, std::string&) {
         o.fromFile = value;
         return true;
     }},
    {'0', "null", Takes::Nothing, nullptr, nullptr, "the --from list is separated by NUL bytes",
     "the --from list is separated by NUL bytes (find -print0)",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::nulSeparated, o); }},
    {'n', "dry-run", Takes::Nothing, nullptr, nullptr, "show what would be done, change nothing",
     "show what would be done, and change nothing",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::dryRun, o); }},
    {'y', "yes", Takes::Nothing, nullptr, nullptr, "apply without asking", "apply without asking",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::yes, o); }},
    {0, "list", Takes::Nothing, nullptr, nullptr, "print the list and exit", "print the list and exit",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::list, o); }},
    {0, "apply", Takes::File, "FILE", nullptr, "take the edited list from FILE",
     "take the edited list from FILE (- for standard input)",
     [](Options& o, const std::string& value, const std::string&, std::string&) {
         o.applyFile = value;
         return true;
     }},
    {0, "replace", Takes::Pair, "REGEX REPLACEMENT", nullptr, "rewrite each line by a regular expression",
     "rewrite each line by a regular expression instead of the editor (again for more, in order); the "
     "replacement takes $1, ${1} or \\1 for groups, $0 for the match, {n} for a counter, {n:3} for one of 3 "
     "digits at least, and fields read from each file: {taken}, {taken:%Y-%m-%d}, {taken|name-date|mtime}, "
     "{artist}, {track:2} (see FIELDS in man quil); a line left empty is refused",
     [](Options& o, const std::string& value, const std::string& second, std::string&) {
         o.replaces.emplace_back(value, second);
         return true;
     }},
    {0, "scope", Takes::Word, "PART", ScopeWords(), "the part --replace and --case rewrite",
     "the part --replace and --case rewrite: name (without extension, the default), ext, full (the name with its "
     "extension), path",
     [](Options& o, const std::string& value, const std::string&, std::string& error) {
         if (ParseScope(value, o.scope)) return true;
         error = "--scope takes name, ext, full or path, not '" + value + "'";
         return false;
     }},
    {0, "case", Takes::Word, "CASE", "upper lower title sentence", "change the case of each line's part",
     "change the case of the part --scope names instead of the editor (after --replace): upper, lower, title "
     "(each word's first letter) or sentence (the first letter), beyond ASCII too",
     [](Options& o, const std::string& value, const std::string&, std::string& error) {
         const std::pair<const char*, CaseChange> cases[] = {{"upper", CaseChange::Upper}, {"lower", CaseChange::Lower},
                                                             {"title", CaseChange::Title}, {"sentence", CaseChange::Sentence}};
         for (const auto& [word, change] : cases)
             if (value == word) o.caseChange = change;
         if (!o.caseChange) error = "--case takes upper, lower, title or sentence, not '" + value + "'";
         return error.empty();
     }},
    {0, "unique", Takes::Nothing, nullptr, nullptr, "make new names unique",
     "after the other edits, give lines whose new names collide with each other or with a file not listed -1, -2, "
     "... before the extension (a time's sub-seconds first, where its format left them out)",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::unique, o); }},
    {0, "sort", Takes::Word, "KEY", metadata::SortKeyWords(), "order each folder's files by KEY",
     "order each folder's files by KEY before editing: name (the default), taken, mtime, size or ext; files "
     "without it last",
     [](Options& o, const std::string& value, const std::string&, std::string& error) {
         if (metadata::ParseSortKey(value, o.sortKey)) return true;
         error = "--sort takes name, taken, mtime, size or ext, not '" + value + "'";
         return false;
     }},
    {'r', "reverse", Takes::Nothing, nullptr, nullptr, "the greatest first",
     "order by --sort from the greatest first (the newest, the largest, Z before A)",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::reverse, o); }},
    {0, "tz", Takes::Text, "ZONE", nullptr, "where a movie's recording time is shown",
     "the zone a movie header's time (UTC) is shown in by {taken}, as +02:00 (the local zone by default)",
     [](Options& o, const std::string& value, const std::string&, std::string& error) {
         if (metadata::ParseZone(value, o.movieZone)) return true;
         error = "--tz takes an offset such as +02:00, -05:30 or Z, not '" + value + "'";
         return false;
     }},
    {'i', "ignore-case", Takes::Nothing, nullptr, nullptr, "--replace ignores case",
     "let --replace match letters without their case",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::ignoreCase, o); }},
    {0, "start", Takes::Number, "N", nullptr, "the counter's first value", "the counter's first value (1)",
     [](Options& o, const std::string& value, const std::string&, std::string& error) {
         if (WholeNumber(value, LLONG_MIN, LLONG_MAX, o.start)) return true;
         error = "--start takes a whole number, not '" + value + "'";
         return false;
     }},
    {0, "step", Takes::Number, "N", nullptr, "the counter's step", "the counter's step (1)",
     [](Options& o, const std::string& value, const std::string&, std::string& error) {
         if (WholeNumber(value, LLONG_MIN, LLONG_MAX, o.step)) return true;
         error = "--step takes a whole number, not '" + value + "'";
         return false;
     }},
    {0, "per-folder", Takes::Nothing, nullptr, nullptr, "the counter starts again in each folder",
     "the counter starts again in each folder",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::perFolder, o); }},
    {0, "filter", Takes::Command, "COMMAND", nullptr, "put the list through COMMAND",
     "put the list through COMMAND (sh -c) instead of the editor",
     [](Options& o, const std::string& value, const std::string&, std::string&) {
         o.filter = value;
         return true;
     }},
    {0, "permanent", Takes::Nothing, nullptr, nullptr, "delete emptied lines instead of the Trash",
     "delete emptied lines instead of using the Trash (a folder only when it is empty)",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::permanent, o); }},
    {0, "undo", Takes::Nothing, nullptr, nullptr, "undo the newest batch applied here",
     "undo the newest batch applied in the folder (or started there) not yet undone; again for the one before it",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::undo, o); }},
    {0, "history", Takes::Nothing, nullptr, nullptr, "list the batches applied here",
     "list the batches applied in the folder, newest first",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::history, o); }},
    {0, "json", Takes::Nothing, nullptr, nullptr, "print the plan or the history as JSON",
     "print the plan (with -n) or the history as JSON; a byte of a name that is not UTF-8 is written \\udcXX "
     "(quil(1))",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::json, o); }},
    {0, "color", Takes::Word, "WHEN", "auto always never", "colour the plan",
     "colour the plan: auto (on a terminal, unless NO_COLOR is set), always or never", SetColour},
    {0, "colour", Takes::Word, "WHEN", "auto always never", "colour the plan", "", SetColour, true},
    {0, "no-git", Takes::Nothing, nullptr, nullptr, "leave a git index as it is",
     "leave a git work tree's index as it is (by default the renames of tracked files are staged, as git mv does)",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::noGit, o); }},
    {0, "completion", Takes::Word, "SHELL", "bash zsh fish", "print the completion script of SHELL",
     "print the completion script of SHELL: bash, zsh or fish",
     [](Options& o, const std::string& value, const std::string&, std::string&) {
         o.completion = value;
         return true;
     }},
    {'h', "help", Takes::Nothing, nullptr, nullptr, "show the options", "show a summary of the options",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::help, o); }},
    {0, "version", Takes::Nothing, nullptr, nullptr, "show the version", "show the version",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::version, o); }},
};

// Where an option's help begins on its line.
constexpr std::size_t kHelpColumn = 23;
constexpr std::size_t kWidth = 80;

// text from column kHelpColumn on, in lines of at most kWidth.
std::string Wrapped(const std::string& text) {
    std::string out, line;
    auto flush = [&] {
        if (!out.empty()) out += '\n' + std::string(kHelpColumn, ' ');
        out += line;
        line.clear();
    };
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        if (!line.empty() && kHelpColumn + line.size() + 1 + word.size() > kWidth) flush();
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    flush();
    return out;
}

// The options that go together, and those that do not.
bool CheckCombinations(const Options& options, std::string& error) {
    if (options.fromFile == "-" && options.applyFile == "-")
        error = "--from - and --apply - cannot both read standard input";
    else if (EditsByScript(options) && !options.applyFile.empty())
        error = "--replace, --case, --unique and --filter go without --apply";
    else if (options.nulSeparated && options.fromFile.empty())
        error = "-0 goes with --from";
    else if ((options.undo || options.history) && (options.list || !options.applyFile.empty()))
        error = std::string(options.undo ? "--undo" : "--history") + " goes with neither --list nor --apply";
    else if (options.json && !options.dryRun && !options.history)
        error = "--json goes with -n or --history";
    else if (options.undo && options.history)
        error = "--undo and --history go one at a time";
    else if (options.listFilter.Active() && options.folders)
        error = "--type, --larger, --smaller, --newer and --older narrow a list of files, not of folders";
    return error.empty();
}

std::string UnknownOption(int letter, const char* written) {
    if (letter > 0 && letter < 256) return "unknown option '-" + std::string(1, static_cast<char>(letter)) + "'";
    return "unknown option '" + std::string(written) + "'";
}

}  // namespace

const std::vector<OptionSpec>& OptionTable() { return kOptions; }

bool EditsByScript(const Options& options) {
    return !options.replaces.empty() || options.caseChange || options.unique || !options.filter.empty();
}

std::string Usage() {
    std::string usage =
        "Usage: quil [OPTIONS] [PATH...]\n"
        "Rename, move and delete files by editing their names in your editor ($VISUAL,\n"
        "else $EDITOR, else vi). Each PATH is a file, listed itself, or a folder, whose\n"
        "files are listed; no PATH: the current folder. Lines are paths relative to the\n"
        "one folder given, or to the deepest folder holding every PATH.\n"
        "Change a line to rename its file, add or remove folders to move it, empty it\n"
        "to send the file to the Trash. No file is ever replaced; a folder the batch\n"
        "leaves empty is removed.\n\n";
    for (const OptionSpec& option : kOptions) {
        if (option.alias) continue;
        std::string left = option.letter ? std::string("  -") + option.letter + ", " : std::string(6, ' ');
        left += std::string("--") + option.name + (option.value ? std::string(" ") + option.value : "");
        usage += left.size() + 1 < kHelpColumn ? left + std::string(kHelpColumn - left.size(), ' ')
                                               : left + '\n' + std::string(kHelpColumn, ' ');
        usage += Wrapped(option.help) + '\n';
    }
    return usage +
           "\nExit status: 0 when everything asked was done, 1 when a line was refused or an\n"
           "operation failed, 2 when nothing was applied, 130 after Ctrl-C (143 after\n"
           "SIGTERM, 129 after SIGHUP): the run stops between two operations and can be\n"
           "undone.\n";
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    // getopt_long's table and short options, from the one table; each long
    // option returns 256 + its index.
    std::vector<option> longs;
    std::string shorts;
    for (std::size_t i = 0; i < kOptions.size(); ++i) {
        const OptionSpec& spec = kOptions[i];
        const int argument = spec.takes == Takes::Nothing ? no_argument : required_argument;
        longs.push_back({spec.name, argument, nullptr, 256 + static_cast<int>(i)});
        if (spec.letter) shorts += std::string(1, spec.letter) + (argument == no_argument ? "" : ":");
    }
    longs.push_back({nullptr, 0, nullptr, 0});
    opterr = 0;
    optind = 1;
    for (int found; (found = getopt_long(argc, argv, shorts.c_str(), longs.data(), nullptr)) != -1;) {
        const OptionSpec* spec = nullptr;
        for (std::size_t i = 0; i < kOptions.size(); ++i)
            if (found == 256 + static_cast<int>(i) || (found < 256 && found == kOptions[i].letter)) spec = &kOptions[i];
        if (spec == nullptr) {
            const OptionSpec* missing = nullptr;
            for (std::size_t i = 0; i < kOptions.size(); ++i)
                if (optopt == 256 + static_cast<int>(i) || (optopt > 0 && optopt < 256 && optopt == kOptions[i].letter))
                    missing = &kOptions[i];
            error = missing ? std::string("--") + missing->name + " needs " + missing->value
                            : UnknownOption(optopt, argv[optind - 1]);
            return false;
        }
        std::string second;
        if (spec->takes == Takes::Pair) {
            // Two arguments: the expression, and the replacement after it.
            if (optind >= argc) {
                error = std::string("--") + spec->name + " needs a " + spec->value;
                return false;
            }
            second = argv[optind++];
        }
        if (!spec->set(options, optarg ? optarg : "", second, error)) return false;
    }
    for (int i = optind; i < argc; ++i) options.paths.push_back(argv[i]);
    return CheckCombinations(options, error);
}

}  // namespace quil::terminal
