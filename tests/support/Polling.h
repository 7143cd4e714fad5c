#pragma once
// Waiting for an effect: the tests poll for it and never sleep a fixed time
// in its place.
#include <windows.h>

#include <functional>

// Polls `done` until it holds or `timeoutMs` passes; whether it held. On the
// user-interface thread it serves the messages and pending calls meanwhile,
// so that what it waits for can happen there.
bool Eventually(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// Serves messages and pending calls for `ms` milliseconds: for a window to
// settle, or to see that nothing more arrives.
void PumpFor(DWORD ms);
