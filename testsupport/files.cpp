#include "files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include "os.h"

namespace fs = std::filesystem;

ScratchDir::ScratchDir(const std::string &prefix, const fs::path &parent) {
    std::error_code error;
    const fs::path base = parent.empty() ? fs::temp_directory_path(error) : parent;
    std::random_device random;
    // Test programs run side by side: create_directory is the atomic claim.
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path candidate = base / (prefix + "-" + std::to_string(random()));
        if (fs::create_directories(candidate, error)) path_ = candidate.string();
    }
    if (path_.empty()) ADD_FAILURE() << "cannot make a scratch folder below " << base;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
}

std::string ReadAll(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteAll(const fs::path &path, const std::string &content) {
    std::error_code ignored;
    if (path.has_parent_path()) fs::create_directories(path.parent_path(), ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    EXPECT_TRUE(out.good()) << "cannot write " << path;
}

std::vector<std::string> ListTree(const fs::path &directory) {
    std::vector<std::string> entries;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(directory))
        entries.push_back(standin::os::FsString(fs::relative(entry.path(), directory)));
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<std::string> Split(const std::string &text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1)
        parts.push_back(text.substr(start, end - start));
    parts.push_back(text.substr(start));
    return parts;
}

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines = Split(text, '\n');
    if (lines.back().empty()) lines.pop_back();
    for (std::string &line : lines) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
    }
    return lines;
}
