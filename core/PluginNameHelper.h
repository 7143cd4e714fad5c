#pragma once
// A WFX plugin asked for its name in a program of its own beside the tool
// (namehelper/NameHelperProtocol.h), so that nothing the plugin's code does
// (fault, hang, end its process, damage memory) reaches the tool. The helper
// and whatever it starts run in a job that ends with the question. The
// window waits for it on a worker thread; a console program waits in place
// (AskPluginName).
#include "base/ChildProcess.h"
#include "base/Handles.h"

#include <string>

// A plugin answers within milliseconds; a big one with many libraries to
// load from a slow disk that a virus scanner reads first within a second or
// two. Past this the helper is ended, and the user has waited for the name
// no longer than a glance at the other fields takes.
constexpr DWORD kNameHelperLimitMs = 5000;

// The helper beside the tool (in `toolFolder`, with trailing backslash) that
// can load the library at `pluginPath`, as a full path; empty when none can
// here.
std::string NameHelperFor(const std::string& pluginPath, const std::string& toolFolder);

// One question: the pipe the helper answers through, and how it is started.
class TNameQuestion {
public:
    // Throws EOSError when the pipe cannot be made.
    TNameQuestion(const std::string& helper, const std::string& pluginPath);

    // What starts the helper (it inherits the pipe's write end).
    const TChildStart& Start() const noexcept { return start_; }
    // Lets go of the write end once the helper has its own: the pipe then
    // closes when the helper is gone.
    void Started() noexcept { writeEnd_.Reset(); }
    // The plugin's name, once the helper has ended as `end` tells; empty
    // when the plugin could not name itself.
    std::string NameAfter(const TChildEnd& end) const;

private:
    UniqueHandle readEnd_, writeEnd_;
    TChildStart start_;
};

// Asks the WFX plugin at `pluginPath` for its name and waits for the answer,
// within the time limit; empty when it cannot name itself. Throws EOSError
// when the helper cannot be started.
std::string AskPluginName(const std::string& pluginPath, const std::string& toolFolder);

// Why the plugin could not be asked, for the user: `error` is the helper's
// start failure.
std::string NameHelperFailureText(const std::string& error);
