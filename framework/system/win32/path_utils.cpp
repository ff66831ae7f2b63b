#include "framework/system/win32/path_utils.h"

#include <windows.h>

#include <cstring>

#include "framework/system/wide_path_text.h"
#include "framework/system/win32/wide_text.h"

namespace {

bool HasDriveLetter(const char* path) {
    // A lead byte followed by ':' is a double-byte character, not a drive.
    return path[0] != '\0' && !Cp932LeadBytes().IsLead(static_cast<unsigned char>(path[0])) &&
           path[1] == ':';
}

bool HasDriveLetter(const wchar_t* path) { return path[0] != L'\0' && path[1] == L':'; }

// The system's full path of a path without a drive letter.
bool SystemFullPath(const wchar_t* path, std::wstring* out) {
    wchar_t full[kMaxPath + 1];
    const DWORD n = GetFullPathNameW(path, kMaxPath + 1, full, nullptr);
    if (n == 0 || n >= kMaxPath) return false;
    out->assign(full, n);
    return true;
}

}  // namespace

bool GetFullPath(char* out, std::size_t cap, const char* path) {
    if (HasDriveLetter(path)) return NormalizeSeparators(out, cap, path, Cp932LeadBytes());
    std::wstring wide;
    std::wstring full;
    std::string narrow;
    if (!WidenShiftJis(path, &wide) || !SystemFullPath(wide.c_str(), &full) ||
        !NarrowToShiftJis(full, &narrow)) {
        if (cap > 0) out[0] = '\0';
        return false;
    }
    return CopyText(out, cap, narrow.c_str());
}

bool SplitPath(char* dir, std::size_t dirCap, char* name, std::size_t nameCap, const char* path) {
    char full[kMaxPath + 1];
    if (!GetFullPath(full, path)) return false;
    const char* sep = LastInnerSeparator(full, Cp932LeadBytes());
    if (sep == nullptr) return false;

    std::size_t dirLen = static_cast<std::size_t>(sep - full);
    const char* rest = sep + 1;
    std::size_t nameLen = std::strlen(rest);
    if (EndsWithSeparator(rest, Cp932LeadBytes())) --nameLen;
    if (dirLen >= dirCap || nameLen >= nameCap) return false;
    CopyText(dir, dirCap, full, dirLen);
    CopyText(name, nameCap, rest, nameLen);
    return true;
}

void SplitExtension(char* base, std::size_t baseCap, char* ext, std::size_t extCap, const char* path) {
    char dir[kMaxPath];
    char name[kMaxPath];
    if (!SplitPath(dir, name, path)) return;
    const char* dot = LastDot(name, Cp932LeadBytes());
    if (dot == nullptr) return;
    std::size_t baseLen = static_cast<std::size_t>(dot - name);
    if (baseLen >= baseCap || std::strlen(dot + 1) >= extCap) return;
    CopyText(base, baseCap, name, baseLen);
    CopyText(ext, extCap, dot + 1);
}

bool GetParentDirectory(char* dir, std::size_t cap, const char* path) {
    char full[kMaxPath + 1];
    if (!GetFullPath(full, path)) return false;
    const char* sep = LastInnerSeparator(full, Cp932LeadBytes());
    if (sep == nullptr) return false;
    std::size_t len = static_cast<std::size_t>(sep - full);
    if (!CopyText(dir, cap, full, len)) return false;
    return std::strcmp(dir, "\\") != 0;
}

void LowercaseLetters(char* s) { LowercaseAscii(s, Cp932LeadBytes()); }

void CreateDirectoryTree(const char* path) {
    std::wstring wide;
    if (WidenShiftJis(path, &wide)) CreateDirectoryTree(wide.c_str());
}

bool GetFullPath(std::wstring* out, const wchar_t* path) {
    if (!HasDriveLetter(path)) return SystemFullPath(path, out);
    const std::u16string normal = NormalizeSeparators(AsUtf16(path));
    if (!FitsPath(normal)) return false;
    out->assign(AsWide(normal));
    return true;
}

bool SplitPath(std::wstring* dir, std::wstring* name, const wchar_t* path) {
    std::wstring full;
    if (!GetFullPath(&full, path)) return false;
    const std::size_t sep = LastInnerSeparator(AsUtf16(full));
    if (sep == std::wstring::npos) return false;
    std::wstring rest = full.substr(sep + 1);
    if (!rest.empty() && rest.back() == L'\\') rest.pop_back();
    dir->assign(full, 0, sep);
    *name = rest;
    return true;
}

void CreateDirectoryTree(const wchar_t* path) {
    const std::u16string work = NormalizeSeparators(AsUtf16(path));
    if (!FitsPath(work)) return;
    const std::size_t start =
        HasDriveLetter(path) && (path[2] == L'\\' || path[2] == L'/') ? 3 : 0;
    for (std::size_t i = work.find(u'\\', start); i != std::u16string::npos;
         i = work.find(u'\\', i + 1)) {
        if (i > 0) CreateDirectoryW(AsWide(work.substr(0, i).c_str()), nullptr);
    }
    CreateDirectoryW(AsWide(work.c_str()), nullptr);
}
