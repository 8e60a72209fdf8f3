// Find and replace over the list text, and the prefix mode.
#include <gtest/gtest.h>

#include "engine/replace.h"

namespace quil {
namespace {

struct Row {
    const char* name;
    std::string find;
    std::string with;
    std::string before;
    std::string after;
};

// CJK letters: three bytes of UTF-8, one UTF-16 unit each.
std::string Cjk(int letters) {
    std::string text;
    for (int i = 0; i < letters; ++i) text += "\xE6\x96\x87";  // U+6587
    return text;
}

const std::string kBeyondBmp = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units

void RunRows(const std::vector<Row>& rows, const Conventions& conventions) {
    for (const Row& row : rows) {
        BatchState state;
        state.text = row.before;
        ApplyReplace(state, row.find, row.with, conventions);
        EXPECT_EQ(state.text, row.after) << row.name;
        EXPECT_EQ(state.replaced, 1) << row.name;
    }
}

TEST(ApplyReplace, ReplaceMode) {
    RunRows({
                {"extension", "jpg", "png", "a.jpg\r\nb.jpg", "a.png\r\nb.png"},
                {"non-overlapping, left to right", "aa", "a", "aaaa", "aa"},
                {"inserted text is not searched again", "a", "aa", "a", "aa"},
                {"case-sensitive", "JPG", "png", "a.jpg", "a.jpg"},
                {"not found", "zzz", "y", "a\r\nb", "a\r\nb"},
                {"empty with removes", ".bak", "", "a.bak\r\nb.bak.bak", "a\r\nb"},
                {"separators too", "\\", "_", "s\\b.txt\r\nc", "s_b.txt\r\nc"},
                {"only the first 255 characters of find", std::string(255, 'q') + "x", "-",
                 std::string(255, 'q') + "y", "-y"},
                {"255 letters of find counted in UTF-16 units, the 256th cut", Cjk(256), "-", Cjk(256) + ".txt",
                 "-" + Cjk(1) + ".txt"},
                {"a letter of two units that would be the 256th is cut whole", std::string(254, 'q') + kBeyondBmp, "-",
                 std::string(254, 'q') + kBeyondBmp, "-" + kBeyondBmp},
                {"255 letters of replacement, the 256th cut", "a", Cjk(256), "a.txt", Cjk(255) + ".txt"},
            },
            kWindowsConventions);
}

TEST(ApplyReplace, PrefixModeGivesEveryLineButEmptyOnesThePrefix) {
    RunRows({
                {"every line", "", "x_", "a\r\ns\\b\r\nc", "x_a\r\nx_s\\b\r\nx_c"},
                {"empty with changes nothing", "", "", "a\r\nb", "a\r\nb"},
                {"emptied lines stay marked for deletion", "", "x_", "\r\nb\r\n\r\n", "\r\nx_b\r\n\r\n"},
                {"an empty text stays empty", "", "x_", "", ""},
                {"255 characters work like any other", "", std::string(255, 'p'), "a\r\nb",
                 std::string(255, 'p') + "a\r\n" + std::string(255, 'p') + "b"},
                {"255 letters counted in UTF-16 units, the 256th cut", "", Cjk(256), "a\r\nb",
                 Cjk(255) + "a\r\n" + Cjk(255) + "b"},
            },
            kWindowsConventions);
    RunRows({{"posix line feeds", "", "x_", "a\n\nb", "x_a\n\nx_b"}}, kPosixConventions);
}

TEST(ReplaceAll, AMatchNeverBeginsOnATrailByte) {
    // In a double-byte code page 0x81 leads a two-byte character, so the 'A'
    // in 0x81 'A' is half of one character, not a letter.
    auto leadByte = [](unsigned char byte) { return byte == 0x81; };
    std::string text = "\x81" "AA\x81" "A";
    ReplaceAll(text, "A", "b", leadByte);
    EXPECT_EQ(text, "\x81" "Ab\x81" "A");

    std::string plain = "\x81" "AA";
    ReplaceAll(plain, "A", "b");
    EXPECT_EQ(plain, "\x81" "bb");
}

}  // namespace
}  // namespace quil
