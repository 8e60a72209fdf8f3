#include "engine/metadata/order_keys.h"

#include "engine/list_order.h"
#include "engine/natural_order.h"
#include "engine/path_rules.h"

namespace quil::metadata {
namespace {

constexpr SortKeyName kKeys[] = {{SortKey::Name, "name", "Name"},
                                 {SortKey::Taken, "taken", "Date taken"},
                                 {SortKey::Modified, "mtime", "Date modified"},
                                 {SortKey::Size, "size", "Size"},
                                 {SortKey::Extension, "ext", "Extension"}};

}  // namespace

const SortKeyName* SortKeyNames(std::size_t& count) {
    count = sizeof kKeys / sizeof kKeys[0];
    return kKeys;
}

bool ParseSortKey(std::string_view word, SortKey& key) {
    for (const SortKeyName& each : kKeys)
        if (word == each.word) {
            key = each.key;
            return true;
        }
    return false;
}

const char* SortKeyWords() {
    static const std::string words = [] {
        std::string all;
        for (const SortKeyName& each : kKeys) (all += all.empty() ? "" : " ") += each.word;
        return all;
    }();
    return words.c_str();
}

bool OrderKeysOf(SortKey key, const std::vector<std::string>& paths, const MetadataReader& reader, FileServices& files,
                 const Zone& zone, const ReadManyOptions& options, std::vector<std::optional<std::string>>& keys) {
    keys.assign(paths.size(), std::nullopt);
    const std::vector<std::string> listed(paths.begin() + (paths.empty() ? 0 : 1), paths.end());
    switch (key) {
        case SortKey::Name:  // the listing's own order, asked for again to reverse it
            for (std::size_t slot = 1; slot < paths.size(); ++slot) {
                const std::string& path = paths[slot];
                AppendNaturalKey(std::string_view(path).substr(FolderLength(path, files.conventions())), keys[slot].emplace());
            }
            return true;
        case SortKey::Size:
            for (std::size_t slot = 1; slot < paths.size(); ++slot) {
                const PathInfo info = files.Lookup(paths[slot]);
                if (info.kind != PathKind::Missing) keys[slot] = NumberKey(info.identity.size);
            }
            return true;
        case SortKey::Extension:
            for (std::size_t slot = 1; slot < paths.size(); ++slot) keys[slot] = ExtensionKey(paths[slot], files.conventions());
            return true;
        case SortKey::Taken:
        case SortKey::Modified: {
            const Field field = key == SortKey::Taken ? Field::Taken : Field::Modified;
            std::vector<FileMetadata> found;
            if (!ReadMany(reader, listed, FieldSet().Add(field), options, found)) return false;
            for (std::size_t i = 0; i < found.size(); ++i)
                if (const auto& value = found[i].Value(field); value && std::holds_alternative<DateValue>(*value))
                    keys[i + 1] = OrderKey(InZone(std::get<DateValue>(*value), zone));
            return true;
        }
    }
    return true;
}

}  // namespace quil::metadata
