#pragma once
// What the engine asks of the machine: free physical memory and the number of logical processors.
#include <cstdint>

namespace zorvik {

// Bytes of physical memory available to a new allocation without swapping (MemAvailable of /proc/meminfo,
// falling back to sysinfo's free + buffer RAM).
int64_t AvailableMemoryBytes();
// Bytes of physical memory of the machine; 0 when unknown.
int64_t TotalMemoryBytes();
// Logical processors this process may run on; never less than 1.
int DetectCpuCount();

}  // namespace zorvik
