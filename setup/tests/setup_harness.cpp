#include "setup_harness.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

const char kInstaller[] = INSTALLER_PATH;
const char kUninstaller[] = UNINSTALLER_PATH;

extern char **environ;

namespace {

std::string Unescape(const std::string &field) {
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            text += field[i];
            continue;
        }
        char c = field[++i];
        text += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return text;
}

std::vector<std::vector<std::string>> ReadRecords(const fs::path &path) {
    std::vector<std::vector<std::string>> records;
    std::istringstream lines(fs::exists(path) ? ReadFile(path) : std::string());
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        size_t start = 0;
        for (;;) {
            size_t tab = line.find('\t', start);
            fields.push_back(Unescape(line.substr(start, tab == std::string::npos ? tab : tab - start)));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        records.push_back(fields);
    }
    return records;
}

std::vector<std::string> ChildEnvironment(const std::vector<std::string> &settings) {
    std::vector<std::string> environment;
    // Hostile mode, when the test runs in it, holds for its programs too.
    for (char **entry = environ; *entry; ++entry) {
        if (std::strncmp(*entry, "HOTSYNC_", 8) != 0 ||
            std::strncmp(*entry, "HOTSYNC_HOSTILE=", 16) == 0) {
            environment.push_back(*entry);
        }
    }
    environment.insert(environment.end(), settings.begin(), settings.end());
    return environment;
}

// Never returns: the child's stdin is /dev/null so no answer is ever asked on
// a terminal.
void ExecChild(const char *program, const fs::path &directory, const fs::path &errors,
               std::vector<char *> &environment) {
    int in = open("/dev/null", O_RDONLY);
    int out = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0 ||
        chdir(directory.c_str()) != 0) {
        _exit(126);
    }
    char *argv[] = {const_cast<char *>(program), nullptr};
    execve(program, argv, environment.data());
    _exit(127);
}

}  // namespace

std::vector<const PlatformCall *> ProgramRun::CallsOf(const std::string &operation) const {
    std::vector<const PlatformCall *> found;
    for (const PlatformCall &call : calls) {
        if (call.operation == operation) found.push_back(&call);
    }
    return found;
}

std::vector<std::string> ProgramRun::Operations() const {
    std::vector<std::string> operations;
    for (const PlatformCall &call : calls) operations.push_back(call.operation);
    return operations;
}

bool ProgramRun::AnyInjected() const {
    for (const PlatformCall &call : calls) {
        if (call.injected) return true;
    }
    return false;
}

void SetupScratch::SetUp() {
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/lensfolio-setup-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    scratch_ = pattern;
    root_ = scratch_ / "root";
    cwd_ = scratch_ / "cwd";
    fs::create_directories(root_);
    fs::create_directories(cwd_);
}

void SetupScratch::TearDown() {
    std::error_code ignored;
    fs::remove_all(scratch_, ignored);
}

standin::UserEntry SetupScratch::AddUser(const std::string &name, uint32_t id,
                                         const std::string &directory) {
    standin::UserEntry user;
    user.name = name;
    user.id = id;
    user.directory = directory;
    fs::create_directories(root_ / directory);
    EXPECT_EQ(standin::AddUser(root_.string(), user), 0) << name;
    return user;
}

void SetupScratch::Register(const standin::ConduitEntry &conduit) {
    std::vector<standin::ConduitEntry> conduits;
    ASSERT_EQ(standin::LoadConduits(root_.string(), &conduits), 0);
    conduits.push_back(conduit);
    ASSERT_EQ(standin::SaveConduits(root_.string(), conduits), 0);
}

bool SetupScratch::Registration(standin::ConduitEntry *conduit) const {
    std::vector<standin::ConduitEntry> conduits;
    EXPECT_EQ(standin::LoadConduits(root_.string(), &conduits), 0);
    standin::ConduitEntry *found = standin::FindConduit(&conduits, "LnFo");
    if (found) *conduit = *found;
    return found != nullptr;
}

std::vector<std::string> SetupScratch::Queue(const standin::UserEntry &user) const {
    std::vector<std::string> paths;
    EXPECT_EQ(standin::ReadQueue(root_.string(), user, &paths), 0);
    return paths;
}

ProgramRun SetupScratch::Run(const char *program, const std::string &answers,
                             const std::string &faults, const fs::path &directory) {
    static int runs = 0;
    std::string tag = std::to_string(++runs);
    fs::path boxLog = scratch_ / ("boxes-" + tag + ".log");
    fs::path trace = scratch_ / ("trace-" + tag + ".log");
    fs::path errors = scratch_ / ("stderr-" + tag + ".txt");
    std::vector<std::string> settings = {
        "HOTSYNC_ROOT=" + root_.string(), "HOTSYNC_ANSWERS=" + answers,
        "HOTSYNC_SLEEP_SCALE=0",          "HOTSYNC_BOX_LOG=" + boxLog.string(),
        "HOTSYNC_TRACE=" + trace.string()};
    if (!faults.empty()) settings.push_back("HOTSYNC_FAIL=" + faults);
    std::vector<std::string> environment = ChildEnvironment(settings);
    std::vector<char *> pointers;
    for (std::string &entry : environment) pointers.push_back(entry.data());
    pointers.push_back(nullptr);

    ProgramRun run;
    pid_t child = fork();
    if (child == 0) ExecChild(program, directory.empty() ? cwd_ : directory, errors, pointers);
    EXPECT_GT(child, 0);
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    }
    run.errorOutput = fs::exists(errors) ? ReadFile(errors) : std::string();
    EXPECT_EQ(run.exitCode, 0) << program << " " << faults << "\n" << run.errorOutput;
    for (const std::vector<std::string> &fields : ReadRecords(boxLog)) {
        EXPECT_EQ(fields.size(), 4u);
        if (fields.size() != 4) continue;
        run.boxes.push_back({fields[0], fields[1], static_cast<uint32_t>(std::stoul(fields[2])),
                             static_cast<int32_t>(std::stol(fields[3]))});
    }
    for (const std::vector<std::string> &fields : ReadRecords(trace)) {
        EXPECT_GE(fields.size(), 3u);
        if (fields.size() < 3) continue;
        run.calls.push_back({fields[0], fields[1] == "1", std::stoll(fields[2]),
                             std::vector<std::string>(fields.begin() + 3, fields.end())});
    }
    return run;
}

std::string SetupScratch::UserPathText(const standin::UserEntry &user,
                                       const std::string &piece) const {
    return RootText() + "\\" + user.directory + piece;
}

fs::path SetupScratch::UserPath(const std::string &directory, const std::string &piece) const {
    std::string relative = piece;
    for (char &c : relative) {
        if (c == '\\') c = '/';
    }
    return fs::path(root_.string() + "/" + directory + relative);
}

void WriteFile(const fs::path &path, const std::string &contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    ASSERT_TRUE(out.good()) << path;
}

std::string ReadFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

std::vector<std::string> ListTree(const fs::path &directory) {
    std::vector<std::string> entries;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(directory)) {
        entries.push_back(fs::relative(entry.path(), directory).string());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}
