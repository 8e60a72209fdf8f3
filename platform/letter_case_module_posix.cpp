// InCase through a module of our own (quil-case.so, which links ICU and its
// 30 MB of data), loaded the first time a case changes: most runs change
// none.
#include "platform/letter_case.h"
#include "platform/modules.h"

namespace quil {
namespace {

using MapCase = void (*)(const char* text, std::size_t size, int letterCase, std::string* out);

}  // namespace

std::string InCase(std::string_view text, LetterCase letterCase) {
    static const MapCase map = [] {
        std::string failure;
        return reinterpret_cast<MapCase>(ModuleEntry("quil-case", "QuilInCase", failure));
    }();
    // A broken install changes no case, which the plan then shows.
    if (map == nullptr) return std::string(text);
    std::string out;
    map(text.data(), text.size(), static_cast<int>(letterCase), &out);
    return out;
}

}  // namespace quil
