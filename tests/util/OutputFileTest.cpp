#include "util/OutputFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "support/TestSupport.h"
#include "util/Exceptions.h"
#include "util/ExceptionLog.h"
#include "util/OutputGuard.h"
#include "util/StringFile.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using test::ErrorOf;
using test::ReadAll;
using test::TempDir;
using test::WriteAll;

int EntryCount(const fs::path& folder) {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++n;
  return n;
}

// Ends an injected write failure however the test ends.
struct WriteFault {
  WriteFault(int err, int successfulWrites) { detail::InjectWriteFault(err, successfulWrites); }
  ~WriteFault() { detail::InjectWriteFault(0, 0); }
};

TEST(OutputFileTest, TheTargetChangesOnlyOnCommitAndNothingElseAppears) {
  TempDir dir;
  const std::string target = dir.File("out.plt");
  WriteAll(target, "old report\r\n");
  {
    TOutputFile out(target);
    out.Write("new ");
    out.Write("report\r\n");
    EXPECT_EQ(ReadAll(target), "old report\r\n");
    EXPECT_EQ(EntryCount(dir.Path()), 1);  // the file being written has no name
    out.Commit();
  }
  EXPECT_EQ(ReadAll(target), "new report\r\n");
  EXPECT_EQ(EntryCount(dir.Path()), 1);

  {
    TOutputFile dropped(target);
    dropped.Write("never seen");
  }  // not committed: discarded
  EXPECT_EQ(ReadAll(target), "new report\r\n");
  EXPECT_EQ(EntryCount(dir.Path()), 1);
}

TEST(OutputFileTest, NewFilesFollowTheUmaskAndLinksKeepTheirPlace) {
  TempDir dir;
  const mode_t old = ::umask(027);
  WriteFileAtomically(dir.File("a.csv"), "x");
  ::umask(old);
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("a.csv").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  // A link named as the target stays a link; the file it names gets the bytes.
  fs::create_symlink(dir.File("a.csv"), dir.File("link.csv"));
  WriteFileAtomically(dir.File("link.csv"), "through the link");
  EXPECT_TRUE(fs::is_symlink(dir.File("link.csv")));
  EXPECT_EQ(ReadAll(dir.File("a.csv")), "through the link");
}

TEST(OutputFileTest, AWriteFailureKeepsTheEarlierFileAndNamesTheReason) {
  TempDir dir;
  const std::string target = dir.File("bad-hours.csv");
  WriteAll(target, "earlier report");
  struct Case {
    int err;
    int successfulWrites;
    const char* text;
  };
  for (const Case& c : {Case{ENOSPC, 0, "No space left on device"}, Case{EIO, 2, "Input/output error"}}) {
    SCOPED_TRACE(c.text);
    const std::string big(200000, 'v');  // several writes of the line file's buffer
    WriteFault fault(c.err, c.successfulWrites);
    const std::string message = ErrorOf([&] {
      TOutputFile out(target);
      TStringFile file(target, out.Duplicate());
      for (int i = 0; i < 4; ++i) file.WriteLine(big);
      file.Close();
      out.Commit();
    });
    EXPECT_NE(message.find(target), std::string::npos) << message;
    EXPECT_NE(message.find(c.text), std::string::npos) << message;
    EXPECT_EQ(ReadAll(target), "earlier report");
    EXPECT_EQ(EntryCount(dir.Path()), 1);
  }
}

TEST(OutputFileTest, RefusesWhatCannotBecomeAFile) {
  TempDir dir;
  fs::create_directory(dir.File("folder"));
  EXPECT_NE(ErrorOf([&] { TOutputFile out(dir.File("folder")); }).find("it is a folder"), std::string::npos);
  EXPECT_NE(ErrorOf([&] { TOutputFile out(dir.File("none/x.plt")); }).find("does not exist"), std::string::npos);
}

// The output guard compares files, not names.
TEST(OutputGuardTest, OutputsMayNotReplaceInputsOrEachOther) {
  TempDir dir;
  WriteAll(dir.File("run.pos"), "post");
  WriteAll(dir.File("run.plt"), "plot");
  fs::create_symlink(dir.File("run.pos"), dir.File("alias.pos"));
  fs::create_hard_link(dir.File("run.plt"), dir.File("hard.plt"));
  fs::create_directory(dir.File("sub"));
  const std::vector<TFileRole> inputs{{"the POSTFILE of this run", dir.File("run.pos")},
                                      {"the PLOTFILE of this run", dir.File("run.plt")},
                                      {"the met file of this run", dir.File("missing.sfc")}};
  struct Case {
    const char* name;
    std::vector<TFileRole> outputs;
    std::string error;  // empty: accepted
  };
  const std::vector<Case> cases{
      {"same name", {{"--out", dir.File("run.pos")}}, "--out is the POSTFILE of this run"},
      {"other spelling", {{"--out", dir.File("sub/../run.pos")}}, "--out is the POSTFILE of this run"},
      {"symbolic link", {{"--out", dir.File("alias.pos")}}, "--out is the POSTFILE of this run"},
      {"hard link", {{"--csv", dir.File("hard.plt")}}, "--csv is the PLOTFILE of this run"},
      {"two new outputs", {{"--csv", dir.File("r.csv")}, {"--plotfile", dir.File("sub/../r.csv")}},
       "--csv and --plotfile are the same file"},
      {"distinct outputs", {{"--csv", dir.File("r.csv")}, {"--plotfile", dir.File("r.plt")}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string message = ErrorOf([&] { CheckOutputRoles(inputs, c.outputs); });
    EXPECT_EQ(message, c.error.empty() ? "(no error)" : c.error);
  }
  try {
    CheckOutputRoles(inputs, {{"--out", dir.File("run.pos")}});
  } catch (const std::exception& e) {
    EXPECT_TRUE(EStackTrace::IsException<EOutputConflict>(e));
  }
}

TEST(OutputGuardTest, OutputsMustBeCreatable) {
  TempDir dir;
  fs::create_directory(dir.File("folder"));
  WriteAll(dir.File("file"), "");
  fs::create_directory(dir.File("locked"));
  fs::permissions(dir.File("locked"), fs::perms::owner_read | fs::perms::owner_exec);
  struct Case {
    std::string path;
    std::string error;
  };
  std::vector<Case> cases{
      {dir.File("ok.plt"), ""},
      {dir.File("folder"), "it is a folder"},
      {dir.File("nowhere/x.plt"), "does not exist"},
      {dir.File("file/x.plt"), "is not a folder"},
  };
  if (::geteuid() != 0) cases.push_back({dir.File("locked/x.plt"), "Permission denied"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string message = ErrorOf([&] { CheckOutputCreatable({"--out", c.path}); });
    if (c.error.empty())
      EXPECT_EQ(message, "(no error)");
    else
      EXPECT_NE(message.find(c.error), std::string::npos) << message;
  }
  fs::permissions(dir.File("locked"), fs::perms::owner_all);
  EXPECT_EQ(EntryCount(dir.File("folder")), 0);
}

}  // namespace
}  // namespace zorvik
