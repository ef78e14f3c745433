// A whole HotSync of the Windows conduit under Wine: Lenfol.dll loaded as a
// HotSync Manager loads it, its imports answered by the stand-in DLLs, run
// desktop to handheld and back. The handheld database and Cameras.txt are
// read back record by record.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "camera_record.h"
#include "desktop.h"
#include "files.h"
#include "pdb.h"
#include "platform.h"
#include "standin.h"

// platform.h declares its Windows calls with plain types, so <windows.h>
// cannot come in; the loader calls are declared the same way.
extern "C" {
void *WIN_CALL LoadLibraryA(const char *path);
void *WIN_CALL GetProcAddress(void *module, const char *name);
}

namespace {

namespace fs = std::filesystem;

struct Conduit {
    void *module = nullptr;
    OpenConduitFn openConduit = nullptr;
    int initCallsAtLoad = -1;
};

const Conduit &Lenfol() {
    static Conduit conduit = [] {
        Conduit c;
        c.module = LoadLibraryA((std::string(LENFOL_DLL_DIR) + "\\Lenfol.dll").c_str());
        if (c.module == nullptr) return c;
        c.initCallsAtLoad = StandinCallCount("InitPdcmn5DLL");
        c.openConduit = reinterpret_cast<OpenConduitFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(c.module, "OpenConduit")));
        return c;
    }();
    return conduit;
}

struct Camera {
    std::vector<std::string> columns;  // 1 to 11, then private flag and category
    bool operator==(const Camera &o) const { return columns == o.columns; }
};

std::ostream &operator<<(std::ostream &out, const Camera &camera) {
    return out << (camera.columns.empty() ? "(empty)" : camera.columns[0]);
}

Camera FromRecord(const CameraRecord &record) {
    Camera camera;
    for (int i = 0; i < kBodyColumnCount; ++i) camera.columns.push_back(record.*kCameraColumns[i]);
    camera.columns.push_back(record.privateFlag);
    camera.columns.push_back(record.category);
    return camera;
}

// The cameras of a desktop file, read with the conduit's own line reader.
std::vector<Camera> CamerasOfFile(const std::string &path) {
    std::vector<Camera> cameras;
    FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return cameras;
    while (CameraRecord *record = ReadCameraFromFile(file)) {
        if (std::string(record->deletedFlag) != "Y") cameras.push_back(FromRecord(*record));
        FreeCameraRecord(record);
    }
    std::fclose(file);
    return cameras;
}

// The cameras of the handheld database, unpacked from the record bodies.
std::vector<Camera> CamerasOfDatabase(const PdbDatabase &db) {
    std::vector<Camera> cameras;
    for (const PdbRecord &r : db.records) {
        const std::string body(r.body.begin(), r.body.end());
        CameraRecord *record = UnpackCameraRecord(body.data(), body.size());
        if (record == nullptr) continue;
        SetCategoryText(static_cast<int16_t>(r.attributes & 0x0F), record);
        Camera camera = FromRecord(*record);
        camera.columns[kBodyColumnCount] = (r.attributes & kRecAttrSecret) != 0 ? "Y" : "N";
        cameras.push_back(camera);
        FreeCameraRecord(record);
    }
    return cameras;
}

class WholeHotSync : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Lenfol().openConduit, nullptr) << "Lenfol.dll did not load with the stand-in DLLs";
        ASSERT_FALSE(scratch_.empty());
        ASSERT_TRUE(fs::create_directories(Handheld()));
        ASSERT_TRUE(fs::create_directories(Desktop()));
        StandinReset();
        StandinSetHandheldDir(Handheld().c_str());
    }

    std::string Handheld() const { return scratch_ + "\\handheld"; }
    std::string Desktop() const { return scratch_ + "\\Lenfol"; }
    std::string Cameras() const { return Desktop() + "\\Cameras.txt"; }

    int32_t Sync(int32_t syncType) {
        SyncProperties properties{};
        properties.syncType = syncType;
        std::snprintf(properties.pathName, sizeof properties.pathName, "%s\\", Desktop().c_str());
        return Lenfol().openConduit(nullptr, &properties);
    }

    ScratchDir scratchDir_{"sync-scratch", fs::current_path()};
    const std::string scratch_ = scratchDir_.Path();
};

using Log = std::vector<LogLine>;

TEST(ConduitLoad, ApplicationObjectInitialisesTheDialogLibraryOnceAtLoad) {
    ASSERT_NE(Lenfol().module, nullptr);
    EXPECT_EQ(Lenfol().initCallsAtLoad, 1);
}

TEST_F(WholeHotSync, DesktopToHandheldThenBackKeepsEveryCamera) {
    const std::string sample = ReadAll(LENSFOLIO_SAMPLE_CAMERAS);
    ASSERT_FALSE(sample.empty());
    WriteAll(Cameras(), sample);
    const std::vector<Camera> original = CamerasOfFile(Cameras());
    ASSERT_GT(original.size(), 1u);

    // The database is missing at first: the failed open is logged, then it is created.
    ASSERT_EQ(Sync(kSyncTypeDesktopToHandheld), 0);
    EXPECT_EQ(LogLines(), (Log{{kLogActivityStart, ""},
                               {kLogActivityError, "SyncOpenDB failed"},
                               {kLogActivityEndSuccess, "Lenfol"}}));
    PdbDatabase db;
    ASSERT_EQ(PdbLoad(Handheld() + "\\LenfolDB.pdb", &db), 0);
    EXPECT_EQ(PdbName(db), "LenfolDB");
    EXPECT_EQ(db.creator, 0x4C6E466Fu) << "creator LnFo";
    EXPECT_EQ(CamerasOfDatabase(db), original);

    ASSERT_TRUE(fs::remove(Cameras()));
    StandinClearLog();
    ASSERT_EQ(Sync(kSyncTypeHandheldToDesktop), 0);
    EXPECT_EQ(LogLines(), (Log{{kLogActivityStart, ""}, {kLogActivityEndSuccess, "Lenfol"}}));
    EXPECT_EQ(CamerasOfFile(Cameras()), original);
    EXPECT_EQ(StandinOpenDatabaseCount(), 0);
}

// A text stream of the Windows C runtime reads Ctrl-Z as the end of the file;
// the list must not end there.
TEST_F(WholeHotSync, CtrlZInsideALineDoesNotEndTheList) {
    WriteAll(Cameras(), "Nikon F3\tNikon\r\n"
                        "Ctrl\x1AZ\tMaker\x1A\r\n"
                        "Leica M6\tLeica\r\n\x1A");
    ASSERT_EQ(Sync(kSyncTypeDesktopToHandheld), 0);
    PdbDatabase db;
    ASSERT_EQ(PdbLoad(Handheld() + "\\LenfolDB.pdb", &db), 0);
    const std::vector<Camera> cameras = CamerasOfDatabase(db);
    ASSERT_EQ(cameras.size(), 3u) << "the import stopped at the Ctrl-Z byte";
    EXPECT_EQ(cameras[1].columns[0], "Ctrl\x1AZ");
    EXPECT_EQ(cameras[1].columns[1], "Maker\x1A");
    EXPECT_EQ(cameras[2].columns[0], "Leica M6");
    EXPECT_EQ(cameras[2].columns[1], "Leica") << "the final Ctrl-Z is an end mark";
}

TEST_F(WholeHotSync, DoNothingWritesOneLineAndTouchesNothing) {
    ASSERT_EQ(Sync(kSyncTypeDoNothing), 0);
    EXPECT_EQ(LogLines(), (Log{{kLogActivityDoNothing, "Lensfolio - sync configured to Do Nothing"}}));
    EXPECT_EQ(StandinCallCount("SyncRegisterConduit"), 0);
    EXPECT_FALSE(fs::exists(Handheld() + "\\LenfolDB.pdb"));
}

TEST_F(WholeHotSync, FailedRegistrationIsReturnedWithoutALogLine) {
    StandinFailCall("SyncRegisterConduit", 1, 0x4444, 0);
    const int32_t status = Sync(kSyncTypeDesktopToHandheld);
    EXPECT_EQ(status, AnsweredStatus(0x4444));
    EXPECT_TRUE(LogLines().empty());
}

}  // namespace
