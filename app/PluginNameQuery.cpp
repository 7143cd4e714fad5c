#include "PluginNameQuery.h"

#include "PluginBuilds.h"
#include "PluginScan.h"
#include "ToolFiles.h"

#include "base/Errors.h"

namespace {

// The helper that can load a library built for `machine`; null when none can
// here: the plugin then cannot name itself.
const char* HelperFor(TLibraryMachine machine)
{
    switch (machine) {
    case TLibraryMachine::X86:
        return kNameHelperFileName;
    case TLibraryMachine::X64:
        return SystemRuns64BitPrograms() ? kNameHelper64FileName : nullptr;
    default:
        return nullptr;
    }
}

} // namespace

TNameReply TPluginNameQuery::Ask(const std::string& pluginPath, const std::string& toolFolder)
{
    TNameReply reply = Derived(std::string());
    const char* helper = HelperFor(LibraryMachineOf(pluginPath));
    if (helper == nullptr)
        return reply;
    asking_ = true;
    helper_ = toolFolder + helper;
    reply.Helper = helper_;
    reply.PluginPath = pluginPath;
    return reply;
}

TNameReply TPluginNameQuery::Derived(const std::string& name)
{
    TNameReply reply;
    reply.StopHelper = asking_;
    asking_ = false;
    reply.SetName = true;
    reply.Name = name;
    return reply;
}

TNameReply TPluginNameQuery::Started(bool started, DWORD error)
{
    if (!asking_ || started)
        return {};
    asking_ = false;
    if (startFailureTold_)
        return {};
    startFailureTold_ = true;
    TNameReply reply;
    reply.Report = "The plugin cannot be asked for its name: \"" + helper_ + "\" could not be started: " +
                   SystemErrorText(error) + ".\r\nType the plugin name yourself, or unpack the tool again with " +
                   "all its files.";
    return reply;
}

TNameReply TPluginNameQuery::Ended(const TNameHelperEnd& end)
{
    if (!asking_)
        return {};
    asking_ = false;
    TNameReply reply;
    reply.SetName = true;
    if (end.InTime && end.ExitCode == kNameHelperNamed && end.Answer.size() == kRootNameCapacity)
        reply.Name = FilterRootName(end.Answer.data(), end.Answer.size());
    return reply;
}

TNameReply TPluginNameQuery::NameTyped()
{
    TNameReply reply;
    reply.StopHelper = asking_;
    asking_ = false;
    return reply;
}
