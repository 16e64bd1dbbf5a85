#include "app/PeakMemory.h"

#include <sys/resource.h>

long peakResidentKib()
{
    rusage usage {};
    return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : 0;
}
