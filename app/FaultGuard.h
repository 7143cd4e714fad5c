#pragma once
// A structured-exception frame of our own around code we do not control (a
// plugin's start-up code, its exported routines, its clean-up code).
//
// What it covers: any exception that the guarded code raises and does not
// handle itself on this thread: access violations, illegal instructions,
// divisions by zero, stack overflow, and the exceptions that other compilers'
// runtimes raise (which are not C++ exceptions of ours). The frames between
// ours and the fault are unwound the ordinary way, so their own clean-up
// handlers run, and execution goes on after the guarded call, with the
// registers, the direction flag and the floating-point unit as our code
// expects them.
//
// What it cannot do: stop code that never returns (a plugin that hangs or
// waits for ever hangs the tool with it); undo what the faulting code changed
// before it faulted (memory it overwrote, locks it took, threads it started);
// see faults on other threads; catch a fault that the system's loader itself
// catches (it then reports a failed load instead). After a stack overflow the
// thread's guard page is used up until the system restores it.
//
// The guarded routine must not throw C++ exceptions: they cannot unwind
// through the frame.
//
// The system's loader catches faults in a library's start-up and clean-up
// code itself: the load then fails, the unload seems to succeed, and no frame
// of ours sees the fault. TFaultWatch notices those.
#include <windows.h>

#include <type_traits>

// Runs routine(context) behind the frame. Returns true when it returned
// normally, false when an exception ended it; `exceptionCode` (if given)
// then receives the exception's code.
bool RunGuarded(void (*routine)(void*), void* context, DWORD* exceptionCode = nullptr) noexcept;

// The same for any callable that takes no arguments.
template <typename Routine>
bool RunGuarded(Routine&& routine, DWORD* exceptionCode = nullptr) noexcept
{
    using Callable = std::remove_reference_t<Routine>;
    return RunGuarded([](void* context) { (*static_cast<Callable*>(context))(); },
                      const_cast<void*>(static_cast<const volatile void*>(&routine)), exceptionCode);
}

// Notices the hardware faults (access violations, illegal instructions,
// divisions by zero, stack overflow, breakpoints and the like) raised on the
// calling thread while it lives, whoever handles them afterwards. It only
// watches: the fault goes on to the handlers it would reach anyway. Watches
// may nest; each notices what happens in its own lifetime.
class TFaultWatch {
public:
    TFaultWatch();
    ~TFaultWatch();
    TFaultWatch(const TFaultWatch&) = delete;
    TFaultWatch& operator=(const TFaultWatch&) = delete;

    bool Seen() const noexcept { return seen_; }
    // Code of the first fault noticed; 0 when none.
    DWORD Code() const noexcept { return code_; }

private:
    static LONG CALLBACK Notice(EXCEPTION_POINTERS* pointers) noexcept;

    TFaultWatch* outer_;
    void* registration_;
    bool seen_ = false;
    DWORD code_ = 0;
};
