// File helpers on top of std::filesystem, without its exceptions.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "host.h"
#include "host_os.h"
#include "os.h"

namespace fs = std::filesystem;

namespace host {

bool IsFile(const std::string &path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool IsDirectory(const std::string &path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

int MakeDirectories(const std::string &path, std::string *error) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec || !IsDirectory(path)) {
        *error = "cannot create directory " + path + ": " +
                 (ec ? ec.message() : std::string("a file is in the way"));
        return kExitError;
    }
    return kExitOk;
}

// The stand-in's WriteAll goes through a temporary file beside `to`, renamed
// into place: a copy cut short (a full disk, a killed HotSync) must not leave
// a torn file under the target's name, where it would pass for a backup or an
// installed database.
int CopyFile(const std::string &from, const std::string &to, std::string *error) {
    std::string bytes;
    const bool read = standin::os::ReadAll(from, &bytes) == 0;
    if (read && standin::os::WriteAll(to, bytes) == 0) return kExitOk;
    *error = "cannot copy " + from + " to " + to + ": " +
             (read ? "cannot write the copy" : "cannot read the file");
    return kExitError;
}

std::vector<std::string> ListFiles(const std::string &dir) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError)) names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

int MakeScratchDirectory(std::string *path, std::string *error) {
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec) base = "/tmp";
    std::string pattern = (base / "hotsync-dry-run-XXXXXX").string();
    if (!os::MakeUniqueDirectory(&pattern)) {
        *error = "cannot create a scratch directory in " + base.string();
        return kExitError;
    }
    *path = pattern;
    return kExitOk;
}

void RemoveFile(const std::string &path) {
    std::error_code ec;
    fs::remove(path, ec);
}

void RemoveTree(const std::string &path) {
    std::error_code ec;
    fs::remove_all(path, ec);
}

std::string BaseName(const std::string &path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace host
