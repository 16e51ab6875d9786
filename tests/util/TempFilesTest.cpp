#include "util/tempfiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "ScopedEnv.h"
#include "support/TestSupport.h"
#include "util/ExceptionLog.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;

TEST(TempFilesTest, TemporaryPathEndsWithSeparator) {
  test::TempDir dir;
  test::ScopedEnv env;
  env.Set("TMPDIR", dir.Path().string());
  EXPECT_EQ(TemporaryPath(), dir.Path().string() + "/");
  env.Set("TMPDIR", dir.Path().string() + "/");
  EXPECT_EQ(TemporaryPath(), dir.Path().string() + "/");
  env.Set("TMPDIR", std::nullopt);
  EXPECT_EQ(TemporaryPath(), "/tmp/");
}

TEST(TempFilesTest, CreatesNewEmptyUniqueFilesInTheFolder) {
  test::TempDir dir;
  const std::regex pattern(std::regex_replace(dir.Path().string(), std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") +
                           R"(/map[0-9A-F]+\.tmp)");
  for (const std::string& folder : {dir.Path().string(), dir.Path().string() + "/"}) {
    const std::string a = TemporaryFileNameInFolder(folder);
    const std::string b = TemporaryFileNameInFolder(folder);
    EXPECT_NE(a, b);
    for (const std::string& name : {a, b}) {
      EXPECT_TRUE(std::regex_match(name, pattern)) << name;
      EXPECT_TRUE(fs::is_regular_file(name));
      EXPECT_EQ(fs::file_size(name), 0u);
    }
  }
}

TEST(TempFilesTest, TemporaryFileNameNeverRepeatsAndLeavesTheFiles) {
  test::TempDir dir;
  test::ScopedEnv env;
  env.Set("TMPDIR", dir.Path().string());
  const std::string a = TemporaryFileName();
  const std::string b = TemporaryFileName();
  EXPECT_NE(a, b);
  for (const std::string& name : {a, b}) {
    EXPECT_EQ(fs::path(name).parent_path(), dir.Path());
    EXPECT_TRUE(fs::exists(name));
    EXPECT_EQ(fs::file_size(name), 0u);
  }
}

TEST(TempFilesTest, MissingFolderFailsTheAssertionWithItsContext) {
  test::TempDir dir;
  const std::string folder = dir.File("gone");
  try {
    TemporaryFileNameInFolder(folder);
    FAIL() << "no exception";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()), "EAssertionFailed: Assertion Failed: Folder \"" + folder +
                                         "\" does not exist\r\nTemporaryFileNameInFolder(" + folder + ")");
  }
}

TEST(TempFilesTest, FolderThatCannotTakeFilesRaisesTheSystemError) {
  test::TempDir dir;
  test::WriteAll(dir.File("plain"), "x");
  EXPECT_THROW(
      try { TemporaryFileNameInFolder(dir.File("plain")); } catch (const std::exception& e) {
        EXPECT_TRUE(EStackTrace::IsException<EOSError>(e)) << e.what();
        throw;
      },
      EStackTrace);
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  const std::string locked = dir.File("locked");
  fs::create_directory(locked);
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  try {
    TemporaryFileNameInFolder(locked);
    FAIL() << "created a file in a read-only folder";
  } catch (const std::exception& e) {
    EXPECT_TRUE(EStackTrace::IsException<EOSError>(e)) << e.what();
    EXPECT_NE(RootMessage(e).find("Permission denied"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace zorvik
