#include "tools/automation/win32/registry.h"

#include "framework/system/win32/unique_handle.h"

RegValue ReadRegValue(HKEY root, const std::wstring& key, const wchar_t* name) {
    RegValue value;
    unique_hkey handle;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, handle.put()) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (RegQueryValueExW(handle.get(), name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.bytes.assign(size, '\0');
        if (RegQueryValueExW(handle.get(), name, nullptr, &value.type,
                             reinterpret_cast<BYTE*>(&value.bytes[0]), &size) == ERROR_SUCCESS) {
            value.bytes.resize(size);
            value.found = true;
        }
    }
    return value;
}

bool KeyExists(HKEY root, const std::wstring& key) {
    unique_hkey handle;
    return RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, handle.put()) == ERROR_SUCCESS;
}

void DeleteKeyTree(HKEY root, const std::wstring& key) {
    unique_hkey handle;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_ALL_ACCESS, handle.put()) == ERROR_SUCCESS) {
        wchar_t name[256];
        for (;;) {
            DWORD length = 256;
            if (RegEnumKeyExW(handle.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            DeleteKeyTree(root, key + L"\\" + name);
        }
    }
    RegDeleteKeyW(root, key.c_str());
}

RegistryKeyScope::RegistryKeyScope(HKEY root, std::wstring key) : root_(root), key_(std::move(key)) {
    unique_hkey handle;
    if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_QUERY_VALUE, handle.put()) != ERROR_SUCCESS) return;
    existed_ = true;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        BYTE data[2048];
        DWORD dataLength = sizeof data;
        DWORD type = 0;
        if (RegEnumValueW(handle.get(), i, name, &nameLength, nullptr, &type, data, &dataLength) !=
            ERROR_SUCCESS)
            break;
        saved_.push_back({std::wstring(name, nameLength), type,
                          std::string(reinterpret_cast<char*>(data), dataLength)});
    }
}

RegistryKeyScope::~RegistryKeyScope() {
    DeleteKeyTree(root_, key_);
    if (!existed_) return;
    unique_hkey handle;
    if (RegCreateKeyExW(root_, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, handle.put(),
                        nullptr) != ERROR_SUCCESS)
        return;
    for (const Saved& v : saved_) {
        RegSetValueExW(handle.get(), v.name.empty() ? nullptr : v.name.c_str(), 0, v.type,
                       reinterpret_cast<const BYTE*>(v.bytes.data()),
                       static_cast<DWORD>(v.bytes.size()));
    }
}

std::wstring ValueText(const RegValue& value) {
    std::wstring text(value.bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) value.bytes.copy(reinterpret_cast<char*>(&text[0]), text.size() * sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

namespace {
std::wstring AppDefaultsKey(const std::wstring& program) {
    return L"Software\\Wine\\AppDefaults\\" + program;
}
}  // namespace

PreferNativeDlls::PreferNativeDlls(const std::wstring& program,
                                   const std::vector<std::wstring>& dlls)
    : key_(HKEY_CURRENT_USER, AppDefaultsKey(program)) {
    unique_hkey overrides;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, (AppDefaultsKey(program) + L"\\DllOverrides").c_str(), 0,
                        nullptr, 0, KEY_SET_VALUE, nullptr, overrides.put(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    const wchar_t order[] = L"native,builtin";
    for (const std::wstring& dll : dlls) {
        RegSetValueExW(overrides.get(), dll.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                       sizeof order);
    }
}
