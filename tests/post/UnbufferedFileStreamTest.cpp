#include "post/UnbufferedFileStream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "support/TestSupport.h"
#include "util/ExceptionLog.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;

// Bytes that differ from their neighbours, so a byte read from the wrong offset shows.
std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

std::string ReadAt(TUnbufferedFileStream& s, int64_t position, int64_t count) {
  std::string out(static_cast<size_t>(count), '\0');
  s.Seek(position, TSeekOrigin::soBeginning);
  out.resize(static_cast<size_t>(s.Read(out.data(), count)));
  return out;
}

struct BufferSizeCase {
  int kb;
  int bytes;
};

class BufferSizeTest : public testing::TestWithParam<BufferSizeCase> {};

TEST_P(BufferSizeTest, RoundsUpToWholePages) {
  test::TempDir dir;
  test::WriteAll(dir.File("f.bin"), "x");
  TUnbufferedFileStream s(dir.File("f.bin"), TUnbufferedFileStream::fmOpenRead, GetParam().kb);
  EXPECT_EQ(s.BufferSize(), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BufferSizeTest,
                         testing::Values(BufferSizeCase{0, 262144}, BufferSizeCase{-3, 262144},
                                         BufferSizeCase{1, 4096}, BufferSizeCase{4, 4096}, BufferSizeCase{5, 8192},
                                         BufferSizeCase{8, 8192}, BufferSizeCase{512, 524288}));

// Reads through a direct descriptor and through the cached one that file systems without direct access get.
class ReadPathTest : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override { detail::SetDirectAccessAllowed(GetParam()); }
  void TearDown() override { detail::SetDirectAccessAllowed(true); }
};

TEST_P(ReadPathTest, ReadsEveryByteInAnyChunking) {
  test::TempDir dir;
  const std::string content = Pattern(3 * 4096 + 123);
  const std::string name = dir.File("f.bin");
  test::WriteAll(name, content);
  TUnbufferedFileStream s(name, TUnbufferedFileStream::fmOpenRead, 4);
  if (!GetParam()) {
    EXPECT_FALSE(s.IsDirect());
  }
  EXPECT_EQ(s.Size(), static_cast<int64_t>(content.size()));
  EXPECT_EQ(s.DataSize(), static_cast<int64_t>(content.size()));
  for (int64_t chunk : {1, 1000, 4096, 5000, 20000}) {
    s.Seek(0, TSeekOrigin::soBeginning);
    std::string all;
    std::string part(static_cast<size_t>(chunk), '\0');
    while (int64_t n = s.Read(part.data(), chunk)) all.append(part.data(), static_cast<size_t>(n));
    EXPECT_EQ(all, content) << "chunk " << chunk;
    EXPECT_EQ(s.DataPosition(), static_cast<int64_t>(content.size()));
  }
  EXPECT_EQ(ReadAt(s, 4090, 10), content.substr(4090, 10));
  EXPECT_EQ(ReadAt(s, 3 * 4096 + 120, 10), content.substr(3 * 4096 + 120));
}

TEST_P(ReadPathTest, WritingKeepsExactlyTheBytesWritten) {
  test::TempDir dir;
  const std::string name = dir.File("w.bin");
  struct Case {
    std::string before;
    int64_t at;
    std::string data;
  };
  const std::string longer = Pattern(10000);
  const Case cases[] = {
      {"", 0, Pattern(9000)},               // fills two buffers, the last part leaves a partial one
      {"", 0, Pattern(8192)},               // whole buffers only
      {longer, 0, std::string(5000, 'b')},  // overwriting the start keeps the rest of the file
      {longer, 4000, std::string(300, 'c')},
      {"abc", 3, std::string(5000, 'd')},  // appending at the end
  };
  for (const Case& c : cases) {
    test::WriteAll(name, c.before);
    std::string expected = c.before;
    if (expected.size() < static_cast<size_t>(c.at) + c.data.size()) expected.resize(c.at + c.data.size());
    expected.replace(static_cast<size_t>(c.at), c.data.size(), c.data);
    {
      TUnbufferedFileStream s(name, TUnbufferedFileStream::fmOpenReadWrite, 4);
      s.Seek(c.at, TSeekOrigin::soBeginning);
      // Two writes, so that one of them crosses a buffer boundary mid-way.
      const size_t half = c.data.size() / 2;
      EXPECT_EQ(s.Write(c.data.data(), static_cast<int64_t>(half)), static_cast<int64_t>(half));
      EXPECT_EQ(s.Write(c.data.data() + half, static_cast<int64_t>(c.data.size() - half)),
                static_cast<int64_t>(c.data.size() - half));
      EXPECT_EQ(ReadAt(s, 0, static_cast<int64_t>(expected.size()) + 10), expected);
    }
    EXPECT_EQ(test::ReadAll(name), expected) << "at " << c.at << " size " << c.data.size();
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, ReadPathTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Direct" : "Cached"; });

TEST(UnbufferedFileStreamTest, ReadAcrossBufferBoundaryServesTheFirstPartFromTheBuffer) {
  // In stealth mode a fill needs the file; deleting it after the first fill shows which bytes came from the
  // buffer: the 6 bytes up to 4096 do, the 4 after need a second fill at 4096, which fails.
  test::TempDir dir;
  const std::string name = dir.File("f.bin");
  const std::string content = Pattern(8192);
  test::WriteAll(name, content);
  TUnbufferedFileStream s(name, TUnbufferedFileStream::fmOpenRead, 4);
  s.SetStealthMode(true);
  EXPECT_TRUE(s.IsHandleOpen());
  EXPECT_EQ(ReadAt(s, 0, 1), content.substr(0, 1));
  EXPECT_FALSE(s.IsHandleOpen());
  fs::remove(name);
  s.Seek(4090, TSeekOrigin::soBeginning);
  char buf[10];
  try {
    s.Read(buf, 10);
    FAIL() << "the second fill found the deleted file";
  } catch (const std::exception& e) {
    EXPECT_TRUE(EStackTrace::IsException<EFOpenError>(e));
    EXPECT_EQ(RootMessage(e), "Cannot open file " + name + ": No such file or directory");
  }
  EXPECT_EQ(std::string(buf, 6), content.substr(4090, 6));
  EXPECT_EQ(s.DataPosition(), 4096);
}

TEST(UnbufferedFileStreamTest, StealthModeReopensForEveryFill) {
  test::TempDir dir;
  const std::string name = dir.File("f.bin");
  const std::string content = Pattern(3 * 4096);
  test::WriteAll(name, content);
  TUnbufferedFileStream s(name, TUnbufferedFileStream::fmOpenRead, 4);
  s.SetStealthMode(true);
  EXPECT_EQ(ReadAt(s, 0, 3 * 4096), content);
  EXPECT_FALSE(s.IsHandleOpen());
  fs::rename(name, dir.File("moved.bin"));
  try {
    ReadAt(s, 100, 1);
    FAIL() << "read a moved file";
  } catch (const std::exception& e) {
    EXPECT_EQ(RootMessage(e), "Cannot open file " + name + ": No such file or directory");
  }
}

TEST(UnbufferedFileStreamTest, SeekIsLogicalAndReadsBeyondTheEndGiveNothing) {
  test::TempDir dir;
  test::WriteAll(dir.File("f.bin"), "0123456789");
  TUnbufferedFileStream s(dir.File("f.bin"));
  EXPECT_EQ(s.Seek(5, TSeekOrigin::soBeginning), 5);
  EXPECT_EQ(s.Seek(-1, TSeekOrigin::soBeginning), -1);
  EXPECT_EQ(s.DataPosition(), 0);
  EXPECT_EQ(s.Seek(3, TSeekOrigin::soCurrent), 3);
  EXPECT_EQ(s.Seek(2, TSeekOrigin::soCurrent), 5);
  EXPECT_EQ(s.Seek(-2, TSeekOrigin::soEnd), 8);
  EXPECT_EQ(s.Seek(-20, TSeekOrigin::soCurrent), -1);
  EXPECT_EQ(s.DataPosition(), 0);

  uint8_t byte = 0;
  s.SetDataPosition(9);
  EXPECT_TRUE(s.ReadByte(byte));
  EXPECT_EQ(byte, '9');
  EXPECT_FALSE(s.ReadByte(byte));
  EXPECT_EQ(s.Seek(100, TSeekOrigin::soBeginning), 100);
  char buf[4];
  EXPECT_EQ(s.Read(buf, 4), 0);
  EXPECT_FALSE(s.ReadByte(byte));
  s.SetDataPosition(-5);
  EXPECT_EQ(s.DataPosition(), 0);
  EXPECT_EQ(ReadAt(s, 7, 100), "789");
}

TEST(UnbufferedFileStreamTest, RefusedModesAndMissingFiles) {
  test::TempDir dir;
  test::WriteAll(dir.File("f.bin"), "x");
  struct Case {
    std::string name;
    uint16_t mode;
    std::string message;
  };
  const std::string missing = dir.File("missing.pos");
  const Case cases[] = {
      {dir.File("f.bin"), TUnbufferedFileStream::fmCreate, "file create mode is not supported yet"},
      {missing, TUnbufferedFileStream::fmOpenRead, "Cannot open file " + missing + ": No such file or directory"},
      {dir.File("f.bin"), 0x0003, "Cannot open file " + dir.File("f.bin") + ": Invalid argument"},
      {dir.File("f.bin"), 0x0050, "Cannot open file " + dir.File("f.bin") + ": Invalid argument"},
      {dir.Path().string(), 0, "Cannot open file " + dir.Path().string() + ": Is a directory"},
  };
  for (const Case& c : cases) {
    try {
      TUnbufferedFileStream s(c.name, c.mode);
      ADD_FAILURE() << "opened " << c.name << " mode " << c.mode;
    } catch (const std::exception& e) {
      EXPECT_EQ(RootMessage(e), c.message);
      EXPECT_NE(std::string(e.what()).find("TUnbufferedFileStream.Create"), std::string::npos);
    }
  }
  EXPECT_FALSE(fs::exists(missing));
  TUnbufferedFileStream s(dir.File("f.bin"), TUnbufferedFileStream::fmOpenRead | TUnbufferedFileStream::fmShareDenyNone);
  try {
    s.SetSize(0);
    FAIL() << "size set";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "setsize for unbuffered files is not supported yet");
  }
}

TEST(UnbufferedFileStreamTest, CloseWritesOutAndWriteOnlyModeWorks) {
  test::TempDir dir;
  const std::string name = dir.File("w.bin");
  test::WriteAll(name, "");
  TUnbufferedFileStream s(name, TUnbufferedFileStream::fmOpenWrite, 4);
  s.SetStealthMode(true);
  EXPECT_EQ(s.Write("hello", 5), 5);
  s.Close();
  EXPECT_EQ(test::ReadAll(name), "hello");
  EXPECT_EQ(s.Size(), 5);
}

}  // namespace
}  // namespace zorvik
