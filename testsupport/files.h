// Files and scratch folders for the test suites, portable to the Windows
// tests (std::filesystem only). Named so as not to meet the Win32 ReadFile
// and WriteFile of <windows.h>.
#ifndef LENSFOLIO_TESTSUPPORT_FILES_H
#define LENSFOLIO_TESTSUPPORT_FILES_H

#include <filesystem>
#include <string>
#include <vector>

// A fresh folder PREFIX-<random> below `parent` (the system's temporary
// folder when empty), removed with all it holds when the object goes. A
// folder that cannot be made fails the test and leaves Path() empty.
class ScratchDir {
public:
    explicit ScratchDir(const std::string &prefix,
                        const std::filesystem::path &parent = std::filesystem::path());
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    const std::string &Path() const { return path_; }

private:
    std::string path_;
};

// The whole file; empty when it cannot be read.
std::string ReadAll(const std::filesystem::path &path);
// Replaces the file, making its folder first; a failed write fails the test.
void WriteAll(const std::filesystem::path &path, const std::string &content);
// Every file and folder below `directory`, relative, sorted; the names in
// the ANSI code page on Windows.
std::vector<std::string> ListTree(const std::filesystem::path &directory);

// The pieces between separators; a text ending in one ends in an empty piece.
std::vector<std::string> Split(const std::string &text, char separator);
// The lines of a text without their ends (LF or CR LF); no piece after a final end.
std::vector<std::string> Lines(const std::string &text);

#endif  // LENSFOLIO_TESTSUPPORT_FILES_H
