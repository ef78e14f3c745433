#include <windows.h>

#include "os.h"

namespace standin {
namespace os {

std::string NativePath(std::string path) { return path; }

std::filesystem::path FsPath(const std::string &path) {
    const int size = static_cast<int>(path.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, path.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.data(), size, &wide[0], length);
    return wide;
}

std::string FsString(const std::filesystem::path &path) {
    const std::wstring &wide = path.native();
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, &narrow[0], length, nullptr, nullptr);
    return narrow;
}

}  // namespace os
}  // namespace standin
