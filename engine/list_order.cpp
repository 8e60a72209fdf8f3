#include "engine/list_order.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "engine/list_text.h"
#include "engine/natural_order.h"
#include "engine/path_rules.h"

namespace quil {

void OrderWithinFolders(BatchState& state, const std::vector<std::optional<std::string>>& keys, bool reverse,
                        const Conventions& conventions) {
    const auto count = static_cast<std::size_t>(state.count);
    std::vector<std::size_t> order(count + 1);
    std::iota(order.begin(), order.end(), 0);
    auto keyOf = [&keys](std::size_t slot) -> const std::optional<std::string>& {
        static const std::optional<std::string> kNone;
        return slot < keys.size() ? keys[slot] : kNone;
    };
    // Each folder's files stand together in a listing: sorted run by run.
    for (std::size_t start = 1; start <= count;) {
        const std::string& first = state.oldPaths[start];
        const std::size_t folder = FolderLength(first, conventions);
        std::size_t end = start + 1;
        while (end <= count && FolderLength(state.oldPaths[end], conventions) == folder &&
               state.oldPaths[end].compare(0, folder, first, 0, folder) == 0)
            ++end;
        std::stable_sort(order.begin() + static_cast<std::ptrdiff_t>(start), order.begin() + static_cast<std::ptrdiff_t>(end),
                         [&](std::size_t a, std::size_t b) {
                             const auto& x = keyOf(a);
                             const auto& y = keyOf(b);
                             if (!x || !y) return x.has_value() && !y.has_value();  // those without last
                             return reverse ? *y < *x : *x < *y;
                         });
        start = end;
    }
    BatchState ordered = state;
    for (std::size_t slot = 1; slot <= count; ++slot) {
        ordered.oldPaths[slot] = state.oldPaths[order[slot]];
        if (slot < state.folders.size()) ordered.folders[slot] = state.folders[order[slot]];
    }
    ordered.text.clear();
    state = std::move(ordered);
    BuildListText(state, conventions);
}

std::string NumberKey(std::uint64_t value) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "%020llu", static_cast<unsigned long long>(value));
    return digits;
}

std::string ExtensionKey(const std::string& path, const Conventions& conventions) {
    const std::size_t name = FolderLength(path, conventions);
    const std::size_t dot = path.rfind('.');
    std::string key;
    AppendNaturalKey(dot == std::string::npos || dot <= name ? std::string_view() : std::string_view(path).substr(dot + 1), key);
    return key;
}

}  // namespace quil
