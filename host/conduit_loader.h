/*
 * A registered conduit, loaded as a shared library and queried the way a HotSync
 * Manager does before it runs the conduit.
 */
#ifndef LENSFOLIO_HOST_CONDUIT_LOADER_H
#define LENSFOLIO_HOST_CONDUIT_LOADER_H

#include <cstdint>
#include <string>

#include "platform.h"
#include "root.h"

namespace host {

struct LoadedConduit {
    void *library = nullptr;
    std::string libraryPath;  // the registered creator name as a POSIX path
    OpenConduitFn openConduit = nullptr;
    ConfigureConduitFn configureConduit = nullptr;
    GetConduitInfoFn getConduitInfo = nullptr;
    GetConduitNameFn getConduitName = nullptr;
    GetConduitVersionFn getConduitVersion = nullptr;
    // Answers of the queries; empty or false where the export is missing or
    // the query failed.
    std::string name;      // GetConduitName
    std::string infoName;  // GetConduitInfo, name query
    uint32_t version = 0;
    bool hasVersion = false;
    bool hasDefaultAction = false;
    int32_t defaultAction = 0;
};

// Loads the library that `conduit` registers and resolves its exports. On
// failure *error says why and nothing stays loaded. The queries need the user
// (the name query's request names it).
int LoadConduit(const standin::ConduitEntry &conduit, LoadedConduit *loaded, std::string *error);
void QueryConduit(const standin::ConduitEntry &conduit, const standin::UserEntry *user,
                  LoadedConduit *loaded);
void UnloadConduit(LoadedConduit *loaded);

// The name to show: the queried name, else the registered title, else the creator.
std::string ConduitLabel(const standin::ConduitEntry &conduit, const LoadedConduit &loaded);
uint32_t CreatorNumber(const std::string &creator);

}  // namespace host

#endif  // LENSFOLIO_HOST_CONDUIT_LOADER_H
