// The sync type each conduit runs with, per user: ROOT/<user dir>/sync.ini.
//
//   [LnFo]
//   default = 3
//   once = 2
//
// "default" is the permanent choice, "once" the choice for the next HotSync
// only. A conduit without a section runs with the default action it reports.
#include <cstdint>

#include "host.h"
#include "os.h"
#include "standin.h"
#include "trace.h"

namespace host {

namespace {

int ReadSections(const std::string &path, std::vector<standin::IniSection> *sections,
                 std::string *error) {
    std::string text;
    int status = standin::os::ReadAll(path, &text);
    if (status == kStandinErrNotFound) return kExitOk;
    if (status != 0) {
        *error = "cannot read " + path;
        return kExitError;
    }
    size_t line = 0;
    if (standin::ParseIni(text, sections, &line) != 0) {
        *error = path + ":" + std::to_string(line) + ": not a \"[section]\" or \"key = value\" line";
        return kExitError;
    }
    return kExitOk;
}

int ReadValue(const std::string &path, const standin::IniSection &section, const char *key,
              bool *has, int32_t *type, std::string *error) {
    const std::string *value = standin::FindIniValue(section, key);
    *has = value != nullptr;
    if (!*has) return kExitOk;
    long long number = 0;
    if (!standin::ParseInteger(*value, 10, INT32_MIN, INT32_MAX, &number)) {
        *error = path + ": [" + section.name + "] " + key + " = \"" + *value +
                 "\" is not a sync type number";
        return kExitError;
    }
    *type = static_cast<int32_t>(number);
    return kExitOk;
}

}  // namespace

int LoadStoredSyncType(const std::string &path, const std::string &creator, StoredSyncType *stored,
                       std::string *error) {
    *stored = StoredSyncType();
    std::vector<standin::IniSection> sections;
    int status = ReadSections(path, &sections, error);
    if (status != kExitOk) return status;
    for (const standin::IniSection &section : sections) {
        if (section.name != creator) continue;
        status = ReadValue(path, section, "default", &stored->hasDefault, &stored->defaultType, error);
        if (status == kExitOk) {
            status = ReadValue(path, section, "once", &stored->hasOnce, &stored->onceType, error);
        }
        return status;
    }
    return kExitOk;
}

int SaveStoredSyncType(const std::string &path, const std::string &creator,
                       const StoredSyncType &stored, std::string *error) {
    std::vector<standin::IniSection> sections;
    int status = ReadSections(path, &sections, error);
    if (status != kExitOk) return status;
    standin::IniSection replacement{creator, {}};
    if (stored.hasDefault) replacement.entries.push_back({"default", std::to_string(stored.defaultType)});
    if (stored.hasOnce) replacement.entries.push_back({"once", std::to_string(stored.onceType)});
    bool placed = false;
    for (standin::IniSection &section : sections) {
        if (section.name != creator) continue;
        section = replacement;
        placed = true;
    }
    if (!placed) sections.push_back(replacement);
    if (standin::os::WriteAll(path, standin::FormatIni(sections)) != 0) {
        *error = "cannot write " + path;
        return kExitError;
    }
    return kExitOk;
}

}  // namespace host
