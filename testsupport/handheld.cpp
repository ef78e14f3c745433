#include "handheld.h"

#include "standin.h"

void HandheldTest::SetUp() {
    ASSERT_FALSE(dir_.empty());
    StandinReset();
    StandinSetHandheldDir(dir_.c_str());
    ASSERT_EQ(SyncRegisterConduit(&conduit_), 0);
}

void HandheldTest::TearDown() {
    StandinClearFaults();
    EXPECT_EQ(StandinOpenDatabaseCount(), 0) << "a database handle was left open";
    for (int h = 1; h <= 255 && StandinOpenDatabaseCount() > 0; ++h)
        SyncCloseDB(static_cast<uint8_t>(h));
    SyncUnRegisterConduit(conduit_);
    StandinSetHandheldDir(nullptr);
}
