#include "engine/metadata/order_listing.h"

#include "engine/metadata/date_format.h"
#include "engine/metadata/read_many.h"

namespace quil::metadata {

bool OrderListing(Session& session, BatchDialog& dialog, const ListOrder& order, const MetadataReader& reader,
                  FileServices& files) {
    std::vector<std::optional<std::string>> keys;
    bool read = false;
    dialog.RunLong(LongStep::Reading, [&](StepMonitor& monitor) {
        read = OrderKeysOf(order.key, session.state().oldPaths, reader, files, order.movieZone, ReportingTo(monitor),
                           keys);
    });
    if (read) session.Reorder(keys, order.reverse);
    return read;
}

bool NarrowByTaken(Session& session, BatchDialog& dialog, const ListFilter& filter, const Zone& movieZone,
                   const MetadataReader& reader) {
    const std::vector<std::string>& paths = session.state().oldPaths;
    const std::vector<std::string> listed(paths.begin() + (paths.empty() ? 0 : 1), paths.end());
    std::vector<FileMetadata> found;
    bool read = false;
    dialog.RunLong(LongStep::Reading, [&](StepMonitor& monitor) {
        read = ReadMany(reader, listed, FieldSet().Add(Field::Taken), ReportingTo(monitor), found);
    });
    if (!read) return false;
    std::vector<bool> keep(paths.size(), false);
    for (std::size_t i = 0; i < found.size(); ++i) {
        const auto& value = found[i].Value(Field::Taken);
        if (!value || !std::holds_alternative<DateValue>(*value)) continue;
        const std::int64_t taken = CivilSeconds(InZone(std::get<DateValue>(*value), movieZone).wallClock);
        keep[i + 1] =
            (!filter.takenAfter || taken > *filter.takenAfter) && (!filter.takenBefore || taken < *filter.takenBefore);
    }
    session.Keep(keep);
    return true;
}

}  // namespace quil::metadata
