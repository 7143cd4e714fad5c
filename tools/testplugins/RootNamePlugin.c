/* A file-system plugin reduced to what the setup creator asks of it: its
   default root name. Compile-time switches make the variants the tests need:
     ROOT_NAME            the name it reports
     NO_ENTRY_POINT       exports no FsGetDefRootName
     FILL_WHOLE_BUFFER    writes maxlen characters and no terminating NUL
     FAULT_IN_ENTRY_POINT writes half its name, then an access violation
     RAISE_IN_ENTRY_POINT raises a non-continuable exception, as another
                          compiler's runtime does for its own exceptions
     FAULT_ON_ATTACH      access violation while the library is loaded
     FAULT_ON_DETACH      access violation while the library is unloaded
     REFUSE_TO_LOAD       its start-up code returns FALSE
     NAME_FROM_DEPENDENCY reports the name libdep.dll gives it (it needs that
                          library to load)
     DELAY_MS             waits that long (INFINITE: for ever) before it answers
     END_PROCESS          ends its process once it has written its name
     COUNT_CALLS          adds a line to calls.txt beside itself per call */
#include <windows.h>

#ifdef NAME_FROM_DEPENDENCY
__declspec(dllimport) const char* DependencyRootName(void);
#define ROOT_NAME DependencyRootName()
#endif

static HINSTANCE self;

/* An access violation: a write to memory that is reserved without any access.
   (Not a write through a null pointer: a process may have its first page
   mapped, and then that write succeeds.) */
static void __attribute__((unused)) Fault(void)
{
    volatile int* forbidden = (volatile int*)VirtualAlloc(NULL, 4096, MEM_RESERVE, PAGE_NOACCESS);
    *forbidden = 1;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    self = instance;
#ifdef FAULT_ON_ATTACH
    if (reason == DLL_PROCESS_ATTACH)
        Fault();
#endif
#ifdef FAULT_ON_DETACH
    if (reason == DLL_PROCESS_DETACH)
        Fault();
#endif
#ifdef REFUSE_TO_LOAD
    if (reason == DLL_PROCESS_ATTACH)
        return FALSE;
#endif
    (void)reason;
    return TRUE;
}

#ifndef NO_ENTRY_POINT
__declspec(dllexport) void __stdcall FsGetDefRootName(char* defRootName, int maxlen)
{
#if defined(FILL_WHOLE_BUFFER)
    int i;
    /* Letters and digits only, so every character survives the name filter. */
    for (i = 0; i < maxlen; ++i)
        defRootName[i] = (char)('a' + i % 26);
#else
    lstrcpynA(defRootName, ROOT_NAME, maxlen);
#endif
#ifdef DELAY_MS
    Sleep(DELAY_MS);
#endif
#ifdef COUNT_CALLS
    {
        char path[MAX_PATH + 16];
        DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
        DWORD written = 0;
        HANDLE calls;
        while (length > 0 && path[length - 1] != '\\')
            --length;
        lstrcpyA(path + length, "calls.txt");
        calls = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        WriteFile(calls, "call\r\n", 6, &written, NULL);
        CloseHandle(calls);
    }
#endif
#ifdef END_PROCESS
    ExitProcess(0);
#endif
#ifdef FAULT_IN_ENTRY_POINT
    Fault();
#endif
#ifdef RAISE_IN_ENTRY_POINT
    RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 0, NULL);
#endif
}
#else
/* Something else to export, so that the library still has an export table. */
__declspec(dllexport) int __stdcall FsInit(int number)
{
    return number;
}
#endif

/* What makes a library a file-system plugin: it lists the files of its file
   system. This one has none. */
__declspec(dllexport) HANDLE __stdcall FsFindFirst(char* path, void* findData)
{
    (void)path;
    (void)findData;
    return INVALID_HANDLE_VALUE;
}
