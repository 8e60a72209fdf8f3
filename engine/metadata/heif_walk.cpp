// HEIF and AVIF: the file-level meta box lists the items (iinf), where
// their bytes lie (iloc) and their properties (iprp). The EXIF is the item
// of type "Exif", whose bytes start with the offset of the TIFF header
// after them; the pixel size is the ispe property of the primary item.
#include <vector>

#include "engine/metadata/byte_order.h"
#include "engine/metadata/iso_boxes.h"

namespace quil::metadata {
namespace {

struct Extent {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct ItemLocation {
    bool found = false;
    int constructionMethod = 0;  // 0: offsets in the file, 1: in the idat box
    std::vector<Extent> extents;
};

// Reads fields of the widths a box gives, in order, over its bytes; any
// read past the end fails the whole box.
class Fields {
public:
    Fields(std::string_view bytes, std::size_t at) : bytes_(bytes), at_(at) {}
    bool ok() const { return ok_; }
    std::size_t at() const { return at_; }
    std::uint64_t Take(unsigned bytes) {
        if (bytes == 0) return 0;
        if (!ok_ || bytes > 8 || at_ + bytes > bytes_.size()) {
            ok_ = false;
            return 0;
        }
        std::uint64_t value = 0;
        for (unsigned i = 0; i < bytes; ++i) value = value << 8 | Byte(bytes_, at_ + i);
        at_ += bytes;
        return value;
    }
    std::string_view TakeText(std::size_t length) {
        if (!ok_ || at_ + length > bytes_.size()) {
            ok_ = false;
            return {};
        }
        at_ += length;
        return bytes_.substr(at_ - length, length);
    }

private:
    std::string_view bytes_;
    std::size_t at_;
    bool ok_ = true;
};

// The contents of a box held in bytes, read field by field.
Fields Contents(std::string_view bytes, const Box& box) {
    return Fields(bytes.substr(0, static_cast<std::size_t>(box.end)), static_cast<std::size_t>(box.body));
}

// A full box starts with its version (8 bits) and flags (24 bits).
struct FullBox {
    explicit FullBox(Fields& fields) : version(static_cast<unsigned>(fields.Take(1))), flags(fields.Take(3)) {}
    unsigned version;
    std::uint64_t flags;
};

std::uint32_t PrimaryItem(std::string_view meta, const Box& pitm) {
    Fields fields = Contents(meta, pitm);
    const FullBox full(fields);
    const std::uint64_t id = fields.Take(full.version == 0 ? 2 : 4);
    return fields.ok() ? static_cast<std::uint32_t>(id) : 0;
}

// The item whose infe entry names the type "Exif"; 0 where none does.
std::uint32_t ExifItem(std::string_view meta, const Box& iinf) {
    Fields fields = Contents(meta, iinf);
    const FullBox full(fields);
    fields.Take(full.version == 0 ? 2 : 4);  // entry_count: the boxes that follow say it too
    if (!fields.ok()) return 0;
    std::uint32_t exif = 0;
    ForEachBox(meta.substr(0, static_cast<std::size_t>(iinf.end)), fields.at(), [&](const Box& infe) {
        if (infe.type != "infe") return true;
        Fields entry = Contents(meta, infe);
        const FullBox info(entry);
        if (info.version < 2) return true;  // versions 0 and 1 name no item type
        const std::uint64_t id = entry.Take(info.version == 2 ? 2 : 4);
        entry.Take(2);  // item_protection_index
        const std::string_view type = entry.TakeText(4);
        if (entry.ok() && type == "Exif") exif = static_cast<std::uint32_t>(id);
        return exif == 0;
    });
    return exif;
}

constexpr std::uint64_t kMostExtents = 64;

ItemLocation LocationOf(std::string_view meta, const Box& iloc, std::uint32_t item) {
    Fields fields = Contents(meta, iloc);
    const FullBox full(fields);
    const unsigned sizes = static_cast<unsigned>(fields.Take(2));
    const unsigned offsetSize = sizes >> 12, lengthSize = (sizes >> 8) & 15, baseOffsetSize = (sizes >> 4) & 15;
    const unsigned indexSize = full.version >= 1 ? sizes & 15 : 0;
    const std::uint64_t items = fields.Take(full.version < 2 ? 2 : 4);
    for (std::uint64_t i = 0; i < items && fields.ok(); ++i) {
        const std::uint64_t id = fields.Take(full.version < 2 ? 2 : 4);
        const int method = full.version >= 1 ? static_cast<int>(fields.Take(2) & 15) : 0;
        fields.Take(2);  // data_reference_index
        const std::uint64_t base = fields.Take(baseOffsetSize);
        const std::uint64_t extentCount = fields.Take(2);
        // Extents of no bytes at all would be read without end.
        if (extentCount > 0 && offsetSize + lengthSize + indexSize == 0) break;
        ItemLocation here{true, method, {}};
        for (std::uint64_t e = 0; e < extentCount && fields.ok(); ++e) {
            fields.Take(indexSize);
            const std::uint64_t offset = fields.Take(offsetSize);
            const std::uint64_t length = fields.Take(lengthSize);
            if (id == item && e < kMostExtents) here.extents.push_back({base + offset, length});
        }
        if (fields.ok() && id == item) {
            if (extentCount > kMostExtents) break;
            return here;
        }
    }
    return {};
}

// The ispe property (width and height) associated with the item.
std::optional<PixelSize> SizeOf(std::string_view meta, const Box& iprp, std::uint32_t item) {
    constexpr std::size_t kMostProperties = 4096;
    std::vector<Box> properties;
    std::optional<Box> ipma;
    ForEachBox(meta.substr(0, static_cast<std::size_t>(iprp.end)), static_cast<std::size_t>(iprp.body), [&](const Box& box) {
        if (box.type == "ipco")
            ForEachBox(meta.substr(0, static_cast<std::size_t>(box.end)), static_cast<std::size_t>(box.body),
                       [&](const Box& property) {
                           properties.push_back(property);
                           return properties.size() < kMostProperties;
                       });
        else if (box.type == "ipma")
            ipma = box;
        return true;
    });
    if (!ipma) return std::nullopt;
    Fields fields = Contents(meta, *ipma);
    const FullBox full(fields);
    const bool wideIndex = (full.flags & 1) != 0;
    const std::uint64_t entries = fields.Take(4);
    for (std::uint64_t i = 0; i < entries && fields.ok(); ++i) {
        const std::uint64_t id = fields.Take(full.version < 1 ? 2 : 4);
        const std::uint64_t associations = fields.Take(1);
        for (std::uint64_t a = 0; a < associations && fields.ok(); ++a) {
            // The top bit says "essential"; the rest is the property's index from 1.
            const std::uint64_t index = fields.Take(wideIndex ? 2 : 1) & (wideIndex ? 0x7FFF : 0x7F);
            if (id != item || index == 0 || index > properties.size()) continue;
            const Box& property = properties[index - 1];
            if (property.type != "ispe") continue;
            Fields size = Contents(meta, property);
            size.Take(4);  // version and flags
            const std::uint64_t width = size.Take(4), height = size.Take(4);
            if (size.ok()) return PixelSize{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
        }
    }
    return std::nullopt;
}

// The item's bytes, its extents joined, from the file or from idat.
bool ItemBytes(BoundedFile& file, std::string_view meta, const ItemLocation& location, const std::optional<Box>& idat,
               std::string& bytes, ContainerFindings& found) {
    for (const Extent& extent : location.extents) {
        // An extent of length 0 stands for the whole file: no Exif item is that.
        if (extent.length == 0 || extent.length > kReadLimit || bytes.size() + extent.length > kReadLimit) {
            found.problem = "the Exif item's location is not one this program reads";
            return false;
        }
        if (location.constructionMethod == 1) {
            if (!idat || extent.offset > idat->end - idat->body || extent.length > idat->end - idat->body - extent.offset) {
                found.problem = "the Exif item lies outside its idat box";
                return false;
            }
            bytes.append(meta.substr(static_cast<std::size_t>(idat->body + extent.offset), static_cast<std::size_t>(extent.length)));
        } else {
            const Range range = file.Get(extent.offset, static_cast<std::size_t>(extent.length));
            if (!range.ok()) return Failed(range, "its Exif item", found);
            bytes.append(range.bytes);
        }
    }
    return true;
}

// meta: the meta box whose contents start at body, after its header.
void ReadMeta(BoundedFile& file, std::string_view meta, std::size_t body, ContainerFindings& found) {
    std::optional<Box> pitm, iinf, iloc, iprp, idat;
    ForEachBox(meta, body + 4, [&](const Box& box) {  // after its version and flags
        if (box.type == "pitm") pitm = box;
        else if (box.type == "iinf") iinf = box;
        else if (box.type == "iloc") iloc = box;
        else if (box.type == "iprp") iprp = box;
        else if (box.type == "idat") idat = box;
        return true;
    });
    if (pitm && iprp) found.pixels = SizeOf(meta, *iprp, PrimaryItem(meta, *pitm));
    const std::uint32_t exif = iinf ? ExifItem(meta, *iinf) : 0;
    if (exif == 0 || !iloc) return;
    const ItemLocation location = LocationOf(meta, *iloc, exif);
    if (!location.found) {
        found.problem = "the Exif item has no location";
        return;
    }
    std::string bytes;
    if (!ItemBytes(file, meta, location, idat, bytes, found)) return;
    const std::string_view item = bytes.size() < 4 ? "" : file.Keep(std::move(bytes));
    // The item starts with the offset of the TIFF header after these 4 bytes.
    if (item.size() < 4 || Big32(item, 0) > item.size() - 4) {
        found.problem = "the Exif item is damaged";
        return;
    }
    found.exif = ExifBlockOf(file, item.substr(4 + Big32(item, 0)));
    if (found.exif.empty()) found.problem = "the Exif item holds no TIFF structure";
}

}  // namespace

void WalkHeif(BoundedFile& file, ContainerFindings& found) {
    ForEachBox(file, 0, file.size(), found, [&](const Box& box) {
        if (box.type != "meta") return true;
        const Range meta = file.Get(box.start, static_cast<std::size_t>(box.end - box.start));
        if (!meta.ok()) return Failed(meta, "its meta box", found);
        // Offsets in the box are from its start: a view from there keeps them.
        ReadMeta(file, meta.bytes, static_cast<std::size_t>(box.body - box.start), found);
        return false;
    });
}

}  // namespace quil::metadata
