// Lenfol.dll's version resource, read back as Windows reads it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "lensfolio_version.h"

namespace {

// LENFOL_DLL_DIR in the environment checks another copy, such as the one in
// the release zip.
std::string LenfolPath() {
    const char *dir = std::getenv("LENFOL_DLL_DIR");
    return std::string(dir && *dir ? dir : LENFOL_DLL_DIR) + "\\Lenfol.dll";
}

// The project's version, each part as its own number.
const WORD kVersion[4] = {LENSFOLIO_VERSION_NUMBERS};

// "1, 0, 0, 1": how the version texts of the resource write the version.
std::string VersionText() {
    std::string text;
    for (WORD part : kVersion) text += (text.empty() ? "" : ", ") + std::to_string(part);
    return text;
}

class VersionResource : public ::testing::Test {
protected:
    void SetUp() override {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(LenfolPath().c_str(), &ignored);
        ASSERT_NE(size, 0u) << "no version resource in " << LenfolPath();
        data_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoA(LenfolPath().c_str(), 0, size, data_.data()));
    }

    // The value under `key`, or false when it is missing.
    bool Query(const std::string &key, void **value, UINT *length) {
        return VerQueryValueA(data_.data(), key.c_str(), value, length) != 0;
    }

    std::vector<char> data_;
};

TEST_F(VersionResource, FixedPartGivesTheProjectVersionForFileAndProduct) {
    void *value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(Query("\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    const auto *info = static_cast<const VS_FIXEDFILEINFO *>(value);
    EXPECT_EQ(info->dwSignature, 0xFEEF04BDu);
    const DWORD high = MAKELONG(kVersion[1], kVersion[0]);
    const DWORD low = MAKELONG(kVersion[3], kVersion[2]);
    EXPECT_EQ(info->dwFileVersionMS, high);
    EXPECT_EQ(info->dwFileVersionLS, low);
    EXPECT_EQ(info->dwProductVersionMS, high);
    EXPECT_EQ(info->dwProductVersionLS, low);
    EXPECT_EQ(info->dwFileType, static_cast<DWORD>(VFT_DLL));
}

TEST_F(VersionResource, TranslationIsUsEnglishUnicode) {
    void *value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(Query("\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    const WORD *pair = static_cast<const WORD *>(value);
    EXPECT_EQ(pair[0], 0x0409);
    EXPECT_EQ(pair[1], 1200);
}

struct StringCase {
    const char *key;
    std::string expected;
};

class VersionString : public VersionResource, public ::testing::WithParamInterface<StringCase> {};

TEST_P(VersionString, ReadsBackInTheUsEnglishBlock) {
    const StringCase &c = GetParam();
    void *value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(Query(std::string("\\StringFileInfo\\040904B0\\") + c.key, &value, &length))
        << c.key << " is missing";
    // An empty value may come back with no characters at all.
    const std::string text = length == 0 ? std::string() : std::string(static_cast<const char *>(value));
    EXPECT_EQ(text, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lenfol, VersionString,
    ::testing::Values(StringCase{"FileVersion", VersionText()},
                      StringCase{"ProductVersion", VersionText()},
                      StringCase{"FileDescription", "Lenfol DLL"},
                      StringCase{"InternalName", "Lenfol"},
                      StringCase{"OriginalFilename", "Lenfol.DLL"},
                      StringCase{"ProductName", "Lenfol Dynamic Link Library"},
                      StringCase{"CompanyName", ""}, StringCase{"LegalTrademarks", ""}),
    [](const ::testing::TestParamInfo<StringCase> &info) { return std::string(info.param.key); });

}  // namespace
