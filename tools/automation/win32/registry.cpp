#include "tools/automation/win32/registry.h"

#include "framework/system/win32/unique_handle.h"

RegValue ReadRegValue(HKEY root, const std::string& key, const char* name) {
    RegValue value;
    unique_hkey handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, handle.put()) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (RegQueryValueExA(handle.get(), name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.bytes.assign(size, '\0');
        if (RegQueryValueExA(handle.get(), name, nullptr, &value.type,
                             reinterpret_cast<BYTE*>(&value.bytes[0]), &size) == ERROR_SUCCESS) {
            value.bytes.resize(size);
            value.found = true;
        }
    }
    return value;
}

bool KeyExists(HKEY root, const std::string& key) {
    unique_hkey handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, handle.put()) != ERROR_SUCCESS) return false;
    return true;
}

void DeleteKeyTree(HKEY root, const std::string& key) {
    unique_hkey handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS, handle.put()) == ERROR_SUCCESS) {
        char name[256];
        for (;;) {
            DWORD length = sizeof name;
            if (RegEnumKeyExA(handle.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            DeleteKeyTree(root, key + "\\" + name);
        }
    }
    RegDeleteKeyA(root, key.c_str());
}

RegistryKeyScope::RegistryKeyScope(HKEY root, std::string key) : root_(root), key_(std::move(key)) {
    unique_hkey handle;
    if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_QUERY_VALUE, handle.put()) != ERROR_SUCCESS) return;
    existed_ = true;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLength = sizeof name;
        BYTE data[1024];
        DWORD dataLength = sizeof data;
        DWORD type = 0;
        if (RegEnumValueA(handle.get(), i, name, &nameLength, nullptr, &type, data, &dataLength) !=
            ERROR_SUCCESS)
            break;
        saved_.push_back({std::string(name, nameLength), type,
                          std::string(reinterpret_cast<char*>(data), dataLength)});
    }
}

RegistryKeyScope::~RegistryKeyScope() {
    DeleteKeyTree(root_, key_);
    if (!existed_) return;
    unique_hkey handle;
    if (RegCreateKeyExA(root_, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, handle.put(),
                        nullptr) != ERROR_SUCCESS)
        return;
    for (const Saved& v : saved_) {
        RegSetValueExA(handle.get(), v.name.empty() ? nullptr : v.name.c_str(), 0, v.type,
                       reinterpret_cast<const BYTE*>(v.bytes.data()),
                       static_cast<DWORD>(v.bytes.size()));
    }
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
    unique_hkey overrides;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, (AppDefaultsKey(program) + "\\DllOverrides").c_str(), 0,
                        nullptr, 0, KEY_SET_VALUE, nullptr, overrides.put(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    const char order[] = "native,builtin";
    for (const std::string& dll : dlls) {
        RegSetValueExA(overrides.get(), dll.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                       sizeof order);
    }
}
