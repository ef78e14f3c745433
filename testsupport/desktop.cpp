#include "desktop.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "files.h"
#include "os.h"
#include "standin.h"

standin::ConduitEntry LenfolRegistration(const std::string &library) {
    standin::ConduitEntry conduit;
    conduit.creator = "LnFo";
    conduit.conduitType = 1;
    conduit.creatorName = library;
    conduit.pcDirectory = "Lenfol";
    conduit.pcFileName = "Camera.txt";
    conduit.title = "Lensfolio";
    conduit.remoteFile = "LenfolDB";
    return conduit;
}

standin::UserEntry AddUserDir(const std::string &root, const std::string &name, uint32_t id,
                              const std::string &directory) {
    const standin::UserEntry user{name, id, directory};
    std::error_code ignored;
    std::filesystem::create_directories(standin::os::FsPath(root + "/" + directory), ignored);
    EXPECT_EQ(standin::AddUser(root, user), 0) << name;
    return user;
}

std::ostream &operator<<(std::ostream &out, const LogLine &line) {
    return out << "{" << line.activity << ", \"" << line.text << "\"}";
}

std::vector<LogLine> LogLines() {
    std::vector<LogLine> lines;
    for (size_t i = 0; i < StandinLogCount(); ++i)
        lines.push_back({StandinLogActivity(i), StandinLogText(i)});
    return lines;
}

std::vector<LogLine> LogFileLines(const std::string &path) {
    std::vector<LogLine> lines;
    for (const std::string &line : Lines(ReadAll(path))) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        lines.push_back({std::atoi(line.substr(0, tab).c_str()), line.substr(tab + 1)});
    }
    return lines;
}

int32_t AnsweredStatus(int32_t status) {
    return StandinHostile() ? StandinLastFailure() : status;
}
