#include "PluginNameQuery.h"

#include "base/Errors.h"

TNameReply TPluginNameQuery::Ask(const std::string& pluginPath, const std::string& toolFolder)
{
    TNameReply reply = Derived(std::string());
    helper_ = NameHelperFor(pluginPath, toolFolder);
    if (helper_.empty())
        return reply;
    asking_ = true;
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
    reply.Name = PluginNameOf(end);
    return reply;
}

TNameReply TPluginNameQuery::NameTyped()
{
    TNameReply reply;
    reply.StopHelper = asking_;
    asking_ = false;
    return reply;
}
