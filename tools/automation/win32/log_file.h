// The logs of setup.exe and UnInstall.exe read back as a support desk reads
// them, and the temporary folder the programs a test starts write them to.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

// Points TEMP and TMP of this process, and so of every program it starts
// while the scope lives, at `folder`; puts back what was there.
class TempFolderScope {
public:
    explicit TempFolderScope(const std::wstring& folder);
    ~TempFolderScope();
    TempFolderScope(const TempFolderScope&) = delete;
    TempFolderScope& operator=(const TempFolderScope&) = delete;

private:
    struct Saved {
        const wchar_t* name;
        bool had;
        std::wstring value;
    };
    Saved saved_[2];
};

// The events of the log at `path`, each line's UTF-8 text after its time.
// False when the file cannot be read or is no well-formed log: a UTF-8
// byte-order mark, then lines "<milliseconds> ms  <text>", each ended by
// CR LF, with no other control character.
bool ReadLogEvents(const std::wstring& path, std::vector<std::string>* events);

// The first event that holds each of `parts` (UTF-8); empty when none does.
std::string FindEvent(const std::vector<std::string>& events,
                      std::initializer_list<std::string> parts);
