#include "app/PeakMemory.h"

#include <windows.h>
#include <psapi.h>

long peakResidentKib()
{
    PROCESS_MEMORY_COUNTERS counters {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return long(counters.PeakWorkingSetSize / 1024);
}
