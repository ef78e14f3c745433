// Message-box and action-dialog answers, their trace and the fault list.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <iostream>
#include <string>

#include "setup_standin_fixture.h"
#include "trace.h"

namespace {

using StandinMessageBox = StandinScratch;

const uint32_t kConfirm = 0x123;

TEST_F(StandinMessageBox, AnswersComeFromTheListInOrder) {
    ScopedTrace trace(scratch_ / "trace");
    StandinSetAnswers(" Yes ,no,CANCEL,enter,ok");
    EXPECT_EQ(MessageBoxA(nullptr, "q1", "t", kConfirm), kIdYes);
    EXPECT_EQ(MessageBoxA(nullptr, "q2", "t", kConfirm), kIdNo);
    EXPECT_EQ(MessageBoxA(nullptr, "q3", "t", kConfirm), kIdCancel);
    EXPECT_EQ(MessageBoxA(nullptr, "q4", "t", kConfirm), kIdNo);  // Enter: the second button
    EXPECT_EQ(MessageBoxA(nullptr, "done", "t", 0x40), kIdOk);
    const std::vector<PlatformCall> boxes = trace.Calls("MessageBoxA");
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_EQ(boxes[3].arguments, (std::vector<std::string>{"(null)", "q4", "t", "291"}));
    EXPECT_EQ(boxes[4].arguments.at(3), "64");
    EXPECT_EQ(boxes[2].result, kIdCancel);
}

TEST_F(StandinMessageBox, UsedUpOrForeignAnswersTakeTheDefaultButton) {
    StandinSetAnswers("ok");
    EXPECT_EQ(MessageBoxA(nullptr, "q", "t", kConfirm), kIdNo);    // no OK button here
    EXPECT_EQ(MessageBoxA(nullptr, "q", "t", kConfirm), kIdNo);    // list used up
    EXPECT_EQ(MessageBoxA(nullptr, "q", "t", 0x03), kIdYes);       // first button default
    EXPECT_EQ(MessageBoxA(nullptr, "q", "t", 0x10), kIdOk);
}

TEST_F(StandinMessageBox, FailedBoxAnswersZeroAndKeepsTheNextAnswer) {
    StandinSetAnswers("yes");
    StandinFailCall("MessageBoxA", 1, 0, 0);
    EXPECT_EQ(MessageBoxA(nullptr, "q", "t", kConfirm), 0);
    EXPECT_EQ(StandinInjectedCount(), 1);
    EXPECT_EQ(MessageBoxA(nullptr, "q", "t", kConfirm), kIdYes);
}

TEST_F(StandinMessageBox, TheTraceHasOneEscapedLinePerBox) {
    const std::filesystem::path log = scratch_ / "trace";
    {
        ScopedTrace trace(log);
        StandinSetAnswers("cancel");
        StandinFailCall("MessageBoxA", 2, 0, 0);
        MessageBoxA(nullptr, "two\tparts\\", "Title", kConfirm);
        int owner = 0;
        MessageBoxA(&owner, "failed", nullptr, 0x10);
    }
    EXPECT_EQ(ReadAll(log), "MessageBoxA\t0\t2\t(null)\ttwo\\tparts\\\\\tTitle\t291\n"
                            "MessageBoxA\t1\t0\towner\tfailed\t(null)\t16\n");
}

using StandinActionDialog = StandinScratch;

// Runs one dialog shown with `action`; returns its result.
int32_t RunDialog(int32_t action, int32_t makeDefault, HotSyncActionDlg *dlg) {
    EXPECT_EQ(ConstructHotSyncActionDlg(dlg, nullptr), 0);
    dlg->conduitName = "Lenfol";
    dlg->actionIndex = action;
    dlg->makeDefault = makeDefault;
    int32_t result = RunHotSyncActionDlg(dlg);
    DestroyHotSyncActionDlg(dlg);
    return result;
}

TEST_F(StandinActionDialog, AnswersSetActionAndDefault) {
    ScopedTrace trace(scratch_ / "trace");
    StandinSetAnswers("ok,ok:2,ok:1:default,cancel");
    HotSyncActionDlg dlg;
    EXPECT_EQ(RunDialog(3, 1, &dlg), kDialogOk);
    EXPECT_EQ(dlg.actionIndex, 3);
    EXPECT_EQ(dlg.makeDefault, 1);
    EXPECT_EQ(RunDialog(3, 1, &dlg), kDialogOk);
    EXPECT_EQ(dlg.actionIndex, 2);
    EXPECT_EQ(dlg.makeDefault, 0);
    EXPECT_EQ(RunDialog(2, 0, &dlg), kDialogOk);
    EXPECT_EQ(dlg.actionIndex, 1);
    EXPECT_EQ(dlg.makeDefault, 1);
    EXPECT_EQ(RunDialog(2, 0, &dlg), kDialogCancel);
    EXPECT_EQ(dlg.actionIndex, 2);
    // Shown: name, action, make-default; then the action and switch it left.
    const std::vector<PlatformCall> dialogs = trace.Calls("RunHotSyncActionDlg");
    ASSERT_EQ(dialogs.size(), 4u);
    EXPECT_EQ(dialogs[0].arguments, (std::vector<std::string>{"Lenfol", "3", "1", "3", "1"}));
    EXPECT_EQ(dialogs[2].arguments, (std::vector<std::string>{"Lenfol", "2", "0", "1", "1"}));
    EXPECT_EQ(dialogs[3].result, kDialogCancel);
    EXPECT_EQ(StandinLiveDialogCount(), 0);
}

TEST_F(StandinActionDialog, MalformedOrMissingAnswersCancel) {
    StandinSetAnswers("ok:4,ok:x,ok:2:always,yes,ok:");
    HotSyncActionDlg dlg;
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(RunDialog(3, 0, &dlg), kDialogCancel);
        EXPECT_EQ(dlg.actionIndex, 3);
    }
}

TEST_F(StandinActionDialog, InjectedFailures) {
    StandinFailCall("ConstructHotSyncActionDlg", 1, 0x4011, 0);
    HotSyncActionDlg dlg{};
    EXPECT_EQ(ConstructHotSyncActionDlg(&dlg, nullptr), 0x4011);
    EXPECT_EQ(StandinLiveDialogCount(), 0);
    EXPECT_EQ(InitPdcmn5DLL(), 0);
    EXPECT_EQ(InitPdcmn5DLL(), 0);
    EXPECT_EQ(StandinCallCount("InitPdcmn5DLL"), 2);
    EXPECT_NE(RunHotSyncActionDlg(&dlg), kDialogOk);  // never constructed
}

// Standard input is a pseudo-terminal while it lives, so the boxes and the
// dialog ask there once the answers list is used up.
class Terminal {
public:
    Terminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        const int terminal = open(ptsname(master_), O_RDWR | O_NOCTTY);
        saved_ = dup(0);
        if (terminal >= 0 && saved_ >= 0) dup2(terminal, 0);
        if (terminal >= 0) close(terminal);
    }
    ~Terminal() {
        if (saved_ >= 0) dup2(saved_, 0), close(saved_);
        if (master_ >= 0) close(master_);
        clearerr(stdin);
        std::cin.clear();
    }
    bool Ready() const { return saved_ >= 0 && isatty(0); }
    void Type(const std::string &lines) const {
        ASSERT_EQ(write(master_, lines.data(), lines.size()), ssize_t(lines.size()));
    }

private:
    int master_ = -1;
    int saved_ = -1;
};

// A line that names no answer is asked again; an empty one takes the default
// button, or OK in the dialog.
TEST_F(StandinActionDialog, TheTerminalAnswersOnceTheListIsUsedUp) {
    Terminal terminal;
    ASSERT_TRUE(terminal.Ready());
    StandinSetTerminalAnswers(1);
    StandinSetAnswers("yes");
    terminal.Type("maybe\n YES \n\nok:9\nok:2:default\n\n");
    EXPECT_EQ(MessageBoxA(nullptr, "q", "t", kConfirm), kIdYes);  // from the list
    EXPECT_EQ(MessageBoxA(nullptr, "q", "t", kConfirm), kIdYes);  // "maybe", then "yes"
    EXPECT_EQ(MessageBoxA(nullptr, "q", "t", kConfirm), kIdNo);   // Enter: the second button
    HotSyncActionDlg dlg;
    EXPECT_EQ(RunDialog(3, 0, &dlg), kDialogOk);  // "ok:9", then "ok:2:default"
    EXPECT_EQ(dlg.actionIndex, 2);
    EXPECT_EQ(dlg.makeDefault, 1);
    EXPECT_EQ(RunDialog(1, 0, &dlg), kDialogOk);  // Enter: OK as shown
    EXPECT_EQ(dlg.actionIndex, 1);
}

using StandinFaultList = StandinScratch;

TEST_F(StandinFaultList, EntriesBecomeFaults) {
    EXPECT_EQ(StandinApplyFailList("InstallConduit:2:-1005,CopyFileA:1:0x0:persistent"), 0);
    EXPECT_EQ(InstallConduit("LnFo", 1), 0);
    EXPECT_EQ(InstallConduit("ABCD", 1), kCondMgrAlreadyInstalled);
    std::string base = scratch_.string();
    WriteAll(scratch_ / "a", "x");
    EXPECT_EQ(CopyFileA((base + "/a").c_str(), (base + "/b").c_str(), 0), 0);
    EXPECT_EQ(CopyFileA((base + "/a").c_str(), (base + "/b").c_str(), 0), 0);
    EXPECT_EQ(StandinInjectedCount(), 3);
}

TEST_F(StandinFaultList, MalformedEntriesAreSkipped) {
    EXPECT_EQ(StandinApplyFailList("Sleep,GetFocus:0:1,GetFocus:1:x,GetFocus:1:1:sometimes,"
                                   "DeleteFileA:1:0"),
              kStandinErrBadArgument);
    EXPECT_EQ(DeleteFileA("/nonexistent-but-injected"), 0);
    EXPECT_EQ(StandinInjectedCount(), 1);
}

}  // namespace
