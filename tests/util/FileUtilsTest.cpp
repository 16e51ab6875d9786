#include "util/FileUtils.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "ScopedEnv.h"
#include "support/TestSupport.h"
#include "util/Exceptions.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;

TEST(DeleteAnyFileTest, DeletesReadOnlyFilesAndAcceptsMissingOnes) {
  test::TempDir dir;
  const std::string name = dir.File("ro.plt");
  test::WriteAll(name, "x");
  fs::permissions(name, fs::perms::owner_read | fs::perms::group_read);
  EXPECT_TRUE(DeleteAnyFile(name));
  EXPECT_FALSE(fs::exists(name));
  EXPECT_TRUE(DeleteAnyFile(name));
  EXPECT_TRUE(DeleteAnyFile(dir.File("no/such/folder/file")));
  fs::create_directory(dir.File("sub"));
  EXPECT_FALSE(DeleteAnyFile(dir.File("sub")));
  EXPECT_TRUE(fs::is_directory(dir.File("sub")));
}

TEST(DeleteAnyFileTest, FileInAReadOnlyFolderStays) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  test::TempDir dir;
  fs::create_directory(dir.File("locked"));
  test::WriteAll(dir.File("locked/f"), "x");
  fs::permissions(dir.File("locked"), fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(DeleteAnyFile(dir.File("locked/f")));
  EXPECT_TRUE(fs::exists(dir.File("locked/f")));
}

struct PathCase {
  std::string first;   // ExpandRelativeFileName: name; MakeRelativeFileName: base
  std::string second;  // ExpandRelativeFileName: base; MakeRelativeFileName: name
  std::string expected;
};

TEST(RelativeNameTest, ExpandRelativeFileName) {
  const PathCase cases[] = {
      {"..\\b.plt", "/x/y", "/x/b.plt"},
      {"..\\b.plt", "/x/y/", "/x/b.plt"},
      {"../b.plt", "/x/y\\", "/x/b.plt"},
      {"b.plt", "/x/y", "/x/y/b.plt"},
      {"sub\\b.plt", "/x/y/", "/x/y/sub/b.plt"},
      {"\"a b.plt\"", "\"/x/y\"", "/x/y/a b.plt"},
      {"\\b.plt", "/x/y\\", "/x/y/b.plt"},
      {"..\\..\\..\\b.plt", "/x/y", "/b.plt"},
      {"./a/../b.plt", "/x", "/x/b.plt"},
      {"run:1.plt", "/x", "/x/run:1.plt"},
      {"b.plt", "", "b.plt"},
      {"", "/x", ""},
      {"/abs/../b.plt", "/x", "/abs/../b.plt"},
      {"C:\\x\\y.plt", "/x", "C:\\x\\y.plt"},
      {"\\\\server\\share\\a.plt", "/x", "\\\\server\\share\\a.plt"},
      {"..\\b.plt", "C:\\x\\y", "C:/x/b.plt"},
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(ExpandRelativeFileName(c.first, c.second), c.expected) << c.first << " against " << c.second;
  }
}

TEST(RelativeNameTest, MakeRelativeFileName) {
  const PathCase cases[] = {
      {"/data/runs/y", "/data/runs/b.plt", "../b.plt"},
      {"/x/y", "/x/b.plt", "/x/b.plt"},  // "../b.plt" is no shorter
      {"/x/y/", "/x/y/sub/a.plt", "sub/a.plt"},
      {"/x/y", "/x/y/a.plt", "a.plt"},
      {"/data/y", "/data/yz/a.plt", "../yz/a.plt"},
      {"/a/b/c/d", "/z.plt", "/z.plt"},
      {"\"/x/y\"", "\"/x/y/a b.plt\"", "a b.plt"},
      {"C:\\x\\y\\", "C:\\x\\b.plt", "../b.plt"},
      {"C:\\x", "D:\\x\\b.plt", "D:/x/b.plt"},
      {"/x/y", "rel/a.plt", "rel/a.plt"},
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(MakeRelativeFileName(c.first, c.second), c.expected) << c.second << " from " << c.first;
  }
  for (const std::string name : {"/x/b.plt", "/x/y/sub/a.plt", "/q/r/s.plt"}) {
    EXPECT_EQ(ExpandRelativeFileName(MakeRelativeFileName("/x/y", name), "/x/y"), name);
  }
}

TEST(NetworkPathTest, UncNamesAndLocalFolders) {
  test::TempDir dir;
  EXPECT_TRUE(IsNetworkPath("\\\\server\\share\\run.pos"));
  EXPECT_FALSE(IsNetworkPath(""));
  EXPECT_FALSE(IsNetworkPath("/proc/self"));
  // A name that does not exist is judged by the folder that holds it.
  EXPECT_EQ(IsNetworkPath(dir.File("not/there/yet.pos")), IsNetworkPath(dir.Path().string()));
}

TEST(NetworkPathTest, FileSystemKinds) {
  struct Case {
    uint64_t magic;
    const char* type;
    bool network;
  };
  const Case cases[] = {
      {0x6969, "nfs4", true},           {0xFF534D42, "cifs", true},       {0xFE534D42, "smb3", true},
      {0x517B, "smbfs", true},          {0x01021997, "9p", true},         {0x73757245, "coda", true},
      {0x65735546, "fuse.sshfs", true}, {0x65735546, "fuse.rclone", true}, {0x65735546, "fuse", false},
      {0x65735546, "fuse.ntfs-3g", false}, {0xEF53, "ext4", false},     {0x01021994, "tmpfs", false},
  };
  for (const Case& c : cases) EXPECT_EQ(detail::IsNetworkFileSystem(c.magic, c.type), c.network) << c.type;
}

TEST(NetworkPathTest, MountTypeOfTheLongestMountPoint) {
  const std::string mountInfo =
      "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
      "30 22 0:40 / /mnt/remote rw,nosuid - fuse.sshfs host:/data rw\n"
      "31 22 0:41 / /mnt/remote\\040space rw shared:5 - fuse.rclone remote: rw\n"
      "32 22 0:42 / /mnt/rem rw - nfs4 server:/export rw\n";
  struct Case {
    const char* path;
    const char* type;
  };
  const Case cases[] = {{"/mnt/remote/a/b", "fuse.sshfs"}, {"/mnt/remote", "fuse.sshfs"},
                        {"/mnt/remoteX/a", "ext4"},        {"/mnt/remote space/x", "fuse.rclone"},
                        {"/mnt/rem/a", "nfs4"},            {"/home/user", "ext4"}};
  for (const Case& c : cases) EXPECT_EQ(detail::MountTypeOf(mountInfo, c.path), c.type) << c.path;
}

class EditorTest : public testing::Test {
 protected:
  void SetUp() override {
    fPrevious = SetEditorLauncher([this](const std::vector<std::string>& argv) {
      fCalls.push_back(argv);
      return fSucceed;
    });
  }
  void TearDown() override { SetEditorLauncher(fPrevious); }

  TEditorLauncher fPrevious;
  std::vector<std::vector<std::string>> fCalls;
  bool fSucceed = true;
  test::ScopedEnv fEnv;
};

TEST_F(EditorTest, ChoosesVisualThenEditorThenTheDesktopOpener) {
  struct Case {
    std::optional<std::string> visual;
    std::optional<std::string> editor;
    std::vector<std::string> argv;
  };
  const std::string file = "/x/RA24_1ST.PLT";
  const Case cases[] = {
      {"code -w", "nano", {"code", "-w", file}},
      {"  ", "gedit", {"gedit", file}},
      {std::nullopt, "kate", {"kate", file}},
      {std::nullopt, std::nullopt, {"xdg-open", file}},
  };
  for (const Case& c : cases) {
    fEnv.Set("VISUAL", c.visual).Set("EDITOR", c.editor);
    fCalls.clear();
    ViewFileInEditor(file);
    EXPECT_EQ(fCalls, std::vector<std::vector<std::string>>{c.argv});
  }
}

TEST_F(EditorTest, FailureToStartRaisesTheEditorMessage) {
  fSucceed = false;
  try {
    ViewFileInEditor("/x/a.plt");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(),
                 "Could not display file \"/x/a.plt\" in Wordpad editor.\rWordpad editor is missing or not installed "
                 "properly.");
  }
}

TEST(LaunchDetachedTest, ReportsWhetherTheProgramStarted) {
  EXPECT_TRUE(LaunchDetached({"true"}));
  EXPECT_TRUE(LaunchDetached({"/bin/sh", "-c", "exit 3"}));  // started; its exit status is its own business
  EXPECT_FALSE(LaunchDetached({"zorvik-no-such-editor"}));
  EXPECT_FALSE(LaunchDetached({"/no/such/editor"}));
  EXPECT_FALSE(LaunchDetached({}));
}

}  // namespace
}  // namespace zorvik
