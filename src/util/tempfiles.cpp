#include "util/tempfiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>

#include <fmt/format.h>

#include "util/ExceptionLog.h"
#include "util/FileHandle.h"

namespace zorvik {
namespace {

// Candidate numbers: a random start per process, then consecutive, so that names seldom collide and a
// collision costs one more try.
uint32_t NextCandidate() {
  static std::atomic<uint32_t> next{[] {
    std::random_device rd;
    return static_cast<uint32_t>(rd()) ^ (static_cast<uint32_t>(::getpid()) << 16);
  }()};
  return next.fetch_add(1, std::memory_order_relaxed);
}

constexpr int kMaxTries = 65536;

}  // namespace

std::string TemporaryPath() {
  return traced("TemporaryPath", [] {
    std::string path = "/tmp";
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) path = tmp;
    if (path.back() != '/') path += '/';
    return path;
  });
}

std::string TemporaryFileNameInFolder(const std::string& folder) {
  return traced("TemporaryFileNameInFolder(" + folder + ")", [&] {
    std::error_code ec;
    Assert(!folder.empty() && std::filesystem::exists(folder, ec), "Folder \"" + folder + "\" does not exist");
    const std::string prefix = folder.back() == '/' ? folder : folder + "/";
    for (int attempt = 0; attempt < kMaxTries; ++attempt) {
      std::string name = fmt::format("{}map{:X}.tmp", prefix, NextCandidate());
      int fd = OpenRetry(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
      if (fd >= 0) {
        ::close(fd);
        return name;
      }
      if (errno != EEXIST) RaiseLastOSError("Cannot create a temporary file in " + folder);
    }
    RaiseLastOSError("Cannot create a temporary file in " + folder, EEXIST);
  });
}

std::string TemporaryFileName() {
  return traced("TemporaryFileName", [] {
    static std::mutex lock;
    static std::string last;
    std::lock_guard guard(lock);
    std::string name;
    do {
      name = TemporaryFileNameInFolder(TemporaryPath());
    } while (name == last);
    last = name;
    return name;
  });
}

}  // namespace zorvik
