// ConfigureConduit: the sync-action dialog, as the HotSync Manager opens it
// from the conduit's settings.
#include <string>

#include "conduit_fixture.h"
#include "standin.h"
#include "trace.h"

namespace {

struct ConfigureCase {
    const char *name;
    int32_t typeOnEntry;
    const char *answer;  // the dialog's answer, as a scripted token
    int32_t shownAction;
    int32_t result;
    int32_t typeAfter;
    int32_t kindAfter;
};

void PrintTo(const ConfigureCase &c, std::ostream *out) { *out << c.name; }

class ConfigureConduitTest : public ::testing::TestWithParam<ConfigureCase> {
protected:
    void SetUp() override {
        StandinReset();
        StandinSetTerminalAnswers(0);
    }
    void TearDown() override {
        EXPECT_EQ(StandinLiveDialogCount(), 0) << "the dialog was not destroyed";
        StandinSetAnswers("");
        StandinClearFaults();
    }

    ScratchDir scratch_{"lensfolio-configure"};
};

TEST_P(ConfigureConduitTest, MapsTheDialogToTheStoredSyncType) {
    const ConfigureCase &c = GetParam();
    ScopedTrace trace(scratch_.Path() + "/trace");
    StandinSetAnswers(c.answer);
    SyncPreference preference{};
    preference.syncType = c.typeOnEntry;
    preference.preferenceKind = 7;  // whatever was there is cleared

    EXPECT_EQ(Lenfol().configureConduit(&preference), c.result);
    EXPECT_EQ(preference.syncType, c.typeAfter);
    // What the dialog showed: the conduit's name, the action, the switch.
    const std::vector<PlatformCall> dialogs = trace.Calls("RunHotSyncActionDlg");
    ASSERT_EQ(dialogs.size(), 1u);
    ASSERT_GE(dialogs[0].arguments.size(), 3u);
    // "ok" keeps the make-default switch as the dialog library first showed
    // it: cleared by a kind one, anything by a hostile one.
    const bool keptTicked = std::string(c.answer) == "ok" && dialogs[0].arguments[2] != "0";
    EXPECT_EQ(preference.preferenceKind, keptTicked ? kPreferencePermanent : c.kindAfter);
    EXPECT_EQ(dialogs[0].arguments[0], "Lenfol");
    EXPECT_EQ(dialogs[0].arguments[1], std::to_string(c.shownAction));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ConfigureConduitTest,
    ::testing::Values(
        ConfigureCase{"NothingChosenStoresDoNothing", 0, "ok", 3, 0, kSyncTypeDoNothing, 2},
        ConfigureCase{"DesktopToHandheldMadeDefault", 3, "ok:1:default", 1, 0, 3, 1},
        ConfigureCase{"HandheldToDesktopCancelled", 2, "cancel", 2, -1, 2, 0},
        ConfigureCase{"SwitchToHandheldToDesktopOnce", 3, "ok:2", 1, 0, 2, 2},
        ConfigureCase{"DoNothingShownForDoNothing", 6, "ok:3:default", 3, 0, 6, 1},
        ConfigureCase{"UnknownTypeShownAsDoNothing", 5, "cancel", 3, -1, 5, 0},
        ConfigureCase{"UnknownTypeConfirmedBecomesDoNothing", -4, "ok", 3, 0, 6, 2}),
    [](const ::testing::TestParamInfo<ConfigureCase> &info) { return std::string(info.param.name); });

TEST_F(ConfigureConduitTest, ADialogThatCannotBeMadeIsACancellation) {
    StandinFailCall("ConstructHotSyncActionDlg", 1, 1, 0);
    SyncPreference preference{};
    preference.syncType = kSyncTypeHandheldToDesktop;
    preference.preferenceKind = 1;
    EXPECT_EQ(Lenfol().configureConduit(&preference), -1);
    EXPECT_EQ(preference.syncType, kSyncTypeHandheldToDesktop);
    EXPECT_EQ(preference.preferenceKind, 0);
    EXPECT_EQ(StandinCallCount("RunHotSyncActionDlg"), 0);
}

TEST_F(ConfigureConduitTest, AFailedModalRunIsACancellation) {
    StandinSetAnswers("ok:1:default");
    StandinFailCall("RunHotSyncActionDlg", 1, -1, 0);
    SyncPreference preference{};
    preference.syncType = kSyncTypeHandheldToDesktop;
    EXPECT_EQ(Lenfol().configureConduit(&preference), -1);
    EXPECT_EQ(preference.syncType, kSyncTypeHandheldToDesktop);
    EXPECT_EQ(preference.preferenceKind, 0);
}

}  // namespace
