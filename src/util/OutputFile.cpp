#include "util/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <random>

#include <fmt/format.h>

#include "util/ExceptionLog.h"

namespace zorvik {
namespace fs = std::filesystem;
namespace {

constexpr int kMaxTries = 100;

// Candidate suffixes of hidden names: a random start per process, then consecutive.
uint32_t NextSuffix() {
  static std::atomic<uint32_t> next{[] {
    std::random_device rd;
    return static_cast<uint32_t>(rd());
  }()};
  return next.fetch_add(1, std::memory_order_relaxed);
}

std::string HiddenName(const std::string& folder, const std::string& target) {
  return fmt::format("{}/.{}.{:08x}.tmp", folder, fs::path(target).filename().string(), NextSuffix());
}

[[noreturn]] void RaiseCreate(const std::string& target, int err) {
  throw EFOpenError(fmt::format("Cannot create file \"{}\": {}", target, ErrorText(err)));
}

// Errors of O_TMPFILE that mean "this file system has no unnamed files" rather than "no file here".
bool NoUnnamedFiles(int err) { return err == EOPNOTSUPP || err == EISDIR || err == EINVAL; }

}  // namespace

TOutputFile::TOutputFile(std::string target) : fTarget(std::move(target)) {
  traced("TOutputFile.Create", [&] {
    if (fTarget.empty()) throw EFOpenError("Cannot create a file: no file name given");
    std::error_code ec;
    if (fs::is_symlink(fTarget, ec) && fs::exists(fTarget, ec)) fTarget = fs::canonical(fTarget, ec).string();
    if (fs::is_directory(fTarget, ec)) throw EFOpenError(fmt::format("Cannot create file \"{}\": it is a folder", fTarget));
    const fs::path parent = fs::path(fTarget).parent_path();
    fFolder = parent.empty() ? std::string(".") : parent.string();
    if (!fs::is_directory(fFolder, ec))
      throw EFOpenError(fmt::format("Cannot create file \"{}\": the folder {} does not exist", fTarget, fFolder));

    int fd = OpenRetry(fFolder.c_str(), O_TMPFILE | O_RDWR, 0666);
    if (fd >= 0) {
      fHandle.Reset(fd);
      return;
    }
    if (!NoUnnamedFiles(errno)) RaiseCreate(fTarget, errno);
    for (int attempt = 0; attempt < kMaxTries; ++attempt) {
      std::string name = HiddenName(fFolder, fTarget);
      fd = OpenRetry(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
      if (fd >= 0) {
        fHandle.Reset(fd);
        fTempName = std::move(name);
        return;
      }
      if (errno != EEXIST) RaiseCreate(fTarget, errno);
    }
    RaiseCreate(fTarget, EEXIST);
  });
}

TOutputFile::~TOutputFile() { Discard(); }

void TOutputFile::Discard() noexcept {
  fHandle.Reset();
  if (!fTempName.empty()) {
    ::unlink(fTempName.c_str());
    fTempName.clear();
  }
}

TFileHandle TOutputFile::Duplicate() const {
  TFileHandle copy(::fcntl(fHandle.Get(), F_DUPFD_CLOEXEC, 0));
  if (!copy) RaiseCreate(fTarget, errno);
  return copy;
}

void TOutputFile::Write(std::string_view data) {
  if (!fHandle) throw EInOutError(fmt::format("File \"{}\" is closed", fTarget));
  if (WriteFull(fHandle.Get(), data.data(), data.size()) != static_cast<int64_t>(data.size()))
    throw EInOutError(fmt::format("Cannot write file \"{}\": {}", fTarget, ErrorText(errno)));
}

void TOutputFile::Commit() {
  traced("TOutputFile.Commit", [&] {
    if (!fHandle) throw EInOutError(fmt::format("File \"{}\" is closed", fTarget));
    struct Discarder {
      TOutputFile& file;
      bool done = false;
      ~Discarder() {
        if (!done) file.Discard();
      }
    } discarder{*this};

    if (fTempName.empty()) {
      // An unnamed file gets a hidden name first (linkat cannot replace a file), then the target's.
      const std::string self = fmt::format("/proc/self/fd/{}", fHandle.Get());
      for (int attempt = 0; attempt < kMaxTries && fTempName.empty(); ++attempt) {
        std::string name = HiddenName(fFolder, fTarget);
        int rc = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
        if (rc != 0 && errno == ENOENT)  // no /proc: the privileged form
          rc = ::linkat(fHandle.Get(), "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
        if (rc == 0)
          fTempName = std::move(name);
        else if (errno != EEXIST)
          RaiseCreate(fTarget, errno);
      }
      if (fTempName.empty()) RaiseCreate(fTarget, EEXIST);
    }
    // Some file systems report a failed write only when the file is closed.
    if (const int err = fHandle.Close(); err != 0)
      throw EInOutError(fmt::format("Cannot write file \"{}\": {}", fTarget, ErrorText(err)));
    if (::rename(fTempName.c_str(), fTarget.c_str()) != 0) RaiseCreate(fTarget, errno);
    fTempName.clear();
    discarder.done = true;
  });
}

void WriteFileAtomically(const std::string& target, std::string_view content) {
  traced("WriteFileAtomically", [&] {
    TOutputFile file(target);
    file.Write(content);
    file.Commit();
  });
}

}  // namespace zorvik
