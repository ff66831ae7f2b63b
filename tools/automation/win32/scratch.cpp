#include "tools/automation/win32/scratch.h"

#include <windows.h>

#include <atomic>
#include <utility>

#include "framework/system/win32/unique_handle.h"
#include "framework/system/win32/wide_text.h"

ScratchDir::ScratchDir(const std::wstring& parent) {
    std::wstring base = parent;
    if (base.empty()) {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        base = temp;
    }
    if (!base.empty() && base.back() == L'\\') base.pop_back();
    static std::atomic<unsigned> counter{0};
    for (;;) {
        path_ = base + L"\\setup-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter++);
        if (CreateDirectoryW(path_.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

std::wstring ScratchDir::operator/(const std::wstring& relative) const {
    return path_ + L"\\" + relative;
}

static void CreateParents(const std::wstring& path) {
    for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos;
         at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
}

bool CreateFolder(const std::wstring& folder) {
    CreateParents(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    return PathExists(folder);
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    CreateParents(path);
    const unique_hfile h(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() ||
              WriteFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return ok && written == bytes.size();
}

bool WriteSparseFile(const std::wstring& path, std::uint64_t size) {
    CreateParents(path);
    const unique_hfile h(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    return h && SetFilePointerEx(h.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(h.get());
}

bool ReadFileBytes(const std::wstring& path, std::string* bytes) {
    const unique_hfile h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return false;
    DWORD size = GetFileSize(h.get(), nullptr);
    bytes->assign(size, '\0');
    DWORD read = 0;
    BOOL ok = size == 0 || ReadFile(h.get(), &(*bytes)[0], size, &read, nullptr);
    return ok && read == size;
}

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTree(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
        return;
    }
    for (const std::wstring& name : FolderEntries(path)) RemoveTree(path + L"\\" + name);
    RemoveDirectoryW(path.c_str());
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    const unique_hfind find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find) return names;
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find.get(), &data));
    return names;
}

bool MoveFolderEntries(const std::wstring& from, const std::wstring& to) {
    bool ok = true;
    for (const std::wstring& name : FolderEntries(from)) {
        if (!MoveFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str())) ok = false;
    }
    return ok;
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s = path;
    return s.substr(0, s.find_last_of(L'\\'));
}

std::wstring TestProgramPath(const std::wstring& fileName) {
    return ProgramFolder() + L"\\" + fileName;
}

std::string PatternBytes(std::size_t n, unsigned seed) {
    std::string s(n, '\0');
    unsigned x = seed * 2654435761u + 12345u;
    for (std::size_t i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s[i] = static_cast<char>(x >> 11);
    }
    return s;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &out[0], bytes, nullptr, nullptr);
    return out;
}

std::string ShiftJisPath(const std::wstring& path) {
    std::string narrow;
    NarrowToShiftJis(path, &narrow);
    return narrow;
}

SavedPath::SavedPath(std::wstring path) : path_(std::move(path)), backup_(path_ + L".test-saved") {
    if (path_.empty()) return;
    RemoveTree(backup_);
    saved_ = PathExists(path_) && MoveFileW(path_.c_str(), backup_.c_str());
}

SavedPath::~SavedPath() {
    if (path_.empty()) return;
    RemoveTree(path_);
    if (saved_) MoveFileW(backup_.c_str(), path_.c_str());
}
