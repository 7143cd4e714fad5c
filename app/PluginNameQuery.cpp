#include "PluginNameQuery.h"

#include "core/PluginNameHelper.h"

TNameReply TPluginNameQuery::Ask(const std::string& helper, const std::string& pluginPath)
{
    TNameReply reply = Derived(std::string());
    if (helper.empty())
        return reply;
    asking_ = true;
    reply.Helper = helper;
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

TNameReply TPluginNameQuery::StartFailed(const std::string& error)
{
    if (!asking_)
        return {};
    asking_ = false;
    if (startFailureTold_)
        return {};
    startFailureTold_ = true;
    TNameReply reply;
    reply.Report = NameHelperFailureText(error) +
                   "\r\nType the plugin name yourself, or unpack the tool again with all its files.";
    return reply;
}

TNameReply TPluginNameQuery::Ended(const std::string& name)
{
    if (!asking_)
        return {};
    asking_ = false;
    TNameReply reply;
    reply.SetName = true;
    reply.Name = name;
    return reply;
}

TNameReply TPluginNameQuery::NameTyped()
{
    TNameReply reply;
    reply.StopHelper = asking_;
    asking_ = false;
    return reply;
}
