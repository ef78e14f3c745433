// The uninstaller: removes the LnFo registration, then the conduit library
// and the desktop files below the chosen user's directory.
#include <cstring>

#include "platform.h"
#include "setup_program.h"
#include "setup_text.h"
#include "user_select.h"

namespace {

const char kCreatorId[] = "LnFo";

const SelectionTexts kUninstallerTexts = {
    "Press OK if you want to remove the Lensfolio from ", "'s backup conduit.",
    "Lensfolio: Uninstaller"};

typedef int32_t(WIN_CALL *RemoveFn)(const char *path);

struct RemovalStep {
    const char *piece;
    RemoveFn remove;
};

// Files first, so that each directory is empty when its turn comes.
const RemovalStep kRemovalSteps[] = {
    {"\\Lenfol\\Conduit\\Lenfol.dll", DeleteFileA},
    {"\\Lenfol\\Conduit\\", RemoveDirectoryA},
    {"\\Lenfol\\Cameras.txt", DeleteFileA},
    {"\\Lenfol\\Backup.txt", DeleteFileA},
    {"\\Lenfol\\Temp.txt", DeleteFileA},
    {"\\Lenfol\\Synced.txt", DeleteFileA},
    {"\\Lenfol\\", RemoveDirectoryA}};

struct Uninstaller {
    UserSelection selection;
    char hotSyncDirectory[kSetupTextCapacity];
    char path[kSetupTextCapacity];  // first the confirmation prompt
};

// Every path the run builds must fit before the registration goes.
int PathsFit(const Uninstaller *run) {
    for (const RemovalStep &step : kRemovalSteps) {
        const char *pieces[] = {run->hotSyncDirectory, "\\", run->selection.userDirectory,
                                step.piece};
        if (!TextFits(pieces, 4, kSetupTextCapacity)) return 0;
    }
    return 1;
}

int Prepare(Uninstaller *run) {
    uint32_t size = kSetupTextCapacity;
    const int32_t status = GetHotSyncDirectory(run->hotSyncDirectory, &size);
    KeepQueriedText(run->hotSyncDirectory, status == 0);
    if (status != 0) {
        ShowBox("Could not find HotSync directory!", "Lensfolio: HotSync Directory", kBoxError);
        return kSetupStop;
    }
    if (!PathsFit(run)) {
        ShowLengthError(kPathTooLongText);
        return kSetupStop;
    }
    return kSetupGoOn;
}

int Unregister(void) {
    // Non-zero means removed: the reverse of the conduit manager's other calls.
    if (RemoveConduit(kCreatorId) == 0) {
        ShowBox("Could not remove conduit!", "Lensfolio: Conduit Error", kBoxError);
        return kSetupStop;
    }
    return kSetupGoOn;
}

// Missing files and directories that are not empty are expected and ignored;
// a file of the user's own keeps the application directory.
int RemoveLayout(Uninstaller *run) {
    for (const RemovalStep &step : kRemovalSteps) {
        if (BuildUserPath(run->path, run->hotSyncDirectory, run->selection.userDirectory,
                          step.piece) != 0) {
            ShowLengthError(kPathTooLongText);
            return kSetupStop;
        }
        step.remove(run->path);
    }
    return kSetupGoOn;
}

}  // namespace

int RunSetupProgram(void) {
    Uninstaller run;
    std::memset(&run, 0, sizeof run);
    if (SelectUser(&kUninstallerTexts, &run.selection, run.path) != kSetupGoOn) return 0;
    if (Prepare(&run) != kSetupGoOn) return 0;
    if (Unregister() != kSetupGoOn) return 0;
    if (RemoveLayout(&run) != kSetupGoOn) return 0;
    NotifyHotSyncManager(2, 0);
    Sleep(5000);
    ShowBox("Conduit has been successfully uninstalled.", "Lensfolio: Success", kBoxInformation);
    return 0;
}
