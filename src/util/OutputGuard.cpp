#include "util/OutputGuard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <tuple>

#include <fmt/format.h>

#include "util/ExceptionLog.h"
#include "util/FileHandle.h"

namespace zorvik {
namespace fs = std::filesystem;
namespace {

// What a name stands for: an existing file by its device and inode, a file still to be made by its folder's
// device and inode and its own name.
struct TFileIdentity {
  dev_t Device = 0;
  ino_t Inode = 0;
  std::string NewName;  // empty for an existing file
  bool operator==(const TFileIdentity&) const = default;
};

std::optional<TFileIdentity> IdentityOf(const std::string& path) {
  if (path.empty()) return std::nullopt;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return TFileIdentity{st.st_dev, st.st_ino, {}};
  fs::path folder = fs::path(path).parent_path();
  if (folder.empty()) folder = ".";
  if (::stat(folder.c_str(), &st) != 0) return std::nullopt;
  return TFileIdentity{st.st_dev, st.st_ino, fs::path(path).filename().string()};
}

[[noreturn]] void RefuseCreate(const TFileRole& output, const std::string& why) {
  throw EFOpenError(fmt::format("Cannot create {} \"{}\": {}", output.Role, output.Path, why));
}

}  // namespace

void CheckOutputRoles(const std::vector<TFileRole>& inputs, const std::vector<TFileRole>& outputs) {
  traced("CheckOutputRoles", [&] {
    std::vector<std::pair<const TFileRole*, TFileIdentity>> seen;
    for (const TFileRole& input : inputs)
      if (auto id = IdentityOf(input.Path); id && id->NewName.empty()) seen.emplace_back(&input, *id);
    const size_t inputCount = seen.size();
    for (const TFileRole& output : outputs) {
      const auto id = IdentityOf(output.Path);
      if (!id) continue;
      for (size_t i = 0; i < seen.size(); ++i) {
        if (!(seen[i].second == *id)) continue;
        if (i < inputCount) throw EOutputConflict(fmt::format("{} is {}", output.Role, seen[i].first->Role));
        throw EOutputConflict(fmt::format("{} and {} are the same file", seen[i].first->Role, output.Role));
      }
      seen.emplace_back(&output, *id);
    }
  });
}

void CheckOutputCreatable(const TFileRole& output) {
  traced("CheckOutputCreatable", [&] {
    if (output.Path.empty()) RefuseCreate(output, "no file name given");
    std::error_code ec;
    if (fs::is_directory(output.Path, ec)) RefuseCreate(output, "it is a folder");
    const fs::path parent = fs::path(output.Path).parent_path();
    const std::string folder = parent.empty() ? std::string(".") : parent.string();
    if (!fs::exists(folder, ec)) RefuseCreate(output, fmt::format("the folder {} does not exist", folder));
    if (!fs::is_directory(folder, ec)) RefuseCreate(output, fmt::format("{} is not a folder", folder));
    // The honest test is to make a file there: an unnamed one vanishes when closed.
    TFileHandle probe(OpenRetry(folder.c_str(), O_TMPFILE | O_WRONLY, 0600));
    if (probe) return;
    int err = errno;
    if (err == EOPNOTSUPP || err == EISDIR || err == EINVAL) {
      if (::access(folder.c_str(), W_OK | X_OK) == 0) return;
      err = errno;
    }
    RefuseCreate(output, ErrorText(err));
  });
}

void CheckRunOutputs(const std::vector<TFileRole>& inputs, const std::vector<TFileRole>& outputs) {
  CheckOutputRoles(inputs, outputs);
  for (const TFileRole& output : outputs) CheckOutputCreatable(output);
}

}  // namespace zorvik
