#include "FaultGuard.h"

#if defined(__i386__)

// The frame lives on the stack of RunGuarded's assembly part. Its first two
// fields are the system's exception registration record (link and handler);
// the rest is what is needed to come back: where to, with which stack and
// frame pointer, and the floating-point control word of the caller.
struct GuardFrame {
    GuardFrame* previous;
    void* handler;
    DWORD resumeAddress;
    DWORD stackPointer;
    DWORD framePointer;
    DWORD exceptionCode;
    DWORD fpuControl;
    DWORD faulted;
};
static_assert(sizeof(GuardFrame) == 32, "the assembly below addresses the frame by these offsets");

extern "C" {
int __cdecl GuardFrameRun(void (*routine)(void*), void* context, DWORD* exceptionCode);
void __cdecl GuardFrameUnwind(GuardFrame* frame, EXCEPTION_RECORD* record);
[[noreturn]] void __cdecl GuardFrameResume(GuardFrame* frame);
EXCEPTION_DISPOSITION __cdecl GuardFrameHandler(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT* context,
                                                void* dispatcherContext);
}

// GuardFrameRun(routine, context, code):
//   pushes a GuardFrame, links it at the head of the fs:[0] chain, calls
//   routine(context), unlinks the frame and returns 0. After an exception the
//   handler comes back to `1:` with the stack and frame pointer of this
//   function; the frame is unlinked the same way, the direction flag cleared,
//   the floating-point unit reset to the caller's control word, the code
//   stored and 1 returned.
// GuardFrameUnwind(frame, record):
//   RtlUnwind to the frame; RtlUnwind does not keep ebx, esi and edi on every
//   system, so this keeps them for the C++ caller.
// GuardFrameResume(frame):
//   the jump back: never returns.
asm(R"(
    .text
    .globl _GuardFrameRun
    .def _GuardFrameRun; .scl 2; .type 32; .endef
_GuardFrameRun:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl $32, %esp
    movl %fs:0, %eax
    movl %eax, 0(%esp)
    movl $_GuardFrameHandler, 4(%esp)
    movl $1f, 8(%esp)
    movl %esp, 12(%esp)
    movl %ebp, 16(%esp)
    movl $0, 20(%esp)
    fnstcw 24(%esp)
    movl $0, 28(%esp)
    movl %esp, %fs:0
    pushl 12(%ebp)
    call *8(%ebp)
    addl $4, %esp
1:
    movl 0(%esp), %eax
    movl %eax, %fs:0
    cld
    movl 28(%esp), %eax
    testl %eax, %eax
    jz 2f
    fninit
    fldcw 24(%esp)
    movl 16(%ebp), %ecx
    testl %ecx, %ecx
    jz 2f
    movl 20(%esp), %edx
    movl %edx, (%ecx)
2:
    addl $32, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

    .globl _GuardFrameUnwind
    .def _GuardFrameUnwind; .scl 2; .type 32; .endef
_GuardFrameUnwind:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl $0
    pushl 12(%ebp)
    pushl $3f
    pushl 8(%ebp)
    call _RtlUnwind@16
3:
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

    .globl _GuardFrameResume
    .def _GuardFrameResume; .scl 2; .type 32; .endef
_GuardFrameResume:
    movl 4(%esp), %eax
    movl 12(%eax), %esp
    movl 16(%eax), %ebp
    jmp *8(%eax)
)");

extern "C" EXCEPTION_DISPOSITION __cdecl GuardFrameHandler(EXCEPTION_RECORD* record, void* establisherFrame,
                                                           CONTEXT* /*context*/, void* /*dispatcherContext*/)
{
    // Called again, with an unwinding flag, when an outer frame unwinds past
    // ours: nothing of ours to clean up then.
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    auto* frame = static_cast<GuardFrame*>(establisherFrame);
    // A second exception while the frames above ours unwind goes straight
    // back as well, without another unwind.
    if (!frame->faulted) {
        frame->faulted = 1;
        frame->exceptionCode = record->ExceptionCode;
        GuardFrameUnwind(frame, record);
    }
    // Not ExceptionContinueExecution with a changed context: the exceptions
    // that other runtimes raise are non-continuable, and the dispatcher would
    // turn that answer into a new exception.
    GuardFrameResume(frame);
}

bool RunGuarded(void (*routine)(void*), void* context, DWORD* exceptionCode) noexcept
{
    DWORD code = 0;
    const bool faulted = GuardFrameRun(routine, context, &code) != 0;
    if (exceptionCode != nullptr)
        *exceptionCode = faulted ? code : 0;
    return !faulted;
}

namespace {

// The innermost watch of each thread, in a slot of the system's own
// thread-local storage: reading it from the exception handler of any thread
// allocates nothing.
const DWORD watchSlot = TlsAlloc();

TFaultWatch* CurrentWatch() noexcept
{
    if (watchSlot == TLS_OUT_OF_INDEXES)
        return nullptr;
    // TlsGetValue clears the thread's last error, which the code that
    // faulted, or its handler, may still want to read.
    const DWORD lastError = GetLastError();
    auto* watch = static_cast<TFaultWatch*>(TlsGetValue(watchSlot));
    SetLastError(lastError);
    return watch;
}

void SetCurrentWatch(TFaultWatch* watch) noexcept
{
    if (watchSlot != TLS_OUT_OF_INDEXES)
        TlsSetValue(watchSlot, watch);
}

bool IsHardwareFault(DWORD code) noexcept
{
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_BREAKPOINT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
        return true;
    default:
        return false;
    }
}

} // namespace

TFaultWatch::TFaultWatch()
    : outer_(CurrentWatch()), registration_(AddVectoredExceptionHandler(1, &TFaultWatch::Notice))
{
    SetCurrentWatch(this);
}

TFaultWatch::~TFaultWatch()
{
    SetCurrentWatch(outer_);
    if (registration_ != nullptr)
        RemoveVectoredExceptionHandler(registration_);
}

LONG CALLBACK TFaultWatch::Notice(EXCEPTION_POINTERS* pointers) noexcept
{
    // Every watch of the thread notices, the outer ones as well. With nested
    // watches this runs once per registration, which changes nothing more.
    TFaultWatch* watch = CurrentWatch();
    const DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (watch != nullptr && IsHardwareFault(code)) {
        for (TFaultWatch* w = watch; w != nullptr; w = w->outer_) {
            if (!w->seen_) {
                w->seen_ = true;
                w->code_ = code;
            }
        }
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

#else
#error "The fault guard is written for 32-bit x86, the only target of this tool."
#endif
