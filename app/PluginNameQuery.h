#pragma once
// A WFX plugin asked for its name, from the scan that selects it until its
// answer has reached the name field, without any window: which helper asks
// it, whether the question is still out, and what becomes of the answer. The
// main window's handlers tell it what happened and do what it answers; the
// helper's run itself is TNameHelperRun.
#include "NameHelperRun.h"

#include <windows.h>

#include <string>

// What the window does next, in this order.
struct TNameReply {
    // End the helper run going: its answer is not wanted any more.
    bool StopHelper = false;
    // Take Name as the name the scan found; an empty one means that the
    // plugin cannot name itself.
    bool SetName = false;
    std::string Name;
    // Start this helper (a full path) for PluginPath, then tell Started.
    std::string Helper;
    std::string PluginPath;
    // Show this as a failure.
    std::string Report;
};

class TPluginNameQuery {
public:
    // From Ask until the answer, or until it is not wanted any more.
    bool Asking() const noexcept { return asking_; }

    // A scan selected the WFX plugin library at `pluginPath`: it is asked in
    // the helper for its build, from `toolFolder` (with trailing backslash).
    // Meanwhile a name derived from an earlier folder goes.
    TNameReply Ask(const std::string& pluginPath, const std::string& toolFolder);
    // A scan found the name without asking (a lister plugin's file name), or
    // found nothing to name (empty).
    TNameReply Derived(const std::string& name);
    // The helper's start returned: started, or not with the system's error code.
    TNameReply Started(bool started, DWORD error);
    // The helper has ended, or has been ended at its time limit.
    TNameReply Ended(const TNameHelperEnd& end);
    // The user typed in the name field: that name stays, whatever the plugin answers.
    TNameReply NameTyped();
    // A handler failed while the plugin was asked: nothing more comes of it.
    void Abandon() noexcept { asking_ = false; }

private:
    bool asking_ = false;
    std::string helper_;
    // A helper that cannot be started is told about once: every later
    // plugin then just cannot name itself.
    bool startFailureTold_ = false;
};
