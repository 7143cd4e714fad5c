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
     REFUSE_TO_LOAD       its start-up code returns FALSE */
#include <windows.h>

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
    (void)instance;
    (void)reserved;
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
