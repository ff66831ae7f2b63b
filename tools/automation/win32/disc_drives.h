// The CD-ROM drives of the test prefix. M: to R: are CD-ROM drives (type 5)
// whose medium is the folder <drives>\<letter>; S: is a fixed drive. A disc
// is a folder prepared in the store; Insert moves its contents into a drive,
// Eject moves them back (an empty drive folder is an empty drive). This
// works while the program under test runs, even when the drive's root is its
// current directory.
#pragma once

#include <map>
#include <string>

// Puts a named disc into a drive (ejecting what is there): what the disc
// prompts of setup.exe are answered with.
class DiscChanger {
public:
    virtual bool Insert(char letter, const std::string& name) = 0;

protected:
    ~DiscChanger() = default;
};

class DiscDrives : public DiscChanger {
public:
    static constexpr char kFirstCdrom = 'm';
    static constexpr char kLastCdrom = 'r';
    static constexpr char kFixedDrive = 's';

    // False (with the test skipped by the caller) outside the test prefix.
    static bool Available();
    // Win32 path of the folder that is the medium of `letter`.
    static std::wstring MediumPath(char letter);

    DiscDrives();
    ~DiscDrives();  // ejects every disc it inserted and removes the store
    DiscDrives(const DiscDrives&) = delete;
    DiscDrives& operator=(const DiscDrives&) = delete;

    // A new empty disc folder named `name` (ASCII) in the store; returns its
    // path.
    std::wstring NewDisc(const std::string& name);
    // Adds a file (folders created) to a disc folder made by NewDisc.
    bool AddFile(const std::wstring& disc, const std::wstring& relativePath,
                 const std::string& bytes);

    // Puts disc `name` into drive `letter` (ejecting what is there).
    bool Insert(char letter, const std::string& name) override;
    // Takes the disc out of `letter`: the drive then has no medium.
    bool Eject(char letter);
    void EjectAll();

private:
    std::wstring StoredDisc(const std::string& name) const;

    std::wstring store_;
    std::map<char, std::string> inserted_;  // letter -> disc name
};
