#include "tests/support/registry.h"

RegValue ReadRegValue(HKEY root, const std::string& key, const char* name) {
    RegValue value;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (RegQueryValueExA(handle, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.bytes.assign(size, '\0');
        if (RegQueryValueExA(handle, name, nullptr, &value.type,
                             reinterpret_cast<BYTE*>(&value.bytes[0]), &size) == ERROR_SUCCESS) {
            value.bytes.resize(size);
            value.found = true;
        }
    }
    RegCloseKey(handle);
    return value;
}

bool KeyExists(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

void DeleteKeyTree(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS, &handle) == ERROR_SUCCESS) {
        char name[256];
        for (;;) {
            DWORD length = sizeof name;
            if (RegEnumKeyExA(handle, 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            DeleteKeyTree(root, key + "\\" + name);
        }
        RegCloseKey(handle);
    }
    RegDeleteKeyA(root, key.c_str());
}

RegistryKeyScope::RegistryKeyScope(HKEY root, std::string key) : root_(root), key_(std::move(key)) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return;
    existed_ = true;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLength = sizeof name;
        BYTE data[1024];
        DWORD dataLength = sizeof data;
        DWORD type = 0;
        if (RegEnumValueA(handle, i, name, &nameLength, nullptr, &type, data, &dataLength) !=
            ERROR_SUCCESS)
            break;
        saved_.push_back({std::string(name, nameLength), type,
                          std::string(reinterpret_cast<char*>(data), dataLength)});
    }
    RegCloseKey(handle);
}

RegistryKeyScope::~RegistryKeyScope() {
    DeleteKeyTree(root_, key_);
    if (!existed_) return;
    HKEY handle = nullptr;
    if (RegCreateKeyExA(root_, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
        return;
    for (const Saved& v : saved_) {
        RegSetValueExA(handle, v.name.empty() ? nullptr : v.name.c_str(), 0, v.type,
                       reinterpret_cast<const BYTE*>(v.bytes.data()),
                       static_cast<DWORD>(v.bytes.size()));
    }
    RegCloseKey(handle);
}

std::string ValueText(const RegValue& value) {
    std::string text = value.bytes;
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

namespace {
std::string AppDefaultsKey(const std::string& program) {
    return "Software\\Wine\\AppDefaults\\" + program;
}
}  // namespace

PreferNativeDlls::PreferNativeDlls(const std::string& program,
                                   const std::vector<std::string>& dlls)
    : key_(HKEY_CURRENT_USER, AppDefaultsKey(program)) {
    HKEY overrides = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, (AppDefaultsKey(program) + "\\DllOverrides").c_str(), 0,
                        nullptr, 0, KEY_SET_VALUE, nullptr, &overrides, nullptr) != ERROR_SUCCESS) {
        return;
    }
    const char order[] = "native,builtin";
    for (const std::string& dll : dlls) {
        RegSetValueExA(overrides, dll.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                       sizeof order);
    }
    RegCloseKey(overrides);
}
