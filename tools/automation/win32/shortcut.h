// Reads a shortcut (.lnk) back through the shell's own link object.
#pragma once

#include <string>

struct ShortcutInfo {
    bool loaded = false;  // the shell loaded the file and gave its target
    std::string target;
    std::string workingFolder;
};

ShortcutInfo ReadShortcut(const std::string& linkPath);
