// hotsync: the command line of the stand-in HotSync Manager.
#include <CLI/CLI.hpp>
#include <clocale>

#include "host.h"
#include "lensfolio_version.h"

namespace {

const char kDescription[] =
    "hotsync: a stand-in HotSync Manager. It keeps a simulated HotSync directory\n"
    "(--root DIR, else $HOTSYNC_ROOT, else $HOME/.hotsync) with its users, conduit\n"
    "registrations and one directory per user, and runs HotSyncs of a user's handheld:\n"
    "a folder of .pdb files, ROOT/<user directory>/handheld unless --handheld DIR.\n"
    "Message boxes and conduit dialogs take their answers from $HOTSYNC_ANSWERS,\n"
    "else from the terminal.";

struct Verbs {
    host::GlobalOptions global;
    std::vector<std::string> initUsers;
    host::SyncOptions sync;
    host::RestoreOptions restore;
    std::string user;
    std::string creator;
    std::string database;
    std::string file;
    bool full = false;
    bool last = false;
    CLI::App *init = nullptr;
    CLI::App *users = nullptr;
    CLI::App *conduits = nullptr;
    CLI::App *syncVerb = nullptr;
    CLI::App *configure = nullptr;
    CLI::App *show = nullptr;
    CLI::App *log = nullptr;
    CLI::App *check = nullptr;
    CLI::App *restoreVerb = nullptr;
};

void AddUserOption(CLI::App *verb, std::string *user) {
    verb->add_option("--user", *user, "HotSync user name (default: the only user)")
        ->type_name("NAME");
}

void DefineVerbs(CLI::App &app, Verbs *v) {
    app.add_option("--root", v->global.root, "the simulated HotSync directory")->type_name("DIR");
    app.add_option("--handheld", v->global.handheld, "the handheld: a folder of .pdb files")
        ->type_name("DIR");

    v->init = app.add_subcommand("init", "create the HotSync directory and its users; "
                                         "what exists stays unchanged");
    v->init->add_option("--user", v->initUsers, "a user to add (repeat for more)")
        ->type_name("NAME")
        ->required();

    v->users = app.add_subcommand("users", "list the HotSync users");
    v->conduits = app.add_subcommand("conduits", "list the registered conduits");

    v->syncVerb = app.add_subcommand("sync", "one HotSync of a user's handheld");
    AddUserOption(v->syncVerb, &v->sync.user);
    v->syncVerb->add_option("--type", v->sync.type,
                            "sync type for this run only: 2 handheld overwrites desktop, "
                            "3 desktop overwrites handheld, 6 do nothing")
        ->type_name("N");
    v->syncVerb->add_flag("--dry-run", v->sync.dryRun,
                          "run on copies and print what would change; change nothing");

    v->configure = app.add_subcommand("configure", "open a conduit's settings and store the choice");
    AddUserOption(v->configure, &v->user);
    v->configure->add_option("--creator", v->creator, "only this conduit (default: all)")
        ->type_name("CRID");

    v->show = app.add_subcommand("show", "a handheld database as a table");
    AddUserOption(v->show, &v->user);
    v->show->add_option("DBNAME", v->database,
                        "database name on the handheld (LenfolDB), or the path of a .pdb file")
        ->required();
    v->show->add_flag("--full", v->full, "every field whole, one block per record");

    v->log = app.add_subcommand("log", "the user's HotSync log with activity codes");
    AddUserOption(v->log, &v->user);
    v->log->add_flag("--last", v->last, "only the last HotSync");

    v->check = app.add_subcommand("check", "read a Cameras.txt as the conduit will and report "
                                           "what it would change (exit 0: nothing, 1: something)");
    v->check->add_option("FILE", v->file, "the Cameras.txt to check")->required();

    v->restoreVerb = app.add_subcommand(
        "restore", "undo the newest HotSync that changed files: put back each file it changed "
                   "(the desktop's and the handheld's) as it was, then drop that backup; "
                   "run again to go one HotSync further back");
    v->restoreVerb->footer(
        "Before a HotSync changes a file it keeps it in ROOT/<user directory>/backup/, one folder "
        "per HotSync; the newest 5 stay. Give the same --handheld DIR as the HotSync had.\n");
    AddUserOption(v->restoreVerb, &v->restore.user);
    auto *list = v->restoreVerb->add_flag(
        "--list", v->restore.list,
        "show, newest first, each HotSync that can be undone: time, direction, files and sizes");
    v->restoreVerb
        ->add_flag("--dry-run", v->restore.dryRun,
                   "print what the restore would change; change nothing")
        ->excludes(list);
}

int Dispatch(Verbs &v) {
    v.sync.hasType = v.syncVerb->count("--type") > 0;
    if (*v.init) return host::RunInit(v.global, v.initUsers);
    if (*v.users) return host::RunUsers(v.global);
    if (*v.conduits) return host::RunConduits(v.global);
    if (*v.syncVerb) return host::RunSync(v.global, v.sync);
    if (*v.configure) return host::RunConfigure(v.global, v.user, v.creator);
    if (*v.show) return host::RunShow(v.global, v.user, v.database, v.full);
    if (*v.log) return host::RunLog(v.global, v.user, v.last);
    if (*v.restoreVerb) return host::RunRestore(v.global, v.restore);
    return host::RunCheck(v.file);
}

}  // namespace

int main(int argc, char **argv) {
    std::setlocale(LC_ALL, "");
    host::ChooseTerminalCharset();
    CLI::App app{kDescription, "hotsync"};
    // Options of the program (--root, --handheld) may also follow the verb.
    app.fallthrough();
    app.require_subcommand(1);
    app.set_version_flag("--version", LENSFOLIO_VERSION);
    Verbs verbs;
    DefineVerbs(app, &verbs);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        int code = app.exit(e);
        return code == 0 ? host::kExitOk : host::kExitError;
    }
    return Dispatch(verbs);
}
