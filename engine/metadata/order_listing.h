// A listing ordered by a key before any edit (quil --sort, the window's
// Order by): what the key needs is read on the dialog's long step, which
// the user may stop.
#pragma once

#include "engine/batch_flow.h"
#include "engine/metadata/order_keys.h"
#include "engine/session.h"

namespace quil::metadata {

struct ListOrder {
    SortKey key = SortKey::Name;
    bool reverse = false;  // the greatest first
    Zone movieZone;        // where a movie header's UTC time is shown
};

// False when the user stopped the reading: the listing is then as it was.
bool OrderListing(Session& session, BatchDialog& dialog, const ListOrder& order, const MetadataReader& reader,
                  FileServices& files);

// Keeps the listed files taken within filter's takenAfter and takenBefore
// (wall-clock times; an instant shown in movieZone); files without a date
// taken are left out. False when the user stopped the reading: the listing
// is then as it was.
bool NarrowByTaken(Session& session, BatchDialog& dialog, const ListFilter& filter, const Zone& movieZone,
                   const MetadataReader& reader);

}  // namespace quil::metadata
