// Functions of the system's libraries that a Windows 95 without updates lacks are never imported:
// the loader refuses an exe that names a function its system does not export, so one such import
// keeps the whole program from starting. They are looked up at run time here instead, and every
// caller carries on without the function when the answer is null. Callers keep the answer (in a
// static or a member), so each function is looked up once.
//
// tests/e2e/allowed-imports.txt lists what the exe may import; a function not there belongs here.
#pragma once

#include "platform/win32/Win32Api.h"

namespace taskwell::win32 {

// The export `name` of `module` as a function of type Fn; null when the module is null or does
// not export the name.
template <class Fn>
Fn SystemFunction(::HMODULE module, const char* name) {
    if (!module || !name) return nullptr;
    // Through void*: a direct cast between unrelated function pointer types draws a warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// The same for a library the process has loaded already (those the exe imports, and ntdll.dll
// where there is one); null when it is not loaded. Nothing is loaded here, so a missing library
// brings up no message.
template <class Fn>
Fn SystemFunction(const char* moduleName, const char* name) {
    return SystemFunction<Fn>(::GetModuleHandleA(moduleName), name);
}

// Loads a library of the system that the exe does not import: one that only some systems have, or
// one only a rarely used command needs (kept out of the resident memory until then). Null when it
// cannot be loaded; a missing library brings up no "file not found" box. The caller frees it
// (FreeLibrary) or keeps it to the end of the process.
inline ::HMODULE LoadSystemLibrary(const char* name) {
    const ::UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    ::HMODULE module = ::LoadLibraryA(name);
    ::SetErrorMode(oldMode);
    return module;
}

}  // namespace taskwell::win32
