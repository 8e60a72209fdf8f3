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

}  // namespace quil
