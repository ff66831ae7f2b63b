#include "tools/automation/win32/log_file.h"

#include <windows.h>

#include "tools/automation/win32/scratch.h"

TempFolderScope::TempFolderScope(const std::wstring& folder)
    : saved_{{L"TEMP", false, {}}, {L"TMP", false, {}}} {
    for (Saved& saved : saved_) {
        wchar_t value[MAX_PATH * 2];
        const DWORD length = GetEnvironmentVariableW(saved.name, value, MAX_PATH * 2);
        saved.had = length > 0 && length < MAX_PATH * 2;
        if (saved.had) saved.value = value;
        SetEnvironmentVariableW(saved.name, folder.c_str());
    }
}

TempFolderScope::~TempFolderScope() {
    for (const Saved& saved : saved_)
        SetEnvironmentVariableW(saved.name, saved.had ? saved.value.c_str() : nullptr);
}

bool ReadLogEvents(const std::wstring& path, std::vector<std::string>* events) {
    events->clear();
    std::string bytes;
    const std::string mark = "\xEF\xBB\xBF";
    if (!ReadFileBytes(path, &bytes) || bytes.compare(0, mark.size(), mark) != 0) return false;
    std::size_t at = mark.size();
    while (at < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", at);
        if (end == std::string::npos) return false;
        const std::string line = bytes.substr(at, end - at);
        at = end + 2;
        for (char c : line) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
        }
        const std::size_t digits = line.find_first_not_of(' ');
        const std::size_t unit = line.find(" ms  ");
        if (digits == std::string::npos || unit == std::string::npos || unit <= digits ||
            line.find_first_not_of("0123456789", digits) != unit)
            return false;
        events->push_back(line.substr(unit + 5));
    }
    return true;
}

std::string FindEvent(const std::vector<std::string>& events,
                      std::initializer_list<std::string> parts) {
    for (const std::string& event : events) {
        bool all = true;
        for (const std::string& part : parts) all = all && event.find(part) != std::string::npos;
        if (all) return event;
    }
    return std::string();
}
