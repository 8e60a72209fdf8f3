// Integers of a given byte order from bytes whose length the caller checked.
#pragma once

#include <cstdint>
#include <string_view>

namespace quil::metadata {

inline std::uint32_t Byte(std::string_view bytes, std::size_t at) { return static_cast<unsigned char>(bytes[at]); }

inline std::uint16_t Big16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(Byte(bytes, at) << 8 | Byte(bytes, at + 1));
}
inline std::uint32_t Big32(std::string_view bytes, std::size_t at) {
    return Byte(bytes, at) << 24 | Byte(bytes, at + 1) << 16 | Byte(bytes, at + 2) << 8 | Byte(bytes, at + 3);
}
inline std::uint64_t Big64(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint64_t>(Big32(bytes, at)) << 32 | Big32(bytes, at + 4);
}
inline std::uint16_t Little16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(Byte(bytes, at) | Byte(bytes, at + 1) << 8);
}
inline std::uint32_t Little24(std::string_view bytes, std::size_t at) {
    return Byte(bytes, at) | Byte(bytes, at + 1) << 8 | Byte(bytes, at + 2) << 16;
}
inline std::uint32_t Little32(std::string_view bytes, std::size_t at) {
    return Little24(bytes, at) | Byte(bytes, at + 3) << 24;
}

// Up to length bytes at at; empty where at lies past the end.
inline std::string_view Slice(std::string_view bytes, std::size_t at, std::size_t length) {
    return at > bytes.size() ? std::string_view() : bytes.substr(at, length);
}

// TIFF says its byte order in its first two bytes: "II" little-endian,
// "MM" big-endian.
struct TiffOrder {
    bool little = false;
    std::uint16_t U16(std::string_view bytes, std::size_t at) const {
        return little ? Little16(bytes, at) : Big16(bytes, at);
    }
    std::uint32_t U32(std::string_view bytes, std::size_t at) const {
        return little ? Little32(bytes, at) : Big32(bytes, at);
    }
};

}  // namespace quil::metadata
