// Where Windows keeps its lists of installed programs: key paths below the
// local machine, "%s" being a program's file name ("Sorvane.exe").
#pragma once

inline constexpr char kAppPathsKeyFormat[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\%s";
inline constexpr char kUninstallKeyFormat[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s";
