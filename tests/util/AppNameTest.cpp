#include "util/AppName.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "ScopedEnv.h"
#include "support/TestSupport.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;

TEST(AppNameTest, ProgramPathsKeepTheirCase) {
  TAppName app("/opt/My App/Bin/Zorvik.exe");
  EXPECT_EQ(app.NameOfApp(), "/opt/My App/Bin/Zorvik.exe");
  EXPECT_EQ(app.PathToApp(), "/opt/My App/Bin/");
  EXPECT_EQ(app.NameOfApp8dot3(), app.NameOfApp());
  EXPECT_EQ(app.PathToApp8dot3(), app.PathToApp());
  EXPECT_EQ(app.ApplicationName(), "zorvik");
  EXPECT_EQ(app.ReferenceAppPath("debug_log.ini"), "/opt/My App/Bin/debug_log.ini");
  EXPECT_EQ(app.ReferenceAppPath8Dot3("debug_log.ini"), "/opt/My App/Bin/debug_log.ini");
  EXPECT_EQ(app.GetRegistryPath(), "Software\\Tarvo\\zorvik\\");
}

TEST(AppNameTest, RunningProgramIsThisTest) {
  const TAppName& app = AppName();
  EXPECT_EQ(fs::path(app.NameOfApp()).filename(), "test_util");
  EXPECT_EQ(app.PathToApp(), fs::path(app.NameOfApp()).parent_path().string() + "/");
}

class AppFoldersTest : public testing::Test {
 protected:
  void SetUp() override {
    fHome = fDir.Path() / "alice";
    fs::create_directories(fHome / "cfg");
    test::WriteAll(fHome / "cfg" / "user-dirs.dirs", "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
    fEnv.Set("HOME", fHome.string())
        .Set("XDG_CONFIG_HOME", (fHome / "cfg").string())
        .Set("XDG_DATA_HOME", std::nullopt)
        .Set("XDG_DOCUMENTS_DIR", std::nullopt);
  }
  std::string Home() const { return fHome.string(); }

  test::TempDir fDir;
  fs::path fHome;
  test::ScopedEnv fEnv;
};

TEST_F(AppFoldersTest, DerivedFoldersAreMadeOnDemand) {
  TAppName app("/usr/bin/Zorvik");
  EXPECT_EQ(app.CurrentUser(), "alice");
  const std::string docs = Home() + "/Docs/";
  struct Case {
    std::string folder;
    std::string expected;
  };
  const Case cases[] = {
      {app.GetApplicationDataPath(), Home() + "/.local/share/Tarvo/zorvik/"},
      {app.GetUserDocumentPath(), docs},
      {app.GetUserAppDocumentPath(), docs + "Tarvo/zorvik/"},
      {app.GetDefaultUserAppDocumentPath(), docs + "Tarvo/zorvik/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.folder, c.expected);
    EXPECT_TRUE(fs::is_directory(c.folder)) << c.folder;
  }
  fEnv.Set("XDG_DATA_HOME", Home() + "/data").Set("XDG_DOCUMENTS_DIR", Home() + "/Papers");
  EXPECT_EQ(app.GetApplicationDataPath(), Home() + "/data/Tarvo/zorvik/");
  EXPECT_EQ(app.GetUserDocumentPath(), Home() + "/Papers/");
}

TEST_F(AppFoldersTest, DefaultDocumentFolderIsTheFirstThatExists) {
  TAppName app("/usr/bin/zorvik");
  app.SetCreateDirOnDemand(false);
  const std::string docs = Home() + "/Docs/";
  EXPECT_EQ(app.GetDefaultUserAppDocumentPath(), fs::current_path().string() + "/");
  fs::create_directories(docs);
  EXPECT_EQ(app.GetDefaultUserAppDocumentPath(), docs);
  fs::create_directories(docs + "Tarvo");
  EXPECT_EQ(app.GetDefaultUserAppDocumentPath(), docs + "Tarvo/");
  fs::create_directories(docs + "Tarvo/zorvik");
  EXPECT_EQ(app.GetDefaultUserAppDocumentPath(), docs + "Tarvo/zorvik/");
  EXPECT_EQ(app.GetApplicationProjectPath(), docs + "Tarvo/zorvik/");
}

TEST_F(AppFoldersTest, FolderThatCannotBeMadeIsStillTheAnswer) {
  test::WriteAll(fHome / "blocker", "a file where a folder should be");
  fEnv.Set("XDG_DATA_HOME", (fHome / "blocker").string());
  TAppName app("/usr/bin/zorvik");
  EXPECT_EQ(app.GetApplicationDataPath(), Home() + "/blocker/Tarvo/zorvik/");
}

}  // namespace
}  // namespace zorvik
