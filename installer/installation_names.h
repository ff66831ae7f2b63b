// The names an installation is known by outside its folder: what setup.exe
// registers and makes (registration.cpp) and UnInstall.exe removes again
// (uninstall_sequence.cpp, uninstall_system.cpp), in one table for both.
// The registry keys are named after the game's program, kGameProgramFile,
// below the keys of framework/system/registry_keys.h; the installed files
// are InstalledFileTable's.
#pragma once

namespace installation_name {

// The uninstall entry's "DisplayName" and "Publisher".
inline constexpr char kDisplayName[] = "Sorvane";
inline constexpr char kPublisher[] = "Vintal";

// The folder the game's own folder lies in ("<base>\Vintal\Sorvane"),
// removed with it when nothing else is left in it.
inline constexpr char kParentFolder[] = "Vintal";

// The shortcuts, named without their ".lnk": on the desktop, and below the
// Start menu's Programs folder in kMenuFolder\kGameMenuFolder, which are
// removed when nothing else (another title of the publisher) is in them.
inline constexpr char kLinkExtension[] = ".lnk";
inline constexpr char kDesktopLink[] = "Sorvane";
inline constexpr char kMenuFolder[] = "VINTAL";
inline constexpr char kGameMenuFolder[] = "VINTAL\\Sorvane";
inline constexpr char kGameMenuLink[] = "VINTAL\\Sorvane\\Sorvane";
inline constexpr char kUninstallerMenuLink[] = "VINTAL\\Sorvane\\アンインストーラ";
inline constexpr const char* kMenuLinks[] = {kGameMenuLink, kUninstallerMenuLink};

// The logs of the two programs' runs, in the user's temporary folder; the
// run before is kept as "<name>.old".
inline constexpr wchar_t kSetupLog[] = L"Sorvane-setup.log";
inline constexpr wchar_t kUninstallLog[] = L"Sorvane-uninstall.log";

}  // namespace installation_name
