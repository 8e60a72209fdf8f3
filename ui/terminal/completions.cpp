// The shells' completions of quil, made from its option table, so that a
// new option is offered the day it is added.
#include <string>

#include "ui/terminal/options.h"

namespace quil::terminal {
namespace {

using Takes = OptionSpec::Takes;

std::string Long(const OptionSpec& option) { return std::string("--") + option.name; }
std::string Short(const OptionSpec& option) { return std::string("-") + option.letter; }

// Inside a shell's single quotes.
std::string Quoted(const std::string& text) {
    std::string out;
    for (char ch : text) out += ch == '\'' ? std::string("'\"'\"'") : std::string(1, ch);
    return out;
}

std::string Bash() {
    std::string words, quiet, choices;
    for (const OptionSpec& option : OptionTable()) {
        const std::string names = option.letter ? Short(option) + " | " + Long(option) : Long(option);
        if (!option.alias) words += (words.empty() ? "" : " ") + (option.letter ? Short(option) + " " : "") + Long(option);
        if (option.takes == Takes::Number || option.takes == Takes::Text || option.takes == Takes::Pair)
            quiet += (quiet.empty() ? "" : " | ") + names;
        if (option.takes == Takes::Word)
            choices += "        " + names + ")\n            mapfile -t COMPREPLY < <(compgen -W '" + option.words +
                       "' -- \"$cur\")\n            return ;;\n";
        if (option.takes == Takes::Command)
            choices += "        " + names + ")\n            mapfile -t COMPREPLY < <(compgen -c -- \"$cur\")\n            return ;;\n";
    }
    return "# bash completion for quil (quil --completion bash): its options, the values\n"
           "# some of them take, and files and folders for the rest.\n"
           "_quil() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    # \"--color=al\" arrives as three words: --color, =, al.\n"
           "    if [[ $prev == = && $COMP_CWORD -ge 2 ]]; then\n"
           "        prev=${COMP_WORDS[COMP_CWORD-2]}\n"
           "    elif [[ $cur == = ]]; then\n"
           "        cur=\"\"\n"
           "    fi\n"
           "    COMPREPLY=()\n"
           "    case $prev in\n"
           "        " + quiet + ")\n            return ;;\n" + choices +
           "    esac\n"
           "    if [[ $cur == -* ]]; then\n"
           "        mapfile -t COMPREPLY < <(compgen -W '" + words + "' -- \"$cur\")\n"
           "        return\n"
           "    fi\n"
           "    # PATHs, and the files of --from and --apply: names with spaces kept\n"
           "    # whole, folders ending in a slash.\n"
           "    compopt -o filenames 2>/dev/null\n"
           "    mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n"
           "}\n"
           "complete -F _quil quil\n";
}

std::string ZshArgument(const OptionSpec& option) {
    switch (option.takes) {
        case Takes::Nothing: return "";
        case Takes::Number: return ":number: ";
        case Takes::Text: return std::string(":") + option.value + ": ";
        case Takes::File: return ":file:_files";
        case Takes::Command: return ":command:_command_names -e";
        case Takes::Word: return std::string(":value:(") + option.words + ")";
        case Takes::Pair: return ":regular expression: :replacement: ";
    }
    return "";
}

std::string Zsh() {
    std::string script = "#compdef quil\n# zsh completion for quil (quil --completion zsh).\n_arguments -s -S \\\n";
    for (const OptionSpec& option : OptionTable()) {
        if (option.alias) continue;
        const bool value = option.takes != Takes::Nothing && option.takes != Takes::Pair;
        const std::string description = "[" + Quoted(option.summary) + "]" + Quoted(ZshArgument(option));
        std::string line;
        if (option.takes == Takes::Pair) line = "'*" + Long(option) + description + "'";
        else if (std::string(option.name) == "help" || std::string(option.name) == "version")
            line = option.letter ? "'(- *)'{" + Short(option) + "," + Long(option) + "}'" + description + "'"
                                 : "'(- *)" + Long(option) + description + "'";
        else if (option.letter)
            line = "'(" + Short(option) + " " + Long(option) + ")'{" + Short(option) + (value ? "+" : "") + "," +
                   Long(option) + (value ? "=" : "") + "}'" + description + "'";
        else
            line = "'" + Long(option) + (value ? "=" : "") + description + "'";
        script += "  " + line + " \\\n";
    }
    return script + "  '*:file or folder:_files'\n";
}

std::string Fish() {
    std::string script = "# fish completion for quil (quil --completion fish); files and folders\n"
                         "# complete by default.\n";
    for (const OptionSpec& option : OptionTable()) {
        if (option.alias) continue;
        std::string line = "complete -c quil";
        if (option.letter) line += std::string(" -s ") + option.letter;
        line += std::string(" -l ") + option.name;
        switch (option.takes) {
            case Takes::Nothing: break;
            case Takes::Number:
            case Takes::Text:
            case Takes::Pair: line += " -x"; break;
            case Takes::File: line += " -r -F"; break;
            case Takes::Command: line += " -x -a '(__fish_complete_command)'"; break;
            case Takes::Word: line += std::string(" -x -a '") + option.words + "'"; break;
        }
        std::string summary = option.summary;
        summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
        std::string escaped;
        for (char ch : summary) escaped += ch == '\'' ? std::string("\\'") : std::string(1, ch);
        script += line + " -d '" + escaped + "'\n";
    }
    return script;
}

}  // namespace

bool CompletionScript(const std::string& shell, std::string& script) {
    if (shell == "bash") script = Bash();
    else if (shell == "zsh") script = Zsh();
    else if (shell == "fish") script = Fish();
    else return false;
    return true;
}

}  // namespace quil::terminal
