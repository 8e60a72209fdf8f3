#include "ui/terminal/options.h"

#include <getopt.h>

#include <cstdlib>

namespace quil::terminal {

const char kUsage[] =
    "Usage: quil [OPTIONS] [PATH...]\n"
    "Rename, move and delete files by editing their names in your editor ($VISUAL,\n"
    "else $EDITOR, else vi). Each PATH is a file, listed itself, or a folder, whose\n"
    "files are listed; no PATH: the current folder. Lines are paths relative to the\n"
    "one folder given, or to the deepest folder holding every PATH.\n"
    "Change a line to rename its file, add or remove folders to move it, empty it\n"
    "to send the file to the Trash. No file is ever replaced; a folder the batch\n"
    "leaves empty is removed.\n"
    "\n"
    "  -a, --all            list hidden files and folders too (names beginning\n"
    "                       with .)\n"
    "  -d, --max-depth N    go at most N folder levels down (0: the folder's own\n"
    "                       files)\n"
    "  -D, --folders        list folders instead of files: the folders directly\n"
    "                       inside the one folder given, or the folders given; a\n"
    "                       line moves its folder whole\n"
    "      --from FILE      take the PATHs from FILE, one per line (- for standard\n"
    "                       input; the editor and the questions use the terminal)\n"
    "  -0, --null           the --from list is separated by NUL bytes (find -print0)\n"
    "  -n, --dry-run        show what would be done, and change nothing\n"
    "  -y, --yes            apply without asking\n"
    "      --list           print the list and exit\n"
    "      --apply FILE     take the edited list from FILE (- for standard input)\n"
    "      --replace REGEX REPLACEMENT\n"
    "                       rewrite each line by a regular expression instead of the\n"
    "                       editor (again for more, in order); the replacement takes\n"
    "                       $1, ${1} or \\1 for groups, $0 for the match, {n} for a\n"
    "                       counter, {n:3} for one of 3 digits at least\n"
    "      --scope PART     the part --replace rewrites: name (without extension, the\n"
    "                       default), ext, full (the name with its extension), path\n"
    "  -i, --ignore-case    --replace matches letters without their case\n"
    "      --start N, --step N\n"
    "                       the counter's first value and step (1 and 1)\n"
    "      --per-folder     the counter starts again in each folder\n"
    "      --filter COMMAND put the list through COMMAND (sh -c) instead of the\n"
    "                       editor\n"
    "      --permanent      delete emptied lines instead of using the Trash (a folder\n"
    "                       only when it is empty)\n"
    "      --undo           undo the newest batch applied in the folder (or started\n"
    "                       there) not yet undone; again for the one before it\n"
    "      --history        list the batches applied in the folder, newest first\n"
    "      --json           print the plan (with -n) or the history as JSON; a byte\n"
    "                       of a name that is not UTF-8 is written \\udcXX (quil(1))\n"
    "      --color WHEN     colour the plan: auto (on a terminal, unless NO_COLOR is\n"
    "                       set), always or never\n"
    "      --no-git         leave a git work tree's index as it is (by default the\n"
    "                       renames of tracked files are staged, as git mv does)\n"
    "  -h, --help           show this help\n"
    "      --version        show the version\n"
    "\n"
    "Exit status: 0 when everything asked was done, 1 when a line was refused or an\n"
    "operation failed, 2 when nothing was applied, 130 after Ctrl-C (143 after\n"
    "SIGTERM, 129 after SIGHUP): the run stops between two operations and can be\n"
    "undone.\n";

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    enum { kList = 256, kApply, kPermanent, kUndo, kHistory, kVersion, kFrom, kReplace, kScope, kStart, kStep,
           kPerFolder, kFilter, kJson, kColour, kNoGit };
    static const option kLong[] = {
        {"all", no_argument, nullptr, 'a'},        {"max-depth", required_argument, nullptr, 'd'},
        {"dry-run", no_argument, nullptr, 'n'},    {"yes", no_argument, nullptr, 'y'},
        {"list", no_argument, nullptr, kList},     {"apply", required_argument, nullptr, kApply},
        {"permanent", no_argument, nullptr, kPermanent}, {"undo", no_argument, nullptr, kUndo},
        {"history", no_argument, nullptr, kHistory},
        {"folders", no_argument, nullptr, 'D'},    {"from", required_argument, nullptr, kFrom},
        {"null", no_argument, nullptr, '0'},
        {"replace", required_argument, nullptr, kReplace}, {"scope", required_argument, nullptr, kScope},
        {"ignore-case", no_argument, nullptr, 'i'},        {"start", required_argument, nullptr, kStart},
        {"step", required_argument, nullptr, kStep},       {"per-folder", no_argument, nullptr, kPerFolder},
        {"filter", required_argument, nullptr, kFilter},
        {"json", no_argument, nullptr, kJson},     {"color", required_argument, nullptr, kColour},
        {"colour", required_argument, nullptr, kColour}, {"no-git", no_argument, nullptr, kNoGit},
        {"help", no_argument, nullptr, 'h'},       {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    optind = 1;
    for (int option; (option = getopt_long(argc, argv, "ad:nyhD0i", kLong, nullptr)) != -1;) {
        switch (option) {
            case 'a': options.all = true; break;
            case 'd': {
                char* end = nullptr;
                const long depth = std::strtol(optarg, &end, 10);
                if (*optarg == '\0' || *end != '\0' || depth < 0 || depth > 1000000) {
                    error = "--max-depth takes a whole number of 0 or more, not '" + std::string(optarg) + "'";
                    return false;
                }
                options.maxDepth = static_cast<int>(depth);
                break;
            }
            case 'n': options.dryRun = true; break;
            case 'y': options.yes = true; break;
            case kList: options.list = true; break;
            case kApply: options.applyFile = optarg; break;
            case kPermanent: options.permanent = true; break;
            case kUndo: options.undo = true; break;
            case kHistory: options.history = true; break;
            case 'D': options.folders = true; break;
            case '0': options.nulSeparated = true; break;
            case kFrom: options.fromFile = optarg; break;
            case kReplace:
                // Two arguments: the expression, and the replacement after it.
                if (optind >= argc) {
                    error = "--replace needs a REGEX and a REPLACEMENT";
                    return false;
                }
                options.replaces.emplace_back(optarg, argv[optind++]);
                break;
            case kScope:
                options.scope = optarg;
                if (options.scope != "name" && options.scope != "ext" && options.scope != "full" && options.scope != "path") {
                    error = "--scope takes name, ext, full or path, not '" + options.scope + "'";
                    return false;
                }
                break;
            case 'i': options.ignoreCase = true; break;
            case kStart:
            case kStep: {
                char* end = nullptr;
                const long long value = std::strtoll(optarg, &end, 10);
                if (*optarg == '\0' || *end != '\0') {
                    error = std::string(option == kStart ? "--start" : "--step") + " takes a whole number, not '" + optarg + "'";
                    return false;
                }
                (option == kStart ? options.start : options.step) = value;
                break;
            }
            case kPerFolder: options.perFolder = true; break;
            case kFilter: options.filter = optarg; break;
            case kJson: options.json = true; break;
            case kNoGit: options.noGit = true; break;
            case kColour: {
                const std::string when = optarg;
                if (when == "auto") options.colour = Options::Colour::Auto;
                else if (when == "always") options.colour = Options::Colour::Always;
                else if (when == "never") options.colour = Options::Colour::Never;
                else {
                    error = "--color takes auto, always or never, not '" + when + "'";
                    return false;
                }
                break;
            }
            case 'h': options.help = true; break;
            case kVersion: options.version = true; break;
            default:
                if (optopt == 'd')
                    error = "--max-depth needs a number";
                else if (optopt == kApply)
                    error = "--apply needs a FILE";
                else if (optopt == kFrom)
                    error = "--from needs a FILE";
                else if (optopt == kColour)
                    error = "--color needs auto, always or never";
                else if (optopt > 0 && optopt < 256)
                    error = "unknown option '-" + std::string(1, static_cast<char>(optopt)) + "'";
                else
                    error = "unknown option '" + std::string(argv[optind - 1]) + "'";
                return false;
        }
    }
    for (int i = optind; i < argc; ++i) options.paths.push_back(argv[i]);
    if (options.fromFile == "-" && options.applyFile == "-") {
        error = "--from - and --apply - cannot both read standard input";
        return false;
    }
    if ((!options.replaces.empty() || !options.filter.empty()) && !options.applyFile.empty()) {
        error = "--replace and --filter go without --apply";
        return false;
    }
    if (options.nulSeparated && options.fromFile.empty()) {
        error = "-0 goes with --from";
        return false;
    }
    if ((options.undo || options.history) && (options.list || !options.applyFile.empty())) {
        error = std::string(options.undo ? "--undo" : "--history") + " goes with neither --list nor --apply";
        return false;
    }
    if (options.json && !options.dryRun && !options.history) {
        error = "--json goes with -n or --history";
        return false;
    }
    if (options.undo && options.history) {
        error = "--undo and --history go one at a time";
        return false;
    }
    return true;
}

}  // namespace quil::terminal
