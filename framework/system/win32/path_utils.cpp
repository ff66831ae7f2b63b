#include "framework/system/win32/path_utils.h"

#include <windows.h>

#include <cstring>

namespace {

LeadByteTable MakeAnsiTable() {
    LeadByteTable t{};
    for (int c = 0; c < 256; ++c) t.lead[c] = IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE;
    return t;
}

bool HasDriveLetter(const char* path) {
    // A lead byte followed by ':' is a double-byte character, not a drive.
    return path[0] != '\0' && !AnsiLeadBytes().IsLead(static_cast<unsigned char>(path[0])) &&
           path[1] == ':';
}

}  // namespace

const LeadByteTable& AnsiLeadBytes() {
    static const LeadByteTable table = MakeAnsiTable();
    return table;
}

bool GetFullPath(char* out, std::size_t cap, const char* path) {
    if (HasDriveLetter(path)) return NormalizeSeparators(out, cap, path, AnsiLeadBytes());
    char full[kMaxPath + 1];
    DWORD n = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full) {
        if (cap > 0) out[0] = '\0';
        return false;
    }
    return CopyText(out, cap, full, n);
}

bool SplitPath(char* dir, std::size_t dirCap, char* name, std::size_t nameCap, const char* path) {
    char full[kMaxPath + 1];
    if (!GetFullPath(full, path)) return false;
    const char* sep = LastInnerSeparator(full, AnsiLeadBytes());
    if (sep == nullptr) return false;

    std::size_t dirLen = static_cast<std::size_t>(sep - full);
    const char* rest = sep + 1;
    std::size_t nameLen = std::strlen(rest);
    if (EndsWithSeparator(rest, AnsiLeadBytes())) --nameLen;
    if (dirLen >= dirCap || nameLen >= nameCap) return false;
    CopyText(dir, dirCap, full, dirLen);
    CopyText(name, nameCap, rest, nameLen);
    return true;
}

void SplitExtension(char* base, std::size_t baseCap, char* ext, std::size_t extCap, const char* path) {
    char dir[kMaxPath];
    char name[kMaxPath];
    if (!SplitPath(dir, name, path)) return;
    const char* dot = LastDot(name, AnsiLeadBytes());
    if (dot == nullptr) return;
    std::size_t baseLen = static_cast<std::size_t>(dot - name);
    if (baseLen >= baseCap || std::strlen(dot + 1) >= extCap) return;
    CopyText(base, baseCap, name, baseLen);
    CopyText(ext, extCap, dot + 1);
}

bool GetParentDirectory(char* dir, std::size_t cap, const char* path) {
    char full[kMaxPath + 1];
    if (!GetFullPath(full, path)) return false;
    const char* sep = LastInnerSeparator(full, AnsiLeadBytes());
    if (sep == nullptr) return false;
    std::size_t len = static_cast<std::size_t>(sep - full);
    if (!CopyText(dir, cap, full, len)) return false;
    return std::strcmp(dir, "\\") != 0;
}

void CreateDirectoryTree(const char* path) {
    const LeadByteTable& lead = AnsiLeadBytes();
    char work[kMaxPath];
    if (!NormalizeSeparators(work, sizeof work, path, lead)) return;

    std::size_t start = 0;
    if (HasDriveLetter(path) && (path[2] == '\\' || path[2] == '/')) start = 3;

    for (std::size_t i = start; work[i] != '\0';) {
        std::size_t len = CharLength(work + i, lead);
        if (len == 1 && work[i] == '\\') {
            work[i] = '\0';
            if (work[0] != '\0') CreateDirectoryA(work, nullptr);
            work[i] = '\\';
        }
        i += len;
    }
    CreateDirectoryA(work, nullptr);
}

void LowercaseLetters(char* s) { LowercaseAscii(s, AnsiLeadBytes()); }

bool ShiftJisFromUtf16(char* out, std::size_t cap, const wchar_t* text) {
    if (cap == 0) return false;
    BOOL lossy = FALSE;
    const int bytes = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, text, -1, out,
                                          static_cast<int>(cap), nullptr, &lossy);
    if (bytes > 0 && !lossy) return true;
    out[0] = '\0';
    return false;
}
