#include "ui/terminal/man_options.h"

#include <cctype>
#include <sstream>

#include "ui/terminal/options.h"

namespace quil::terminal {
namespace {

// scdoc takes * and _ as emphasis, and \ as its escape.
std::string Plain(const std::string& text) {
    std::string out;
    for (const char ch : text) {
        if (ch == '*' || ch == '_' || ch == '\\') out += '\\';
        out += ch;
    }
    return out;
}

// "N" as _N_, "REGEX REPLACEMENT" as _REGEX_ _REPLACEMENT_.
std::string Values(const char* value) {
    std::istringstream words(value);
    std::string out;
    for (std::string word; words >> word;) out += " _" + word + "_";
    return out;
}

// --help's clause as a sentence.
std::string Sentence(std::string help) {
    if (!help.empty()) help[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(help[0])));
    return help + ".";
}

}  // namespace

std::string ManPageOptions() {
    std::string page;
    for (const OptionSpec& option : OptionTable()) {
        if (option.alias) continue;
        if (option.letter) page += std::string("*-") + option.letter + "*, ";
        page += std::string("*--") + Plain(option.name) + "*" + (option.value ? Values(option.value) : "") + "\n";
        page += "\t" + Plain(Sentence(option.help)) + "\n\n";
    }
    return page;
}

}  // namespace quil::terminal
