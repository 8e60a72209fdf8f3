// The text transforms of the Linux editions: scopes, regular expressions
// and their groups, the counter, prefixes and case changes.
#include <gtest/gtest.h>

#include "engine/transforms.h"

namespace quil {
namespace {

TEST(Transforms, ScopesOfALine) {
    struct Row {
        const char* line;
        Scope scope;
        const char* part;
    };
    for (const Row& row : std::vector<Row>{
             {"a.tar.gz", Scope::Name, "a.tar"},
             {"a.tar.gz", Scope::Extension, "gz"},
             {"a.tar.gz", Scope::NameWithExtension, "a.tar.gz"},
             {"README", Scope::Name, "README"},
             {"README", Scope::Extension, ""},
             {".bashrc", Scope::Name, ".bashrc"},
             {".bashrc", Scope::Extension, ""},
             {"2023/x.y/img.jpg", Scope::Name, "img"},
             {"2023/x.y/img.jpg", Scope::Path, "2023/x.y/img.jpg"},
             {"2023/x.y/noext", Scope::Extension, ""},
             {"", Scope::Name, ""},
         }) {
        const Span span = ScopeSpan(row.line, row.scope, '/');
        EXPECT_EQ(std::string(row.line).substr(span.start, span.length), row.part) << row.line;
    }
}

struct ReplaceRow {
    const char* name;
    const char* find;
    const char* replacement;
    bool regex;
    bool matchCase;
    Scope scope;
    Numbering numbering;
    std::vector<std::string> lines;
    std::vector<std::string> after;
};

TEST(Transforms, FindAndReplace) {
    const std::vector<std::string> photos = {"IMG_0001.jpg", "IMG_0002.JPG", "notes.txt"};
    const std::vector<ReplaceRow> rows = {
        {"groups: $n", "(\\w+)_(\\d+)", "$2-$1", true, true, Scope::Name, {}, photos,
         {"0001-IMG.jpg", "0002-IMG.JPG", "notes.txt"}},
        {"groups: ${n}", "(\\w+)_(\\d+)", "${2}x${1}", true, true, Scope::Name, {}, photos,
         {"0001xIMG.jpg", "0002xIMG.JPG", "notes.txt"}},
        {"groups: \\n", "(\\w+)_(\\d+)", "\\2.\\1", true, true, Scope::Name, {}, photos,
         {"0001.IMG.jpg", "0002.IMG.JPG", "notes.txt"}},
        {"the whole match", "\\d+", "[$0]", true, true, Scope::Name, {}, photos,
         {"IMG_[0001].jpg", "IMG_[0002].JPG", "notes.txt"}},
        {"the extension, without case", "jpg", "jpeg", false, false, Scope::Extension, {}, photos,
         {"IMG_0001.jpeg", "IMG_0002.jpeg", "notes.txt"}},
        {"literal, with case", "jpg", "png", false, true, Scope::NameWithExtension, {}, photos,
         {"IMG_0001.png", "IMG_0002.JPG", "notes.txt"}},
        {"numbered, padded", ".*", "holiday-{n:3}", true, true, Scope::Name, {}, photos,
         {"holiday-001.jpg", "holiday-002.JPG", "holiday-003.txt"}},
        {"numbered from 10 by 5", "IMG_\\d+", "p{n}", true, true, Scope::Name, {10, 5, false}, photos,
         {"p10.jpg", "p15.JPG", "notes.txt"}},
        {"numbered again in each folder", "^", "{n:2}-", true, true, Scope::Name, {1, 1, true},
         {"a/x", "a/y", "b/z", "a/w"}, {"a/01-x", "a/02-y", "b/01-z", "a/03-w"}},
        {"a prefix before the name, not the folders", "", "p_", false, true, Scope::Name, {},
         {"2023/img.jpg", "", "top"}, {"2023/p_img.jpg", "", "p_top"}},
        {"a numbered prefix", "", "{n}_", false, true, Scope::Name, {}, {"a", "", "b"}, {"1_a", "", "2_b"}},
        {"the whole line, folders too", "/", "_", false, true, Scope::Path, {}, {"s/b.txt", "c"}, {"s_b.txt", "c"}},
        {"every match, none overlapping", "a", "aa", false, true, Scope::Name, {}, {"banana"}, {"baanaanaa"}},
        {"empty matches between characters", "x*", "-", true, true, Scope::Name, {}, {"abc.d"}, {"-a-b-c-.d"}},
        {"beyond ASCII, without case", "\xC3\x89T\xC3\x89", "summer", true, false, Scope::Name, {},
         {"\xC3\xA9t\xC3\xA9.jpg"}, {"summer.jpg"}},
        {"a name that is not UTF-8", "caf", "CAF", false, true, Scope::Name, {}, {"caf\xE9.txt"}, {"CAF\xE9.txt"}},
        {"\\ takes the next character", "a", "\\$1\\{n}", true, true, Scope::Name, {}, {"a"}, {"$1{n}"}},
    };
    for (const ReplaceRow& row : rows) {
        TransformError error;
        const auto replacement = Replacement::Make(row.find, row.replacement, row.regex, row.matchCase, error);
        ASSERT_TRUE(replacement) << row.name << ": " << error.message;
        std::vector<std::string> lines = row.lines;
        replacement->Apply(lines, row.scope, row.numbering, '/');
        EXPECT_EQ(lines, row.after) << row.name;
    }
}

TEST(Transforms, AWrongExpressionOrReplacementIsSaidWithItsPlace) {
    struct Row {
        const char* find;
        const char* replacement;
        TransformError::Where where;
        std::size_t offset;
    };
    for (const Row& row : std::vector<Row>{
             {"(a", "x", TransformError::Where::Expression, 2},
             {"a[", "x", TransformError::Where::Expression, 2},
             {"(a)", "x$2", TransformError::Where::Replacement, 1},
             {"(a)", "x${1", TransformError::Where::Replacement, 1},
             {"(a)", "{n:}", TransformError::Where::Replacement, 0},
         }) {
        TransformError error;
        EXPECT_FALSE(Replacement::Make(row.find, row.replacement, true, true, error)) << row.find << row.replacement;
        EXPECT_EQ(error.where, row.where) << row.find << " " << row.replacement;
        EXPECT_EQ(error.offset, row.offset) << row.find << " " << row.replacement;
        EXPECT_FALSE(error.message.empty());
    }
}

TEST(Transforms, CaseChangesBeyondAscii) {
    struct Row {
        CaseChange change;
        Scope scope;
        const char* line;
        const char* after;
    };
    for (const Row& row : std::vector<Row>{
             {CaseChange::Upper, Scope::Name, "2023/\xC3\xA9t\xC3\xA9 \xC3\xA0 paris.jpg", "2023/\xC3\x89T\xC3\x89 \xC3\x80 PARIS.jpg"},
             {CaseChange::Lower, Scope::NameWithExtension, "\xC3\x89T\xC3\x89.JPG", "\xC3\xA9t\xC3\xA9.jpg"},
             {CaseChange::Title, Scope::Name, "\xC3\xA9LAN vital don't-stop.txt", "\xC3\x89lan Vital Don't-Stop.txt"},
             {CaseChange::Sentence, Scope::Name, "HELLO WORLD.TXT", "Hello world.TXT"},
             {CaseChange::Upper, Scope::Extension, "a.jpg", "a.JPG"},
             {CaseChange::Lower, Scope::Path, "DIR/CAF\xE9.TXT", "dir/caf\xE9.txt"},  // a byte that is not UTF-8 stays
             // Full case mapping: a letter may become two, and a digraph has
             // a title case of its own.
             {CaseChange::Upper, Scope::Name, "stra\xC3\x9F" "e.txt", "STRASSE.txt"},
             {CaseChange::Title, Scope::Name, "\xC7\x86ungla.txt", "\xC7\x85ungla.txt"},
             {CaseChange::Sentence, Scope::Name, "2023 PHOTOS OF PARIS.jpg", "2023 Photos of paris.jpg"},
             {CaseChange::Title, Scope::Name, "1ST PLACE.jpg", "1st Place.jpg"},
         }) {
        std::vector<std::string> lines = {row.line};
        ChangeCase(lines, row.change, row.scope, '/');
        EXPECT_EQ(lines[0], row.after) << row.line;
    }
}

}  // namespace
TEST(Transforms, CountersForTheNumberAction) {
    struct Row {
        const char* name;
        std::vector<std::string> lines;
        Numbering numbering;
        int width;
        std::vector<std::string> counters;
    };
    const std::vector<std::string> ten(10, "f");
    for (const Row& row : std::vector<Row>{
             {"padded to the widest", ten, {}, 0, {"01", "02", "03", "04", "05", "06", "07", "08", "09", "10"}},
             {"an emptied line is not counted", {"a", "", "b"}, {}, 0, {"1", "", "2"}},
             {"a width asked for", {"a", "b"}, {8, 2, false}, 3, {"008", "010"}},
             {"down past zero", {"a", "b", "c"}, {1, -1, false}, 0, {"1", "0", "-1"}},
             {"again in each folder", {"x/a", "y/b", "x/c"}, {1, 1, true}, 0, {"1", "1", "2"}},
         }) {
        EXPECT_EQ(CounterTexts(row.lines, row.numbering, '/', row.width), row.counters) << row.name;
    }
}

}  // namespace quil
