// Runs the installer or the uninstaller as a child process in a scratch
// HotSync directory and reads back what it did: the boxes it asked for
// (HOTSYNC_BOX_LOG) and every platform call it made (HOTSYNC_TRACE).
#ifndef LENSFOLIO_SETUP_HARNESS_H
#define LENSFOLIO_SETUP_HARNESS_H

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "root.h"

struct BoxRequest {
    std::string title;
    std::string text;
    uint32_t style = 0;
    int32_t answer = 0;
};

struct PlatformCall {
    std::string operation;
    bool injected = false;
    long long result = 0;
    std::vector<std::string> arguments;
};

struct ProgramRun {
    int exitCode = -1;
    std::vector<BoxRequest> boxes;
    std::vector<PlatformCall> calls;
    std::string errorOutput;

    std::vector<const PlatformCall *> CallsOf(const std::string &operation) const;
    std::vector<std::string> Operations() const;
    bool AnyInjected() const;
};

extern const char kInstaller[];
extern const char kUninstaller[];

class SetupScratch : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Adds a user and creates the user's directory below the root.
    standin::UserEntry AddUser(const std::string &name, uint32_t id, const std::string &directory);
    void Register(const standin::ConduitEntry &conduit);
    // The LnFo registration, or false when there is none.
    bool Registration(standin::ConduitEntry *conduit) const;
    std::vector<std::string> Queue(const standin::UserEntry &user) const;

    // Runs `program` with HOTSYNC_ANSWERS=answers and HOTSYNC_FAIL=faults in
    // `directory` (the scratch cwd when empty); expects exit code 0.
    ProgramRun Run(const char *program, const std::string &answers,
                   const std::string &faults = std::string(),
                   const std::filesystem::path &directory = std::filesystem::path());

    // The root as the programs see it, and a user's path built the way they
    // build it: HotSync directory, a backslash, user directory, piece.
    std::string RootText() const { return root_.string(); }
    std::string UserPathText(const standin::UserEntry &user, const std::string &piece) const;
    std::filesystem::path UserPath(const std::string &directory, const std::string &piece) const;

    std::filesystem::path scratch_;
    std::filesystem::path root_;
    std::filesystem::path cwd_;
};

void WriteFile(const std::filesystem::path &path, const std::string &contents);
std::string ReadFile(const std::filesystem::path &path);
// Every file and directory below `directory`, relative, sorted.
std::vector<std::string> ListTree(const std::filesystem::path &directory);

#endif  // LENSFOLIO_SETUP_HARNESS_H
