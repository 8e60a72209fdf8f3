#include "engine/edit_steps.h"

#include <cerrno>
#include <cstdlib>

#include "engine/list_text.h"
#include "engine/unique_names.h"

namespace quil {
namespace {

using Value = OptionValue;

bool WholeNumber(const char* option, const std::string& text, long long& number, std::string& error) {
    char* end = nullptr;
    errno = 0;
    number = std::strtoll(text.c_str(), &end, 10);
    if (!text.empty() && *end == '\0' && errno == 0) return true;
    error = std::string(option) + " takes a whole number, not '" + text + "'";
    return false;
}

constexpr std::pair<const char*, CaseChange> kCases[] = {{"upper", CaseChange::Upper},
                                                         {"lower", CaseChange::Lower},
                                                         {"title", CaseChange::Title},
                                                         {"sentence", CaseChange::Sentence}};

const char* CaseWord(CaseChange change) {
    for (const auto& [word, value] : kCases)
        if (value == change) return word;
    return "";
}

const char* SortWord(metadata::SortKey key) {
    std::size_t count = 0;
    const metadata::SortKeyName* names = metadata::SortKeyNames(count);
    for (std::size_t i = 0; i < count; ++i)
        if (names[i].key == key) return names[i].word;
    return "";
}

// In the order --help shows them. Made on first use: other tables are
// made from it while the program starts.
std::vector<StepOption> MakeSteps() {
    return {
        {0, "replace", Value::Pair, "REGEX REPLACEMENT", nullptr, "rewrite each line by a regular expression",
         "rewrite each line by a regular expression instead of the editor (again "
         "for more, in order); the "
         "replacement takes $1, ${1} or \\1 for groups, $0 for the match, {n} "
         "for a counter, {n:3} for one of 3 "
         "digits at least, and fields read from each file: {taken}, "
         "{taken:%Y-%m-%d}, {taken|name-date|mtime}, "
         "{artist}, {track:2} (see FIELDS in man quil); a line left empty is "
         "refused",
         [](EditSteps& s, const std::string& value, const std::string& second, std::string&) {
             s.replaces.emplace_back(value, second);
             return true;
         }},
        {0, "literal", Value::Nothing, nullptr, nullptr, "--replace's expressions are plain text",
         "take --replace's expressions as plain text, not regular expressions",
         [](EditSteps& s, const std::string&, const std::string&, std::string&) { return s.literal = true; }},
        {0, "scope", Value::Word, "PART", ScopeWords(), "the part the edits rewrite",
         "the part --replace, --case and --number rewrite: name (without "
         "extension, the default), ext, full (the name "
         "with its extension), path",
         [](EditSteps& s, const std::string& value, const std::string&, std::string& error) {
             if (ParseScope(value, s.scope)) return true;
             error = "--scope takes name, ext, full or path, not '" + value + "'";
             return false;
         }},
        {'i', "ignore-case", Value::Nothing, nullptr, nullptr, "--replace ignores case",
         "let --replace match letters without their case",
         [](EditSteps& s, const std::string&, const std::string&, std::string&) { return s.ignoreCase = true; }},
        {0, "case", Value::Word, "CASE", "upper lower title sentence", "change the case of each line's part",
         "change the case of the part --scope names instead of the editor (after "
         "--replace): upper, lower, title "
         "(each word's first letter) or sentence (the first letter), beyond "
         "ASCII too",
         [](EditSteps& s, const std::string& value, const std::string&, std::string& error) {
             for (const auto& [word, change] : kCases)
                 if (value == word) s.caseChange = change;
             if (!s.caseChange) error = "--case takes upper, lower, title or sentence, not '" + value + "'";
             return error.empty();
         }},
        {0, "number", Value::Nothing, nullptr, nullptr, "put the counter before each part",
         "put the counter before the part --scope names of each line (after "
         "--case), padded to the widest value",
         [](EditSteps& s, const std::string&, const std::string&, std::string&) { return s.number = true; }},
        {0, "start", Value::Number, "N", nullptr, "the counter's first value", "the counter's first value (1)",
         [](EditSteps& s, const std::string& value, const std::string&, std::string& error) {
             return WholeNumber("--start", value, s.numbering.start, error);
         }},
        {0, "step", Value::Number, "N", nullptr, "the counter's step", "the counter's step (1)",
         [](EditSteps& s, const std::string& value, const std::string&, std::string& error) {
             return WholeNumber("--step", value, s.numbering.step, error);
         }},
        {0, "per-folder", Value::Nothing, nullptr, nullptr, "the counter starts again in each folder",
         "the counter starts again in each folder",
         [](EditSteps& s, const std::string&, const std::string&, std::string&) {
             return s.numbering.perFolder = true;
         }},
        {0, "filter", Value::Command, "COMMAND", nullptr, "put the list through COMMAND",
         "put the list through COMMAND (sh -c) instead of the editor (after "
         "--number)",
         [](EditSteps& s, const std::string& value, const std::string&, std::string&) {
             s.filter = value;
             return true;
         }},
        {0, "unique", Value::Nothing, nullptr, nullptr, "make new names unique",
         "after the other edits, give lines whose new names collide with each "
         "other or with a file not listed -1, -2, "
         "... before the extension (a time's sub-seconds first, where its format "
         "left them out)",
         [](EditSteps& s, const std::string&, const std::string&, std::string&) { return s.unique = true; }},
        {0, "sort", Value::Word, "KEY", metadata::SortKeyWords(), "order each folder's files by KEY",
         "order each folder's files by KEY before editing: name (the default), "
         "taken, mtime, size or ext; files "
         "without it last",
         [](EditSteps& s, const std::string& value, const std::string&, std::string& error) {
             metadata::SortKey key;
             if (metadata::ParseSortKey(value, key)) {
                 s.sort = key;
                 return true;
             }
             error = "--sort takes name, taken, mtime, size or ext, not '" + value + "'";
             return false;
         }},
        {'r', "reverse", Value::Nothing, nullptr, nullptr, "the greatest first",
         "order by --sort from the greatest first (the newest, the largest, Z "
         "before A)",
         [](EditSteps& s, const std::string&, const std::string&, std::string&) { return s.reverse = true; }},
        {0, "tz", Value::Text, "ZONE", nullptr, "where a movie's recording time is shown",
         "the zone a movie header's time (UTC) is shown in by {taken} and --sort "
         "taken, as +02:00 (the local zone by "
         "default)",
         [](EditSteps& s, const std::string& value, const std::string&, std::string& error) {
             metadata::Zone zone;
             if (metadata::ParseZone(value, zone)) {
                 s.movieZone = zone;
                 return true;
             }
             error = "--tz takes an offset such as +02:00, -05:30 or Z, not '" + value + "'";
             return false;
         }},
    };
}

std::string StepNames() {
    std::string names;
    for (const StepOption& each : StepOptions()) names += (names.empty() ? "--" : ", --") + std::string(each.name);
    return names;
}

const StepOption* Named(const std::string& word, std::string& value, bool& inline_) {
    inline_ = false;
    for (const StepOption& option : StepOptions()) {
        const std::string longForm = std::string("--") + option.name;
        if (word == longForm) return &option;
        if (option.takes != Value::Nothing && word.rfind(longForm + "=", 0) == 0) {
            value = word.substr(longForm.size() + 1);
            inline_ = true;
            return &option;
        }
        if (option.letter && word == std::string("-") + option.letter) return &option;
    }
    return nullptr;
}

}  // namespace

const std::vector<StepOption>& StepOptions() {
    static const std::vector<StepOption> steps = MakeSteps();
    return steps;
}

bool ParseStepWords(const std::vector<std::string>& words, EditSteps& steps, std::string& error) {
    for (std::size_t at = 0; at < words.size(); ++at) {
        std::string value, second;
        bool inline_ = false;
        const StepOption* option = Named(words[at], value, inline_);
        if (option == nullptr) {
            error = "'" + words[at] + "' is not a step (" + StepNames() + ")";
            return false;
        }
        const int values = option->takes == Value::Nothing ? 0 : option->takes == Value::Pair ? 2 : 1;
        const std::size_t needed = static_cast<std::size_t>(values - (inline_ ? 1 : 0));
        if (needed > 0 && at + needed >= words.size()) {
            error = std::string("--") + option->name + " needs " + option->value;
            return false;
        }
        if (values >= 1 && !inline_) value = words[++at];
        if (values == 2) second = words[++at];
        if (!option->set(steps, value, second, error)) return false;
    }
    return true;
}

std::vector<std::vector<std::string>> StepLines(const EditSteps& steps) {
    using Words = std::vector<std::string>;
    std::vector<Words> lines;
    const Words zone = steps.movieZone.fixedMinutes ? Words{"--tz", metadata::ZoneText(steps.movieZone)} : Words{};
    const Words scope = steps.scope == Scope::Name ? Words{} : Words{"--scope", ScopeWord(steps.scope)};
    Words counter;
    if (steps.numbering.start != 1) counter.insert(counter.end(), {"--start", std::to_string(steps.numbering.start)});
    if (steps.numbering.step != 1) counter.insert(counter.end(), {"--step", std::to_string(steps.numbering.step)});
    if (steps.numbering.perFolder) counter.emplace_back("--per-folder");
    auto line = [&lines](std::initializer_list<const Words*> parts, Words last) {
        Words words;
        for (const Words* part : parts) words.insert(words.end(), part->begin(), part->end());
        words.insert(words.end(), last.begin(), last.end());
        lines.push_back(std::move(words));
    };
    if (steps.sort) {
        Words sort{"--sort", SortWord(*steps.sort)};
        if (steps.reverse) sort.emplace_back("--reverse");
        line({&zone}, sort);
    }
    Words match;
    if (steps.literal) match.emplace_back("--literal");
    if (steps.ignoreCase) match.emplace_back("--ignore-case");
    for (const auto& [find, replacement] : steps.replaces)
        line({&match, &scope, &counter, &zone}, {"--replace", find, replacement});
    if (steps.caseChange) line({&scope}, {"--case", CaseWord(*steps.caseChange)});
    if (steps.number) line({&scope, &counter}, {"--number"});
    if (!steps.filter.empty()) line({}, {"--filter", steps.filter});
    if (steps.unique) line({}, {"--unique"});
    return lines;
}

namespace {

std::string Problem(const std::string& find, const std::string& replacement, const TransformError& problem) {
    const bool inFind = problem.where == TransformError::Where::Expression;
    return std::string(inFind ? "the expression '" + find : "the replacement '" + replacement) +
           "': " + problem.message + " at character " + std::to_string(problem.offset + 1);
}

bool Replace(const EditSteps& steps, const StepContext& context, std::vector<std::string>& lines,
             const std::vector<std::string>& paths, StepResults& results, std::string& error) {
    const char separator = context.files.conventions().separator;
    for (const auto& [find, replacement] : steps.replaces) {
        TransformError problem;
        const auto compiled = Replacement::Make(find, replacement, !steps.literal, !steps.ignoreCase, problem);
        if (!compiled) {
            error = Problem(find, replacement, problem);
            return false;
        }
        std::vector<metadata::FileMetadata> files;
        if (!ReadFieldsFor(*compiled, lines, paths, steps.scope, separator, context.reader, context.reading, files)) {
            results.stopped = true;
            error = "stopped while reading the files";
            return false;
        }
        const FieldValues fields{&files, {steps.movieZone, false}, &results.notes, &results.subSeconds};
        compiled->Apply(lines, steps.scope, steps.numbering, separator, fields);
    }
    return true;
}

}  // namespace

bool ApplyEditSteps(const EditSteps& steps, const StepContext& context, std::vector<std::string>& lines,
                    const std::vector<std::string>& paths, StepResults& results, std::string& error) {
    const char separator = context.files.conventions().separator;
    results.notes.resize(lines.size());
    results.subSeconds.resize(lines.size());
    if (!Replace(steps, context, lines, paths, results, error)) return false;
    if (steps.caseChange) ChangeCase(lines, *steps.caseChange, steps.scope, separator);
    if (steps.number) NumberLines(lines, steps.numbering, steps.scope, separator);
    if (!steps.filter.empty()) {
        std::string text = JoinLines(lines) + (lines.empty() ? "" : "\n");
        if (!context.runFilter(steps.filter, text, error)) return false;
        std::vector<std::string> after = SplitLines(text);
        results.onlyReordered |= OnlyReordered(lines, after);
        lines = std::move(after);
    }
    // Last, so that no other edit makes two names one again.
    if (steps.unique && lines.size() == static_cast<std::size_t>(context.listed.count))
        MakeUnique(lines, context.listed, context.files, results.subSeconds);
    return true;
}

bool ApplyEditChain(const std::vector<EditSteps>& chain, const StepContext& context, std::vector<std::string>& lines,
                    const std::vector<std::string>& paths, StepResults& results, std::string& error) {
    for (const EditSteps& steps : chain)
        if (!ApplyEditSteps(steps, context, lines, paths, results, error)) return false;
    return true;
}

}  // namespace quil
