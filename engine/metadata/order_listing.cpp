#include "engine/metadata/order_listing.h"

namespace quil::metadata {

bool OrderListing(Session& session, BatchDialog& dialog, const ListOrder& order, const MetadataReader& reader,
                  FileServices& files) {
    std::vector<std::optional<std::string>> keys;
    bool read = false;
    dialog.RunLong(LongStep::Reading, [&](StepMonitor& monitor) {
        read = OrderKeysOf(order.key, session.state().oldPaths, reader, files, order.movieZone, ReportingTo(monitor), keys);
    });
    if (read) session.Reorder(keys, order.reverse);
    return read;
}

}  // namespace quil::metadata
