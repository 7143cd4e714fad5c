// makensis.exe for Wine hosts: compiles an installer script with the host's
// own NSIS compiler.
//
//   makensis.exe [/O<logfile>] <script>
//
// /O<logfile> (or -O<logfile>) hands the host compiler -O with the log file's
// host path: the compiler then writes all its messages there, as NSIS's own
// makensis.exe does with /O. (The host compiler takes its options with "-"
// and would read "/O..." as a script.)
//
// The host compiler knows nothing of Windows drive paths and cannot be waited
// for from Wine (a host program started from Wine has no process handle). So
// this program maps the script's drive paths to host paths, writes the mapped
// script into a folder of its own under the temporary folder, and has
// /bin/sh run the compiler in this program's working folder; the shell writes
// the compiler's exit code into a status file when it ends, which this
// program waits for while it copies the compiler's output to its console.
//
// Exit code: the compiler's (0 success, 1 errors); 2 when this program fails
// (usage, unreadable script, no Wine, the shell cannot be started or vanished);
// 3 when the host has no NSIS compiler. The host compiler is "makensis" on the
// host's PATH, or whatever the environment variable MAKENSIS names.
//
// On Windows, NSIS's own makensis.exe takes this program's place.
#include "HostPaths.h"
#include "ScriptMapping.h"

#include "base/Errors.h"
#include "base/Handles.h"
#include "base/TextCodes.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>

namespace {

constexpr int kExitFailure = 2;
// Kept in the work folder while this program runs (see RunScript).
constexpr wchar_t kAliveFile[] = L"alive";

void WriteTo(DWORD stdHandle, const std::string& text)
{
    const HANDLE handle = GetStdHandle(stdHandle);
    DWORD written = 0;
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE && !text.empty())
        WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void Report(const std::string& message) { WriteTo(STD_ERROR_HANDLE, "makensis.exe: " + message + "\r\n"); }

std::string ReadFileBytes(const std::wstring& path)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw EOSError(GetLastError(), SystemErrorText(GetLastError()));
    std::string content;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        content.append(buffer, read);
    return content;
}

void WriteFileBytes(const std::wstring& path, const std::string& content)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) ||
        written != content.size())
        throw EOSError(GetLastError(), "Cannot write " + FromWide(path, CP_UTF8) + ": " + SystemErrorText(GetLastError()));
}

// A folder of this run under the temporary folder; removed with what it holds.
class WorkFolder {
public:
    WorkFolder()
    {
        wchar_t temp[MAX_PATH + 1] = {};
        if (GetTempPathW(MAX_PATH + 1, temp) == 0)
            throw EOSError(GetLastError(), "No temporary folder: " + SystemErrorText(GetLastError()));
        for (unsigned attempt = 0;; ++attempt) {
            path_ = std::wstring(temp) + L"makensis-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(GetTickCount() + attempt) + L"\\";
            if (CreateDirectoryW(path_.c_str(), nullptr))
                break;
            if (GetLastError() != ERROR_ALREADY_EXISTS || attempt > 100)
                throw EOSError(GetLastError(), "Cannot create a temporary folder: " + SystemErrorText(GetLastError()));
        }
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    ~WorkFolder()
    {
        // Only files of this run lie here, written by this program or the shell.
        WIN32_FIND_DATAW entry{};
        UniqueFind find(FindFirstFileW((path_ + L"*").c_str(), &entry));
        if (find) {
            do {
                if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileW((path_ + entry.cFileName).c_str());
            } while (FindNextFileW(find.Get(), &entry));
        }
        find.Reset();
        RemoveDirectoryW(path_.c_str());
    }

    // Windows path of a file here.
    std::wstring File(const wchar_t* name) const { return path_ + name; }
    // Host path of a file here, quoted for the shell.
    std::string HostFile(const wchar_t* name) const { return ShellQuote(HostPathOf(FromWide(File(name), CP_UTF8))); }
    // Host path of the folder, quoted for the shell.
    std::string HostFolder() const { return ShellQuote(HostPathOf(FromWide(path_, CP_UTF8))); }

private:
    std::wstring path_;
};

// Copies what a growing file gained since the last call to a standard handle,
// line by line, with the host path of the compiled copy of the script named
// as the script it was given, as NSIS's own makensis.exe names it.
class OutputRelay {
public:
    OutputRelay(std::wstring path, DWORD stdHandle, std::string hostScript, std::string script)
        : path_(std::move(path)), stdHandle_(stdHandle), hostScript_(std::move(hostScript)), script_(std::move(script))
    {
    }

    // `last`: nothing more comes, and a last line without a line break goes too.
    void Pass(bool last = false)
    {
        if (!file_) {
            file_.Reset(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file_)
                return; // the shell has not created it yet
        }
        char buffer[16384];
        DWORD read = 0;
        while (ReadFile(file_.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
            pending_.append(buffer, read);
        // Past the last line break (none: rfind gives npos, and npos + 1 is 0).
        const std::size_t end = last ? pending_.size() : pending_.rfind('\n') + 1;
        if (end == 0)
            return;
        std::string lines = pending_.substr(0, end);
        pending_.erase(0, end);
        for (std::size_t at = lines.find(hostScript_); !hostScript_.empty() && at != std::string::npos;
             at = lines.find(hostScript_, at + script_.size()))
            lines.replace(at, hostScript_.size(), script_);
        WriteTo(stdHandle_, lines);
    }

private:
    std::wstring path_;
    DWORD stdHandle_;
    std::string hostScript_, script_;
    UniqueFile file_;
    std::string pending_;
};

// The shell script that runs the compiler and leaves its exit code behind.
// `hostLog`: the host path of the compiler's log file, or empty for none.
//
// The compiler goes with this program. Ended from Windows (its build stopped,
// its job ended), this program cannot end a host program, and the host
// cannot tell which of its processes this program is (Wine's server opens
// /proc for it). So this program keeps a file "alive" in its work folder,
// making it again whenever it is gone, and a watcher beside the compiler
// takes it away every second: gone for two seconds, this program has gone,
// and the watcher ends the compiler. The script then deletes the installer
// the compiler had begun to write (the "Output:" line of its output), and
// the work folder.
std::string RunScript(const WorkFolder& work, const std::string& workingFolder, const std::string& hostLog)
{
    const std::string logOption = hostLog.empty() ? std::string() : "-O" + ShellQuote(hostLog) + " ";
    const std::string out = work.HostFile(L"out"), err = work.HostFile(L"err");
    const std::string status = work.HostFile(L"status"), partial = work.HostFile(L"status.part");
    const std::string alive = work.HostFile(kAliveFile), abandoned = work.HostFile(L"abandoned");
    const std::string temporary = work.HostFile(L"temporary");
    const std::string watch = "    ( while :; do\n"
                              "          rm -f " + alive + "; sleep 1\n"
                              "          [ -e " + alive + " ] && continue\n"
                              "          sleep 1\n"
                              "          [ -e " + alive + " ] || break\n"
                              "      done\n"
                              "      : >" + abandoned + "\n"
                              "      pkill -P $$ ) &\n"
                              "    watcher=$!\n";
    const std::string ended =
        "    kill $watcher 2>/dev/null\n"
        "    if [ -e " + abandoned + " ]; then\n"
        "        sed -n 's/^Output: \"\\(.*\\)\"$/\\1/p' " + out + " | while IFS= read -r f; do rm -f \"$f\"; done\n"
        "        rm -rf " + work.HostFolder() + "\n"
        "        exit 1\n"
        "    fi\n";
    return "exec </dev/null >" + out + " 2>" + err + "\n"
           "echo $$ >" + work.HostFile(L"pid") + "\n"
           "compiler=\"${MAKENSIS:-makensis}\"\n"
           "if ! command -v \"$compiler\" >/dev/null 2>&1; then\n"
           "    echo \"makensis.exe: the host has no NSIS compiler ($compiler); install NSIS (Debian: apt-get install nsis)\" >&2\n"
           "    status=3\n"
           "elif ! cd " + ShellQuote(workingFolder) + "; then\n"
           "    status=2\n"
           "else\n" +
           watch +
           // -NOCD: relative paths in the script (language files, the
           // installer) belong to the working folder, not the script's. The
           // script and its paths are UTF-8, which the compiler takes for
           // file names only in a UTF-8 locale. The compiler keeps an
           // uninstaller to be signed in /tmp under a name of its own, and
           // leaves it there when the signing fails: a first signing step,
           // given on the command line so that the script's lines keep their
           // numbers, notes the name, and the file goes when the compiler
           // has ended.
           "    LC_ALL=C.UTF-8 \"$compiler\" " + logOption + "-NOCD " +
           ShellQuote("-X!uninstfinalize `echo \"%1\" >>" + temporary + "`") + " " + work.HostFile(L"script.nsi") + "\n"
           "    status=$?\n" +
           "    [ -f " + temporary + " ] && while IFS= read -r f; do rm -f \"$f\"; done <" + temporary + "\n" +
           ended +
           "fi\n" +
           // Written whole, then renamed: the waiting side never sees half of it.
           "echo $status >" + partial + " && mv " + partial + " " + status + "\n";
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Whether the host shell that wrote the pid file has ended, judged from the
// host's /proc; false while it runs, and whenever that cannot be told.
bool ShellEnded(const WorkFolder& work, const std::wstring& procFolder)
{
    try {
        if (procFolder.empty() || !PathExists(work.File(L"pid")))
            return false;
        std::string pid = ReadFileBytes(work.File(L"pid"));
        while (!pid.empty() && (pid.back() == '\n' || pid.back() == '\r'))
            pid.pop_back();
        if (pid.empty())
            return false; // being written
        // "<pid> (<name>) <state> ...": gone, or a zombie, has ended.
        const std::wstring stat = procFolder + ToWide(pid, CP_UTF8) + L"\\stat";
        if (!PathExists(stat))
            return true;
        const std::string line = ReadFileBytes(stat);
        const std::size_t name = line.rfind(')');
        return name != std::string::npos && name + 2 < line.size() &&
               (line[name + 2] == 'Z' || line[name + 2] == 'X');
    } catch (const Exception&) {
        return false;
    }
}

// Makes the work folder's "alive" file again when the watcher took it away.
void KeepAlive(const WorkFolder& work)
{
    const std::wstring alive = work.File(kAliveFile);
    if (!PathExists(alive))
        UniqueFile(CreateFileW(alive.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Waits for the status file while relaying the output of the compiler, which
// compiles `hostScript` for `script`; the compiler's exit code.
int WaitForCompiler(const WorkFolder& work, const std::string& hostScript, const std::string& script)
{
    OutputRelay out(work.File(L"out"), STD_OUTPUT_HANDLE, hostScript, script);
    OutputRelay err(work.File(L"err"), STD_ERROR_HANDLE, hostScript, script);
    // A shell that is killed leaves no status; on hosts with a /proc folder
    // that shows, and the wait ends.
    std::wstring procFolder;
    try {
        procFolder = WindowsPathOfHost("/proc/");
        if (!PathExists(procFolder + L"self"))
            procFolder.clear();
    } catch (const Exception&) {
    }
    for (;;) {
        KeepAlive(work);
        out.Pass();
        err.Pass();
        if (PathExists(work.File(L"status")))
            break;
        if (ShellEnded(work, procFolder) && !PathExists(work.File(L"status"))) {
            out.Pass(true);
            err.Pass(true);
            throw Exception("The shell running the compiler ended without an exit code");
        }
        Sleep(50);
    }
    out.Pass(true);
    err.Pass(true);
    return std::atoi(ReadFileBytes(work.File(L"status")).c_str());
}

struct Arguments {
    std::string script;
    std::string log; // empty without a log option
};

// An optional log option ("/O<file>" or "-O<file>") and one script, in any
// order, as UTF-8: taken from the wide command line, since this program's
// code page may lack characters of the paths it is given.
bool ParseArguments(Arguments& arguments)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const UniqueLocalMemory list(argv);
    for (int i = 1; argv != nullptr && i < argc; ++i) {
        const std::string argument = FromWide(argv[i], CP_UTF8);
        if (argument.size() > 2 && (argument[0] == '/' || argument[0] == '-') &&
            (argument[1] == 'O' || argument[1] == 'o')) {
            arguments.log = argument.substr(2);
        } else if (arguments.script.empty() && !argument.empty()) {
            arguments.script = argument;
        } else {
            return false;
        }
    }
    return !arguments.script.empty();
}

// The host path of a log file named relative to the working folder or in full.
std::string HostLogPath(const std::string& log)
{
    const std::wstring name = ToWide(log, CP_UTF8);
    wchar_t full[MAX_PATH + 1] = {};
    const DWORD length = GetFullPathNameW(name.c_str(), MAX_PATH + 1, full, nullptr);
    if (length == 0 || length > MAX_PATH)
        throw EOSError(GetLastError(), "Cannot use the log file \"" + log + "\": " + SystemErrorText(GetLastError()));
    return HostPathOf(FromWide(full, CP_UTF8));
}

// The host compiler names the mapped copy it compiled, a host path under the
// temporary folder that is gone by now; the log names the script it was
// given instead, as NSIS's own makensis.exe does.
void NameTheScriptInTheLog(const Arguments& arguments, const std::string& hostScript)
{
    const std::wstring log = ToWide(arguments.log, CP_UTF8);
    const std::string& script = arguments.script;
    try {
        std::string text = ReadFileBytes(log);
        for (std::size_t at = text.find(hostScript); at != std::string::npos;
             at = text.find(hostScript, at + script.size()))
            text.replace(at, hostScript.size(), script);
        WriteFileBytes(log, text);
    } catch (const Exception&) {
        // No log, or none that can be rewritten: it stays as the compiler left it.
    }
}

int Run(const Arguments& arguments)
{
    if (!HostPathsAvailable())
        throw Exception("this program runs the host's NSIS compiler under Wine only; on Windows, put NSIS's own "
                        "makensis.exe in its place");

    wchar_t currentFolder[MAX_PATH + 1] = {};
    if (GetCurrentDirectoryW(MAX_PATH + 1, currentFolder) == 0)
        throw EOSError(GetLastError(), "No working folder: " + SystemErrorText(GetLastError()));

    std::string script;
    try {
        script = ReadFileBytes(ToWide(arguments.script, CP_UTF8));
    } catch (const Exception& e) {
        throw Exception("Cannot open script \"" + arguments.script + "\": " + e.Message());
    }
    const std::string hostLog = arguments.log.empty() ? std::string() : HostLogPath(arguments.log);
    const std::string mapped = MapDrivePaths(ScriptTextAsUtf8(script), [](const std::string& path) {
        try {
            return HostPathOf(path);
        } catch (const Exception&) {
            return path; // left for the compiler to report
        }
    });

    WorkFolder work;
    WriteFileBytes(work.File(L"script.nsi"), "\xEF\xBB\xBF" + mapped);
    WriteFileBytes(work.File(L"run.sh"),
                   RunScript(work, HostPathOf(FromWide(currentFolder, CP_UTF8)), hostLog));

    const std::wstring shell = WindowsPathOfHost("/bin/sh");
    std::wstring commandLine =
        L"\"" + shell + L"\" \"" + ToWide(HostPathOf(FromWide(work.File(L"run.sh"), CP_UTF8)), CP_UTF8) + L"\"";
    KeepAlive(work);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(shell.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, currentFolder,
                        &startup, &process))
        throw EOSError(GetLastError(), "Cannot start /bin/sh: " + SystemErrorText(GetLastError()));
    // Under Wine a host program comes without handles; close any that came.
    UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);

    const std::string hostScript = HostPathOf(FromWide(work.File(L"script.nsi"), CP_UTF8));
    const int exitCode = WaitForCompiler(work, hostScript, arguments.script);
    if (!arguments.log.empty())
        NameTheScriptInTheLog(arguments, hostScript);
    return exitCode;
}

} // namespace

int main()
{
    Arguments arguments;
    if (!ParseArguments(arguments)) {
        Report("usage: makensis.exe [/O<logfile>] <script.nsi>");
        return kExitFailure;
    }
    try {
        return Run(arguments);
    } catch (const Exception& e) {
        Report(e.Message());
    } catch (const std::exception& e) {
        Report(e.what());
    }
    return kExitFailure;
}
