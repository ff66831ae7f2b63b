#include "installer/install_folder.h"

#include <cstring>

#include "installer/installer_state.h"

namespace {

const char kFolderSuffix[] = "%s\\Vintal\\Sorvane";

}  // namespace

std::size_t LongestInstalledFileName() {
    std::size_t longest = 0;
    for (const auto& name : FileTable) {
        std::size_t length = std::strlen(name);
        if (length > longest) longest = length;
    }
    return longest;
}

FolderText FormInstallFolder(char* out, std::size_t cap, const char* editText,
                             const LeadByteTable& lead) {
    if (cap > 0) out[0] = '\0';
    if (editText[0] == '\0') return FolderText::Empty;

    char base[kMaxPath];
    std::size_t length = std::strlen(editText);
    if (EndsWithSeparator(editText, lead)) --length;
    if (!CopyText(base, sizeof base, editText, length)) return FolderText::TooLong;

    // Room is kept for "\<file name>" of every installed file, so no path the
    // install or the registration forms later can be cut short.
    std::size_t room = 1 + LongestInstalledFileName();
    char folder[kMaxPath];
    if (!FormatText(folder, sizeof folder, kFolderSuffix, base) ||
        std::strlen(folder) + room > kMaxPath - 1 || !CopyText(out, cap, folder)) {
        return FolderText::TooLong;
    }
    return FolderText::Formed;
}

bool HasDriveRoot(const char* folder) {
    // An ASCII letter is never a lead byte, so the colon and the backslash
    // after it are characters of their own.
    char c = folder[0];
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return letter && folder[1] == ':' && folder[2] == '\\';
}

bool FormDriveRoot(char* out, std::size_t cap, const char* folder) {
    return FormatText(out, cap, "%c:\\", folder[0]);
}

bool IsEnoughFreeSpace(std::uint64_t bytesFreeToCaller) {
    return bytesFreeToCaller >= kRequiredFreeBytes;
}

bool FormInstalledFilePath(char* out, std::size_t cap, const char* folder, const char* name) {
    return FormatText(out, cap, "%s\\%s", folder, name);
}
