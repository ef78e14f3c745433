// Windows-1252 text on the terminal.
#include <cstdio>

#include "host.h"
#include "host_os.h"

namespace host {

namespace {

bool g_utf8 = false;

// Code points of 0x80..0x9F; 0 where Windows-1252 assigns no character.
const uint16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The code point of a byte, 0 for one with no character.
uint32_t CodePoint(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return kHighControls[byte - 0x80];
    return byte;
}

bool IsControl(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

void AppendUtf8(uint32_t cp, std::string *out) {
    if (cp < 0x80) {
        *out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out += static_cast<char>(0xC0 | (cp >> 6));
        *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out += static_cast<char>(0xE0 | (cp >> 12));
        *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// One byte as the terminal shows it; false for a byte with no character.
bool AppendCharacter(unsigned char byte, std::string *out) {
    if (IsControl(byte)) return false;
    if (!g_utf8 || byte < 0x80) {
        *out += static_cast<char>(byte);
        return true;
    }
    uint32_t cp = CodePoint(byte);
    if (cp == 0) return false;
    AppendUtf8(cp, out);
    return true;
}

}  // namespace

void ChooseTerminalCharset() {
    g_utf8 = os::TerminalIsUtf8();
}

bool TerminalIsUtf8() { return g_utf8; }

std::string ToTerminal(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (AppendCharacter(byte, &out)) continue;
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02X", byte);
        out += escape;
    }
    return out;
}

std::string Shorten(const std::string &text, size_t width) {
    std::string out;
    for (size_t i = 0; i < text.size() && i < width; ++i) {
        if (i + 1 == width && i + 1 < text.size()) {
            out += '~';
            break;
        }
        if (!AppendCharacter(static_cast<unsigned char>(text[i]), &out)) out += '?';
    }
    return out;
}

std::string Cell(const std::string &text, size_t width) {
    size_t shown = text.size() < width ? text.size() : width;
    return Shorten(text, width) + std::string(width - shown, ' ');
}

}  // namespace host
