#include "util/FileStream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/TestSupport.h"
#include "util/ExceptionLog.h"
#include "util/FileHandle.h"

namespace zorvik {
namespace {

TEST(FileStreamTest, ReadsAndSeeksByItsOwnPosition) {
  test::TempDir dir;
  test::WriteAll(dir.File("f.bin"), "0123456789");
  TFileStream s(dir.File("f.bin"));
  EXPECT_EQ(s.Size(), 10);
  char buf[16] = {};
  EXPECT_EQ(s.Read(buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "0123");
  EXPECT_EQ(s.Position(), 4);
  EXPECT_EQ(s.Seek(-3, TSeekOrigin::soEnd), 7);
  EXPECT_EQ(s.Read(buf, 16), 3);
  EXPECT_EQ(std::string(buf, 3), "789");
  EXPECT_EQ(s.Read(buf, 16), 0);
  EXPECT_EQ(s.Seek(-1, TSeekOrigin::soBeginning), -1);
  EXPECT_EQ(s.Position(), 0);
  EXPECT_EQ(s.Seek(50, TSeekOrigin::soCurrent), 50);
  EXPECT_EQ(s.Read(buf, 16), 0);
}

// A file dropped from the page cache is not in memory until it is read; the ends of the file are always "in memory"
// (nothing to wait for).
TEST(FileStreamTest, TellsWhetherAByteIsInMemory) {
  test::TempDir dir;
  test::WriteAll(dir.File("f.bin"), std::string(1 << 20, 'x'));
  {
    TFileHandle fd(::open(dir.File("f.bin").c_str(), O_RDONLY));
    ASSERT_TRUE(fd);
    ::fdatasync(fd.Get());
    ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_DONTNEED);
  }
  TFileStream s(dir.File("f.bin"));
  EXPECT_TRUE(s.InMemory(-1));
  EXPECT_TRUE(s.InMemory(1 << 20));
  if (s.InMemory((1 << 20) - 1)) GTEST_SKIP() << "this file system keeps the file in memory (or cannot tell)";
  char buf[4096];
  s.SetPosition((1 << 20) - 4096);
  ASSERT_EQ(s.Read(buf, sizeof buf), 4096);
  EXPECT_TRUE(s.InMemory((1 << 20) - 1));
}

TEST(FileStreamTest, OpenFailuresNameTheFileAndReason) {
  test::TempDir dir;
  struct Case {
    std::string name;
    std::string reason;
  };
  const Case cases[] = {{dir.File("missing.pos"), "No such file or directory"},
                        {dir.Path().string(), "it is a folder"}};
  for (const Case& c : cases) {
    try {
      TFileStream s(c.name);
      ADD_FAILURE() << "opened " << c.name;
    } catch (const std::exception& e) {
      EXPECT_TRUE(EStackTrace::IsException<EFOpenError>(e));
      EXPECT_EQ(RootMessage(e), "Cannot open file " + c.name + ": " + c.reason);
    }
  }
}

}  // namespace
}  // namespace zorvik
