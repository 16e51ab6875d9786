#include "util/FileUtils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <utility>

#include "util/Exceptions.h"

namespace zorvik {
namespace fs = std::filesystem;

namespace {

std::string StripQuotes(std::string s) {
  if (!s.empty() && s.front() == '"') s.erase(0, 1);
  if (!s.empty() && s.back() == '"') s.pop_back();
  return s;
}

std::string ToSlashes(std::string s) {
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

bool HasDriveLetter(std::string_view s) {
  return s.size() >= 2 && s[1] == ':' && std::isalpha(static_cast<unsigned char>(s[0]));
}

bool IsUncName(std::string_view s) { return s.size() >= 2 && s[0] == '\\' && s[1] == '\\'; }

std::vector<std::string> Segments(std::string_view path) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) out.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

// Resolves "." and ".." segments of a "/"-separated path without looking at the disk.
std::string CollapseDots(const std::string& path) {
  const bool rooted = !path.empty() && path.front() == '/';
  const bool trailing = path.size() > 1 && path.back() == '/';
  std::vector<std::string> kept;
  for (std::string& seg : Segments(path)) {
    if (seg == ".") continue;
    if (seg == "..") {
      if (!kept.empty() && kept.back() != ".." && !HasDriveLetter(kept.back())) {
        kept.pop_back();
      } else if (!rooted && !(kept.size() == 1 && HasDriveLetter(kept.front()))) {
        kept.push_back(seg);
      }
      continue;  // ".." of the root is the root
    }
    kept.push_back(std::move(seg));
  }
  std::string out = rooted ? "/" : "";
  for (size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) out += '/';
    out += kept[i];
  }
  if (trailing && !kept.empty()) out += '/';
  return out;
}

std::mutex gLauncherLock;
TEditorLauncher gLauncher;

// The executable for argv[0]: a name with "/" as given, otherwise the first match on PATH.
std::string FindProgram(const std::string& program) {
  if (program.empty()) return {};
  if (program.find('/') != std::string::npos) return ::access(program.c_str(), X_OK) == 0 ? program : std::string();
  const char* pathEnv = std::getenv("PATH");
  std::string path = pathEnv && *pathEnv ? pathEnv : "/usr/local/bin:/usr/bin:/bin";
  std::stringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty()) dir.push_back('.');
    std::string candidate = dir + "/" + program;
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
  }
  return {};
}

std::vector<std::string> SplitWords(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

std::string UnescapeMountField(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])) &&
        std::isdigit(static_cast<unsigned char>(s[i + 2])) && std::isdigit(static_cast<unsigned char>(s[i + 3]))) {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

}  // namespace

bool DeleteAnyFile(const std::string& name) {
  struct stat st {};
  if (::lstat(name.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
  // Removing a name needs only the folder's permission; the file is made writable first all the same, so
  // that a file system honouring a read-only attribute lets it go too.
  if (S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0) ::chmod(name.c_str(), (st.st_mode & 07777) | S_IWUSR);
  return ::unlink(name.c_str()) == 0;
}

namespace detail {

bool IsNetworkFileSystem(uint64_t magic, std::string_view mountType) {
  static constexpr std::array<uint64_t, 13> kNetworkMagic = {
      0x6969,      // NFS
      0x517B,      // SMB
      0xFF534D42,  // CIFS
      0xFE534D42,  // SMB2
      0x01021997,  // 9p
      0x5346414F,  // AFS
      0x6B414653,  // kAFS
      0x73757245,  // Coda
      0x564C,      // NCP
      0x00C36400,  // Ceph
      0x0BD00BD0,  // Lustre
      0x13661366,  // OrangeFS
      0x47504653,  // GPFS
  };
  if (std::find(kNetworkMagic.begin(), kNetworkMagic.end(), magic) != kNetworkMagic.end()) return true;
  constexpr uint64_t kFuseMagic = 0x65735546;
  if (magic != kFuseMagic) return false;
  // FUSE serves local file systems too; its mount type names the program behind it.
  static constexpr std::string_view kNetworkFuse[] = {
      "sshfs",   "rclone",   "s3fs",  "gcsfuse",  "glusterfs", "ceph",      "ceph-fuse", "davfs",
      "davfs2",  "curlftpfs", "smbnetfs", "goofys", "blobfuse", "blobfuse2", "juicefs",  "mfs",
      "lizardfs", "cvmfs",   "afpfs", "httpfs2", "nfs",       "cifs",      "smb",       "webdav"};
  std::string_view subtype = mountType;
  if (subtype.substr(0, 5) == "fuse.") subtype.remove_prefix(5);
  for (std::string_view n : kNetworkFuse) {
    if (subtype == n) return true;
  }
  return false;
}

std::string MountTypeOf(std::string_view mountInfo, const std::string& path) {
  std::string best;
  size_t bestLength = 0;
  bool found = false;
  size_t lineStart = 0;
  while (lineStart < mountInfo.size()) {
    size_t lineEnd = mountInfo.find('\n', lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = mountInfo.size();
    std::vector<std::string> fields = SplitWords(mountInfo.substr(lineStart, lineEnd - lineStart));
    lineStart = lineEnd + 1;
    auto dash = std::find(fields.begin(), fields.end(), "-");
    if (fields.size() < 5 || dash == fields.end() || dash + 1 == fields.end()) continue;
    const std::string mountPoint = UnescapeMountField(fields[4]);
    const bool covers = path.compare(0, mountPoint.size(), mountPoint) == 0 &&
                        (path.size() == mountPoint.size() || mountPoint == "/" || path[mountPoint.size()] == '/');
    // Later lines mount over earlier ones at the same point.
    if (covers && (!found || mountPoint.size() >= bestLength)) {
      best = *(dash + 1);
      bestLength = mountPoint.size();
      found = true;
    }
  }
  return best;
}

}  // namespace detail

bool IsNetworkPath(const std::string& path) {
  if (IsUncName(path)) return true;
  if (path.empty()) return false;
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  if (ec) return false;
  while (!fs::exists(p, ec) && p.has_parent_path() && p.parent_path() != p) p = p.parent_path();
  struct statfs info {};
  if (::statfs(p.c_str(), &info) != 0) return false;
  std::string mountType;
  constexpr uint64_t kFuseMagic = 0x65735546;
  if (static_cast<uint64_t>(info.f_type) == kFuseMagic) {
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    fs::path canonical = fs::canonical(p, ec);
    mountType = detail::MountTypeOf(text.str(), (ec ? p : canonical).string());
  }
  return detail::IsNetworkFileSystem(static_cast<uint64_t>(info.f_type), mountType);
}

std::string ExpandRelativeFileName(const std::string& name, const std::string& base) {
  std::string n = StripQuotes(name);
  if (n.empty() || IsUncName(n) || HasDriveLetter(n)) return n;
  if (n.front() == '/') return ToSlashes(n);
  const bool leadingSeparator = n.front() == '\\';
  n = ToSlashes(n);
  std::string folder = ToSlashes(StripQuotes(base));
  if (!folder.empty()) {
    // A name written with a leading "\" still counts from the base folder.
    if (leadingSeparator) {
      if (folder.back() == '/') folder.pop_back();
    } else if (folder.back() != '/') {
      folder += '/';
    }
    n = folder + n;
  }
  return CollapseDots(n);
}

std::string MakeRelativeFileName(const std::string& base, const std::string& name) {
  const std::string n = ToSlashes(StripQuotes(name));
  const std::string b = ToSlashes(StripQuotes(base));
  auto isAbsolute = [](const std::string& s) { return (!s.empty() && s.front() == '/') || HasDriveLetter(s); };
  if (!isAbsolute(n) || !isAbsolute(b)) return n;
  const std::vector<std::string> baseSegs = Segments(CollapseDots(b));
  const std::vector<std::string> nameSegs = Segments(CollapseDots(n));
  size_t common = 0;
  while (common < baseSegs.size() && common < nameSegs.size() && baseSegs[common] == nameSegs[common]) ++common;
  // Different drives have nothing in common.
  if (common == 0 && (HasDriveLetter(n) || HasDriveLetter(b))) return n;
  std::string rel;
  for (size_t i = common; i < baseSegs.size(); ++i) rel += "../";
  for (size_t i = common; i < nameSegs.size(); ++i) {
    rel += nameSegs[i];
    if (i + 1 < nameSegs.size()) rel += '/';
  }
  if (!rel.empty() && rel.back() != '/' && n.back() == '/') rel += '/';
  if (rel.empty()) rel.push_back('.');
  return rel.size() < n.size() ? rel : n;
}

bool LaunchDetached(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  const std::string program = FindProgram(argv[0]);
  if (program.empty()) return false;
  // Everything the child needs is prepared before fork: after it only async-signal-safe calls are made.
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int status[2];
  if (::pipe2(status, O_CLOEXEC) != 0) return false;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(status[0]);
    ::close(status[1]);
    return false;
  }
  if (child == 0) {
    ::close(status[0]);
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) {
      int err = grandchild < 0 ? errno : 0;
      if (err != 0) (void)!::write(status[1], &err, sizeof err);
      ::_exit(err == 0 ? 0 : 1);
    }
    int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
    ::execv(program.c_str(), args.data());
    int err = errno;
    (void)!::write(status[1], &err, sizeof err);
    ::_exit(127);
  }
  ::close(status[1]);
  int childStatus = 0;
  while (::waitpid(child, &childStatus, 0) < 0 && errno == EINTR) {
  }
  // The pipe closes without a word when the program has been started (close-on-exec).
  int err = 0;
  ssize_t n;
  do {
    n = ::read(status[0], &err, sizeof err);
  } while (n < 0 && errno == EINTR);
  ::close(status[0]);
  return n == 0;
}

TEditorLauncher SetEditorLauncher(TEditorLauncher launcher) {
  std::lock_guard guard(gLauncherLock);
  return std::exchange(gLauncher, std::move(launcher));
}

std::vector<std::string> EditorCommand(const std::string& name) {
  for (const char* var : {"VISUAL", "EDITOR"}) {
    if (const char* value = std::getenv(var)) {
      std::vector<std::string> argv = SplitWords(value);
      if (!argv.empty()) {
        argv.push_back(name);
        return argv;
      }
    }
  }
  return {"xdg-open", name};
}

void ViewFileInEditor(const std::string& name) {
  TEditorLauncher launcher;
  {
    std::lock_guard guard(gLauncherLock);
    launcher = gLauncher;
  }
  const std::vector<std::string> argv = EditorCommand(name);
  const bool started = launcher ? launcher(argv) : LaunchDetached(argv);
  if (!started) {
    throw Exception("Could not display file \"" + name +
                    "\" in Wordpad editor.\rWordpad editor is missing or not installed properly.");
  }
}

}  // namespace zorvik
