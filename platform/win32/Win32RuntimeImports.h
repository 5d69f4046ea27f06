// The symbol of the import slot through which the compiler's runtime calls CreateSemaphoreW, which
// Win32RuntimeImports.cpp defines: on 32-bit Windows decorated for stdcall with 16 bytes of
// arguments after the leading underscore of C names; on 64-bit Windows, which has one calling
// convention and no leading underscore, the plain name.
#pragma once

#ifdef _WIN64
#define TASKWELL_CREATE_SEMAPHORE_W_SLOT "__imp_CreateSemaphoreW"
#else
#define TASKWELL_CREATE_SEMAPHORE_W_SLOT "__imp__CreateSemaphoreW@16"
#endif
