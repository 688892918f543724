// The host program as a library: data roots, one host session (the host
// libraries opened on a root, HostContext built from the configuration, the
// module loaded and the run list run), and the command line of `devgroup`.
//
// The host libraries keep process-wide state, so at most one HostSession is
// open at a time. Tests drive a session in-process; the run list is read
// through hostlibs/shell.h, the host_leave count through hostlibs/host_setup.h
// and the screen through screenlib/screenlib.h.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host_records.h"

namespace hostapp {

struct HostOptions {
    std::string root;                 // data root (native path); empty: default_root()
    std::string user;                 // user name of host.conf; empty: its default user
    int language = 0;                 // 0: the user's own
    std::optional<uint32_t> now;      // fixes the host clock
    std::optional<std::string> keys;  // headless run under this key script
    std::string module_path;          // empty: host.conf's "module", else default_module_path()
    // Without a key script the session still runs headless (with no keys) unless
    // this is set; the program sets it when it runs in a terminal.
    bool use_terminal = false;
};

// The data root the environment names ($DEVGROUP_ROOT); empty when none.
std::string environment_root();

// The operator's own data root, the one made on first use:
// $XDG_DATA_HOME/devgroup (an absolute XDG_DATA_HOME), else
// ~/.local/share/devgroup.
std::string user_root();

// The data root used when none is named on the command line:
// environment_root(), else user_root().
std::string default_root();

// A library of the host in the program's library folder, found from the
// running executable: <exe dir>/../lib/<multiarch>/devgroup/NAME as installed
// and in the build tree alike.
std::string program_library(const std::string& file_name);

// The module library in the program's library folder.
std::string default_module_path();

// The assets (root/, demo/, templates/) in the program's data folder, found
// from the running executable: <exe dir>/../share/devgroup, which in the
// build tree links to the source's assets/. $DEVGROUP_ASSETS overrides it.
std::string assets_dir();

// What a new root's data files hold.
enum class RootContent {
    kNothing,    // empty files
    kNoDevices,  // the demo data set's passwords, sites and settings, no devices
    kDemo,       // the whole demo data set
};

// Makes a data root: the folders, a copy of assets/root/ and host.conf, and
// the data files with `content`. The root is made in a
// folder beside its place, marked whole, put on disk and renamed into place,
// so an interrupted making leaves no root under its name. The place must be
// missing or an empty folder; a whole root there is left as it is. *made
// (when given) tells whether this call put the root in place, rather than
// finding one or seeing another process's making finish first.
bool create_root(const std::string& root, RootContent content, std::string* error,
                 bool* made = nullptr);
// The same with the whole demo data set (demo_data) or nothing.
bool create_root(const std::string& root, bool demo_data, std::string* error, bool* made = nullptr);

enum class RootState {
    kMissing,     // no host.conf
    kComplete,    // made to the end
    kIncomplete,  // host.conf but no completion mark: its making was cut short
    kUnreadable,  // cannot be looked into (a folder of another user)
};

// What stands at `root`. A root of an older version, which carries no mark,
// counts as whole (and is marked) when it has every file and its settings.
RootState root_state(const std::string& root);

// True when the folder holds a whole data root.
bool root_exists(const std::string& root);

// What to tell the operator about an incomplete root: that it is refused
// and how to remove it.
std::string incomplete_root_message(const std::string& root);

// Why a root in `state` (other than kComplete) is refused, and what to do:
// a missing one names `devgroup init`, an unreadable one the system's reason.
std::string refused_root_message(const std::string& root, RootState state);

// The steps of making a root, in order; tests stop a making at one of them.
enum class RootStep { kFilesLaid, kDataLoaded, kMarked, kPlaced };
void set_root_step_hook(void (*hook)(RootStep));

// A run-list entry from its parts (names cut to 8 characters, parameters to 120).
RunListEntry make_entry(const std::string& first_dir, const std::string& second_dir,
                        const std::string& module_name, const std::string& parameters = {});

// One host session on a data root. Closing (or destroying) it removes the
// menu, restores the terminal, unloads the module library and closes the
// host libraries.
class HostSession {
  public:
    HostSession();
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Opens the host libraries on the root (which must exist) as the chosen
    // user, builds HostContext and picks the screen backend. False with the
    // reason in *error (when given) on failure; nothing stays open then.
    bool open(const HostOptions& options, std::string* error);
    void close();
    bool is_open() const;

    // Everything below needs an open session.
    HostContext& context();
    // The run-list entry of the module's own identity.
    RunListEntry module_entry() const;
    // The text of host message `number` (counted from 1) in the session's
    // current language; empty when the catalogue has none.
    std::string message(int number) const;
    int language() const;

    // Runs one module once: the module's own identity enters the module
    // library (loaded on first use, kept until close), the host's own names
    // run the built-in modules (TEXTDISP, ERRORLOG, SIGNON, SHELL). Returns
    // the module's result; -1 when the library cannot be loaded or has no
    // entry point, -2 for an unknown module (after telling the operator).
    int call_module(const RunListEntry& entry);

    // What the program does: calls the module, then runs the run list until
    // it ends. A headless run ends with the module in which its key script
    // ran out, or when the list empties after the last key instead of
    // showing the shell menu.
    // Returns 0, or 1 when the module could not be loaded at all.
    int run();

    // When the module's screen file of the session's starting language is
    // missing and the fallback language's serves: one plain line that says
    // so, for the operator once the screen is given back; else empty.
    const std::string& fallback_note() const;
    // The last reason call_module failed, for messages.
    const std::string& last_error() const;
    // Every entry call_module was given since open, in order.
    const std::vector<RunListEntry>& modules_run() const;
    // Headless runs: the screen as a module left it, just before its windows
    // closed: the module during which the key script ran out, else the last
    // one (rows joined by '\n', trailing blanks trimmed).
    const std::string& final_screen() const;

    struct State;

  private:
    std::unique_ptr<State> state_;
};

// The program's command line (see README.md); returns the exit code.
int host_main(int argc, char** argv);

}  // namespace hostapp
