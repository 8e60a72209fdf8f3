// The edits of the Linux editions that rewrite the list without an editor:
// replaces, a case change, numbers, a filter command, names made unique, and
// the order of the listing. One set of them is what quil's command line
// asks for, and a step of a recipe; both are written in the same words,
// quil's options, from the one table here.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/batch_state.h"
#include "engine/metadata/order_keys.h"
#include "engine/metadata/read_many.h"
#include "engine/transforms.h"

namespace quil {

struct EditSteps {
    // In order; each counts with its own counter from numbering's start.
    std::vector<std::pair<std::string, std::string>> replaces;
    bool literal = false;     // the expressions are plain text
    bool ignoreCase = false;  // they match letters without their case
    Scope scope = Scope::Name;
    Numbering numbering;
    metadata::Zone movieZone;               // where a movie header's UTC time is shown
    std::optional<CaseChange> caseChange;   // after the replaces
    bool number = false;                    // the counter before each part, after the case
    std::string filter;                     // a command (sh -c) the list goes through, after those
    bool unique = false;                    // last of all
    std::optional<metadata::SortKey> sort;  // the listing's order, before any edit
    bool reverse = false;

    // Whether the steps rewrite the list text (an order only pairs it).
    bool Rewrites() const { return !replaces.empty() || caseChange || number || !filter.empty() || unique; }
};

// How an option takes its value.
enum class OptionValue {
    Nothing,
    Number,   // a whole number
    Text,     // a value of its own form (a size, a date, a zone)
    File,     // a path ("-" for standard input where that is said)
    Command,  // a shell command
    Word,     // one of words
    Pair,     // two values: a regular expression and its replacement
};

// One option that sets EditSteps, as quil's command line and a recipe's
// lines write it.
struct StepOption {
    char letter;       // the short form, 0 for none
    const char* name;  // the long form, without its dashes
    OptionValue takes;
    const char* value;    // the value as the help writes it ("N", "KEY")
    const char* words;    // Word: the words it takes, space-separated
    const char* summary;  // a few words, for the shells' completions
    const char* help;     // the whole help
    // Sets steps from the value (and second, for a Pair); false with the
    // reason when the value is wrong.
    bool (*set)(EditSteps& steps, const std::string& value, const std::string& second, std::string& error);
};

const std::vector<StepOption>& StepOptions();

// Words as quil's command line gives them ("--replace", "a", "b", "-i",
// "--sort=taken") into steps; false with the reason for a word that is no
// step option or a wrong value.
bool ParseStepWords(const std::vector<std::string>& words, EditSteps& steps, std::string& error);

// The words of steps, one line a step: the order, each replace with the
// settings it uses, the case change, the numbers, the filter, and making
// unique, in the order they apply. Parsed one line at a time and applied
// in turn, they do what steps does.
std::vector<std::vector<std::string>> StepLines(const EditSteps& steps);

// What the edits read and run with.
struct StepContext {
    const BatchState& listed;  // the files, each line's as listed, and the root
    FileServices& files;
    const metadata::MetadataReader& reader;  // for field tokens ({taken}, {artist})
    metadata::ReadManyOptions reading;       // progress, and a stop
    // Puts text through a command (sh -c); false with the reason.
    std::function<bool(const std::string& command, std::string& text, std::string& error)> runFilter;
};

// What the edits said beyond the names, kept from one set of steps to the
// next (a recipe's).
struct StepResults {
    std::vector<std::string> notes;       // by line: where a field came from, or why it is missing
    std::vector<std::string> subSeconds;  // by line: what makes a name with a time unique first
    bool onlyReordered = false;           // a filter only moved lines about
    bool stopped = false;                 // stopped while reading the files
};

// Rewrites lines (paths[i] is the file of lines[i], as listed) by steps.
// Names are made unique only over a whole list (one line per listed file).
// False, with what the user should be told, when an expression or the
// filter is wrong or the reading was stopped.
bool ApplyEditSteps(const EditSteps& steps, const StepContext& context, std::vector<std::string>& lines,
                    const std::vector<std::string>& paths, StepResults& results, std::string& error);

// Each set of steps in turn, as a recipe's lines apply; the notes and
// what makes a name unique carry from one to the next.
bool ApplyEditChain(const std::vector<EditSteps>& chain, const StepContext& context, std::vector<std::string>& lines,
                    const std::vector<std::string>& paths, StepResults& results, std::string& error);

}  // namespace quil
