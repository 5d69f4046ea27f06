// The system's process status header, for its PERFORMANCE_INFORMATION record. It names
// K32GetPerformanceInfo GetPerformanceInfo by a macro, which would rename the platform's operation
// of that name (ISystem::GetPerformanceInfo) wherever both are seen: the macro goes. The call itself
// is looked up at run time (PerformanceInfoFunction).
#pragma once

#include "platform/win32/Win32Api.h"

#include <psapi.h>

#undef GetPerformanceInfo
