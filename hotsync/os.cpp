#include "os.h"

#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "standin.h"

namespace standin {
namespace os {

namespace {

// Whole stdio blocks of this size, not the file system's few kilobytes, so
// that a database of small records goes out in few writes.
constexpr size_t kWriteBuffer = 1 << 16;

// Unbuffered, so that the bytes go out in one write.
int WriteFile(const std::string &path, const char *mode, const void *data, size_t size) {
    FILE *f = fopen(path.c_str(), mode);
    if (f == nullptr) return kStandinErrIo;
    setvbuf(f, nullptr, _IONBF, 0);
    bool written = fwrite(data, 1, size, f) == size;
    if (fclose(f) != 0) written = false;
    return written ? 0 : kStandinErrIo;
}

// Straight into a block of the file's size, with no buffer in between; one
// byte more, so that the read meets the end at once. A file that grew since
// its size was taken is read on.
template <typename Bytes>
int ReadInto(const std::string &path, Bytes *bytes) {
    bytes->clear();
    FILE *f = fopen(path.c_str(), "rb");
    if (f == nullptr) return errno == ENOENT ? kStandinErrNotFound : kStandinErrIo;
    setvbuf(f, nullptr, _IONBF, 0);
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    size_t got = 0, room = error ? kWriteBuffer : static_cast<size_t>(size) + 1;
    for (;;) {
        bytes->resize(got + room);
        got += fread(bytes->data() + got, 1, room, f);
        if (got < bytes->size() || ferror(f)) break;
        room = bytes->size();
    }
    const bool failed = ferror(f) != 0;
    fclose(f);
    bytes->resize(failed ? 0 : got);
    return failed ? kStandinErrIo : 0;
}

}  // namespace

int ReadAll(const std::string &path, std::string *bytes) { return ReadInto(path, bytes); }
int ReadAll(const std::string &path, std::vector<uint8_t> *bytes) { return ReadInto(path, bytes); }

Replacement::Replacement(const std::string &path)
    : path_(path), temporary_(path + ".tmp"), file_(fopen(temporary_.c_str(), "wb")),
      buffer_(new char[kWriteBuffer]) {
    failed_ = file_ == nullptr;
    if (file_ != nullptr) setvbuf(file_, buffer_.get(), _IOFBF, kWriteBuffer);
}

Replacement::~Replacement() {
    if (file_ != nullptr) fclose(file_);
    if (!renamed_) remove(temporary_.c_str());
}

void Replacement::Write(const void *data, size_t size) {
    if (!failed_ && size != 0 && fwrite(data, 1, size, file_) != size) failed_ = true;
}

int Replacement::Commit() {
    if (file_ != nullptr && fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    std::error_code error;
    if (!failed_) std::filesystem::rename(temporary_, path_, error);
    renamed_ = !failed_ && !error;
    return renamed_ ? 0 : kStandinErrIo;
}

int WriteAll(const std::string &path, const void *data, size_t size) {
    Replacement file(path);
    file.Write(data, size);
    return file.Commit();
}

int Append(const std::string &path, const std::string &text) {
    return WriteFile(path, "ab", text.data(), text.size());
}

// A Windows path that starts at a root or a drive counts too, for the DLLs.
bool IsAbsolutePath(const std::string &path) {
    return !path.empty() && (path[0] == '/' || path[0] == '\\' ||
                             std::filesystem::path(path).is_absolute());
}

bool StandardInputIsTerminal() { return isatty(0) == 1; }

}  // namespace os
}  // namespace standin
