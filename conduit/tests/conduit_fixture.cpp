#include "conduit_fixture.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "standin.h"
#include "standin_extra.h"

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

std::ostream &operator<<(std::ostream &out, const LogLine &line) {
    return out << "{" << line.activity << ", \"" << line.text << "\"}";
}

std::vector<LogLine> LogLines() {
    std::vector<LogLine> lines;
    for (size_t i = 0; i < StandinLogCount(); ++i)
        lines.push_back({StandinLogActivity(i), StandinLogText(i)});
    return lines;
}

std::ostream &operator<<(std::ostream &out, const HandheldRecord &r) {
    return out << "{attr 0x" << std::hex << int(r.attributes) << std::dec << ", cat " << r.category
               << ", " << r.body.size() << " bytes}";
}

std::string Body(const std::vector<std::string> &columns) {
    std::string body;
    for (size_t i = 0; i < 11; ++i) {
        if (i < columns.size()) body += columns[i];
        body.push_back('\0');
    }
    return body;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string &path, const std::string &content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

bool FileExists(const std::string &path) { return fs::exists(path); }

int32_t AnsweredStatus(int32_t status) {
    return StandinHostile() ? StandinLastFailure() : status;
}

void ConduitTest::SetUp() {
    char pattern[] = "/tmp/lenfol-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    fs::create_directories(root_ + "/handheld");
    fs::create_directories(DesktopDir());
    StandinSetHandheldDir((root_ + "/handheld").c_str());
    StandinClearFaults();
    StandinClearLog();
    ASSERT_NE(Lenfol().library, nullptr);
}

void ConduitTest::TearDown() {
    StandinClearFaults();
    EXPECT_EQ(StandinOpenDatabaseCount(), 0) << "a database handle was left open";
    std::error_code ignored;
    fs::remove_all(root_, ignored);
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
    SyncCreateRequest create;
    std::memset(&create, 0, sizeof create);
    create.creator = 0x4C6E466F;  // LnFo
    create.dbType = 0x4974656D;   // Item
    std::strcpy(create.name, "LenfolDB");
    ASSERT_EQ(SyncCreateDB(&create), 0);
    for (const HandheldRecord &r : records) {
        SyncRecordRequest write{};
        write.dbHandle = create.dbHandle;
        write.attributes = r.attributes;
        write.category = r.category;
        write.recordSize = static_cast<uint32_t>(r.body.size());
        write.buffer = const_cast<char *>(r.body.data());
        ASSERT_EQ(SyncWriteRec(&write), 0);
    }
    ASSERT_EQ(SyncCloseDB(create.dbHandle), 0);
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
    std::vector<char> buffer(65535);
    for (uint16_t i = 0; i < count; ++i) {
        SyncRecordRequest read{};
        read.dbHandle = db;
        read.recordIndex = i;
        read.bufferSize = 65535;
        read.buffer = buffer.data();
        EXPECT_EQ(SyncReadRecordByIndex(&read), 0);
        // A body longer than one read arrives cut to the buffer.
        const size_t size = std::min<size_t>(read.recordSize, buffer.size());
        records.push_back({read.attributes, read.category, std::string(buffer.data(), size)});
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
