// Full case mapping through ICU's case maps, over the UTF-8 runs of a name;
// the quil-case module.
#include <unicode/uchar.h>
#include <unicode/ucasemap.h>
#include <unicode/ustring.h>

#include "platform/code_page.h"
#include "platform/letter_case.h"

namespace quil {
namespace {

// The root locale's rules (no Turkish dotless i for a user in Istanbul):
// names are not prose in one language. Title case maps each word whole, at
// its first letter or digit ("1st"); a sentence starts at its first cased
// letter ("2023 Photos").
UCaseMap* CaseMap(LetterCase letterCase) {
    const uint32_t options = letterCase == LetterCase::Sentence ? U_TITLECASE_WHOLE_STRING | U_TITLECASE_ADJUST_TO_CASED
                             : letterCase == LetterCase::Title  ? U_TITLECASE_WHOLE_STRING
                                                                : 0;
    UErrorCode status = U_ZERO_ERROR;
    UCaseMap* map = ucasemap_open("", options, &status);
    return U_SUCCESS(status) ? map : nullptr;
}

int32_t Map(UCaseMap* map, LetterCase letterCase, char* out, int32_t room, std::string_view run, UErrorCode& status) {
    const auto length = static_cast<int32_t>(run.size());
    switch (letterCase) {
        case LetterCase::Upper: return ucasemap_utf8ToUpper(map, out, room, run.data(), length, &status);
        case LetterCase::Lower: return ucasemap_utf8ToLower(map, out, room, run.data(), length, &status);
        case LetterCase::Title:
        case LetterCase::Sentence: return ucasemap_utf8ToTitle(map, out, room, run.data(), length, &status);
    }
    return 0;
}

std::string Mapped(UCaseMap* map, std::string_view run, LetterCase letterCase) {
    // Mapped text can be longer (ß is SS): asked again with room enough.
    std::string out(run.size() + 16, '\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = Map(map, letterCase, out.data(), static_cast<int32_t>(out.size()), run, status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(static_cast<std::size_t>(length));
        status = U_ZERO_ERROR;
        length = Map(map, letterCase, out.data(), length, run, status);
    }
    if (U_FAILURE(status)) return std::string(run);
    out.resize(static_cast<std::size_t>(length));
    return out;
}

// Words of a name are runs of letters and digits, an apostrophe inside one
// ("don't"); dots, underscores, dashes and spaces part them ("a.Txt",
// "My_Holiday"), where Unicode's word breaks, made for prose, would not.
bool InWord(char32_t code) { return u_isalnum(static_cast<UChar32>(code)) || code == '\'' || code == 0x2019; }

std::string TitleCased(UCaseMap* map, std::string_view run) {
    std::string out;
    for (std::size_t at = 0; at < run.size();) {
        const std::size_t start = at;
        char32_t code = 0;
        std::size_t next = at;
        DecodeUtf8(run, next, code);
        const bool word = InWord(code);
        while (at < run.size()) {
            next = at;
            DecodeUtf8(run, next, code);
            if (InWord(code) != word) break;
            at = next;
        }
        const std::string_view piece = run.substr(start, at - start);
        out += word ? Mapped(map, piece, LetterCase::Title) : std::string(piece);
    }
    return out;
}

std::string InCaseByIcu(std::string_view text, LetterCase letterCase) {
    static UCaseMap* const maps[] = {CaseMap(LetterCase::Upper), CaseMap(LetterCase::Lower), CaseMap(LetterCase::Title),
                                     CaseMap(LetterCase::Sentence)};
    UCaseMap* map = maps[static_cast<int>(letterCase)];
    if (map == nullptr) return std::string(text);
    std::string out;
    bool first = true;  // of a sentence: the first run only
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t start = at;
        for (char32_t code; at < text.size();) {
            std::size_t next = at;
            if (!DecodeUtf8(text, next, code)) break;
            at = next;
        }
        if (at > start) {
            const LetterCase runCase = letterCase == LetterCase::Sentence && !first ? LetterCase::Lower : letterCase;
            const std::string_view run = text.substr(start, at - start);
            if (runCase == LetterCase::Title) out += TitleCased(map, run);
            else out += Mapped(runCase == letterCase ? map : maps[static_cast<int>(LetterCase::Lower)], run, runCase);
            first = false;
        }
        if (at < text.size()) out += text[at++];  // not UTF-8: kept as it is
    }
    return out;
}

}  // namespace
}  // namespace quil

// The module's one entry point (letter_case_module_posix.cpp loads it).
extern "C" __attribute__((visibility("default"))) void QuilInCase(const char* text, std::size_t size, int letterCase,
                                                                  std::string* out) {
    *out = quil::InCaseByIcu(std::string_view(text, size), static_cast<quil::LetterCase>(letterCase));
}
