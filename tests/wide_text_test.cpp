// The program's text between UTF-8 and the UTF-16 of the wide calls, under
// the legacy code page this executable runs with (no manifest asks for
// UTF-8): exact both ways, and refused where there is no exact form.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "platform/wide_text.h"
#include "ui/win32/framework/window_text.h"

namespace quil {
namespace {

TEST(WideText, RunsUnderALegacyCodePage) { EXPECT_NE(GetACP(), static_cast<UINT>(CP_UTF8)); }

TEST(WideText, EveryLetterGoesBothWaysExactly) {
    struct Row {
        const char* name;
        std::string utf8;
        std::wstring wide;
    };
    const Row rows[] = {
        {"ASCII", "a.txt", L"a.txt"},
        {"letters 1252 has best fits for", "\xC5\x81\xC3\xB3\x64\xC5\xBA", L"\u0141\u00F3d\u017A"},
        {"Greek", "\xCE\xB1\xCE\xB2", L"\u03B1\u03B2"},
        {"a full-width backslash", "\xEF\xBC\xBC", L"\uFF3C"},
        {"CJK", "\xE6\x97\xA5\xE6\x9C\xAC", L"\u65E5\u672C"},
        {"beyond U+FFFF, a surrogate pair", "\xF0\x9F\x98\x80", L"\xD83D\xDE00"},
        {"nothing", "", L""},
    };
    for (const Row& row : rows) {
        std::wstring wide;
        EXPECT_TRUE(ToWide(row.utf8, wide)) << row.name;
        EXPECT_EQ(wide, row.wide) << row.name;
        std::string utf8;
        EXPECT_TRUE(FromWide(row.wide, utf8)) << row.name;
        EXPECT_EQ(utf8, row.utf8) << row.name;
    }
}

TEST(WideText, TextWithNoExactFormIsRefused) {
    struct WideRow {
        const char* name;
        std::wstring wide;
        std::size_t unpaired;  // where UnpairedSurrogate finds it
    };
    const WideRow wideRows[] = {
        {"a high surrogate at the end", L"ab\xD800", 2},
        {"a low surrogate first", L"\xDC00" L"ab", 0},
        {"a pair in the wrong order", L"a\xDE00\xD83D", 1},
        {"a high surrogate before a letter", L"\xD83D" L"a", 0},
    };
    for (const WideRow& row : wideRows) {
        std::string utf8;
        EXPECT_FALSE(FromWide(row.wide, utf8)) << row.name;
        EXPECT_EQ(ui::UnpairedSurrogate(row.wide), row.unpaired) << row.name;
    }
    EXPECT_EQ(ui::UnpairedSurrogate(L"a\xD83D\xDE00z"), std::wstring_view::npos);

    struct Utf8Row {
        const char* name;
        std::string utf8;
    };
    const Utf8Row utf8Rows[] = {
        {"a byte of code page 1252", "caf\xE9"},
        {"an overlong form", "\xC0\xAF"},
        {"a surrogate written as UTF-8", "\xED\xA0\x80"},
        {"a letter cut short", "\xE6\x96"},
    };
    for (const Utf8Row& row : utf8Rows) {
        std::wstring wide;
        EXPECT_FALSE(ToWide(row.utf8, wide)) << row.name;
    }
}

// A message is shown whole even where its text is not UTF-8.
TEST(WideText, AMessageShowsAStrayByteAsAReplacementCharacter) {
    EXPECT_EQ(ui::Wide("caf\xC3\xA9"), L"caf\u00E9");
    EXPECT_EQ(ui::Wide("a\x80z"), L"a\uFFFDz");
}

// Case-blind names compare through UTF-16, whatever the code page.
TEST(UpperCaseName, FoldsBeyondAsciiUnderALegacyCodePage) {
    EXPECT_EQ(UpperCaseName("\xC3\xA9t\xC3\xA9"), "\xC3\x89T\xC3\x89");                       // été
    EXPECT_EQ(UpperCaseName("\xC5\x82\xC3\xB3\x64\xC5\xBA"), "\xC5\x81\xC3\x93\x44\xC5\xB9");  // łódź
    EXPECT_EQ(UpperCaseName("\xE6\x97\xA5\xE6\x9C\xAC"), "\xE6\x97\xA5\xE6\x9C\xAC");         // 日本
}

}  // namespace
}  // namespace quil
