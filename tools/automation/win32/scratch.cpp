#include "tools/automation/win32/scratch.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <utility>

#include "framework/system/win32/unique_handle.h"

ScratchDir::ScratchDir(const std::string& parent) {
    std::string base = parent;
    if (base.empty()) {
        char temp[MAX_PATH + 1] = {};
        GetTempPathA(sizeof temp, temp);
        base = temp;
    }
    if (!base.empty() && base.back() == '\\') base.pop_back();
    static std::atomic<unsigned> counter{0};
    for (;;) {
        char name[64];
        std::snprintf(name, sizeof name, "\\setup-test-%lu-%u", GetCurrentProcessId(),
                      counter++);
        path_ = base + name;
        if (CreateDirectoryA(path_.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

std::string ScratchDir::operator/(const std::string& relative) const {
    return path_ + "\\" + relative;
}

static void CreateParents(const std::string& path) {
    // Walks whole characters: a Japanese folder name may hold 0x5C bytes.
    const char* begin = path.c_str();
    for (const char* p = begin; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\' && p - begin > 2)
            CreateDirectoryA(std::string(begin, p).c_str(), nullptr);
    }
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    CreateParents(path);
    const unique_hfile h(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() ||
              WriteFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return ok && written == bytes.size();
}

bool WriteSparseFile(const std::string& path, std::uint64_t size) {
    CreateParents(path);
    const unique_hfile h(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    return h && SetFilePointerEx(h.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(h.get());
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
    const unique_hfile h(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return false;
    DWORD size = GetFileSize(h.get(), nullptr);
    bytes->assign(size, '\0');
    DWORD read = 0;
    BOOL ok = size == 0 || ReadFile(h.get(), &(*bytes)[0], size, &read, nullptr);
    return ok && read == size;
}

bool PathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTree(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA data;
    const unique_hfind find(FindFirstFileA((path + "\\*").c_str(), &data));
    if (find) {
        do {
            std::string name = data.cFileName;
            if (name != "." && name != "..") RemoveTree(path + "\\" + name);
        } while (FindNextFileA(find.get(), &data));
    }
    RemoveDirectoryA(path.c_str());
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    const unique_hfind find(FindFirstFileA((folder + "\\*").c_str(), &data));
    if (!find) return names;
    do {
        std::string name = data.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(find.get(), &data));
    return names;
}

bool MoveFolderEntries(const std::string& from, const std::string& to) {
    bool ok = true;
    for (const std::string& name : FolderEntries(from)) {
        if (!MoveFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str())) ok = false;
    }
    return ok;
}

std::string ProgramFolder() {
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s = path;
    return s.substr(0, s.find_last_of('\\'));
}

std::string TestProgramPath(const std::string& fileName) { return ProgramFolder() + "\\" + fileName; }

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

SavedPath::SavedPath(std::string path) : path_(std::move(path)), backup_(path_ + ".test-saved") {
    if (path_.empty()) return;
    RemoveTree(backup_);
    saved_ = PathExists(path_) && MoveFileA(path_.c_str(), backup_.c_str());
}

SavedPath::~SavedPath() {
    if (path_.empty()) return;
    RemoveTree(path_);
    if (saved_) MoveFileA(backup_.c_str(), path_.c_str());
}
