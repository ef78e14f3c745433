#include "conduit_fixture.h"

#include <dlfcn.h>

#include <cstring>
#include <filesystem>

#include "standin.h"

namespace fs = std::filesystem;

bool LoadLenfol(LenfolExports *e) {
    e->library = dlopen(LENFOL_DLL_PATH, RTLD_NOW | RTLD_LOCAL);
    if (e->library == nullptr) {
        ADD_FAILURE() << "dlopen(" << LENFOL_DLL_PATH << "): " << dlerror();
        return false;
    }
    e->openConduit = reinterpret_cast<OpenConduitFn>(dlsym(e->library, "OpenConduit"));
    e->configureConduit = reinterpret_cast<ConfigureConduitFn>(dlsym(e->library, "ConfigureConduit"));
    e->getConduitInfo = reinterpret_cast<GetConduitInfoFn>(dlsym(e->library, "GetConduitInfo"));
    e->getConduitName = reinterpret_cast<GetConduitNameFn>(dlsym(e->library, "GetConduitName"));
    e->getConduitVersion = reinterpret_cast<GetConduitVersionFn>(dlsym(e->library, "GetConduitVersion"));
    bool all = e->openConduit && e->configureConduit && e->getConduitInfo && e->getConduitName &&
               e->getConduitVersion;
    EXPECT_TRUE(all) << "an export is missing from Lenfol.dll";
    return all;
}

void UnloadLenfol(LenfolExports *e) {
    if (e->library != nullptr) dlclose(e->library);
    *e = LenfolExports{};
}

const LenfolExports &Lenfol() {
    static LenfolExports exports;
    if (exports.library == nullptr) LoadLenfol(&exports);
    return exports;
}

std::ostream &operator<<(std::ostream &out, const HandheldRecord &r) {
    return out << "{attr 0x" << std::hex << int(r.attributes) << std::dec << ", cat " << r.category
               << ", " << r.body.size() << " bytes}";
}

void ConduitTest::SetUp() {
    StandinReset();
    ASSERT_FALSE(root_.empty());
    fs::create_directories(root_ + "/handheld");
    fs::create_directories(DesktopDir());
    StandinSetHandheldDir((root_ + "/handheld").c_str());
    ASSERT_NE(Lenfol().library, nullptr);
}

void ConduitTest::TearDown() {
    StandinClearFaults();
    EXPECT_EQ(StandinOpenDatabaseCount(), 0) << "a database handle was left open";
}

namespace {

// The test builds and reads back the handheld through a kind sync manager,
// whose record sizes it can trust; hostile mode, if on, resumes afterwards
// from its seed.
struct KindStandin {
    const int hostile = StandinHostile();
    const uint32_t seed = StandinHostileSeed();
    KindStandin() { StandinSetHostile(0, seed); }
    ~KindStandin() { StandinSetHostile(hostile, seed); }
};

}  // namespace

void ConduitTest::MakeDatabase(const std::vector<HandheldRecord> &records) {
    KindStandin kind;
    ConduitHandle handle = 0;
    ASSERT_EQ(SyncRegisterConduit(&handle), 0);
    uint8_t db = 0;
    ASSERT_EQ(CreateDatabase("LenfolDB", &db), 0);
    for (const HandheldRecord &r : records) ASSERT_EQ(WriteRecord(db, r.attributes, r.category, r.body), 0);
    ASSERT_EQ(SyncCloseDB(db), 0);
    SyncUnRegisterConduit(handle);
    StandinClearFaults();
}

std::vector<HandheldRecord> ConduitTest::ReadDatabase() {
    std::vector<HandheldRecord> records;
    KindStandin kind;
    ConduitHandle handle = 0;
    EXPECT_EQ(SyncRegisterConduit(&handle), 0);
    uint8_t db = 0;
    EXPECT_EQ(SyncOpenDB("LenfolDB", 0, &db, kOpenRead | kOpenShowSecret), 0);
    uint16_t count = 0;
    EXPECT_EQ(SyncGetDBRecordCount(db, &count), 0);
    for (uint16_t i = 0; i < count; ++i) {
        // A body longer than one read arrives cut to the buffer.
        const ReadResult read = ReadRecord(db, i);
        EXPECT_EQ(read.status, 0);
        records.push_back({read.attributes, read.category, read.body});
    }
    EXPECT_EQ(SyncCloseDB(db), 0);
    SyncUnRegisterConduit(handle);
    StandinClearFaults();
    return records;
}

int32_t ConduitTest::Sync(int32_t syncType) {
    SyncProperties properties{};
    properties.syncType = syncType;
    std::strncpy(properties.pathName, DesktopDir().c_str(), sizeof properties.pathName - 1);
    return Lenfol().openConduit(nullptr, &properties);
}
