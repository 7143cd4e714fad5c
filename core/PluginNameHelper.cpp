#include "PluginNameHelper.h"

#include "PluginBuilds.h"
#include "PluginScan.h"
#include "ToolFiles.h"

#include "base/Errors.h"
#include "base/TextCodes.h"
#include "namehelper/NameHelperProtocol.h"

#include <cstdint>

std::string NameHelperFor(const std::string& pluginPath, const std::string& toolFolder)
{
    switch (LibraryMachineOf(pluginPath)) {
    case TLibraryMachine::X86:
        return toolFolder + kNameHelperFileName;
    case TLibraryMachine::X64:
        return SystemRuns64BitPrograms() ? toolFolder + kNameHelper64FileName : std::string();
    default:
        return std::string();
    }
}

TNameQuestion::TNameQuestion(const std::string& helper, const std::string& pluginPath)
{
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0))
        throw EOSError(GetLastError(), "no pipe could be made for its answer: " + SystemErrorText(GetLastError()));
    readEnd_.Reset(readEnd);
    writeEnd_.Reset(writeEnd);
    // Wide, so that any path reaches the helper whatever the code pages.
    start_.Program = ToWide(helper, CP_ACP);
    start_.CommandLine = L"\"" + start_.Program + L"\" " +
                         std::to_wstring(reinterpret_cast<std::uintptr_t>(writeEnd)) + L" \"" +
                         ToWide(pluginPath, CP_ACP) + L"\"";
    start_.Inherited = writeEnd;
}

std::string TNameQuestion::NameAfter(const TChildEnd& end) const
{
    if (end.How != TChildEnding::Ended || end.ExitCode != kNameHelperNamed)
        return std::string();
    // What the pipe holds, without waiting: the helper has ended, so nothing
    // more comes, and its answer is far smaller than the pipe's buffer.
    DWORD available = 0;
    if (!PeekNamedPipe(readEnd_.Get(), nullptr, 0, nullptr, &available, nullptr) || available != kRootNameCapacity)
        return std::string();
    std::string answer(available, '\0');
    DWORD read = 0;
    if (!ReadFile(readEnd_.Get(), answer.data(), available, &read, nullptr) || read != available)
        return std::string();
    return FilterRootName(answer.data(), answer.size());
}

std::string AskPluginName(const std::string& pluginPath, const std::string& toolFolder)
{
    const std::string helper = NameHelperFor(pluginPath, toolFolder);
    if (helper.empty())
        return std::string();
    TNameQuestion question(helper, pluginPath);
    TChildProcess process(question.Start());
    question.Started();
    return question.NameAfter(process.Wait(kNameHelperLimitMs, nullptr));
}

std::string NameHelperFailureText(const std::string& error)
{
    return "The plugin cannot be asked for its name: " + error + ".";
}
