// Scratch folders and files for tests, removed again with everything in them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ScratchDir {
public:
    // A new empty folder below `parent` (the system's temporary folder when
    // empty).
    explicit ScratchDir(const std::string& parent = std::string());
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "\" + relative
    std::string operator/(const std::string& relative) const;

private:
    std::string path_;
};

// A file or folder moved out of the way for a scope and moved back after;
// whatever the scope left at the path is removed first.
class SavedPath {
public:
    explicit SavedPath(std::string path);
    ~SavedPath();
    SavedPath(const SavedPath&) = delete;
    SavedPath& operator=(const SavedPath&) = delete;

private:
    std::string path_;
    std::string backup_;
    bool saved_ = false;
};

// Writes `bytes` to `path`, creating its folders. False on any failure.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// A file of `size` bytes whose end is set past no data, so that it takes no
// room (sparse where the file system allows). False on any failure.
bool WriteSparseFile(const std::string& path, std::uint64_t size);
// Reads a whole file; false when it cannot be opened or read.
bool ReadFileBytes(const std::string& path, std::string* bytes);
bool PathExists(const std::string& path);
// Deletes a file or a folder with everything below it.
void RemoveTree(const std::string& path);
// Names in a folder, without "." and "..".
std::vector<std::string> FolderEntries(const std::string& folder);
// Moves every entry of folder `from` into folder `to`, which stays in place
// (a program may hold it open as its current directory). False when one
// could not be moved; the others are moved all the same.
bool MoveFolderEntries(const std::string& from, const std::string& to);
// Folder of the running test program (no trailing backslash).
std::string ProgramFolder();
// A program built next to the running test program.
std::string TestProgramPath(const std::string& fileName);
// Bytes 0..n-1 of a fixed pseudo-random sequence.
std::string PatternBytes(std::size_t n, unsigned seed = 1);
