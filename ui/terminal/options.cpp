#include "ui/terminal/options.h"

#include <getopt.h>

#include <cstdlib>

namespace quil::terminal {
namespace {

using Takes = OptionValue;

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
    if (ParseSize(value, bytes))
        size = bytes;
    else
        error = std::string(option) + " takes a size such as 1500, 10k, 5M or 2G, not '" + value + "'";
    return error.empty();
}

// A date as parse reads it (a local time, or a camera's wall-clock time).
bool Date(const char* option, const std::string& value, bool (*parse)(std::string_view, std::int64_t&),
          std::optional<std::int64_t>& date, std::string& error) {
    std::int64_t when = 0;
    if (parse(value, when))
        date = when;
    else
        error = std::string(option) + " takes a date such as 2024-07-14 or 2024-07-14 09:30, not '" + value + "'";
    return error.empty();
}

bool SetColour(Options& options, const std::string& value, const std::string&, std::string& error) {
    if (value == "auto")
        options.colour = Options::Colour::Auto;
    else if (value == "always")
        options.colour = Options::Colour::Always;
    else if (value == "never")
        options.colour = Options::Colour::Never;
    else
        error = "--color takes auto, always or never, not '" + value + "'";
    return error.empty();
}

// The options, in the order --help shows them; the edit steps go where
// "map" is.
const std::vector<OptionSpec> kGeneral = {
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
     "list folders instead of files: the folders directly inside the one "
     "folder given, or the folders given "
     "(one given with a final /, as */ gives it, is itself a line); a line "
     "moves its folder whole",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::folders, o); }},
    {0, "type", Takes::Word, "TYPE", "image audio video document", "list only files of TYPE",
     "list only files of TYPE: image, audio, video, document, or extensions "
     "(jpg,png), several joined by commas",
     [](Options& o, const std::string& value, const std::string&, std::string& error) {
         return ParseTypes(value, o.listFilter.extensions, error);
     }},
    {0, "larger", Takes::Text, "SIZE", nullptr, "list only files larger than SIZE",
     "list only files larger than SIZE (bytes, or 10k, 5M, 2G)",
     [](Options& o, const std::string& value, const std::string&, std::string& error) {
         return Size("--larger", value, o.listFilter.larger, error);
     }},
    {0, "smaller", Takes::Text, "SIZE", nullptr, "list only files smaller than SIZE",
     "list only files smaller than SIZE",
     [](Options& o, const std::string& value, const std::string&, std::string& error) {
         return Size("--smaller", value, o.listFilter.smaller, error);
     }},
    {0, "newer", Takes::Text, "DATE", nullptr, "list only files changed after DATE",
     "list only files changed after DATE (2024-07-14, or 2024-07-14 09:30)",
     [](Options& o, const std::string& value, const std::string&, std::string& error) {
         return Date("--newer", value, ParseDate, o.listFilter.newer, error);
     }},
    {0, "older", Takes::Text, "DATE", nullptr, "list only files changed before DATE",
     "list only files changed before DATE",
     [](Options& o, const std::string& value, const std::string&, std::string& error) {
         return Date("--older", value, ParseDate, o.listFilter.older, error);
     }},
    {0, "taken-after", Takes::Text, "DATE", nullptr, "list only files taken after DATE",
     "list only photos and movies taken after DATE, as their clock wrote it "
     "(files without a date taken are left "
     "out)",
     [](Options& o, const std::string& value, const std::string&, std::string& error) {
         return Date("--taken-after", value, ParseWallClock, o.listFilter.takenAfter, error);
     }},
    {0, "taken-before", Takes::Text, "DATE", nullptr, "list only files taken before DATE",
     "list only photos and movies taken before DATE",
     [](Options& o, const std::string& value, const std::string&, std::string& error) {
         return Date("--taken-before", value, ParseWallClock, o.listFilter.takenBefore, error);
     }},
    {0, "from", Takes::File, "FILE", nullptr, "take the PATHs from FILE",
     "take the PATHs from FILE, one per line (- for standard input; the editor "
     "and the questions use the terminal)",
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
    {0, "map", Takes::File, "FILE", nullptr, "take the new names from FILE",
     "take the new names from FILE instead of the editor: a CSV of old,new "
     "rows (a .csv file; the old as the list "
     "shows them) or one new name per line, for the listed lines in order; "
     "rows that cannot be used are refused "
     "with their row numbers, and the rest applied only if you say so",
     [](Options& o, const std::string& value, const std::string&, std::string&) {
         o.mapFile = value;
         return true;
     }},
    {0, "recipe", Takes::Text, "NAME", nullptr, "run the steps saved as NAME",
     "run the steps saved as NAME (before any given here), then plan and ask "
     "as usual",
     [](Options& o, const std::string& value, const std::string&, std::string&) {
         o.recipe = value;
         return true;
     }},
    {0, "save-recipe", Takes::Text, "NAME", nullptr, "save the steps given as NAME",
     "save the steps given here (--replace ... --tz) as the recipe NAME, "
     "replacing one of that name, and exit",
     [](Options& o, const std::string& value, const std::string&, std::string&) {
         o.saveRecipe = value;
         return true;
     }},
    {0, "recipes", Takes::Nothing, nullptr, nullptr, "list the saved recipes", "list the saved recipes and their steps",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::recipes, o); }},
    {0, "permanent", Takes::Nothing, nullptr, nullptr, "delete emptied lines instead of the Trash",
     "delete emptied lines instead of using the Trash (a folder only when it "
     "is empty)",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::permanent, o); }},
    {0, "undo", Takes::Nothing, nullptr, nullptr, "undo the newest batch applied here",
     "undo the newest batch applied in the folder (or started there) not yet "
     "undone; again for the one before it",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::undo, o); }},
    {0, "history", Takes::Nothing, nullptr, nullptr, "list the batches applied here",
     "list the batches applied in the folder, newest first",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::history, o); }},
    {0, "json", Takes::Nothing, nullptr, nullptr, "print the plan or the history as JSON",
     "print the plan (with -n) or the history as JSON; a byte of a name that "
     "is not UTF-8 is written \\udcXX "
     "(quil(1))",
     [](Options& o, const std::string&, const std::string&, std::string&) { return Flag(&Options::json, o); }},
    {0, "color", Takes::Word, "WHEN", "auto always never", "colour the plan",
     "colour the plan: auto (on a terminal, unless NO_COLOR is set), always or "
     "never",
     SetColour},
    {0, "colour", Takes::Word, "WHEN", "auto always never", "colour the plan", "", SetColour, true},
    {0, "no-git", Takes::Nothing, nullptr, nullptr, "leave a git index as it is",
     "leave a git work tree's index as it is (by default the renames of "
     "tracked files are staged, as git mv does)",
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

std::vector<OptionSpec> WithSteps() {
    std::vector<OptionSpec> options;
    for (const OptionSpec& general : kGeneral) {
        if (std::string(general.name) == "map")
            for (const StepOption& step : StepOptions())
                options.push_back({step.letter, step.name, step.takes, step.value, step.words, step.summary, step.help,
                                   nullptr, false, &step});
        options.push_back(general);
    }
    return options;
}

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
        error =
            "--replace, --case, --number, --unique, --filter, --recipe and "
            "--map go without --apply";
    else if (!options.mapFile.empty() && (options.steps.Rewrites() || !options.recipe.empty()))
        error =
            "--map gives the names itself: it goes without the edit steps and "
            "--recipe";
    else if (!options.saveRecipe.empty() && !options.recipe.empty())
        error = "--save-recipe saves the steps given with it, not --recipe's";
    else if (!options.saveRecipe.empty() && !options.steps.Rewrites() && !options.steps.sort)
        error =
            "--save-recipe saves the steps given with it (--replace, --case, "
            "--sort, ...), and none was given";
    else if (options.nulSeparated && options.fromFile.empty())
        error = "-0 goes with --from";
    else if ((options.undo || options.history) && (options.list || !options.applyFile.empty()))
        error = std::string(options.undo ? "--undo" : "--history") + " goes with neither --list nor --apply";
    else if (options.json && !options.dryRun && !options.history)
        error = "--json goes with -n or --history";
    else if (options.undo && options.history)
        error = "--undo and --history go one at a time";
    else if ((options.listFilter.Active() || options.listFilter.ByDateTaken()) && options.folders)
        error =
            "--type, --larger, --smaller, --newer, --older and --taken-... "
            "narrow a list of files, not of folders";
    return error.empty();
}

std::string UnknownOption(int letter, const char* written) {
    if (letter > 0 && letter < 256) return "unknown option '-" + std::string(1, static_cast<char>(letter)) + "'";
    return "unknown option '" + std::string(written) + "'";
}

}  // namespace

const std::vector<OptionSpec>& OptionTable() {
    static const std::vector<OptionSpec> options = WithSteps();
    return options;
}

bool EditsByScript(const Options& options) {
    return options.steps.Rewrites() || !options.recipe.empty() || !options.mapFile.empty();
}

std::string Usage() {
    std::string usage =
        "Usage: quil [OPTIONS] [PATH...]\n"
        "Rename, move and delete files by editing their names in your editor "
        "($VISUAL,\n"
        "else $EDITOR, else vi). Each PATH is a file, listed itself, or a "
        "folder, whose\n"
        "files are listed; no PATH: the current folder. Lines are paths relative "
        "to the\n"
        "one folder given, or to the deepest folder holding every PATH.\n"
        "Change a line to rename its file, add or remove folders to move it, "
        "empty it\n"
        "to send the file to the Trash. No file is ever replaced; a folder the "
        "batch\n"
        "leaves empty is removed.\n\n";
    for (const OptionSpec& option : OptionTable()) {
        if (option.alias) continue;
        std::string left = option.letter ? std::string("  -") + option.letter + ", " : std::string(6, ' ');
        left += std::string("--") + option.name + (option.value ? std::string(" ") + option.value : "");
        usage += left.size() + 1 < kHelpColumn ? left + std::string(kHelpColumn - left.size(), ' ')
                                               : left + '\n' + std::string(kHelpColumn, ' ');
        usage += Wrapped(option.help) + '\n';
    }
    return usage +
           "\nExit status: 0 when everything asked was done, 1 when a "
           "line was refused or an\n"
           "operation failed, 2 when nothing was applied, 130 after "
           "Ctrl-C (143 after\n"
           "SIGTERM, 129 after SIGHUP): the run stops between two "
           "operations and can be\n"
           "undone.\n";
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    // getopt_long's table and short options, from the one table; each long
    // option returns 256 + its index.
    const std::vector<OptionSpec>& table = OptionTable();
    std::vector<option> longs;
    std::string shorts;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const OptionSpec& entry = table[i];
        const int argument = entry.takes == Takes::Nothing ? no_argument : required_argument;
        longs.push_back({entry.name, argument, nullptr, 256 + static_cast<int>(i)});
        if (entry.letter) shorts += std::string(1, entry.letter) + (argument == no_argument ? "" : ":");
    }
    longs.push_back({nullptr, 0, nullptr, 0});
    opterr = 0;
    optind = 1;
    for (int found; (found = getopt_long(argc, argv, shorts.c_str(), longs.data(), nullptr)) != -1;) {
        const OptionSpec* entry = nullptr;
        for (std::size_t i = 0; i < table.size(); ++i)
            if (found == 256 + static_cast<int>(i) || (found < 256 && found == table[i].letter)) entry = &table[i];
        if (entry == nullptr) {
            const OptionSpec* missing = nullptr;
            for (std::size_t i = 0; i < table.size(); ++i)
                if (optopt == 256 + static_cast<int>(i) || (optopt > 0 && optopt < 256 && optopt == table[i].letter))
                    missing = &table[i];
            error = missing ? std::string("--") + missing->name + " needs " + missing->value
                            : UnknownOption(optopt, argv[optind - 1]);
            return false;
        }
        std::string second;
        if (entry->takes == Takes::Pair) {
            // Two arguments: the expression, and the replacement after it.
            if (optind >= argc) {
                error = std::string("--") + entry->name + " needs a " + entry->value;
                return false;
            }
            second = argv[optind++];
        }
        const std::string value = optarg ? optarg : "";
        if (!(entry->step ? entry->step->set(options.steps, value, second, error)
                         : entry->set(options, value, second, error)))
            return false;
    }
    for (int i = optind; i < argc; ++i) options.paths.push_back(argv[i]);
    return CheckCombinations(options, error);
}

}  // namespace quil::terminal
