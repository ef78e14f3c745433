#include "bench_common.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace {

std::vector<std::string> Items(const std::string &text) {
    std::vector<std::string> items;
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) items.push_back(item);
    return items;
}

}  // namespace

bool ParseSizes(const std::string &text, std::vector<uint32_t> *sizes) {
    sizes->clear();
    for (const std::string &item : Items(text)) {
        const long value = std::strtol(item.c_str(), nullptr, 10);
        if (value < 1 || value > 65535) return false;
        sizes->push_back(static_cast<uint32_t>(value));
    }
    return !sizes->empty();
}

bool ParseShapes(const std::string &text, std::vector<Shape> *shapes) {
    shapes->clear();
    for (const std::string &item : Items(text)) {
        Shape shape;
        if (!ParseShape(item, &shape)) return false;
        shapes->push_back(shape);
    }
    return !shapes->empty();
}

std::string Grouped(uint64_t value) {
    std::string digits = std::to_string(value), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string MakeWorkDir(const std::string &prefix) {
    const char *base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/" + prefix + "XXXXXX";
    return mkdtemp(&pattern[0]) != nullptr ? pattern : "";
}
