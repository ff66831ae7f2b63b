// Lets a test see what the code under test passes to the system: replaces,
// for the life of the object, this program's import-table entry of one
// function, so every call the program makes to it goes to the replacement.
// The replacement calls on through Original().
#pragma once

#include <windows.h>

class ImportHook {
public:
    // `dll` as the program imports it ("kernel32.dll", any case).
    ImportHook(const char* dll, const char* function, void* replacement);
    ~ImportHook();  // puts the original entry back
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    // False when the program does not import the function by name.
    bool Installed() const { return entry_ != nullptr; }
    template <typename Function>
    Function Original() const {
        return reinterpret_cast<Function>(original_);
    }

private:
    void** entry_ = nullptr;
    void* original_ = nullptr;
};
