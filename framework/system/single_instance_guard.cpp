#include "framework/system/single_instance_guard.h"

#include "framework/system/path_utils.h"

void CSingleInstanceGuard::MutexNameFor(char* name, std::size_t cap, const char* programPath) {
    if (!CopyText(name, cap, programPath)) return;
    const LeadByteTable& lead = AnsiLeadBytes();
    for (char* p = name; *p != '\0';) {
        std::size_t len = CharLength(p, lead);
        if (len == 1 && *p == '\\') *p = '/';
        p += len;
    }
}

void CSingleInstanceGuard::Acquire() {
    mutex_.reset();
    char path[kMaxPath] = {};
    GetModuleFileNameA(nullptr, path, sizeof path - 1);
    char name[kMaxPath] = {};
    MutexNameFor(name, sizeof name, path);

    mutex_.reset(CreateMutexA(nullptr, TRUE, name));
    firstInstance_ = GetLastError() != ERROR_ALREADY_EXISTS;
}
