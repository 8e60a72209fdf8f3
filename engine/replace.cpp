#include "engine/replace.h"

#include <algorithm>

#include "engine/path_rules.h"

namespace quil {
namespace {

// What a field's buffer holds beside its terminating zero: kFieldChars - 1
// characters as the platform counts them (UTF-16 units on Windows), never
// part of one.
std::string_view FieldText(std::string_view text, const Conventions& conventions) {
    std::size_t end = 0, length = 0;
    while (end < text.size()) {
        std::size_t next = end + 1;
        while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80) ++next;
        length += PathLength(text.substr(end, next - end), conventions);
        if (length >= kFieldChars) break;
        end = next;
    }
    return text.substr(0, end);
}

// The first match of old at or after from that starts on a character
// boundary. boundary is a known boundary at or before from, kept between
// calls so that the walk over the text stays linear.
std::size_t FindOnBoundary(const std::string& text, std::string_view old, std::size_t from,
                           std::size_t& boundary, LeadBytePredicate isLeadByte) {
    for (std::size_t match = text.find(old, from); match != std::string::npos; match = text.find(old, match + 1)) {
        if (isLeadByte == nullptr) return match;
        while (boundary < match) boundary += isLeadByte(static_cast<unsigned char>(text[boundary])) ? 2 : 1;
        if (boundary == match) return match;
    }
    return std::string::npos;
}

}  // namespace

void ReplaceAll(std::string& text, std::string_view old, std::string_view replacement,
                LeadBytePredicate isLeadByte) {
    if (old.empty()) return;
    std::size_t boundary = 0;
    std::size_t match = FindOnBoundary(text, old, 0, boundary, isLeadByte);
    if (match == std::string::npos) return;

    // Room for the most the text can grow, up to twice its size: pages that
    // are reserved but never written cost nothing, while growing a list
    // that no longer fits the caches by doubling costs a full extra copy.
    std::string result;
    const std::size_t most = replacement.size() <= old.size()
                                 ? text.size()
                                 : text.size() + text.size() / old.size() * (replacement.size() - old.size());
    result.reserve(std::min(most, 2 * text.size()));
    std::size_t copied = 0;
    while (match != std::string::npos) {
        result.append(text, copied, match - copied).append(replacement);
        copied = match + old.size();
        boundary = copied;
        match = FindOnBoundary(text, old, copied, boundary, isLeadByte);
    }
    result.append(text, copied, std::string::npos);
    text.swap(result);
}

void ApplyReplace(BatchState& state, std::string_view find, std::string_view with, const Conventions& conventions,
                  LeadBytePredicate isLeadByte) {
    state.replaced = 1;
    find = FieldText(find, conventions);
    with = FieldText(with, conventions);
    if (!find.empty()) {
        ReplaceAll(state.text, find, with, isLeadByte);
        return;
    }
    if (with.empty()) return;

    // Prefix mode: with goes after every "\n" and at the very start, except
    // where the line there is empty: that file stays marked for deletion.
    const std::string_view lineBreak(conventions.lineBreak);
    const std::string& text = state.text;
    auto lineIsEmpty = [&](std::size_t start) {
        return start == text.size() || text.compare(start, lineBreak.size(), lineBreak) == 0;
    };
    std::string result;
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    result.reserve(text.size() + lines * with.size());
    if (!lineIsEmpty(0)) result.append(with);
    std::size_t copied = 0;
    for (std::size_t feed = text.find('\n'); feed != std::string::npos; feed = text.find('\n', feed + 1)) {
        result.append(text, copied, feed + 1 - copied);
        copied = feed + 1;
        if (!lineIsEmpty(copied)) result.append(with);
    }
    result.append(text, copied, std::string::npos);
    state.text.swap(result);
}

}  // namespace quil
