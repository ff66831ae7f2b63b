// Scratch folders and files for tests, removed again with everything in them.
// Paths are UTF-16, as the system has them, so they may hold any character
// whatever the system's code page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ScratchDir {
public:
    // A new empty folder below `parent` (the system's temporary folder when
    // empty).
    explicit ScratchDir(const std::wstring& parent = std::wstring());
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::wstring& path() const { return path_; }
    // path() + "\" + relative
    std::wstring operator/(const std::wstring& relative) const;

private:
    std::wstring path_;
};

// A file or folder moved out of the way for a scope and moved back after;
// whatever the scope left at the path is removed first.
class SavedPath {
public:
    explicit SavedPath(std::wstring path);
    ~SavedPath();
    SavedPath(const SavedPath&) = delete;
    SavedPath& operator=(const SavedPath&) = delete;

private:
    std::wstring path_;
    std::wstring backup_;
    bool saved_ = false;
};

// Writes `bytes` to `path`, creating its folders. False on any failure.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// A file of `size` bytes whose end is set past no data, so that it takes no
// room (sparse where the file system allows). False on any failure.
bool WriteSparseFile(const std::wstring& path, std::uint64_t size);
// Creates `folder` with its missing parents; true when it exists then.
bool CreateFolder(const std::wstring& folder);
// Reads a whole file; false when it cannot be opened or read.
bool ReadFileBytes(const std::wstring& path, std::string* bytes);
bool PathExists(const std::wstring& path);
// Deletes a file or a folder with everything below it.
void RemoveTree(const std::wstring& path);
// Names in a folder, without "." and "..".
std::vector<std::wstring> FolderEntries(const std::wstring& folder);
// Moves every entry of folder `from` into folder `to`, which stays in place
// (a program may hold it open as its current directory). False when one
// could not be moved; the others are moved all the same.
bool MoveFolderEntries(const std::wstring& from, const std::wstring& to);
// Folder of the running test program (no trailing backslash).
std::wstring ProgramFolder();
// A program built next to the running test program.
std::wstring TestProgramPath(const std::wstring& fileName);
// Bytes 0..n-1 of a fixed pseudo-random sequence.
std::string PatternBytes(std::size_t n, unsigned seed = 1);
// `text` in UTF-8, for output to a terminal or a log.
std::string Utf8(const std::wstring& text);
// A path of the test's own folders for the code that takes the disc's data
// paths, which are Shift-JIS; empty when code page 932 cannot hold it.
std::string ShiftJisPath(const std::wstring& path);
