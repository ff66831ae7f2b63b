#include "installer/install_folder.h"

#include <cstring>
#include <string>

#include "installer/installer_state.h"

namespace {

const char16_t kFolderSuffix[] = u"\\Vintal\\Sorvane";

}  // namespace

std::size_t LongestInstalledFileName() {
    std::size_t longest = 0;
    for (const auto& name : FileTable) {
        std::size_t length = std::strlen(name);
        if (length > longest) longest = length;
    }
    return longest;
}

FolderText FormInstallFolder(char16_t* out, std::size_t cap, std::u16string_view editText) {
    if (cap > 0) out[0] = u'\0';
    if (editText.empty()) return FolderText::Empty;

    std::u16string folder(editText);
    if (EndsWithSeparator(folder)) folder.pop_back();
    folder += kFolderSuffix;
    // Room is kept for "\<file name>" of every installed file, so no path the
    // install or the registration forms later can be cut short.
    const std::size_t room = 1 + LongestInstalledFileName();
    if (folder.size() + room > kMaxPath - 1 || !CopyWide(out, cap, folder))
        return FolderText::TooLong;
    return FolderText::Formed;
}

bool HasDriveRoot(std::u16string_view folder) {
    if (folder.size() < 3) return false;
    const char16_t c = folder[0];
    const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    return letter && folder[1] == u':' && folder[2] == u'\\';
}

bool FormDriveRoot(char16_t* out, std::size_t cap, std::u16string_view folder) {
    const char16_t root[] = {folder.empty() ? u'\0' : folder[0], u':', u'\\', u'\0'};
    return !folder.empty() && CopyWide(out, cap, root);
}

bool IsEnoughFreeSpace(std::uint64_t bytesFreeToCaller) {
    return bytesFreeToCaller >= kRequiredFreeBytes;
}

bool FormInstalledFilePath(char16_t* out, std::size_t cap, std::u16string_view folder,
                           std::u16string_view name) {
    std::u16string path(folder);
    path += u'\\';
    path += name;
    return CopyWide(out, cap, path);
}
