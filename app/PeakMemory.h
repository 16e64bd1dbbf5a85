// The process's peak resident memory in KiB (Linux: getrusage's ru_maxrss; Windows: the peak
// working set), for the benchmarks' frame log. 0 when the system does not say.
#pragma once

long peakResidentKib();
