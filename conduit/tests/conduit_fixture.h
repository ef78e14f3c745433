// Shared pieces of the conduit tests: the library loaded as a HotSync Manager
// loads it, a scratch HotSync layout, and handheld databases made and read
// through the stand-in's sync manager.
#ifndef LENSFOLIO_CONDUIT_FIXTURE_H
#define LENSFOLIO_CONDUIT_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "desktop.h"
#include "files.h"
#include "platform.h"
#include "records.h"

// The conduit's exports, resolved by name from the built Lenfol.dll.
struct LenfolExports {
    void *library = nullptr;
    OpenConduitFn openConduit = nullptr;
    ConfigureConduitFn configureConduit = nullptr;
    GetConduitInfoFn getConduitInfo = nullptr;
    GetConduitNameFn getConduitName = nullptr;
    GetConduitVersionFn getConduitVersion = nullptr;
};

// Loads the library and resolves the five exports; fails the test if any is missing.
bool LoadLenfol(LenfolExports *exports);
void UnloadLenfol(LenfolExports *exports);
// One loaded copy for the whole test program.
const LenfolExports &Lenfol();

struct HandheldRecord {
    uint8_t attributes = 0;  // as the sync manager reports them
    int16_t category = 0;
    std::string body;
    bool operator==(const HandheldRecord &o) const {
        return attributes == o.attributes && category == o.category && body == o.body;
    }
};
std::ostream &operator<<(std::ostream &out, const HandheldRecord &record);

// A scratch directory holding a handheld folder and the conduit's desktop
// directory, with the stand-in pointed at it and its log and faults cleared.
class ConduitTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string DesktopDir() const { return root_ + "/Lenfol/"; }
    std::string CamerasPath() const { return DesktopDir() + "Cameras.txt"; }
    std::string TempPath() const { return DesktopDir() + "Temp.txt"; }
    std::string DatabasePath() const { return root_ + "/handheld/LenfolDB.pdb"; }

    // Creates LenfolDB holding these records (creator LnFo, type Item).
    void MakeDatabase(const std::vector<HandheldRecord> &records);
    std::vector<HandheldRecord> ReadDatabase();

    // Runs OpenConduit as a HotSync of this sync type would.
    int32_t Sync(int32_t syncType);

    ScratchDir scratch_{"lenfol-test"};
    const std::string root_ = scratch_.Path();
};

#endif
