#include "host_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char **environ;

namespace fs = std::filesystem;

namespace {

std::vector<std::string> ChildEnvironment(const Environment &env) {
    std::vector<std::string> entries;
    // Hostile mode, when the test runs in it, holds for its programs too.
    for (char **e = environ; *e; ++e) {
        if (std::strncmp(*e, "HOTSYNC_", 8) != 0 || std::strncmp(*e, "HOTSYNC_HOSTILE=", 16) == 0)
            entries.push_back(*e);
    }
    // A later setting of a name replaces an earlier one.
    for (const auto &pair : env) {
        const std::string prefix = pair.first + "=";
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const std::string &e) { return e.rfind(prefix, 0) == 0; }),
                      entries.end());
        entries.push_back(prefix + pair.second);
    }
    return entries;
}

std::vector<char *> Pointers(std::vector<std::string> &texts) {
    std::vector<char *> pointers;
    for (std::string &text : texts) pointers.push_back(&text[0]);
    pointers.push_back(nullptr);
    return pointers;
}

void Drain(int outFd, int errFd, ProcessResult *result) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string *sinks[2] = {&result->out, &result->err};
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string> &argv, const Environment &env,
                         const std::string &cwd) {
    ProcessResult result;
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return result;
    std::vector<std::string> args = argv;
    std::vector<std::string> envs = ChildEnvironment(env);
    std::vector<char *> argp = Pointers(args);
    std::vector<char *> envp = Pointers(envs);
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_RDONLY);
        dup2(null, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
        execve(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    Drain(outPipe[0], errPipe[0], &result);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string &path, const std::string &content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string CameraLine(const std::vector<std::string> &columns) {
    std::string line;
    for (size_t i = 0; i < columns.size(); ++i) line += (i ? "\t" : "") + columns[i];
    return line + "\n";
}

std::vector<std::string> Camera(const std::string &name, const std::string &privateFlag,
                                const std::string &category, const std::string &deletedFlag) {
    return {name, "Maker of " + name, "SLR", "1970", "1980", "A note on " + name, "35mm",
            "M42", "100", "1", "7", privateFlag, category, "N", deletedFlag};
}

std::vector<uint8_t> BodyOf(const std::vector<std::string> &columns) {
    std::vector<uint8_t> body;
    for (size_t i = 0; i < 11; ++i) {
        body.insert(body.end(), columns[i].begin(), columns[i].end());
        body.push_back(0);
    }
    return body;
}

void HostTest::SetUp() {
    char pattern[] = "/tmp/hotsync-host-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    scratch_ = pattern;
    root_ = scratch_ + "/root";
}

void HostTest::TearDown() {
    std::error_code ec;
    fs::remove_all(scratch_, ec);
}

ProcessResult HostTest::Hotsync(const std::vector<std::string> &args, const Environment &env) {
    std::vector<std::string> argv{HOTSYNC_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    Environment all{{"HOTSYNC_ROOT", root_}, {"LC_ALL", "C.UTF-8"}, {"HOTSYNC_SLEEP_SCALE", "0"}};
    all.insert(all.end(), env.begin(), env.end());
    return RunProcess(argv, all);
}

void HostTest::InitUser(const std::string &name) {
    // What init does for the first user, without a process of its own.
    fs::create_directories(root_);
    std::string directory;
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c))) directory += c;
    }
    ASSERT_EQ(standin::AddUser(root_, standin::UserEntry{name, 1, directory}), 0);
    fs::create_directories(root_ + "/" + directory + "/handheld");
}

void HostTest::RegisterConduit() {
    standin::ConduitEntry conduit;
    conduit.creator = "LnFo";
    conduit.conduitType = 1;
    // Registered the Windows way, as the installer does.
    conduit.creatorName = LENFOL_DLL;
    for (char &c : conduit.creatorName) c = c == '/' ? '\\' : c;
    conduit.pcDirectory = "Lenfol";
    conduit.pcFileName = "Camera.txt";
    conduit.title = "Lensfolio";
    conduit.remoteFile = "LenfolDB";
    conduit.hasCreatorName = conduit.hasPcDirectory = conduit.hasPcFileName = true;
    conduit.hasTitle = conduit.hasRemoteFile = true;
    ASSERT_EQ(standin::SaveConduits(root_, {conduit}), 0);
    fs::create_directories(UserDir() + "/Lenfol");
}

std::string HostTest::UserDir(const std::string &directory) const {
    return root_ + "/" + directory;
}

void HostTest::WriteCameras(const std::vector<std::vector<std::string>> &cameras) {
    std::string text;
    for (const auto &camera : cameras) text += CameraLine(camera);
    WriteFile(CamerasPath(), text);
}

PdbDatabase HostTest::LoadHandheld() const {
    PdbDatabase db;
    EXPECT_EQ(PdbLoad(HandheldDb(), &db), 0);
    return db;
}

void HostTest::SaveHandheld(const std::vector<PdbRecord> &records) {
    PdbDatabase db;
    std::memcpy(db.name, "LenfolDB", 8);
    db.creator = 0x4C6E466F;  // LnFo
    db.type = 0x4974656D;     // Item
    db.records = records;
    fs::create_directories(UserDir() + "/handheld");
    ASSERT_EQ(PdbSave(HandheldDb(), db), 0);
}

std::map<std::string, std::string> HostTest::Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::recursive_directory_iterator(root_)) {
        std::string path = entry.path().string();
        files[path] = entry.is_regular_file() ? ReadFile(path) : std::string("<dir>");
    }
    return files;
}

std::vector<std::pair<int, std::string>> HostTest::LogEntries() const {
    std::vector<std::pair<int, std::string>> entries;
    std::istringstream in(ReadFile(LogPath()));
    std::string line;
    while (std::getline(in, line)) {
        size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        entries.emplace_back(std::atoi(line.substr(0, tab).c_str()), line.substr(tab + 1));
    }
    return entries;
}
