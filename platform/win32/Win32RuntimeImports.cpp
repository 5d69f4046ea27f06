// Imports of the compiler's own runtime that Windows 95 exports but does not implement, answered
// here with calls it does implement.
//
// The compiler's thread support (libgcc, win32 thread model) gives each of its mutexes a
// semaphore made with CreateSemaphoreW: the C++ runtime's lock around static initialisation, the
// unwinder's lock around its frame tables, the exception allocator's lock. Windows 95 implements
// only a handful of wide-character functions; CreateSemaphoreW is one of the many it exports as a
// stub that fails. Those mutexes would then have no semaphore, and the first time two threads
// wanted one at once the lock would fail instead of waiting (a thrown "lock error", or an unwinder
// working without its lock).
//
// The runtime reaches the function through its import slot, the pointer the linker would otherwise
// take from kernel32's import library. Defining that pointer here points it at the narrow-character
// call instead, and CreateSemaphoreW leaves the exe's import table (tests/e2e/check_imports.sh keeps
// it out). The runtime names none of its semaphores, so a name is refused rather than converted.
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32RuntimeImports.h"

namespace taskwell::win32 {
namespace {

::HANDLE WINAPI CreateUnnamedSemaphore(::LPSECURITY_ATTRIBUTES attributes, ::LONG initialCount,
                                       ::LONG maximumCount, ::LPCWSTR name) {
    if (name) {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    return ::CreateSemaphoreA(attributes, initialCount, maximumCount, nullptr);
}

}  // namespace
}  // namespace taskwell::win32

// The slot itself, under the symbol the runtime's objects refer to.
using CreateSemaphoreWFunction = ::HANDLE(WINAPI*)(::LPSECURITY_ATTRIBUTES, ::LONG, ::LONG, ::LPCWSTR);
extern "C" {
extern const CreateSemaphoreWFunction taskwellCreateSemaphoreWSlot __asm__(TASKWELL_CREATE_SEMAPHORE_W_SLOT);
const CreateSemaphoreWFunction taskwellCreateSemaphoreWSlot = &taskwell::win32::CreateUnnamedSemaphore;
}
