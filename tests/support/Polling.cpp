#include "Polling.h"

#include "toolkit/Application.h"

bool Eventually(const std::function<bool()>& done, DWORD timeoutMs)
{
    const bool serving = Application != nullptr && GetCurrentThreadId() == Application->MainThreadId();
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        if (serving) {
            Application->ProcessMessages();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        } else {
            Sleep(10);
        }
    }
    return true;
}

void PumpFor(DWORD ms)
{
    const DWORD start = GetTickCount();
    Eventually([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}
