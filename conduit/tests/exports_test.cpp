// The conduit's boundary, exercised through the built library as a HotSync
// Manager would call it.
#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "conduit_fixture.h"
#include "standin.h"

namespace {

const unsigned char kCanary = 0xA5;

// ---- GetConduitName --------------------------------------------------------

struct NameCase {
    uint16_t length;
    std::string expected;  // the bytes written, exactly `length` of them
};

class GetConduitNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(GetConduitNameTest, FillsExactlyTheGivenLength) {
    const NameCase &c = GetParam();
    std::vector<unsigned char> buffer(c.length + 8, kCanary);
    ASSERT_EQ(Lenfol().getConduitName(reinterpret_cast<char *>(buffer.data()), c.length), 0);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + c.length), c.expected);
    for (size_t i = c.length; i < buffer.size(); ++i)
        EXPECT_EQ(buffer[i], kCanary) << "byte " << i << " past the length was written";
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, GetConduitNameTest,
    ::testing::Values(NameCase{0, ""}, NameCase{1, std::string(1, '\0')},
                      NameCase{4, std::string("Len\0", 4)},
                      NameCase{6, std::string("Lenfo\0", 6)},
                      NameCase{7, std::string("Lenfol\0", 7)},
                      NameCase{12, std::string("Lenfol\0\0\0\0\0\0", 12)}));

TEST(GetConduitVersionTest, Is0x101) { EXPECT_EQ(Lenfol().getConduitVersion(), 0x101u); }

// ---- GetConduitInfo ----------------------------------------------------------

struct InfoCase {
    const char *name;
    int32_t type;
    bool withRequest;
    uint32_t requestVersion;
    uint32_t requestSize;
    bool withOut;
    bool withOutSize;
    uint32_t outSize;
    int32_t status;
    std::string written;  // bytes expected at the start of the output; the rest untouched
};

void PrintTo(const InfoCase &c, std::ostream *out) { *out << c.name; }

class GetConduitInfoTest : public ::testing::TestWithParam<InfoCase> {};

TEST_P(GetConduitInfoTest, FollowsTheQueryTable) {
    const InfoCase &c = GetParam();
    ConduitRequestInfo request{};
    request.version = c.requestVersion;
    request.size = c.requestSize;
    std::vector<unsigned char> out(64, kCanary);
    uint32_t outSize = c.outSize;

    int32_t status = Lenfol().getConduitInfo(c.type, c.withRequest ? &request : nullptr,
                                             c.withOut ? out.data() : nullptr,
                                             c.withOutSize ? &outSize : nullptr);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(outSize, c.outSize) << "the output size is only read";
    EXPECT_EQ(std::string(out.begin(), out.begin() + c.written.size()), c.written);
    for (size_t i = c.written.size(); i < out.size(); ++i)
        ASSERT_EQ(out[i], kCanary) << "byte " << i << " written";
}

std::string U32(uint32_t v) { return std::string(reinterpret_cast<const char *>(&v), 4); }

INSTANTIATE_TEST_SUITE_P(
    Rows, GetConduitInfoTest,
    ::testing::Values(
        InfoCase{"NoOutput", 0, true, 1, 80, false, true, 20, 0x1071, ""},
        InfoCase{"NoOutputSize", 0, true, 1, 80, true, false, 20, 0x1077, ""},
        InfoCase{"NoOutputCheckedBeforeType", 9, false, 0, 0, false, false, 0, 0x1071, ""},
        InfoCase{"NameWithoutRequest", 0, false, 0, 0, true, true, 20, 0x1074, ""},
        InfoCase{"NameSize20", 0, true, 1, 80, true, true, 20, 0,
                 std::string("Lenfol") + std::string(13, '\0')},
        InfoCase{"NameSize7", 0, true, 1, 80, true, true, 7, 0, std::string("Lenfol\0", 7)},
        InfoCase{"NameSize4Terminated", 0, true, 1, 80, true, true, 4, 0, std::string("Len\0", 4)},
        InfoCase{"NameSize1", 0, true, 1, 80, true, true, 1, 0, std::string(1, '\0')},
        InfoCase{"NameSize0WritesNothing", 0, true, 1, 80, true, true, 0, 0, ""},
        InfoCase{"NameRequestSize64", 0, true, 1, 64, true, true, 20, 0x1075, ""},
        InfoCase{"NameRequestVersion2", 0, true, 2, 80, true, true, 20, 0x1075, ""},
        InfoCase{"MfcVersion", 1, false, 0, 0, true, true, 4, 0, U32(0x500)},
        InfoCase{"DefaultAction", 2, false, 0, 0, true, true, 4, 0, U32(0)},
        InfoCase{"MfcVersionSize8", 1, false, 0, 0, true, true, 8, 0x1073, ""},
        InfoCase{"DefaultActionSize2", 2, false, 0, 0, true, true, 2, 0x1073, ""},
        InfoCase{"UnknownType3", 3, true, 1, 80, true, true, 4, 0x1070, ""},
        InfoCase{"UnknownTypeNegative", -1, true, 1, 80, true, true, 4, 0x1070, ""}),
    [](const ::testing::TestParamInfo<InfoCase> &info) { return std::string(info.param.name); });

// A caller's request record may be just its version and size: those 8 bytes
// end at a page that cannot be read.
TEST(GetConduitInfoRequestTest, ReadsOnlyTheVersionAndTheSize) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void *pages = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(static_cast<char *>(pages) + page, page, PROT_NONE), 0);
    uint32_t *request = reinterpret_cast<uint32_t *>(static_cast<char *>(pages) + page - 8);
    request[0] = 1;
    request[1] = 80;
    char out[8] = {};
    uint32_t outSize = sizeof out;
    EXPECT_EQ(Lenfol().getConduitInfo(0, request, out, &outSize), 0);
    EXPECT_STREQ(out, "Lenfol");
    munmap(pages, 2 * page);
}

// ---- OpenConduit dispatch ------------------------------------------------------

class OpenConduitTest : public ConduitTest {};

TEST_F(OpenConduitTest, DoNothingLogsOneLineAndNeverCallsTheSyncManager) {
    MakeDatabase({{0, 1, Body({"Nikon F3", "Nikon"})}});
    const std::string pdb = ReadAll(DatabasePath());
    WriteAll(CamerasPath(), "old\n");
    StandinClearLog();

    EXPECT_EQ(Sync(kSyncTypeDoNothing), 0);
    EXPECT_EQ(LogLines(), (std::vector<LogLine>{{-1, "Lensfolio - sync configured to Do Nothing"}}));
    EXPECT_EQ(StandinCallCount("SyncRegisterConduit"), 0);
    EXPECT_EQ(StandinCallCount("SyncOpenDB"), 0);
    EXPECT_EQ(ReadAll(CamerasPath()), "old\n");
    EXPECT_EQ(ReadAll(DatabasePath()), pdb);
}

class OpenConduitOtherTypeTest : public OpenConduitTest,
                                 public ::testing::WithParamInterface<int32_t> {};

TEST_P(OpenConduitOtherTypeTest, RegistersLogsStartAndSuccessAndCopiesNothing) {
    WriteAll(CamerasPath(), "kept\n");
    EXPECT_EQ(Sync(GetParam()), 0);
    EXPECT_EQ(LogLines(), (std::vector<LogLine>{{19, ""}, {20, "Lenfol"}}));
    EXPECT_EQ(StandinCallCount("SyncRegisterConduit"), 1);
    EXPECT_EQ(StandinCallCount("SyncUnRegisterConduit"), 1);
    EXPECT_EQ(StandinCallCount("SyncOpenDB"), 0);
    EXPECT_EQ(ReadAll(CamerasPath()), "kept\n");
    EXPECT_FALSE(std::filesystem::exists(DatabasePath()));
}

INSTANTIATE_TEST_SUITE_P(SyncTypes, OpenConduitOtherTypeTest,
                         ::testing::Values(0, 1, 4, 5, 7, -1, 0x7FFFFFFF));

TEST_F(OpenConduitTest, FailedRegistrationIsReturnedWithoutALogLine) {
    StandinFailCall("SyncRegisterConduit", 1, 0x4321, 0);
    const int32_t status = Sync(kSyncTypeHandheldToDesktop);
    EXPECT_EQ(status, AnsweredStatus(0x4321));
    EXPECT_TRUE(LogLines().empty());
    EXPECT_EQ(StandinCallCount("SyncUnRegisterConduit"), 0);
    EXPECT_EQ(StandinCallCount("SyncOpenDB"), 0);
}

TEST_F(OpenConduitTest, FailedUnregistrationDoesNotChangeTheResult) {
    StandinFailCall("SyncUnRegisterConduit", 1, 0x4321, 0);
    EXPECT_EQ(Sync(0), 0);
    EXPECT_EQ(LogLines().back(), (LogLine{20, "Lenfol"}));
}

TEST_F(OpenConduitTest, CopyFailureBecomesTheFailureEndLine) {
    // No database: the export cannot open it and reports the sync manager's status.
    EXPECT_EQ(Sync(kSyncTypeHandheldToDesktop), kSyncErrDatabaseMissing);
    EXPECT_EQ(LogLines(), (std::vector<LogLine>{{19, ""}, {22, "SyncOpenDB failed"}, {21, "Lenfol"}}));
    EXPECT_EQ(StandinCallCount("SyncUnRegisterConduit"), 1);
}

TEST_F(OpenConduitTest, NullPropertiesAreRefused) {
    EXPECT_NE(Lenfol().openConduit(nullptr, nullptr), 0);
    EXPECT_EQ(StandinCallCount("SyncRegisterConduit"), 0);
}

// ---- Library start-up and shut-down --------------------------------------------

TEST(LenfolLibraryTest, InitialisesTheDialogLibraryOncePerLoad) {
    (void)Lenfol();  // the shared copy stays loaded throughout
    StandinClearFaults();
    LenfolExports second;
    ASSERT_TRUE(LoadLenfol(&second));
    EXPECT_EQ(StandinCallCount("InitPdcmn5DLL"), 0) << "already loaded: no second start-up";
    UnloadLenfol(&second);
}

TEST(LenfolLibraryTest, EachFreshLoadInitialisesTheDialogLibraryOnce) {
    // A copy under another file is a separate load with its own application
    // object, as a HotSync Manager gets after unloading the conduit.
    const ScratchDir scratch("lenfol-load");
    const std::string copy = scratch.Path() + "/Lenfol.dll";
    WriteAll(copy, ReadAll(LENFOL_DLL_PATH));
    for (int load = 1; load <= 2; ++load) {
        SCOPED_TRACE(load);
        StandinClearFaults();
        void *library = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        EXPECT_EQ(StandinCallCount("InitPdcmn5DLL"), 1);
        ASSERT_EQ(dlclose(library), 0);
        EXPECT_EQ(dlopen(copy.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr)
            << "the library stayed loaded after its last dlclose";
    }
}

}  // namespace
