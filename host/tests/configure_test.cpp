// configure and the stored sync types: the conduit's action dialog answered
// through HOTSYNC_ANSWERS, then HotSyncs that run with what was stored.
#include <fstream>

#include "host_fixture.h"

namespace {

class HotsyncConfigure : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        InitUser();
        RegisterConduit();
    }

    ProcessResult Configure(const std::string &answers) {
        return Hotsync({"configure"}, {{"HOTSYNC_ANSWERS", answers}});
    }

    std::string Settings() const { return ReadAll(UserDir() + "/sync.ini"); }

    bool Logged(int activity, const std::string &text) const {
        for (const auto &entry : LogEntries()) {
            if (entry.activity == activity && entry.text == text) return true;
        }
        return false;
    }
};

struct DialogCase {
    const char *name;
    const char *answers;
    const char *printed;
    const char *stored;  // sync.ini afterwards
};

class HotsyncConfigureAnswers : public HotsyncConfigure,
                                public ::testing::WithParamInterface<DialogCase> {};

TEST_P(HotsyncConfigureAnswers, StoresWhatTheDialogAnswered) {
    const DialogCase &c = GetParam();
    ProcessResult r = Configure(c.answers);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(c.printed), std::string::npos) << r.out;
    EXPECT_EQ(Settings(), c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Dialog, HotsyncConfigureAnswers,
    ::testing::Values(
        DialogCase{"DesktopDefault", "ok:1:default",
                   "desktop overwrites handheld (type 3), from now on", "[LnFo]\ndefault = 3\n"},
        DialogCase{"HandheldOnce", "ok:2", "handheld overwrites desktop (type 2), for the next HotSync only",
                   "[LnFo]\nonce = 2\n"},
        DialogCase{"NothingDefault", "ok:3:default", "do nothing (type 6), from now on",
                   "[LnFo]\ndefault = 6\n"},
        DialogCase{"Cancel", "cancel", "no choice made; nothing changed", ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(HotsyncConfigure, WithNothingStoredTheConduitDefaultCopiesNothing) {
    WriteCameras({Camera("Nikon F")});
    ProcessResult r = Hotsync({"sync"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("type 0, the conduit's default"), std::string::npos) << r.out;
    EXPECT_FALSE(std::ifstream(HandheldDb()).good());
    EXPECT_TRUE(Logged(19, ""));
    EXPECT_TRUE(Logged(20, "Lenfol"));
}

TEST_F(HotsyncConfigure, OneTimeTypeRunsOnceThenTheDefaultReturns) {
    ASSERT_EQ(Configure("ok:1:default").exitCode, 0);
    ASSERT_EQ(Configure("ok:2").exitCode, 0);
    PdbRecord onHandheld;
    onHandheld.body = BodyBytes(Camera("From the handheld"));
    onHandheld.attributes = 1;
    SaveHandheld({onHandheld});
    WriteCameras({Camera("From the desktop")});

    ASSERT_EQ(Hotsync({"sync"}).exitCode, 0);
    EXPECT_EQ(ReadAll(CamerasPath()), CameraLine(Camera("From the handheld")));
    EXPECT_EQ(Settings(), "[LnFo]\ndefault = 3\n");

    WriteCameras({Camera("Edited on the desktop")});
    ProcessResult r = Hotsync({"sync"});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("(type 3), stored default"), std::string::npos) << r.out;
    PdbDatabase db = LoadHandheld();
    ASSERT_EQ(db.records.size(), 1u);
    EXPECT_EQ(db.records[0].body, BodyBytes(Camera("Edited on the desktop")));
}

TEST_F(HotsyncConfigure, TypeOptionOverridesWithoutUsingUpTheOneTimeType) {
    WriteAll(UserDir() + "/sync.ini", "[LnFo]\ndefault = 3\nonce = 2\n");
    ProcessResult r = Hotsync({"sync", "--type", "6"});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_TRUE(Logged(-1, "Lensfolio - sync configured to Do Nothing"));
    EXPECT_EQ(Settings(), "[LnFo]\ndefault = 3\nonce = 2\n");
}

TEST_F(HotsyncConfigure, DialogStartsFromTheTypeTheNextSyncWouldUse) {
    WriteAll(UserDir() + "/sync.ini", "[LnFo]\ndefault = 3\nonce = 2\n");
    // "ok" confirms what the dialog shows. Its make-default switch starts as
    // the dialog library likes: cleared by a kind one, anything by a hostile one.
    ProcessResult r = Configure("ok");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    if (r.err.find("[x] Make this the default") != std::string::npos) {
        EXPECT_EQ(Settings(), "[LnFo]\ndefault = 2\n");
        EXPECT_NE(r.out.find("handheld overwrites desktop (type 2), from now on"), std::string::npos)
            << r.out;
        return;
    }
    EXPECT_EQ(Settings(), "[LnFo]\ndefault = 3\nonce = 2\n");
    EXPECT_NE(r.out.find("handheld overwrites desktop (type 2), for the next HotSync only"),
              std::string::npos)
        << r.out;
}

TEST_F(HotsyncConfigure, BadStoredTypeAndUnknownCreatorAreNamed) {
    ProcessResult unknown = Hotsync({"configure", "--creator", "XxXx"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("\"XxXx\""), std::string::npos) << unknown.err;

    WriteAll(UserDir() + "/sync.ini", "[LnFo]\ndefault = three\n");
    ProcessResult bad = Hotsync({"sync"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("default = \"three\" is not a sync type number"), std::string::npos)
        << bad.err;
}

}  // namespace
