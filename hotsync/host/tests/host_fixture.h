// Runs the built hotsync (and the installer) as child processes in a scratch
// HotSync directory, and sets up or reads back the files they use.
#ifndef LENSFOLIO_HOST_FIXTURE_H
#define LENSFOLIO_HOST_FIXTURE_H

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "pdb.h"
#include "root.h"

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

using Environment = std::vector<std::pair<std::string, std::string>>;

// Runs `argv` with the test's environment minus every HOTSYNC_ variable but
// HOTSYNC_HOSTILE, plus `env`, in `cwd` (unchanged when empty), with standard input from
// /dev/null and both outputs captured.
ProcessResult RunProcess(const std::vector<std::string> &argv, const Environment &env,
                         const std::string &cwd = std::string());

std::string ReadFile(const std::string &path);
void WriteFile(const std::string &path, const std::string &content);

// One line of Cameras.txt from fifteen columns.
std::string CameraLine(const std::vector<std::string> &columns);
// Fifteen valid columns named `name`, with the given flags and category.
std::vector<std::string> Camera(const std::string &name, const std::string &privateFlag = "N",
                                const std::string &category = "1",
                                const std::string &deletedFlag = "N");
// The record body the conduit packs for columns 1 to 11.
std::vector<uint8_t> BodyOf(const std::vector<std::string> &columns);

class HostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

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

    void WriteCameras(const std::vector<std::vector<std::string>> &cameras);
    PdbDatabase LoadHandheld() const;
    void SaveHandheld(const std::vector<PdbRecord> &records);
    // Every file below the root with its content.
    std::map<std::string, std::string> Snapshot() const;
    // The log file's entries as (activity, text).
    std::vector<std::pair<int, std::string>> LogEntries() const;

    std::string scratch_;
    std::string root_;
};

#endif  // LENSFOLIO_HOST_FIXTURE_H
