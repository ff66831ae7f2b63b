// Registry helpers for tests: reading values back and removing what a test
// wrote, so no key outlives the test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct RegValue {
    bool found = false;
    DWORD type = 0;
    std::string bytes;  // raw data, terminating zero included when stored
};

// The value as text, without the terminating zeros.
std::string ValueText(const RegValue& value);

RegValue ReadRegValue(HKEY root, const std::string& key, const char* name);
bool KeyExists(HKEY root, const std::string& key);
// Deletes `key` with every sub-key below it.
void DeleteKeyTree(HKEY root, const std::string& key);

// Removes a key tree when the scope ends; a key that existed before is put
// back with its direct string values.
class RegistryKeyScope {
public:
    RegistryKeyScope(HKEY root, std::string key);
    ~RegistryKeyScope();
    RegistryKeyScope(const RegistryKeyScope&) = delete;
    RegistryKeyScope& operator=(const RegistryKeyScope&) = delete;

private:
    struct Saved { std::string name; DWORD type; std::string bytes; };
    HKEY root_;
    std::string key_;
    bool existed_ = false;
    std::vector<Saved> saved_;
};

// Wine's DLL load order for one program (a file name such as "probe.exe"):
// for each of `dlls` (names without ".dll") a DLL file the search finds, say
// one beside the program, is taken before Wine's builtin one. The
// per-program key is removed when the scope ends.
class PreferNativeDlls {
public:
    PreferNativeDlls(const std::string& program, const std::vector<std::string>& dlls);

private:
    RegistryKeyScope key_;
};
