// The installer: copies Lenfol.dll below the chosen user's directory,
// registers it under LnFo and queues Lenfol.prc for the next HotSync.
#include <cstring>

#include "platform.h"
#include "setup_program.h"
#include "setup_text.h"
#include "user_select.h"

namespace {

const char kCreatorId[] = "LnFo";
const char kLibraryPiece[] = "\\Lenfol\\Conduit\\Lenfol.dll";
const char kLibraryFile[] = "\\Lenfol.dll";
const char kApplicationFile[] = "\\Lenfol.prc";

const SelectionTexts kInstallerTexts = {
    "Press Yes if you want to install the Lensfolio to ", "'s backup conduit.",
    "Lensfolio: Installer"};

struct Installer {
    UserSelection selection;
    char currentDirectory[kSetupTextCapacity];
    char hotSyncDirectory[kSetupTextCapacity];
    char target[kSetupTextCapacity];  // first the confirmation prompt
    char source[kSetupTextCapacity];
    int alreadyInstalled;
};

typedef int32_t(HS_CALL *SetConduitValueFn)(const char *creator, const char *value);

struct RegistrationStep {
    SetConduitValueFn set;
    const char *value;
    const char *failureText;
    const char *failureTitle;
};

// Every path the run builds must fit before anything is created.
int PathsFit(const Installer *run) {
    const char *library[] = {run->hotSyncDirectory, "\\", run->selection.userDirectory,
                             kLibraryPiece};
    const char *librarySource[] = {run->currentDirectory, kLibraryFile};
    const char *applicationSource[] = {run->currentDirectory, kApplicationFile};
    return TextFits(library, 4, kSetupTextCapacity) &&
           TextFits(librarySource, 2, kSetupTextCapacity) &&
           TextFits(applicationSource, 2, kSetupTextCapacity);
}

int Prepare(Installer *run) {
    // 0 is a failure and a length past the buffer one that did not fit: either
    // way the buffer holds nothing to go by.
    const uint32_t length = GetCurrentDirectoryA(kSetupTextCapacity, run->currentDirectory);
    KeepQueriedText(run->currentDirectory, length > 0 && length < kSetupTextCapacity);
    uint32_t size = kSetupTextCapacity;
    const int32_t status = GetHotSyncDirectory(run->hotSyncDirectory, &size);
    KeepQueriedText(run->hotSyncDirectory, status == 0);
    if (status != 0) {
        ShowBox("Could not find HotSync directory!", "Lensfolio: HotSync Directory Error",
                kBoxError);
        return kSetupStop;
    }
    if (!PathsFit(run)) {
        ShowLengthError(kPathTooLongText);
        return kSetupStop;
    }
    return kSetupGoOn;
}

int BuildSource(Installer *run, const char *file) {
    if (CopyText(run->source, kSetupTextCapacity, run->currentDirectory) != 0 ||
        AppendText(run->source, kSetupTextCapacity, file) != 0) {
        ShowLengthError(kPathTooLongText);
        return kSetupStop;
    }
    return kSetupGoOn;
}

// Creation and copy failures (an existing directory, no Lenfol.dll) are
// expected on a reinstall and are not reported.
int PlaceLibrary(Installer *run) {
    if (BuildUserPath(run->target, run->hotSyncDirectory, run->selection.userDirectory,
                      "\\Lenfol") != 0) {
        ShowLengthError(kPathTooLongText);
        return kSetupStop;
    }
    CreateDirectoryA(run->target, nullptr);
    if (AppendText(run->target, kSetupTextCapacity, "\\Conduit") != 0) {
        ShowLengthError(kPathTooLongText);
        return kSetupStop;
    }
    CreateDirectoryA(run->target, nullptr);
    if (BuildSource(run, kLibraryFile) != kSetupGoOn) return kSetupStop;
    if (AppendText(run->target, kSetupTextCapacity, kLibraryFile) != 0) {
        ShowLengthError(kPathTooLongText);
        return kSetupStop;
    }
    CopyFileA(run->source, run->target, 0);
    return kSetupGoOn;
}

// An existing registration is taken as it stands: none of its settings is
// rewritten, and the run goes on to queue the application.
int Register(Installer *run) {
    int32_t status = InstallConduit(kCreatorId, 1);
    if (status == kCondMgrAlreadyInstalled) {
        run->alreadyInstalled = 1;
        return kSetupGoOn;
    }
    if (status != 0) {
        ShowBox("Could not install conduit!", "Lensfolio: Conduit Error", kBoxError);
        return kSetupStop;
    }
    const RegistrationStep steps[] = {
        {SetConduitCreatorName, run->target, "Could not set creator name!",
         "Lensfolio: Name Error"},
        {SetConduitDirectory, "Lenfol", "Could not set PC directory!",
         "Lensfolio: Directory Error"},
        {SetConduitFileName, "Camera.txt", "Could not set PC filename!",
         "Lensfolio: PC Filename Error"},
        {SetConduitTitle, "Lensfolio", "Could not set title!", "Lensfolio: Title Error"},
        {SetConduitRemoteFile, "LenfolDB", "Could not set remote file!",
         "Lensfolio: HH Filename Error"}};
    for (const RegistrationStep &step : steps) {
        if (step.set(kCreatorId, step.value) != 0) {
            ShowBox(step.failureText, step.failureTitle, kBoxError);
            return kSetupStop;
        }
    }
    return kSetupGoOn;
}

int QueueApplication(Installer *run) {
    NotifyHotSyncManager(2, 0);
    if (BuildSource(run, kApplicationFile) != kSetupGoOn) return kSetupStop;
    QueueHandheldInstall(run->selection.userName, run->source);
    return kSetupGoOn;
}

}  // namespace

int RunSetupProgram(void) {
    Installer run;
    std::memset(&run, 0, sizeof run);
    if (SelectUser(&kInstallerTexts, &run.selection, run.target) != kSetupGoOn) return 0;
    if (Prepare(&run) != kSetupGoOn) return 0;
    if (PlaceLibrary(&run) != kSetupGoOn) return 0;
    if (Register(&run) != kSetupGoOn) return 0;
    if (QueueApplication(&run) != kSetupGoOn) return 0;
    Sleep(5000);
    ShowBox(run.alreadyInstalled
                ? "Lensfolio will be installed on next HotSync."
                : "Conduit has been successfully installed.  Lensfolio will be installed on "
                  "next HotSync.",
            "Lensfolio: Success", kBoxInformation);
    return 0;
}
