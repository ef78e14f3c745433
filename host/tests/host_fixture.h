// Runs the built hotsync (and the installer) as child processes in a scratch
// HotSync directory, and sets up or reads back the files they use.
#ifndef LENSFOLIO_HOST_FIXTURE_H
#define LENSFOLIO_HOST_FIXTURE_H

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "desktop.h"
#include "files.h"
#include "pdb.h"
#include "process.h"
#include "records.h"
#include "root.h"

class HostTest : public ::testing::Test {
protected:
    // hotsync with HOTSYNC_ROOT set to the scratch root, in the C.UTF-8 locale.
    ProcessResult Hotsync(const std::vector<std::string> &args, const Environment &env = {});
    // The root with the user NAME (ID 1), as init makes it; the registration
    // of the built conduit and its desktop folder.
    void InitUser(const std::string &name = "Ada Lovelace");
    void RegisterConduit();

    std::string UserDir(const std::string &directory = "AdaLovelace") const;
    std::string CamerasPath() const { return UserDir() + "/Lenfol/Cameras.txt"; }
    std::string HandheldDb() const { return UserDir() + "/handheld/LenfolDB.pdb"; }
    std::string LogPath() const { return UserDir() + "/hotsync.log"; }
    std::string BackupDir() const { return UserDir() + "/backup"; }
    // The folders of the backup folder, one per HotSync that kept files, oldest first.
    std::vector<std::string> BackupStamps() const;

    static PdbRecord Record(const std::vector<std::string> &camera, uint8_t attributes, uint32_t id);

    void WriteCameras(const std::vector<std::vector<std::string>> &cameras);
    PdbDatabase LoadHandheld() const;
    void SaveHandheld(const std::vector<PdbRecord> &records);
    // Every file below the root with its content.
    std::map<std::string, std::string> Snapshot() const;
    std::vector<LogLine> LogEntries() const { return LogFileLines(LogPath()); }

    ScratchDir scratchDir_{"hotsync-host-test"};
    const std::string scratch_ = scratchDir_.Path();
    const std::string root_ = scratch_ + "/root";
};

#endif  // LENSFOLIO_HOST_FIXTURE_H
