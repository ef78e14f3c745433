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

// What a database's bodies are gathered into, so that they go out in few writes.
constexpr size_t kWriteBuffer = 1 << 16;

// Straight into a block of the file's size, with no buffer in between (one
// byte more, so that the read meets the end at once); a file that grew since
// is read on. `room(n)` makes room for n bytes, keeping the *got read so far.
template <typename Room>
int ReadInto(const std::string &path, size_t *got, Room room) {
    *got = 0;
    FILE *f = fopen(path.c_str(), "rb");
    if (f == nullptr) return errno == ENOENT ? kStandinErrNotFound : kStandinErrIo;
    setvbuf(f, nullptr, _IONBF, 0);
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(FsPath(path), error);
    for (size_t more = error ? kWriteBuffer : static_cast<size_t>(size) + 1;; more = *got) {
        const size_t n = fread(static_cast<char *>(room(*got + more)) + *got, 1, more, f);
        *got += n;
        if (n < more || ferror(f)) break;
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
    int status = ReadInto(path, &bytes->size, [&](size_t n) -> void * {
        uint8_t *grown = new uint8_t[n];
        if (bytes->size != 0) memcpy(grown, bytes->data.get(), bytes->size);
        bytes->data.reset(grown);
        return grown;
    });
    if (status != 0) bytes->size = 0;
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
    if (size == 0) return;  // an empty body may have no address
    if (used_ + size > kWriteBuffer) Flush();
    if (size < kWriteBuffer) {
        memcpy(buffer_.get() + used_, data, size);
        used_ += size;
    } else if (!failed_ && fwrite(data, 1, size, file_) != size) {
        failed_ = true;
    }
}

void Replacement::Flush() {
    if (!failed_ && used_ != 0 && fwrite(buffer_.get(), 1, used_, file_) != used_) failed_ = true;
    used_ = 0;
}

int Replacement::Commit() {
    Flush();
    if (file_ != nullptr && fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    std::error_code error;
    if (!failed_) std::filesystem::rename(FsPath(temporary_), FsPath(path_), error);
    renamed_ = !failed_ && !error;
    return renamed_ ? 0 : kStandinErrIo;
}

int WriteAll(const std::string &path, const void *data, size_t size) {
    Replacement file(path);
    file.Write(data, size);
    return file.Commit();
}

// Unbuffered, so that the text goes out in one write.
int Append(const std::string &path, const std::string &text) {
    FILE *f = fopen(path.c_str(), "ab");
    if (f == nullptr) return kStandinErrIo;
    setvbuf(f, nullptr, _IONBF, 0);
    bool written = fwrite(text.data(), 1, text.size(), f) == text.size();
    if (fclose(f) != 0) written = false;
    return written ? 0 : kStandinErrIo;
}

// A Windows path that starts at a root or a drive counts too, for the DLLs.
bool IsAbsolutePath(const std::string &path) {
    return !path.empty() && (path[0] == '/' || path[0] == '\\' ||
                             FsPath(path).is_absolute());
}

bool StandardInputIsTerminal() { return isatty(0) == 1; }

}  // namespace os
}  // namespace standin
