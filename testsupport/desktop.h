// The simulated HotSync directory as the tests set it up and read it back:
// the LnFo registration, users, and the HotSync log in memory and on disk.
#ifndef LENSFOLIO_TESTSUPPORT_DESKTOP_H
#define LENSFOLIO_TESTSUPPORT_DESKTOP_H

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "root.h"

// Lenfol registered as the installer registers it, `library` as the
// conduit's file. The PC file name the installer sets is "Camera.txt"; the
// conduit's own list is Cameras.txt whatever it says.
standin::ConduitEntry LenfolRegistration(const std::string &library);
// Adds the user to users.ini below `root` and makes the user's folder;
// a failure fails the test.
standin::UserEntry AddUserDir(const std::string &root, const std::string &name, uint32_t id,
                              const std::string &directory);

struct LogLine {
    int32_t activity;
    std::string text;
    bool operator==(const LogLine &o) const { return activity == o.activity && text == o.text; }
};
std::ostream &operator<<(std::ostream &out, const LogLine &line);
// The stand-in's log in memory, in order.
std::vector<LogLine> LogLines();
// The entries of a hotsync.log file, "<activity>\t<text>" a line.
std::vector<LogLine> LogFileLines(const std::string &path);

// The status a stand-in call answered that failed with `status`: that one
// from a kind stand-in, the one hostile mode chose in its place otherwise.
// Read it before the faults are cleared.
int32_t AnsweredStatus(int32_t status);

#endif  // LENSFOLIO_TESTSUPPORT_DESKTOP_H
