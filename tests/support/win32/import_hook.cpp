#include "tests/support/win32/import_hook.h"

namespace {

// The import-table entry through which this program calls `function` of
// `dll`; null when it has none.
void** FindEntry(const char* dll, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return nullptr;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         d->Name != 0; ++d) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + d->Name), dll) != 0) continue;
        if (d->OriginalFirstThunk == 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* entries = reinterpret_cast<void**>(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++entries) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (lstrcmpA(reinterpret_cast<char*>(byName->Name), function) == 0) return entries;
        }
    }
    return nullptr;
}

void Store(void** entry, void* value) {
    DWORD old = 0;
    if (!VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &old)) return;
    *entry = value;
    VirtualProtect(entry, sizeof *entry, old, &old);
}

}  // namespace

ImportHook::ImportHook(const char* dll, const char* function, void* replacement)
    : entry_(FindEntry(dll, function)) {
    if (entry_ == nullptr) return;
    original_ = *entry_;
    Store(entry_, replacement);
}

ImportHook::~ImportHook() {
    if (entry_ != nullptr) Store(entry_, original_);
}
