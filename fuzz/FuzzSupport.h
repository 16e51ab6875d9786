#pragma once
// Fuzz targets hand the readers files: the input goes to a file in /dev/shm (or the temporary folder) that the
// reader then opens by name, as it would a user's file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace zorvik::fuzz {

inline std::string InputFile(const uint8_t* data, size_t size, const char* suffix) {
  static const std::string name = [&] {
    const char* folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(folder) + "/zorvik-fuzz-" + std::to_string(::getpid()) + suffix;
  }();
  FILE* f = std::fopen(name.c_str(), "wb");
  if (f) {
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  return name;
}

}  // namespace zorvik::fuzz
