#include "os.h"

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "standin.h"

namespace standin {
namespace os {

namespace {

// What a database's bodies are gathered into, so that they go out in few writes.
constexpr size_t kWriteBuffer = 1 << 16;

}  // namespace

// Straight into a string of the file's size (one byte more, so that the
// read meets the end at once); a file that grew since is read on.
int ReadAll(const std::string &path, std::string *bytes) {
    bytes->clear();
    FILE *f = fopen(path.c_str(), "rb");
    if (f == nullptr) return errno == ENOENT ? kStandinErrNotFound : kStandinErrIo;
    setvbuf(f, nullptr, _IONBF, 0);
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(FsPath(path), error);
    size_t got = 0;
    for (size_t more = error ? kWriteBuffer : static_cast<size_t>(size) + 1;; more = got) {
        bytes->resize(got + more);
        const size_t n = fread(&(*bytes)[got], 1, more, f);
        got += n;
        if (n < more || ferror(f)) break;
    }
    const bool failed = ferror(f) != 0;
    fclose(f);
    bytes->resize(failed ? 0 : got);
    return failed ? kStandinErrIo : 0;
}

int Source::Open(const std::string &path) {
    file_.reset(fopen(path.c_str(), "rb"));
    if (!file_) return errno == ENOENT ? kStandinErrNotFound : kStandinErrIo;
    setvbuf(file_.get(), nullptr, _IOFBF, kWriteBuffer);
    if (fseeko(file_.get(), 0, SEEK_END) != 0) return kStandinErrIo;
    at_ = size_ = static_cast<uint64_t>(ftello(file_.get()));
    return 0;
}

int Source::Read(uint64_t offset, void *into, size_t size) {
    const bool there = file_ && (offset == at_ ||
                                 fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) == 0);
    const bool read = there && fread(into, 1, size, file_.get()) == size;
    at_ = read ? offset + size : ~uint64_t{0};
    return read ? 0 : kStandinErrIo;
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

// Straight from the source's buffer into this one.
void Replacement::Copy(Source *from, uint64_t offset, size_t size) {
    for (size_t piece; size != 0 && !failed_; offset += piece, size -= piece) {
        if (used_ == kWriteBuffer) Flush();
        piece = std::min(size, kWriteBuffer - used_);
        failed_ = from->Read(offset, buffer_.get() + used_, piece) != 0;
        used_ += piece;
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

int WriteAll(const std::string &path, const std::string &bytes) {
    Replacement file(path);
    file.Write(bytes.data(), bytes.size());
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
