#include "platform/code_page.h"

namespace quil {

std::size_t FindSeparator(std::string_view path, char separator, std::size_t from, LeadBytePredicate isLeadByte) {
    if (isLeadByte == nullptr) return path.find(separator, from);
    for (std::size_t at = from; at < path.size(); ++at) {
        if (path[at] == separator) return at;
        if (isLeadByte(static_cast<unsigned char>(path[at]))) ++at;
    }
    return std::string_view::npos;
}

}  // namespace quil
