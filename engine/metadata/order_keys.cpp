#include "engine/metadata/order_keys.h"

#include "engine/list_order.h"

namespace quil::metadata {
namespace {

constexpr std::pair<const char*, SortKey> kKeys[] = {{"name", SortKey::Name},
                                                     {"taken", SortKey::Taken},
                                                     {"mtime", SortKey::Modified},
                                                     {"size", SortKey::Size},
                                                     {"ext", SortKey::Extension}};

}  // namespace

bool ParseSortKey(std::string_view word, SortKey& key) {
    for (const auto& [name, value] : kKeys)
        if (word == name) {
            key = value;
            return true;
        }
    return false;
}

const char* SortKeyWords() { return "name taken mtime size ext"; }

bool OrderKeysOf(SortKey key, const std::vector<std::string>& paths, const MetadataReader& reader, FileServices& files,
                 const Zone& zone, const ReadManyOptions& options, std::vector<std::optional<std::string>>& keys) {
    keys.assign(paths.size(), std::nullopt);
    const std::vector<std::string> listed(paths.begin() + (paths.empty() ? 0 : 1), paths.end());
    switch (key) {
        case SortKey::Name: return true;
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
