#include "setup_harness.h"

#include "process.h"
#include "standin.h"

namespace fs = std::filesystem;

const char kInstaller[] = INSTALLER_PATH;
const char kUninstaller[] = UNINSTALLER_PATH;

void ExpectBox(const BoxRequest &box, const std::string &text, const std::string &title,
               uint32_t style) {
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.title, title);
    EXPECT_EQ(box.style, style);
}

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
    StandinReset();
    ASSERT_FALSE(scratch_.empty());
    fs::create_directories(root_);
    fs::create_directories(cwd_);
}

standin::UserEntry SetupScratch::AddUser(const std::string &name, uint32_t id,
                                         const std::string &directory) {
    return AddUserDir(root_.string(), name, id, directory);
}

standin::UserEntry SetupScratch::AddUserWithLibraryPathOf(size_t length) {
    const size_t directory = length - RootText().size() - 1 - 26;
    const std::string first(directory / 2, 'a');
    return AddUser("Deep", 1, first + "/" + std::string(directory - first.size() - 1, 'b'));
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
    fs::path trace = scratch_ / ("trace-" + tag + ".log");
    Environment settings = {{"HOTSYNC_ROOT", root_.string()}, {"HOTSYNC_ANSWERS", answers},
                            {"HOTSYNC_TRACE", trace.string()}};
    if (!faults.empty()) settings.emplace_back("HOTSYNC_FAIL", faults);
    const ProcessResult child =
        RunProcess({program}, settings, (directory.empty() ? cwd_ : directory).string());
    ProgramRun run;
    run.exitCode = child.exitCode;
    run.errorOutput = child.out + child.err;
    EXPECT_EQ(run.exitCode, 0) << program << " " << faults << "\n" << run.errorOutput;
    run.calls = ReadTrace(trace);
    // MessageBoxA: owner, text, caption, style.
    for (const PlatformCall &box : CallsOf(run.calls, "MessageBoxA")) {
        EXPECT_EQ(box.arguments.size(), 4u);
        if (box.arguments.size() != 4) continue;
        run.boxes.push_back({box.arguments[2], box.arguments[1],
                             static_cast<uint32_t>(std::stoul(box.arguments[3])),
                             static_cast<int32_t>(box.result)});
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
