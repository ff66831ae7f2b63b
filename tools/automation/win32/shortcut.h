// Reads a shortcut (.lnk) back through the shell's own link object.
#pragma once

#include <string>

struct ShortcutInfo {
    bool loaded = false;  // the shell loaded the file and gave its target
    std::wstring target;  // as the shell resolves the link's item list
    std::wstring workingFolder;
};

ShortcutInfo ReadShortcut(const std::wstring& linkPath);
