#include <windows.h>

#include "platform/code_page.h"

namespace quil {
namespace {

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

}  // namespace

// The manifest asks for UTF-8 as the active code page; older Windows ignore
// that and keep a legacy one, which may be double-byte (932, 936, 949, 950).
LeadBytePredicate ActiveLeadBytes() {
    CPINFO info;
    if (GetACP() == CP_UTF8 || !GetCPInfo(CP_ACP, &info) || info.MaxCharSize < 2) return nullptr;
    return &IsLeadByte;
}

}  // namespace quil
