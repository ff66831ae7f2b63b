// Registry helpers for tests: reading values back and removing what a test
// wrote, so no key outlives the test. Names and values in UTF-16.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct RegValue {
    bool found = false;
    DWORD type = 0;
    std::string bytes;  // raw data, terminating zero included when stored
};

// A string value as text, without the terminating zeros.
std::wstring ValueText(const RegValue& value);

RegValue ReadRegValue(HKEY root, const std::wstring& key, const wchar_t* name);
bool KeyExists(HKEY root, const std::wstring& key);
// Deletes `key` with every sub-key below it.
void DeleteKeyTree(HKEY root, const std::wstring& key);

// Removes a key tree when the scope ends; a key that existed before is put
// back with its direct values.
class RegistryKeyScope {
public:
    RegistryKeyScope(HKEY root, std::wstring key);
    ~RegistryKeyScope();
    RegistryKeyScope(const RegistryKeyScope&) = delete;
    RegistryKeyScope& operator=(const RegistryKeyScope&) = delete;

private:
    struct Saved { std::wstring name; DWORD type; std::string bytes; };
    HKEY root_;
    std::wstring key_;
    bool existed_ = false;
    std::vector<Saved> saved_;
};

// Wine's DLL load order for one program (a file name such as "probe.exe"):
// for each of `dlls` (names without ".dll") a DLL file the search finds, say
// one beside the program, is taken before Wine's builtin one. The
// per-program key is removed when the scope ends.
class PreferNativeDlls {
public:
    PreferNativeDlls(const std::wstring& program, const std::vector<std::wstring>& dlls);

private:
    RegistryKeyScope key_;
};
