#include "engine/metadata/name_piece.h"

#include <cstdio>

#include "engine/path_rules.h"

namespace quil::metadata {
namespace {

void NoteReplaced(std::string& replaced, unsigned char ch) {
    char shown[8];
    if (ch < 0x20 || ch == 0x7F) std::snprintf(shown, sizeof shown, "\\x%02X", ch);
    else std::snprintf(shown, sizeof shown, "%c", ch);
    if (replaced.find(shown) != std::string::npos) return;
    if (!replaced.empty()) replaced += ' ';
    replaced += shown;
}

}  // namespace

NamePiece MakeNamePiece(std::string_view value, bool windowsNames) {
    NamePiece piece;
    piece.text.reserve(value.size());
    for (const char ch : value) {
        const auto byte = static_cast<unsigned char>(ch);
        const bool refused = byte == '/' || byte < 0x20 || byte == 0x7F ||
                             (windowsNames && (byte == '\\' || IsWindowsReservedCharacter(byte)));
        if (refused) NoteReplaced(piece.replaced, byte);
        piece.text += refused ? '_' : ch;
    }
    if (windowsNames && !piece.text.empty() && (piece.text.back() == '.' || piece.text.back() == ' ')) {
        NoteReplaced(piece.replaced, static_cast<unsigned char>(piece.text.back()));
        piece.text.back() = '_';
    }
    return piece;
}

}  // namespace quil::metadata
