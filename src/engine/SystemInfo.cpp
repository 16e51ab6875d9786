#include "engine/SystemInfo.h"

#include <sched.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace zorvik {

int64_t AvailableMemoryBytes() {
  std::ifstream in("/proc/meminfo");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("MemAvailable:", 0) == 0) {
      std::istringstream fields(line.substr(13));
      int64_t kb = 0;
      if (fields >> kb) return kb * 1024;
    }
  }
  struct sysinfo info {};
  if (::sysinfo(&info) == 0) return static_cast<int64_t>(info.freeram + info.bufferram) * info.mem_unit;
  return int64_t{1} << 30;
}

int64_t TotalMemoryBytes() {
  struct sysinfo info {};
  if (::sysinfo(&info) == 0) return static_cast<int64_t>(info.totalram) * info.mem_unit;
  return 0;
}

int DetectCpuCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) {
    const int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
  const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(n) : 1;
}

}  // namespace zorvik
