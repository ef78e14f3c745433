#include "os.h"

#include <stdio.h>
#include <string.h>
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
// its size was taken is read on. `room(n)` makes room for n bytes, keeping
// the *got read so far, and answers where they lie.
template <typename Room>
int ReadInto(const std::string &path, size_t *got, Room room) {
    *got = 0;
    FILE *f = fopen(path.c_str(), "rb");
    if (f == nullptr) return errno == ENOENT ? kStandinErrNotFound : kStandinErrIo;
    setvbuf(f, nullptr, _IONBF, 0);
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    size_t more = error ? kWriteBuffer : static_cast<size_t>(size) + 1;
    for (;;) {
        char *bytes = static_cast<char *>(room(*got + more));
        const size_t n = fread(bytes + *got, 1, more, f);
        *got += n;
        if (n < more || ferror(f)) break;
        more = *got;
    }
    const bool failed = ferror(f) != 0;
    fclose(f);
    return failed ? kStandinErrIo : 0;
}

}  // namespace

int ReadAll(const std::string &path, std::string *bytes) {
    size_t got = 0;
    int status = ReadInto(path, &got, [&](size_t n) -> void * {
        bytes->resize(n);
        return &(*bytes)[0];
    });
    bytes->resize(status == 0 ? got : 0);
    return status;
}

int ReadAll(const std::string &path, FileBytes *bytes) {
    size_t got = 0;
    int status = ReadInto(path, &got, [&](size_t n) -> void * {
        std::unique_ptr<uint8_t[]> grown(new uint8_t[n]);
        if (got != 0) memcpy(grown.get(), bytes->data.get(), got);
        bytes->data = std::move(grown);
        return bytes->data.get();
    });
    bytes->size = status == 0 ? got : 0;
    return status;
}

Replacement::Replacement(const std::string &path)
    : path_(path), temporary_(path + ".tmp"), file_(fopen(temporary_.c_str(), "wb")),
      buffer_(new char[kWriteBuffer]) {
    failed_ = file_ == nullptr;
    if (file_ != nullptr) setvbuf(file_, nullptr, _IONBF, 0);
}

Replacement::~Replacement() {
    if (file_ != nullptr) fclose(file_);
    if (!renamed_) remove(temporary_.c_str());
}

// Pieces smaller than the buffer, such as the bodies of a database, are
// gathered there and go out a buffer at a time; larger ones as they are.
void Replacement::Write(const void *data, size_t size) {
    if (used_ + size > kWriteBuffer) Flush();
    if (size >= kWriteBuffer) return Put(data, size);
    memcpy(buffer_.get() + used_, data, size);
    used_ += size;
}

void Replacement::Flush() {
    Put(buffer_.get(), used_);
    used_ = 0;
}

void Replacement::Put(const void *data, size_t size) {
    if (!failed_ && size != 0 && fwrite(data, 1, size, file_) != size) failed_ = true;
}

int Replacement::Commit() {
    Flush();
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
