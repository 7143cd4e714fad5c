#pragma once
// A WFX plugin asked for its name, from the scan that selects it until its
// answer has reached the name field, without any window: whether the
// question is still out, and what becomes of the answer. The main window's
// handlers tell it what happened and do what it answers; the helper itself
// runs in a TProcessRun.
#include <string>

// What the window does next, in this order.
struct TNameReply {
    // End the helper run going: its answer is not wanted any more.
    bool StopHelper = false;
    // Take Name as the name the scan found; an empty one means that the
    // plugin cannot name itself.
    bool SetName = false;
    std::string Name;
    // Start Helper (a full path) for PluginPath, then tell Started or
    // StartFailed.
    std::string Helper;
    std::string PluginPath;
    // Show this as a failure.
    std::string Report;
};

class TPluginNameQuery {
public:
    // From Ask until the answer, or until it is not wanted any more.
    bool Asking() const noexcept { return asking_; }

    // A scan selected the WFX plugin library at `pluginPath`, which `helper`
    // (a full path; empty when nobody here can load it) asks. Meanwhile a
    // name derived from an earlier folder goes.
    TNameReply Ask(const std::string& helper, const std::string& pluginPath);
    // A scan found the name without asking (a lister plugin's file name), or
    // found nothing to name (empty).
    TNameReply Derived(const std::string& name);
    // The helper could not be started, for the reason `error`.
    TNameReply StartFailed(const std::string& error);
    // The helper has ended, or has been ended at its time limit, with the
    // plugin's name (empty when it could not name itself).
    TNameReply Ended(const std::string& name);
    // The user typed in the name field: that name stays, whatever the plugin answers.
    TNameReply NameTyped();
    // A handler failed while the plugin was asked: nothing more comes of it.
    void Abandon() noexcept { asking_ = false; }

private:
    bool asking_ = false;
    // A helper that cannot be started is told about once: every later
    // plugin then just cannot name itself.
    bool startFailureTold_ = false;
};
