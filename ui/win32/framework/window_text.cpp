#include "ui/win32/framework/window_text.h"

#include <windows.h>

#include "platform/wide_text.h"

namespace quil::ui {

std::wstring Wide(std::string_view utf8) {
    std::wstring wide;
    if (ToWide(utf8, wide) || utf8.size() > 0x7FFFFFF) return wide;
    // Not UTF-8 after all: still shown whole, each stray byte as U+FFFD.
    const int size = static_cast<int>(utf8.size());
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)));
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::size_t UnpairedSurrogate(std::wstring_view text) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        const wchar_t unit = text[at];
        if (unit < 0xD800 || unit > 0xDFFF) continue;
        if (unit <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF) {
            ++at;  // a whole pair
            continue;
        }
        return at;
    }
    return std::wstring_view::npos;
}

}  // namespace quil::ui
