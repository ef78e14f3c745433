// Runs the installer or the uninstaller as a child process in a scratch
// HotSync directory and reads back what it did: every platform call it made
// (HOTSYNC_TRACE), and among them the boxes it asked for.
#ifndef LENSFOLIO_SETUP_HARNESS_H
#define LENSFOLIO_SETUP_HARNESS_H

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "desktop.h"
#include "files.h"
#include "root.h"
#include "trace.h"

struct BoxRequest {
    std::string title;
    std::string text;
    uint32_t style = 0;
    int32_t answer = 0;
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

void ExpectBox(const BoxRequest &box, const std::string &text, const std::string &title,
               uint32_t style);

extern const char kInstaller[];
extern const char kUninstaller[];

class SetupScratch : public ::testing::Test {
protected:
    void SetUp() override;

    // Adds a user and creates the user's directory below the root.
    standin::UserEntry AddUser(const std::string &name, uint32_t id, const std::string &directory);
    // Adds the user "Deep", whose two-level directory makes the path of the
    // conduit library (HotSync directory, backslash, user directory,
    // "\Lenfol\Conduit\Lenfol.dll") `length` characters long.
    standin::UserEntry AddUserWithLibraryPathOf(size_t length);
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

    ScratchDir scratchDir_{"lensfolio-setup"};
    const std::filesystem::path scratch_ = scratchDir_.Path();
    const std::filesystem::path root_ = scratch_ / "root";
    const std::filesystem::path cwd_ = scratch_ / "cwd";
};

#endif  // LENSFOLIO_SETUP_HARNESS_H
