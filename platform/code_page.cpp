#include "platform/code_page.h"

namespace quil {

std::size_t FindSeparator(std::string_view path, char separator, std::size_t from, LeadBytePredicate isLeadByte) {
    if (isLeadByte == nullptr) return path.find(separator, from);
    for (std::size_t at = from; at < path.size(); ++at) {
        if (path[at] == separator) return at;
        if (isLeadByte(static_cast<unsigned char>(path[at]))) ++at;
    }
    return std::string_view::npos;
}

bool DecodeUtf8(std::string_view text, std::size_t& at, char32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(at);
    const int length = first < 0x80 ? 1 : (first >> 5) == 0x6 ? 2 : (first >> 4) == 0xE ? 3 : (first >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || at + length > text.size()) return false;
    char32_t value = length == 1 ? first : first & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return false;
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    // The shortest form only, and no surrogate: anything else is not UTF-8.
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kLeast[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    code = value;
    at += length;
    return true;
}

std::size_t Utf16Units(std::string_view utf8) {
    std::size_t units = 0;
    for (std::size_t at = 0; at < utf8.size();) {
        char32_t code;
        if (DecodeUtf8(utf8, at, code))
            units += code > 0xFFFF ? 2 : 1;
        else
            ++units, ++at;
    }
    return units;
}

void EncodeUtf8(char32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace quil
