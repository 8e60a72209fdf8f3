#include "engine/natural_order.h"

namespace quil {
namespace {

bool IsDigit(unsigned char ch) { return ch >= '0' && ch <= '9'; }

unsigned char Folded(unsigned char ch) { return ch >= 'A' && ch <= 'Z' ? ch + 32 : ch; }

}  // namespace

int CompareNatural(std::string_view a, std::string_view b) {
    const auto* x = reinterpret_cast<const unsigned char*>(a.data());
    const auto* y = reinterpret_cast<const unsigned char*>(b.data());
    const std::size_t m = a.size(), n = b.size();
    std::size_t i = 0, j = 0;
    while (i < m && j < n) {
        if (IsDigit(x[i]) && IsDigit(y[j])) {
            // Numbers: without their leading zeros, the longer is greater,
            // and of equal lengths the first digit that differs decides.
            while (i < m && x[i] == '0') ++i;
            while (j < n && y[j] == '0') ++j;
            std::size_t endI = i, endJ = j;
            while (endI < m && IsDigit(x[endI])) ++endI;
            while (endJ < n && IsDigit(y[endJ])) ++endJ;
            if (endI - i != endJ - j) return endI - i < endJ - j ? -1 : 1;
            for (; i < endI; ++i, ++j)
                if (x[i] != y[j]) return x[i] < y[j] ? -1 : 1;
            continue;
        }
        const unsigned char p = Folded(x[i]), q = Folded(y[j]);
        if (p != q) return p < q ? -1 : 1;
        ++i, ++j;
    }
    if (i < m || j < n) return i < m ? 1 : -1;
    // Equal but for case or leading zeros: by bytes.
    const int bytes = a.compare(b);
    return bytes < 0 ? -1 : bytes > 0 ? 1 : 0;
}

// Letters folded; a run of digits as "0", its significant length in two
// bytes that are never zero, and its digits without leading zeros (a "0"
// sorts against any other character as the run's own first digit would,
// since that character is no digit); then a zero and the name itself, for
// names equal but for case or leading zeros.
void AppendNaturalKey(std::string_view name, std::string& out) {
    const auto* x = reinterpret_cast<const unsigned char*>(name.data());
    const std::size_t m = name.size();
    for (std::size_t i = 0; i < m;) {
        if (!IsDigit(x[i])) {
            out += static_cast<char>(Folded(x[i++]));
            continue;
        }
        while (i < m && x[i] == '0') ++i;
        std::size_t end = i;
        while (end < m && IsDigit(x[end])) ++end;
        const std::size_t length = end - i;
        out += '0';
        out += static_cast<char>(0x80 | ((length >> 7) & 0x7F));
        out += static_cast<char>(0x80 | (length & 0x7F));
        out.append(name.data() + i, length);
        i = end;
    }
    out += '\0';
    out.append(name);
}

}  // namespace quil
