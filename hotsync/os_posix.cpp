#include <algorithm>

#include "os.h"

namespace standin {
namespace os {

std::string NativePath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::filesystem::path FsPath(const std::string &path) { return path; }
std::string FsString(const std::filesystem::path &path) { return path.string(); }

}  // namespace os
}  // namespace standin
