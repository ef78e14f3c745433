#include "host_fixture.h"

#include <cctype>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

ProcessResult HostTest::Hotsync(const std::vector<std::string> &args, const Environment &env) {
    std::vector<std::string> argv{HOTSYNC_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    Environment all{{"HOTSYNC_ROOT", root_}, {"LC_ALL", "C.UTF-8"}};
    all.insert(all.end(), env.begin(), env.end());
    return RunProcess(argv, all);
}

void HostTest::InitUser(const std::string &name) {
    // What init does for the first user, without a process of its own.
    std::string directory;
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c))) directory += c;
    }
    AddUserDir(root_, name, 1, directory);
    fs::create_directories(root_ + "/" + directory + "/handheld");
}

void HostTest::RegisterConduit() {
    // Registered the Windows way, as the installer does.
    std::string library = LENFOL_DLL;
    for (char &c : library) c = c == '/' ? '\\' : c;
    ASSERT_EQ(standin::SaveConduits(root_, {LenfolRegistration(library)}), 0);
    fs::create_directories(UserDir() + "/Lenfol");
}

std::string HostTest::UserDir(const std::string &directory) const {
    return root_ + "/" + directory;
}

std::vector<std::string> HostTest::BackupStamps() const {
    std::vector<std::string> stamps;
    for (const std::string &entry : ListTree(BackupDir())) {
        if (entry.find('/') == std::string::npos && fs::is_directory(BackupDir() + "/" + entry)) {
            stamps.push_back(entry);
        }
    }
    return stamps;
}

PdbRecord HostTest::Record(const std::vector<std::string> &camera, uint8_t attributes, uint32_t id) {
    PdbRecord record;
    record.attributes = attributes;
    record.uniqueId = id;
    record.body = BodyBytes(camera);
    return record;
}

void HostTest::WriteCameras(const std::vector<std::vector<std::string>> &cameras) {
    std::string text;
    for (const auto &camera : cameras) text += CameraLine(camera);
    WriteAll(CamerasPath(), text);
}

PdbDatabase HostTest::LoadHandheld() const {
    PdbDatabase db;
    EXPECT_EQ(PdbLoad(HandheldDb(), &db), 0);
    return db;
}

void HostTest::SaveHandheld(const std::vector<PdbRecord> &records) {
    PdbDatabase db;
    std::memcpy(db.name, "LenfolDB", 8);
    db.creator = kLenfolCreator;
    db.type = kLenfolType;
    db.records = records;
    fs::create_directories(UserDir() + "/handheld");
    ASSERT_EQ(PdbSave(HandheldDb(), db), 0);
}

std::map<std::string, std::string> HostTest::Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::recursive_directory_iterator(root_)) {
        std::string path = entry.path().string();
        files[path] = entry.is_regular_file() ? ReadAll(path) : std::string("<dir>");
    }
    return files;
}
