// The bounded text builders: a text fits with 511 characters and its NUL, and
// a refused piece leaves the buffer as it was and writes nothing beyond it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "setup_text.h"

namespace {

struct GuardedBuffer {
    char bytes[kSetupTextCapacity + 16];
    char *text() { return bytes; }
    bool GuardIntact() const {
        for (size_t i = kSetupTextCapacity; i < sizeof bytes; ++i) {
            if (bytes[i] != '#') return false;
        }
        return true;
    }
    GuardedBuffer() { std::memset(bytes, '#', sizeof bytes); bytes[0] = '\0'; }
};

TEST(SetupText, AppendFillsExactlyToTheLastCharacter) {
    GuardedBuffer buffer;
    std::string head(500, 'h');
    ASSERT_EQ(CopyText(buffer.text(), kSetupTextCapacity, head.c_str()), 0);
    EXPECT_EQ(AppendText(buffer.text(), kSetupTextCapacity, "12345678901"), 0);
    EXPECT_EQ(std::strlen(buffer.text()), 511u);
    EXPECT_TRUE(buffer.GuardIntact());
}

TEST(SetupText, AppendRefusesOneCharacterTooManyAndKeepsTheText) {
    GuardedBuffer buffer;
    std::string head(500, 'h');
    ASSERT_EQ(CopyText(buffer.text(), kSetupTextCapacity, head.c_str()), 0);
    EXPECT_NE(AppendText(buffer.text(), kSetupTextCapacity, "123456789012"), 0);
    EXPECT_EQ(std::string(buffer.text()), head);
    EXPECT_TRUE(buffer.GuardIntact());
}

TEST(SetupText, CopyRefusesATextOfFullCapacity) {
    GuardedBuffer buffer;
    std::string exact(511, 'x');
    std::string over(512, 'y');
    EXPECT_EQ(CopyText(buffer.text(), kSetupTextCapacity, exact.c_str()), 0);
    EXPECT_NE(CopyText(buffer.text(), kSetupTextCapacity, over.c_str()), 0);
    EXPECT_EQ(std::string(buffer.text()), exact);
    EXPECT_TRUE(buffer.GuardIntact());
}

TEST(SetupText, TextFitsCountsTheNul) {
    std::string a(300, 'a');
    std::string b(211, 'b');
    std::string c(212, 'c');
    const char *fits[] = {a.c_str(), b.c_str()};
    const char *over[] = {a.c_str(), c.c_str()};
    EXPECT_TRUE(TextFits(fits, 2, kSetupTextCapacity));
    EXPECT_FALSE(TextFits(over, 2, kSetupTextCapacity));
}

TEST(SetupText, BuildUserPathJoinsWithABackslash) {
    GuardedBuffer buffer;
    ASSERT_EQ(BuildUserPath(buffer.text(), "C:\\HotSync", "SmithJ", "\\Lenfol\\"), 0);
    EXPECT_STREQ(buffer.text(), "C:\\HotSync\\SmithJ\\Lenfol\\");
    std::string longDirectory(500, 'd');
    EXPECT_NE(BuildUserPath(buffer.text(), "C:\\HotSync", longDirectory.c_str(), "\\Lenfol\\"), 0);
    EXPECT_TRUE(buffer.GuardIntact());
}

}  // namespace
