// The simulated HotSync directory on disk. See root.h and README.md.
#include "os.h"
#include "root.h"

#include <cstring>
#include <filesystem>
#include <optional>
#include <type_traits>
#include <utility>

#include "standin.h"
#include "trace.h"

namespace standin {

namespace {

// The optional keys of a registration, in file order.
const std::pair<const char *, ConduitField> kConduitFields[] = {
    {"creatorName", &ConduitEntry::creatorName}, {"pcDirectory", &ConduitEntry::pcDirectory},
    {"pcFileName", &ConduitEntry::pcFileName},   {"title", &ConduitEntry::title},
    {"remoteFile", &ConduitEntry::remoteFile}};

const char kUsersFile[] = "users.ini";
const char kConduitsFile[] = "conduits.ini";
const char kQueueFile[] = "install.queue";

std::optional<std::string> &Root() {
    static std::optional<std::string> path;
    return path;
}

std::string Absolute(std::string path) {
    std::error_code error;
    if (!os::IsAbsolutePath(path))
        path = os::FsString(std::filesystem::current_path(error)) + "/" + path;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string DefaultRoot() {
    const std::string env = Environment("HOTSYNC_ROOT"), home = Environment("HOME");
    if (!env.empty()) return Absolute(env);
    return Absolute(home.empty() ? ".hotsync" : home + "/.hotsync");
}

bool FitsOnOneLine(const std::string &value) {
    return value.find_first_of("\r\n") == std::string::npos;
}

// Decimal digits only for an ID (unsigned); an optional sign for a conduit type.
template <typename Number>
int ParseNumber(const std::string &text, Number *number) {
    constexpr bool isSigned = std::is_signed_v<Number>;
    if (!isSigned && text.find_first_not_of("0123456789") != std::string::npos)
        return kStandinErrCorrupt;
    long long low = isSigned ? INT32_MIN : 0, high = isSigned ? INT32_MAX : UINT32_MAX, value = 0;
    if (!ParseInteger(text, 10, low, high, &value)) return kStandinErrCorrupt;
    *number = static_cast<Number>(value);
    return 0;
}

int UserFromSection(const IniSection &section, UserEntry *user) {
    const std::string *name = FindIniValue(section, "name");
    const std::string *id = FindIniValue(section, "id");
    const std::string *directory = FindIniValue(section, "directory");
    if (!name || !id || !directory) return kStandinErrCorrupt;
    user->name = *name;
    user->directory = *directory;
    return ParseNumber(*id, &user->id);
}

int ConduitFromSection(const IniSection &section, ConduitEntry *conduit) {
    conduit->creator = section.name;
    const std::string *type = FindIniValue(section, "conduitType");
    if (!type) return kStandinErrCorrupt;
    for (const auto &[key, field] : kConduitFields)
        if (const std::string *found = FindIniValue(section, key)) conduit->*field = *found;
    return ParseNumber(*type, &conduit->conduitType);
}

// One entry per section; a missing file reads as none, and any bad section
// leaves none at all.
template <typename Entry>
int LoadEntries(const std::string &path, int (*fromSection)(const IniSection &, Entry *),
                std::vector<Entry> *entries) {
    std::string text;
    std::vector<IniSection> sections;
    size_t line = 0;
    int status = os::ReadAll(path, &text);
    if (status == 0) status = ParseIni(text, &sections, &line);
    if (status == kStandinErrNotFound) status = 0;
    *entries = std::vector<Entry>(sections.size());
    for (size_t i = 0; status == 0 && i < sections.size(); ++i)
        status = fromSection(sections[i], &(*entries)[i]);
    if (status != 0) entries->clear();
    return status;
}

}  // namespace

bool ValidCreator(const std::string &creator) {
    return creator.size() == 4 && creator.find_first_of("[]\r\n") == std::string::npos;
}

int ParseIni(const std::string &text, std::vector<IniSection> *sections, size_t *errorLine) {
    sections->clear();
    *errorLine = 0;
    std::vector<std::string> lines = Split(text, '\n');
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string line = Trim(lines[i]);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[' && line.back() == ']') {
            sections->push_back({Trim(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        size_t equals = line.find('=');
        if (sections->empty() || equals == std::string::npos || equals == 0) {
            *errorLine = i + 1;
            return kStandinErrCorrupt;
        }
        sections->back().entries.push_back(
            {Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))});
    }
    return 0;
}

std::string FormatIni(const std::vector<IniSection> &sections) {
    std::string text;
    for (const IniSection &section : sections) {
        if (!text.empty()) text += "\n";
        text += "[" + section.name + "]\n";
        for (const IniEntry &entry : section.entries)
            text += entry.key + " = " + entry.value + "\n";
    }
    return text;
}

const std::string *FindIniValue(const IniSection &section, const std::string &key) {
    const std::string *found = nullptr;
    for (const IniEntry &entry : section.entries)
        if (entry.key == key) found = &entry.value;  // the last one wins
    return found;
}

const std::string &RootPath() { return Chosen(Root(), DefaultRoot); }

int LoadUsers(const std::string &root, std::vector<UserEntry> *users) {
    return LoadEntries(root + "/" + kUsersFile, UserFromSection, users);
}

int SaveUsers(const std::string &root, const std::vector<UserEntry> &users) {
    std::vector<IniSection> sections;
    for (const UserEntry &user : users) {
        if (!FitsOnOneLine(user.name) || !FitsOnOneLine(user.directory))
            return kStandinErrBadArgument;
        sections.push_back({"user" + std::to_string(sections.size() + 1),
                            {{"name", user.name},
                             {"id", std::to_string(user.id)},
                             {"directory", user.directory}}});
    }
    return os::WriteAll(root + "/" + kUsersFile, FormatIni(sections));
}

int AddUser(const std::string &root, const UserEntry &user) {
    if (user.directory.empty() || user.directory[0] == '/') return kStandinErrBadArgument;
    std::vector<UserEntry> users;
    if (int status = LoadUsers(root, &users)) return status;
    if (FindUserById(users, user.id) || FindUserByName(users, user.name)) return kStandinErrExists;
    users.push_back(user);
    std::error_code error;
    std::filesystem::create_directory(os::FsPath(root + "/" + user.directory), error);
    return error ? kStandinErrIo : SaveUsers(root, users);
}

const UserEntry *FindUserById(const std::vector<UserEntry> &users, uint32_t id) {
    return FindEntry(users, [&](const UserEntry &u) { return u.id == id; });
}

const UserEntry *FindUserByName(const std::vector<UserEntry> &users, const std::string &name) {
    return FindEntry(users, [&](const UserEntry &u) { return u.name == name; });
}

int LoadConduits(const std::string &root, std::vector<ConduitEntry> *conduits) {
    return LoadEntries(root + "/" + kConduitsFile, ConduitFromSection, conduits);
}

int SaveConduits(const std::string &root, const std::vector<ConduitEntry> &conduits) {
    std::vector<IniSection> sections;
    for (const ConduitEntry &c : conduits) {
        if (!ValidCreator(c.creator)) return kStandinErrBadArgument;
        IniSection section{c.creator, {{"conduitType", std::to_string(c.conduitType)}}};
        for (const auto &[key, field] : kConduitFields) {
            if (!(c.*field)) continue;
            if (!FitsOnOneLine(*(c.*field))) return kStandinErrBadArgument;
            section.entries.push_back({key, *(c.*field)});
        }
        sections.push_back(section);
    }
    return os::WriteAll(root + "/" + kConduitsFile, FormatIni(sections));
}

ConduitEntry *FindConduit(std::vector<ConduitEntry> *conduits, const std::string &creator) {
    return FindEntry(*conduits, [&](const ConduitEntry &c) { return c.creator == creator; });
}

std::string QueuePath(const std::string &root, const UserEntry &user) {
    return root + "/" + user.directory + "/" + kQueueFile;
}

int ReadQueue(const std::string &root, const UserEntry &user, std::vector<std::string> *paths) {
    paths->clear();
    std::string text;
    int status = os::ReadAll(QueuePath(root, user), &text);
    if (status != 0) return status == kStandinErrNotFound ? 0 : status;
    for (const std::string &line : Split(text, '\n'))
        if (!line.empty()) paths->push_back(line);
    return 0;
}

int AppendQueue(const std::string &root, const UserEntry &user, const std::string &path) {
    if (path.empty() || !FitsOnOneLine(path)) return kStandinErrBadArgument;
    std::string text;
    int status = os::ReadAll(QueuePath(root, user), &text);
    if (status != 0 && status != kStandinErrNotFound) return status;
    if (!text.empty() && text.back() != '\n') text += "\n";
    return os::WriteAll(QueuePath(root, user), text + path + "\n");
}

int ClearQueue(const std::string &root, const UserEntry &user) {
    std::error_code error;
    std::filesystem::remove(os::FsPath(QueuePath(root, user)), error);
    return error ? kStandinErrIo : 0;
}

int CopyToCaller(const std::string &text, char *buffer, uint32_t *size) {
    if (!buffer || !size) return kStandinErrBadArgument;
    const size_t needed = text.size() + 1;
    const bool fits = needed <= *size;
    if (fits) std::memcpy(buffer, text.c_str(), needed);
    else if (*size > 0) buffer[0] = '\0';
    *size = static_cast<uint32_t>(needed);
    return fits ? 0 : kStandinErrBufferTooSmall;
}

}  // namespace standin

extern "C" {

void StandinSetRoot(const char *root) {
    standin::Root() = standin::TextSetting(root);
    if (standin::Root()) standin::Root() = standin::Absolute(*standin::Root());
}

const char *StandinRoot(void) { return standin::RootPath().c_str(); }

}  // extern "C"
